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

namespace host {
namespace deflate {

class BlockDecoder {
 public:
  BlockDecoder(const unsigned char* data, size_t size, size_t limit, std::vector<unsigned char>& out,
               std::string& error)
      : in_(data, size), limit_(limit), out_(out), error_(error) {}

  // Decodes the next block onto the output; `last` when its header marks it
  // the stream's last. False with the error set when the data is bad.
  bool Next(bool& last);

 private:
  bool Fail(const std::string& what);
  bool Truncated() { return Fail("ends before its last block"); }
  bool Read(int n, uint32_t& value) { return in_.Read(n, value) || Truncated(); }
  bool Reserve(size_t more);

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
  Huffman literals_, distances_;
};

}  // namespace deflate
}  // namespace host
