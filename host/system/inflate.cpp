// Raw deflate decoding and CRC-32: the bit reader, the Huffman tables built
// from code lengths, and the three block kinds (stored, fixed, dynamic). It
// never reads past the input it is given nor writes past the caller's limit.
#include "system/inflate.h"

#include <algorithm>
#include <cstring>

namespace host {
namespace {

constexpr int MaxCodeBits = 15;               // the longest Huffman code deflate allows
constexpr int FastBits = 9;                   // codes this short decode with one table lookup
constexpr uint32_t FastSize = 1U << FastBits;
constexpr int FastSymbolBits = 9;             // a fast entry is (length << FastSymbolBits) | symbol
constexpr int MaxLiteralLengthSymbols = 288;  // the fixed code defines 286 and 287, which never occur
constexpr int MaxDistanceSymbols = 32;        // the fixed code defines 30 and 31, which never occur
constexpr int UsableLiteralLengthSymbols = 286;
constexpr int UsableDistanceSymbols = 30;
constexpr int CodeLengthSymbols = 19;
constexpr uint32_t MinLiteralLengthCodes = 257;  // what a dynamic header's counts add to the numbers they give
constexpr uint32_t MinDistanceCodes = 1;
constexpr uint32_t MinCodeLengthCodes = 4;
constexpr int EndOfBlock = 256;
constexpr int FirstLengthSymbol = 257;
constexpr size_t InitialRatioGuess = 4;  // output reserved up front per input byte
constexpr size_t MinInitialReserve = 1024;

constexpr uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t DistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                       33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                       1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block header gives the code length code's lengths.
constexpr uint8_t CodeLengthOrder[CodeLengthSymbols] = {16, 17, 18, 0,  8, 7,  9, 6,  10, 5,
                                                         11, 4,  12, 3, 13, 2, 14, 1, 15};

const char* const Corrupt = "corrupt deflate data: ";

// Reads the input least significant bit first, as deflate packs it. Bits past
// the end peek as zero; dropping them fails, which is how truncation shows.
class BitReader {
 public:
  BitReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

  void Refill() {
    while (count_ <= 56 && pos_ < size_) {
      bits_ |= static_cast<uint64_t>(data_[pos_++]) << count_;
      count_ += 8;
    }
  }
  // The next `n` bits (n <= 32) after a Refill.
  uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ & ((uint64_t{1} << n) - 1)); }
  bool Drop(int n) {
    if (n > count_) {
      return false;
    }
    bits_ >>= n;
    count_ -= n;
    return true;
  }
  bool Read(int n, uint32_t& value) {
    Refill();
    value = Peek(n);
    return Drop(n);
  }
  int Buffered() const { return count_; }
  // For a stored block: gives back the whole bytes buffered but not consumed
  // (the bits before them up to the byte boundary are dropped) and returns
  // where its bytes start, to be copied straight and then skipped.
  const unsigned char* ByteAligned() {
    pos_ -= static_cast<size_t>(count_ / 8);
    bits_ = 0;
    count_ = 0;
    return data_ + pos_;
  }
  size_t RemainingBytes() const { return size_ - pos_; }
  void SkipBytes(size_t n) { pos_ += n; }

 private:
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
  uint64_t bits_ = 0;
  int count_ = 0;
};

enum class CodeShape { Complete, Empty, SingleOneBit, Incomplete, OverSubscribed };

// A canonical Huffman code: how many codes of each length, the symbols in code
// order, and a lookup table for the codes of up to FastBits bits (0: look further).
struct Huffman {
  uint16_t count[MaxCodeBits + 1];
  uint16_t symbol[MaxLiteralLengthSymbols];
  uint16_t fast[FastSize];
};

uint32_t ReverseBits(uint32_t code, int length) {
  uint32_t reversed = 0;
  for (int i = 0; i < length; ++i, code >>= 1) {
    reversed = (reversed << 1) | (code & 1);
  }
  return reversed;
}

// Codes arrive first bit first, so each short code fills every slot whose low
// bits are the code reversed.
void FillFastTable(Huffman& code) {
  std::memset(code.fast, 0, sizeof code.fast);
  uint32_t next = 0;
  int index = 0;
  for (int length = 1; length <= FastBits; ++length, next <<= 1) {
    for (int i = 0; i < code.count[length]; ++i, ++next) {
      const auto entry = static_cast<uint16_t>(length << FastSymbolBits | code.symbol[index++]);
      for (uint32_t slot = ReverseBits(next, length); slot < FastSize; slot += 1U << length) {
        code.fast[slot] = entry;
      }
    }
  }
}

// Builds `code` from `n` code lengths (0 for an unused symbol) and says what
// shape they make; the caller decides which shapes it accepts.
CodeShape BuildHuffman(const uint8_t* lengths, int n, Huffman& code) {
  std::memset(code.count, 0, sizeof code.count);
  for (int i = 0; i < n; ++i) {
    ++code.count[lengths[i]];
  }
  int left = 1;
  for (int length = 1; length <= MaxCodeBits; ++length) {
    left = (left << 1) - code.count[length];
    if (left < 0) {
      return CodeShape::OverSubscribed;
    }
  }
  int offset[MaxCodeBits + 2] = {};
  for (int length = 1; length <= MaxCodeBits; ++length) {
    offset[length + 1] = offset[length] + code.count[length];
  }
  for (int i = 0; i < n; ++i) {
    if (lengths[i] != 0) {
      code.symbol[offset[lengths[i]]++] = static_cast<uint16_t>(i);
    }
  }
  FillFastTable(code);
  const int used = n - code.count[0];
  if (left == 0) {
    return CodeShape::Complete;
  }
  if (used == 0) {
    return CodeShape::Empty;
  }
  return used == 1 && code.count[1] == 1 ? CodeShape::SingleOneBit : CodeShape::Incomplete;
}

