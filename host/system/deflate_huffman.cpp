// Deflate's canonical Huffman codes: counted from the code lengths, checked
// for their shape, and laid out for decoding. Nothing here reads the input;
// the block decoder hands over the bits it has peeked.
#include "system/deflate_huffman.h"

#include <cstring>

namespace host {
namespace deflate {
namespace {

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

}  // namespace

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

}  // namespace deflate
}  // namespace host
