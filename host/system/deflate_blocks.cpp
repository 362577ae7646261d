// Deflate's blocks: stored ones copied, fixed and dynamic ones decoded through
// their Huffman codes, each length and distance checked before it is used.
// It never reads past the input it is given nor writes past the caller's limit.
#include "system/deflate_blocks.h"

#include <algorithm>
#include <cstring>

namespace host {
namespace deflate {
namespace {

constexpr int UsableLiteralLengthSymbols = 286;
constexpr int UsableDistanceSymbols = 30;
constexpr int CodeLengthSymbols = 19;
constexpr uint32_t MinLiteralLengthCodes = 257;  // what a dynamic header's counts add to the numbers they give
constexpr uint32_t MinDistanceCodes = 1;
constexpr uint32_t MinCodeLengthCodes = 4;
constexpr int EndOfBlock = 256;
constexpr int FirstLengthSymbol = 257;

constexpr uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t DistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                       33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                       1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block header gives the code length code's lengths.
constexpr uint8_t CodeLengthOrder[CodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                        11, 4,  12, 3, 13, 2, 14, 1, 15};

const char* const Corrupt = "corrupt deflate data: ";

}  // namespace

bool BlockDecoder::Next(bool& last) {
  uint32_t lastBit = 0, type = 0;
  if (!Read(1, lastBit) || !Read(2, type)) {
    return false;
  }
  last = lastBit != 0;
  switch (type) {
    case 0: return Stored();
    case 1: return Fixed();
    case 2: return Dynamic();
    default: return Fail("block type 3");
  }
}

bool BlockDecoder::Fail(const std::string& what) {
  error_ = Corrupt + what;
  return false;
}

// Makes room for `more` bytes of output, or fails when they pass the limit.
bool BlockDecoder::Reserve(size_t more) {
  if (more > limit_ - Produced()) {
    error_ = "inflates beyond " + std::to_string(limit_) + " bytes";
    return false;
  }
  if (sink_ != nullptr && out_.size() + more > Window + Chunk && !Hand(out_.size() - std::min(out_.size(), Window))) {
    return false;
  }
  const size_t needed = out_.size() + more;
  if (needed > out_.capacity()) {
    out_.reserve(std::min(limit_ - handed_, std::max(needed, out_.capacity() * 2)));
  }
  return true;
}

// Hands the first `size` bytes held to the sink and drops them.
bool BlockDecoder::Hand(size_t size) {
  if (size == 0) {
    return true;
  }
  if (!sink_->Take(out_.data(), size, error_)) {
    return false;
  }
  out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(size));
  handed_ += size;
  return true;
}

bool BlockDecoder::Stored() {
  in_.Drop(in_.Buffered() % 8);
  uint32_t length = 0, complement = 0;
  if (!Read(16, length) || !Read(16, complement)) {
    return false;
  }
  if ((length ^ 0xffffU) != complement) {
    return Fail("stored block length does not match its complement");
  }
  const unsigned char* bytes = in_.ByteAligned();
  if (in_.RemainingBytes() < length) {
    return Truncated();
  }
  if (!Reserve(length)) {
    return false;
  }
  out_.insert(out_.end(), bytes, bytes + length);
  in_.SkipBytes(length);
  return true;
}

// The fixed codes: literals 0-143 have eight bits, 144-255 nine, 256-279
// seven and 280-287 eight; every distance has five.
bool BlockDecoder::Fixed() {
  uint8_t lengths[MaxLiteralLengthSymbols];
  std::memset(lengths, 8, 144);
  std::memset(lengths + 144, 9, 112);
  std::memset(lengths + 256, 7, 24);
  std::memset(lengths + 280, 8, 8);
  BuildHuffman(lengths, MaxLiteralLengthSymbols, literals_);
  std::memset(lengths, 5, MaxDistanceSymbols);
  BuildHuffman(lengths, MaxDistanceSymbols, distances_);
  return Codes();
}

// A dynamic block header: the counts, the code length code, then the lengths of
// both codes, read as one run because repeats may cross from one to the other.
bool BlockDecoder::Dynamic() {
  uint32_t literalCount = 0, distanceCount = 0, lengthCount = 0;
  if (!Read(5, literalCount) || !Read(5, distanceCount) || !Read(4, lengthCount)) {
    return false;
  }
  literalCount += MinLiteralLengthCodes;
  distanceCount += MinDistanceCodes;
  lengthCount += MinCodeLengthCodes;
  if (literalCount > UsableLiteralLengthSymbols || distanceCount > UsableDistanceSymbols) {
    return Fail("more literal/length or distance codes than there are symbols");
  }
  uint8_t lengths[UsableLiteralLengthSymbols + UsableDistanceSymbols] = {};
  for (uint32_t i = 0; i < lengthCount; ++i) {
    uint32_t length = 0;
    if (!Read(3, length)) {
      return false;
    }
    lengths[CodeLengthOrder[i]] = static_cast<uint8_t>(length);
  }
  Huffman lengthCode;
  if (!CheckShape(BuildHuffman(lengths, CodeLengthSymbols, lengthCode), "code length", false)) {
    return false;
  }
  const int n = static_cast<int>(literalCount + distanceCount);
  if (!ReadCodeLengths(lengthCode, lengths, n)) {
    return false;
  }
  if (lengths[EndOfBlock] == 0) {
    return Fail("no end-of-block code");
  }
  const int literals = static_cast<int>(literalCount);
  if (!CheckShape(BuildHuffman(lengths, literals, literals_), "literal/length", false)) {
    return false;
  }
  const CodeShape distanceShape = BuildHuffman(lengths + literals, n - literals, distances_);
  // A block of literals only may leave every distance length zero.
  if (distanceShape != CodeShape::Empty && !CheckShape(distanceShape, "distance", true)) {
    return false;
  }
  return Codes();
}

// Only a distance code may be incomplete, and then only as one code of one bit.
bool BlockDecoder::CheckShape(CodeShape shape, const char* name, bool singleAllowed) {
  if (shape == CodeShape::Complete || (shape == CodeShape::SingleOneBit && singleAllowed)) {
    return true;
  }
  return Fail(std::string(shape == CodeShape::OverSubscribed ? "over-subscribed " : "incomplete ") + name + " code");
}

bool BlockDecoder::ReadCodeLengths(const Huffman& lengthCode, uint8_t* lengths, int n) {
  std::memset(lengths, 0, static_cast<size_t>(n));
  for (int index = 0; index < n;) {
    int symbol = 0;
    if (!Decode(lengthCode, symbol)) {
      return false;
    }
    if (symbol < 16) {
      lengths[index++] = static_cast<uint8_t>(symbol);
      continue;
    }
    if (symbol == 16 && index == 0) {
      return Fail("a repeat before any code length");
    }
    // 16 repeats the previous length 3-6 times, 17 gives 3-10 zeros, 18 gives 11-138.
    const uint8_t value = symbol == 16 ? lengths[index - 1] : 0;
    const int extraBits = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
    const int base = symbol == 18 ? 11 : 3;
    uint32_t extra = 0;
    if (!Read(extraBits, extra)) {
      return false;
    }
    const int repeat = base + static_cast<int>(extra);
    if (repeat > n - index) {
      return Fail("code lengths run past the literal/length and distance counts");
    }
    std::memset(lengths + index, value, static_cast<size_t>(repeat));
    index += repeat;
  }
  return true;
}

bool BlockDecoder::Decode(const Huffman& code, int& symbol) {
  in_.Refill();
  const uint32_t bits = in_.Peek(MaxCodeBits);
  const uint16_t entry = code.fast[bits & (FastSize - 1)];
  int used = entry >> FastSymbolBits;
  symbol = entry & ((1 << FastSymbolBits) - 1);
  // Only the incomplete codes taken (one distance code, or none) leave patterns unused.
  if (entry == 0 && !DecodeSlowly(code, bits, symbol, used)) {
    return Fail("a code that decodes to no symbol");
  }
  return in_.Drop(used) || Truncated();
}

// The literals and copies of a compressed block, up to its end-of-block code.
bool BlockDecoder::Codes() {
  for (;;) {
    int symbol = 0;
    if (!Decode(literals_, symbol)) {
      return false;
    }
    if (symbol < EndOfBlock) {
      if ((out_.size() == out_.capacity() || Produced() == limit_) && !Reserve(1)) {
        return false;
      }
      out_.push_back(static_cast<unsigned char>(symbol));
    } else if (symbol == EndOfBlock) {
      return true;
    } else if (!Copy(symbol)) {
      return false;
    }
  }
}

// Copies an earlier stretch of the output; it may overlap what it writes, so
// it goes byte by byte from the front.
bool BlockDecoder::Copy(int lengthSymbol) {
  if (lengthSymbol >= UsableLiteralLengthSymbols) {
    return Fail("literal/length symbol " + std::to_string(lengthSymbol));
  }
  const int lengthIndex = lengthSymbol - FirstLengthSymbol;
  uint32_t extra = 0;
  if (!Read(LengthExtra[lengthIndex], extra)) {
    return false;
  }
  const size_t length = LengthBase[lengthIndex] + extra;
  int distanceSymbol = 0;
  if (!Decode(distances_, distanceSymbol)) {
    return false;
  }
  if (distanceSymbol >= UsableDistanceSymbols) {
    return Fail("distance symbol " + std::to_string(distanceSymbol));
  }
  if (!Read(DistanceExtra[distanceSymbol], extra)) {
    return false;
  }
  const size_t distance = DistanceBase[distanceSymbol] + extra;
  if (distance > Produced()) {
    return Fail("distance " + std::to_string(distance) + " reaches before the start of the output");
  }
  if (!Reserve(length)) {
    return false;
  }
  const size_t at = out_.size();
  out_.resize(at + length);
  unsigned char* to = out_.data() + at;
  const unsigned char* from = to - distance;
  for (size_t i = 0; i < length; ++i) {
    to[i] = from[i];
  }
  return true;
}

}  // namespace deflate
}  // namespace host