// Walks the canonical code one bit at a time over the peeked `bits`: the path
// for codes longer than FastBits. False when no code matches them.
bool DecodeSlowly(const Huffman& code, uint32_t bits, int& symbol, int& used) {
  int first = 0, index = 0, value = 0;
  for (int length = 1; length <= MaxCodeBits; ++length, bits >>= 1) {
    value |= static_cast<int>(bits & 1);
    const int count = code.count[length];
    if (value - first < count) {
      symbol = code.symbol[index + value - first];
      used = length;
      return true;
    }
    index += count;
    first = (first + count) << 1;
    value <<= 1;
  }
  return false;
}

class Decoder {
 public:
  Decoder(const unsigned char* data, size_t size, size_t limit, std::vector<unsigned char>& out, std::string& error)
      : in_(data, size), limit_(limit), out_(out), error_(error) {}

  bool Run() {
    for (;;) {
      uint32_t last = 0, type = 0;
      if (!Read(1, last) || !Read(2, type)) {
        return false;
      }
      bool ok = false;
      if (type == 0) {
        ok = Stored();
      } else if (type == 1) {
        ok = Fixed();
      } else if (type == 2) {
        ok = Dynamic();
      } else {
        ok = Fail("block type 3");
      }
      if (!ok) {
        return false;
      }
      if (last != 0) {
        return true;
      }
    }
  }

 private:
  bool Fail(const std::string& what) {
    error_ = Corrupt + what;
    return false;
  }
  bool Truncated() { return Fail("ends before its last block"); }
  bool Read(int n, uint32_t& value) { return in_.Read(n, value) || Truncated(); }

  // Makes room for `more` bytes of output, or fails when they pass the limit.
  bool Reserve(size_t more) {
    if (more > limit_ - out_.size()) {
      error_ = "inflates beyond " + std::to_string(limit_) + " bytes";
      return false;
    }
    const size_t needed = out_.size() + more;
    if (needed > out_.capacity()) {
      out_.reserve(std::min(limit_, std::max(needed, out_.capacity() * 2)));
    }
    return true;
  }

  bool Stored() {
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
  bool Fixed() {
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

  bool Dynamic();
  bool ReadCodeLengths(const Huffman& lengthCode, uint8_t* lengths, int n);
  bool CheckShape(CodeShape shape, const char* name, bool singleAllowed);
  bool Decode(const Huffman& code, int& symbol);
  bool Codes();
  bool Copy(int lengthSymbol);

  BitReader in_;
  size_t limit_;
  std::vector<unsigned char>& out_;
  std::string& error_;
  Huffman literals_, distances_;
};

// A dynamic block header: the counts, the code length code, then the lengths of
// both codes, read as one run because repeats may cross from one to the other.
bool Decoder::Dynamic() {
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
bool Decoder::CheckShape(CodeShape shape, const char* name, bool singleAllowed) {
  if (shape == CodeShape::Complete || (shape == CodeShape::SingleOneBit && singleAllowed)) {
    return true;
  }
  return Fail(std::string(shape == CodeShape::OverSubscribed ? "over-subscribed " : "incomplete ") + name + " code");
}

bool Decoder::ReadCodeLengths(const Huffman& lengthCode, uint8_t* lengths, int n) {
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

bool Decoder::Decode(const Huffman& code, int& symbol) {
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
bool Decoder::Codes() {
  for (;;) {
    int symbol = 0;
    if (!Decode(literals_, symbol)) {
      return false;
    }
    if (symbol < EndOfBlock) {
      if ((out_.size() == out_.capacity() || out_.size() == limit_) && !Reserve(1)) {
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
bool Decoder::Copy(int lengthSymbol) {
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
  if (distance > out_.size()) {
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

// The CRC-32 table, one entry per byte value, computed by the compiler.
struct CrcTable {
  uint32_t entry[256];
};

constexpr CrcTable MakeCrcTable() {
  CrcTable table{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xedb88320U : crc >> 1;
    }
    table.entry[byte] = crc;
  }
  return table;
}

constexpr CrcTable Crc32Table = MakeCrcTable();

}  // namespace

bool Inflate(const unsigned char* data, size_t size, size_t limit, std::vector<unsigned char>& out,
             std::string& error) {
  out.clear();
  const size_t guess = size > limit / InitialRatioGuess ? limit : size * InitialRatioGuess;
  out.reserve(std::min(limit, std::max(guess, MinInitialReserve)));
  Decoder decoder(data, size, limit, out, error);
  if (decoder.Run()) {
    return true;
  }
  out.clear();
  return false;
}

uint32_t Crc32(const unsigned char* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc = Crc32Table.entry[(crc ^ data[i]) & 0xffU] ^ (crc >> 8);
  }
  return ~crc;
}

}  // namespace host
