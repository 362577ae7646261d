// The CRC-32 a zip file keeps of each entry (declared in inflate.h, beside the
// decoder whose output it checks): one table of 256 entries, computed by the
// compiler, and a byte at a time.
#include "system/inflate.h"

namespace host {
namespace {

struct CrcTable {
  uint32_t entry[256];
};

constexpr CrcTable MakeCrcTable() {
  CrcTable table{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xedb88320U : crc >> 1;
    }
    table.entry[byte] = crc;
  }
  return table;
}

constexpr CrcTable Crc32Table = MakeCrcTable();

}  // namespace

uint32_t Crc32(const unsigned char* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc = Crc32Table.entry[(crc ^ data[i]) & 0xffU] ^ (crc >> 8);
  }
  return ~crc;
}

}  // namespace host
