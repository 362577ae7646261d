// SHA-256 as FIPS 180-4 lays it down: 64-byte blocks, big-endian words, the
// message padded with a one bit, zeros and its length in bits.
#include "system/sha256.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "system/paths.h"

namespace host {
namespace {

constexpr uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotate(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

class Sha256 {
 public:
  void Add(const unsigned char* data, size_t size) {
    length_ += size;
    for (size_t i = 0; i < size; ++i) {
      block_[used_++] = data[i];
      if (used_ == 64) {
        Compress();
        used_ = 0;
      }
    }
  }
  std::string Hex() {
    const uint64_t bits = static_cast<uint64_t>(length_) * 8U;
    const unsigned char one = 0x80;
    const unsigned char zero = 0;
    Add(&one, 1);
    while (used_ != 56) {
      Add(&zero, 1);
    }
    for (int shift = 56; shift >= 0; shift -= 8) {
      const auto byte = static_cast<unsigned char>(bits >> shift);
      Add(&byte, 1);
    }
    std::string hex;
    char digits[9];
    for (const uint32_t word : h_) {
      (void)std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(word));
      hex += digits;
    }
    return hex;
  }

 private:
  void Compress() {
    uint32_t w[64];
    for (int t = 0; t < 16; ++t) {
      const unsigned char* word = block_ + static_cast<ptrdiff_t>(4) * t;
      w[t] = static_cast<uint32_t>(word[0]) << 24 | static_cast<uint32_t>(word[1]) << 16 |
             static_cast<uint32_t>(word[2]) << 8 | static_cast<uint32_t>(word[3]);
    }
    for (int t = 16; t < 64; ++t) {
      const uint32_t s0 = Rotate(w[t - 15], 7) ^ Rotate(w[t - 15], 18) ^ (w[t - 15] >> 3);
      const uint32_t s1 = Rotate(w[t - 2], 17) ^ Rotate(w[t - 2], 19) ^ (w[t - 2] >> 10);
      w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
    for (int t = 0; t < 64; ++t) {
      const uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + K[t] + w[t];
      const uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    const uint32_t added[8] = {a, b, c, d, e, f, g, h};
    for (int i = 0; i < 8; ++i) {
      h_[i] += added[i];
    }
  }

  uint32_t h_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  unsigned char block_[64] = {};
  size_t used_ = 0;
  size_t length_ = 0;
};

}  // namespace

std::string Sha256Hex(const std::string& text) {
  Sha256 sha;
  sha.Add(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  return sha.Hex();
}

bool Sha256File(const std::string& path, std::string& hex, std::string& error) {
  std::ifstream file(PathOf(path), std::ios::binary);
  if (!file) {
    error = path + ": cannot read: " + std::strerror(errno);
    return false;
  }
  Sha256 sha;
  std::vector<char> buffer(65536);
  while (file) {
    file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    sha.Add(reinterpret_cast<const unsigned char*>(buffer.data()), static_cast<size_t>(file.gcount()));
  }
  if (file.bad()) {
    error = path + ": cannot read: a read failed";
    return false;
  }
  hex = sha.Hex();
  return true;
}

}  // namespace host
