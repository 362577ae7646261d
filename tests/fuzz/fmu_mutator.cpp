// The FMU fuzzer's mutator: libFuzzer's own mutation, after which the CRC-32
// and size of every entry the mutated file still locates are set to match its
// data, so that a changed model description gets past the zip's checks to the
// XML reader. One input in four keeps its checksums as mutated, so the checks
// themselves stay fuzzed. Linked into the fuzzer only, never into the replay.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "system/inflate.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

constexpr uint32_t EndSignature = 0x06054b50, CentralSignature = 0x02014b50, LocalSignature = 0x04034b50;
constexpr size_t EndSize = 22, CentralSize = 46, LocalSize = 30, MostComment = 0xFFFF;
constexpr size_t MostRepairedSize = size_t{1} << 20;  // a deflated entry inflating beyond this keeps its fields

uint32_t U16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return U16(p) | (U16(p + 2) << 16); }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

// Whether [at, at + n) lies inside the input.
bool Inside(size_t size, uint64_t at, uint64_t n) { return at <= size && n <= size - at; }

// The end record: the last signature within the comment's reach of the end.
const uint8_t* FindEnd(const uint8_t* data, size_t size) {
  if (size < EndSize) {
    return nullptr;
  }
  const size_t lowest = size - EndSize > MostComment ? size - EndSize - MostComment : 0;
  for (size_t at = size - EndSize + 1; at-- > lowest;) {
    if (U32(data + at) == EndSignature) {
      return data + at;
    }
  }
  return nullptr;
}

// Sets the CRC-32 and sizes of one entry (its central header at `central`) to
// its data's, in the central and the local header; leaves it as it is when its
// local header or data lie outside the input or its deflate data is bad.
void RepairEntry(uint8_t* data, size_t size, uint8_t* central, std::vector<unsigned char>& plain) {
  const uint32_t method = U16(central + 10), packedSize = U32(central + 20), local = U32(central + 42);
  if (!Inside(size, local, LocalSize) || U32(data + local) != LocalSignature) {
    return;
  }
  const uint64_t at = uint64_t{local} + LocalSize + U16(data + local + 26) + U16(data + local + 28);
  if (!Inside(size, at, packedSize)) {
    return;
  }
  const uint8_t* packed = data + at;
  std::string error;
  if (method == 8 && !host::Inflate(packed, packedSize, MostRepairedSize, plain, error)) {
    return;
  }
  const uint8_t* bytes = method == 8 ? plain.data() : packed;
  const auto plainSize = static_cast<uint32_t>(method == 8 ? plain.size() : packedSize);
  const uint32_t crc = host::Crc32(bytes, plainSize);
  Put32(central + 16, crc);
  Put32(central + 24, plainSize);
  Put32(data + local + 14, crc);
  Put32(data + local + 18, packedSize);
  Put32(data + local + 22, plainSize);
}

void RepairEntries(uint8_t* data, size_t size) {
  const uint8_t* end = FindEnd(data, size);
  if (end == nullptr) {
    return;
  }
  const uint32_t count = U16(end + 10), dirSize = U32(end + 12), dirOffset = U32(end + 16);
  if (!Inside(size, dirOffset, dirSize)) {
    return;
  }
  std::vector<unsigned char> plain;
  uint64_t at = dirOffset;
  for (uint32_t i = 0; i < count && Inside(size, at, CentralSize); ++i) {
    uint8_t* central = data + at;
    if (U32(central) != CentralSignature) {
      return;
    }
    RepairEntry(data, size, central, plain);
    at += CentralSize + U16(central + 28) + U16(central + 30) + U16(central + 32);
  }
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
  size = LLVMFuzzerMutate(data, size, maxSize);
  if (seed % 4 != 0) {
    RepairEntries(data, size);
  }
  return size;
}
