// Deflate's canonical Huffman codes, built from code lengths: a lookup table
// for the short codes and a bit-by-bit walk for the long ones. Private to the
// inflate files; building a code never writes past its own tables.
#pragma once

#include <cstdint>

namespace host {
namespace deflate {

constexpr int MaxCodeBits = 15;  // the longest Huffman code deflate allows
constexpr int FastBits = 9;      // codes this short decode with one table lookup
constexpr uint32_t FastSize = 1U << FastBits;
constexpr int FastSymbolBits = 9;             // a fast entry is (length << FastSymbolBits) | symbol
constexpr int MaxLiteralLengthSymbols = 288;  // the fixed code defines 286 and 287, which never occur
constexpr int MaxDistanceSymbols = 32;        // the fixed code defines 30 and 31, which never occur

enum class CodeShape { Complete, Empty, SingleOneBit, Incomplete, OverSubscribed };

// A canonical Huffman code: how many codes of each length, the symbols in code
// order, and a lookup table for the codes of up to FastBits bits (0: look further).
struct Huffman {
  uint16_t count[MaxCodeBits + 1];
  uint16_t symbol[MaxLiteralLengthSymbols];
  uint16_t fast[FastSize];
};

// Builds `code` from `n` code lengths (0 for an unused symbol, n at most
// MaxLiteralLengthSymbols) and says what shape they make; the caller decides
// which shapes it accepts.
CodeShape BuildHuffman(const uint8_t* lengths, int n, Huffman& code);

// Walks the canonical code one bit at a time over the peeked `bits`: the path
// for codes longer than FastBits. False when no code matches them.
bool DecodeSlowly(const Huffman& code, uint32_t bits, int& symbol, int& used);

}  // namespace deflate
}  // namespace host
