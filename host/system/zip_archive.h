// A zip file, as an FMU travels: its central directory read and checked, and
// each entry read (stored or deflated, its CRC-32 checked) or unpacked under a
// folder. It refuses entries whose names would leave that folder and archives
// that would unpack beyond MaxZipEntries entries or MaxUnpackedBytes bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace host {

constexpr size_t MaxZipEntries = 10000;
constexpr uint64_t MaxUnpackedBytes = uint64_t{1} << 30;  // 1 GiB

struct ZipEntry {
  std::string name;     // as stored: '/' between folders; a folder's ends in '/'
  uint16_t method = 0;  // 0 stored, 8 deflated
  uint32_t crc = 0;
  uint32_t compressedSize = 0, size = 0;
  uint32_t localOffset = 0;
  bool Folder() const { return !name.empty() && name.back() == '/'; }
};

class ZipArchive {
 public:
  // Reads the directory of the zip file at `path`; false with "PATH: WHAT"
  // when it is no zip file, is cut short, uses what this reader does not
  // (zip64, encryption, a method other than stored or deflated), names an
  // entry that would leave its folder, or would unpack beyond the limits.
  bool Open(const std::string& path, std::string& error);
  const std::vector<ZipEntry>& Entries() const { return entries_; }
  // The entry whose name is `name`, or nullptr.
  const ZipEntry* Find(const std::string& name) const;
  // One entry's bytes, checked against its size and CRC-32.
  bool Read(const ZipEntry& entry, std::vector<unsigned char>& bytes, std::string& error);
  // Every entry written under `folder`, which must exist, each inflated as it
  // is written (never held whole in memory). All the archives a
  // process unpacks share one limit, MaxUnpackedBytes.
  bool Extract(const std::string& folder, std::string& error);

 private:
  bool ReadDirectory(uint32_t offset, uint32_t size, uint16_t count, std::string& error);
  bool ReadAt(uint64_t offset, size_t size, std::vector<unsigned char>& bytes);
  // An entry's bytes as stored in the file.
  bool ReadPacked(const ZipEntry& entry, std::vector<unsigned char>& packed, std::string& error);
  // An entry into its file, inflated as it goes (memory bounded by its packed
  // size and a few MiB), its size and CRC-32 checked.
  bool Unpack(const ZipEntry& entry, std::ostream& out, std::string& error);
  std::string path_;
  std::ifstream file_;
  uint64_t fileSize_ = 0;
  std::vector<ZipEntry> entries_;
};

// Whether an entry's name stays inside the folder it is unpacked into: no
// absolute name, drive or "..", no backslash or NUL.
bool SafeEntryName(const std::string& name);
// An entry's name with its "." parts and empty parts left out ("./a//b" is
// "a/b"), as the directory keeps it, so that one file has one name. An
// absolute name keeps no leading '/' either: it is refused before (SafeEntryName
// reads the name as stored).
std::string NormalEntryName(const std::string& name);

}  // namespace host
