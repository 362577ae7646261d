// Deflate's blocks, one at a time: a block header, then a stored, fixed or
// dynamic block decoded onto the output. Private to the inflate files; it
// never writes more output than the limit it is given, whatever the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "system/deflate_bits.h"
#include "system/deflate_huffman.h"
#include "system/inflate.h"

namespace host {
namespace deflate {

class BlockDecoder {
 public:
  // With a sink, output need not be kept whole: all but the last Window bytes
  // (what a copy may reach back) are handed to it once more than Window +
  // Chunk bytes are held, so memory stays bounded. False from it stops the
  // decoding with its message in the error.
  static constexpr size_t Window = 32768, Chunk = 1 << 20;

  BlockDecoder(const unsigned char* data, size_t size, size_t limit, std::vector<unsigned char>& out,
               std::string& error, InflateSink* sink = nullptr)
      : in_(data, size), limit_(limit), out_(out), error_(error), sink_(sink) {}
  // The bytes decoded so far, handed on or held.
  size_t Produced() const { return handed_ + out_.size(); }
  // Hands everything held to the sink (at the stream's end).
  bool HandAll() { return sink_ == nullptr || Hand(out_.size()); }

  // Decodes the next block onto the output; `last` when its header marks it
  // the stream's last. False with the error set when the data is bad.
  bool Next(bool& last);

 private:
  bool Fail(const std::string& what);
  bool Truncated() { return Fail("ends before its last block"); }
  bool Read(int n, uint32_t& value) { return in_.Read(n, value) || Truncated(); }
  bool Reserve(size_t more);
  bool Hand(size_t size);

  bool Stored();
  bool Fixed();
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
  InflateSink* sink_;
  size_t handed_ = 0;
  Huffman literals_{}, distances_{};
};

}  // namespace deflate
}  // namespace host
