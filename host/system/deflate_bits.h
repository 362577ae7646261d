// The bit reader under raw deflate decoding: the input read least significant
// bit first, as deflate packs it. Private to the inflate files; it never reads
// a byte past the input it is given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace host {
namespace deflate {

// Bits past the end peek as zero; dropping them fails, which is how
// truncation shows.
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

}  // namespace deflate
}  // namespace host
