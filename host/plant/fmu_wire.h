// What dcshost and an FMU's worker say to each other, in the same bytes on
// every word size: a call is a header (what, how many bytes follow) and its
// bytes; an answer is a header (done, failed or ended, how many bytes follow),
// the FMU's log of the call as text, and what the call gives back. Numbers
// are little-endian as both ends hold them (x86 only), texts a length and bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace host {
namespace fmuwire {

enum Call : uint32_t { Open = 1, Start, Step, Outputs, SaveState, RestoreState, CanSaveState };
enum Answer : uint32_t { Done = 0, Failed, Ended };
struct Header {
  uint32_t what = 0;
  uint32_t size = 0;
};
// The most a message may carry: a saved state is the largest.
constexpr uint32_t MostBytes = 1U << 28;

// Appends to a message's bytes.
class Writer {
 public:
  explicit Writer(std::vector<unsigned char>& bytes) : bytes_(bytes) {}
  void Number(uint32_t x) { Raw(&x, sizeof x); }
  void Number(double x) { Raw(&x, sizeof x); }
  void Text(const std::string& text) {
    Number(static_cast<uint32_t>(text.size()));
    Raw(text.data(), text.size());
  }
  void Raw(const void* data, size_t size) {
    if (size == 0) {
      return;
    }
    const size_t at = bytes_.size();
    bytes_.resize(at + size);
    std::memcpy(bytes_.data() + at, data, size);
  }

 private:
  std::vector<unsigned char>& bytes_;
};

// Reads a message's bytes; once one runs past the end, every later read
// gives zero and ok() is false.
class Reader {
 public:
  Reader(const unsigned char* at, size_t size) : at_(at), end_(at + size) {}
  uint32_t Word() {
    uint32_t x = 0;
    Raw(&x, sizeof x);
    return x;
  }
  double Real() {
    double x = 0.0;
    Raw(&x, sizeof x);
    return x;
  }
  std::string Text() {
    const uint32_t size = Word();
    if (!ok_ || size > static_cast<size_t>(end_ - at_)) {
      ok_ = false;
      return std::string();
    }
    std::string text(reinterpret_cast<const char*>(at_), size);
    at_ += size;
    return text;
  }
  void Raw(void* data, size_t size) {
    if (!ok_ || size > static_cast<size_t>(end_ - at_)) {
      ok_ = false;
      std::memset(data, 0, size);
      return;
    }
    std::memcpy(data, at_, size);
    at_ += size;
  }
  size_t left() const { return static_cast<size_t>(end_ - at_); }
  bool ok() const { return ok_; }

 private:
  const unsigned char* at_;
  const unsigned char* end_;
  bool ok_ = true;
};

}  // namespace fmuwire
}  // namespace host
