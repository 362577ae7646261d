// A zip file written byte by byte for the tests: stored entries of any
// bytes, and one deflated text, with every field of the directory at hand so
// that a test can damage the one it means to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "system/inflate.h"

namespace zip_writer {

inline const std::string Plain = "level = 1.0; level = 1.0; level = 1.0; level = 1.0\n";
inline const unsigned char Packed[] = {0xcb, 0x49, 0x2d, 0x4b, 0xcd, 0x51, 0xb0, 0x55, 0x30, 0xd4,
                                       0x33, 0xb0, 0x56, 0xc8, 0x21, 0x86, 0xc3, 0x05, 0x00};

struct Entry {
  std::string name, plain;
  uint16_t method = 0;  // 0 stored, 8 deflated (only Plain, as Packed)
  uint16_t flags = 0;
  uint32_t size = 0xFFFFFFFF;  // as the directory states it; by default the plain size
  uint32_t crc = 0;            // 0: the plain text's
};

inline void Put16(std::string& out, uint32_t v) { out += static_cast<char>(v & 0xFF), out += static_cast<char>((v >> 8) & 0xFF); }
inline void Put32(std::string& out, uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }

// A zip file of the entries; `end` may change the end record's fields before it is written.
inline std::string Zip(const std::vector<Entry>& entries, const std::function<void(std::string&)>& end = nullptr) {
  std::string file, dir;
  for (const Entry& e : entries) {
    const std::string data = e.method == 8 ? std::string(reinterpret_cast<const char*>(Packed), sizeof Packed) : e.plain;
    const uint32_t crc = e.crc != 0 ? e.crc
                                    : host::Crc32(reinterpret_cast<const unsigned char*>(e.plain.data()), e.plain.size());
    const uint32_t size = e.size != 0xFFFFFFFF ? e.size : static_cast<uint32_t>(e.plain.size());
    std::string fields;
    Put16(fields, e.flags), Put16(fields, e.method), Put32(fields, 0), Put32(fields, crc);
    Put32(fields, static_cast<uint32_t>(data.size())), Put32(fields, size), Put16(fields, static_cast<uint32_t>(e.name.size()));
    Put16(fields, 0);
    const uint32_t offset = static_cast<uint32_t>(file.size());
    Put32(file, 0x04034b50), Put16(file, 20), file += fields + e.name + data;
    Put32(dir, 0x02014b50), Put16(dir, 20), Put16(dir, 20), dir += fields;
    Put16(dir, 0), Put16(dir, 0), Put16(dir, 0), Put32(dir, 0), Put32(dir, offset), dir += e.name;
  }
  std::string record;
  Put32(record, 0x06054b50), Put16(record, 0), Put16(record, 0);
  Put16(record, static_cast<uint32_t>(entries.size())), Put16(record, static_cast<uint32_t>(entries.size()));
  Put32(record, static_cast<uint32_t>(dir.size())), Put32(record, static_cast<uint32_t>(file.size())), Put16(record, 0);
  if (end) {
    end(record);
  }
  return file + dir + record;
}

}  // namespace zip_writer
