// Raw deflate decoding and the zip's CRC-32, for the entries of an FMU's zip
// file. Written here because zlib cannot be installed for every target beside
// wine's 32-bit libraries; it reads only the bytes it is given and never
// writes beyond the limit it is given, whatever the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Inflates `size` bytes of raw deflate data (no zlib or gzip wrapper) into
// `out`, which is cleared first. False with a message ("corrupt deflate data:
// WHAT", "inflates beyond LIMIT bytes") when the data is bad, ends before its
// last block, or would inflate to more than `limit` bytes.
bool Inflate(const unsigned char* data, size_t size, size_t limit, std::vector<unsigned char>& out, std::string& error);

// Inflates as Inflate does, handing the output on as it goes, with its
// CRC-32 and size, so that memory stays bounded (a few MiB) however large the
// output: an FMU's entry goes to its file this way. `take` writes a piece;
// false from it stops, with its message in error.
class InflateSink {
 public:
  virtual bool Take(const unsigned char* bytes, size_t size, std::string& error) = 0;

 protected:
  ~InflateSink() = default;
};
bool InflateTo(const unsigned char* data, size_t size, size_t limit, InflateSink& sink, uint32_t& crc, uint64_t& total,
               std::string& error);

// The CRC-32 a zip file keeps of each entry (reflected, polynomial 0xEDB88320),
// continued from `crc` (0 to start).
uint32_t Crc32(const unsigned char* data, size_t size, uint32_t crc = 0);

}  // namespace host
