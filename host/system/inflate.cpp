// Raw deflate decoding, the stream as a whole: output reserved from a guess at
// the ratio, then block after block to the one marked last. A stream that
// fails leaves the output empty; the blocks themselves are deflate_blocks'.
#include "system/inflate.h"

#include <algorithm>

#include "system/deflate_blocks.h"

namespace host {
namespace {

constexpr size_t InitialRatioGuess = 4;  // output reserved up front per input byte
constexpr size_t MinInitialReserve = 1024;

}  // namespace

bool Inflate(const unsigned char* data, size_t size, size_t limit, std::vector<unsigned char>& out,
             std::string& error) {
  out.clear();
  const size_t guess = size > limit / InitialRatioGuess ? limit : size * InitialRatioGuess;
  out.reserve(std::min(limit, std::max(guess, MinInitialReserve)));
  deflate::BlockDecoder decoder(data, size, limit, out, error);
  for (bool last = false; !last;) {
    if (!decoder.Next(last)) {
      out.clear();
      return false;
    }
  }
  return true;
}

}  // namespace host
