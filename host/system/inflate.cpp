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

namespace {

// The decoder's pieces on to the caller's sink, with their CRC-32 and size.
class Counted final : public InflateSink {
 public:
  explicit Counted(InflateSink& sink) : sink_(sink) {}
  bool Take(const unsigned char* bytes, size_t size, std::string& error) override {
    crc = Crc32(bytes, size, crc);
    total += size;
    return sink_.Take(bytes, size, error);
  }
  uint32_t crc = 0;
  uint64_t total = 0;

 private:
  InflateSink& sink_;
};

}  // namespace

bool InflateTo(const unsigned char* data, size_t size, size_t limit, InflateSink& sink, uint32_t& crc, uint64_t& total,
               std::string& error) {
  std::vector<unsigned char> held;
  Counted counted(sink);
  deflate::BlockDecoder decoder(data, size, limit, held, error, &counted);
  for (bool last = false; !last;) {
    if (!decoder.Next(last)) {
      return false;
    }
  }
  if (!decoder.HandAll()) {
    return false;
  }
  crc = counted.crc;
  total = counted.total;
  return true;
}

}  // namespace host
