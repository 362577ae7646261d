// The zip reader: the end record found in the file's last 64 KiB, the central
// directory checked as a whole before any byte is unpacked, and each entry read
// through its local header. It trusts no size or offset it has not checked.
#include "system/zip_archive.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>
#include <system_error>

#include "system/inflate.h"
#include "system/paths.h"

namespace host {
namespace {

constexpr uint32_t EndSignature = 0x06054b50, CentralSignature = 0x02014b50, LocalSignature = 0x04034b50;
constexpr size_t EndSize = 22, CentralSize = 46, LocalSize = 30, MostComment = 0xFFFF;
constexpr uint16_t Stored = 0, Deflated = 8, Encrypted = 1;

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const unsigned char* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }

// A name to compare without regard to case, as a Windows folder compares them.
std::string Folded(std::string name) {
  for (char& c : name) {
    c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return name;
}

}  // namespace

std::string NormalEntryName(const std::string& name) {
  std::string normal;
  size_t start = 0;
  while (start < name.size()) {
    const size_t end = std::min(name.find('/', start), name.size());
    const std::string part = name.substr(start, end - start);
    if (!part.empty() && part != ".") {
      normal += (normal.empty() ? "" : "/") + part;
    }
    start = end + 1;
  }
  return normal + (!normal.empty() && !name.empty() && name.back() == '/' ? "/" : "");
}

bool SafeEntryName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name.find_first_of(std::string("\\:\0", 3)) != std::string::npos) {
    return false;
  }
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = std::min(name.find('/', start), name.size());
    if (name.compare(start, end - start, "..") == 0) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// A size the file states is checked against the file before anything is
// allocated for it: a few hostile bytes must not cost gigabytes of memory.
bool ZipArchive::ReadAt(uint64_t offset, size_t size, std::vector<unsigned char>& bytes) {
  bytes.clear();
  if (offset > fileSize_ || size > fileSize_ - offset) {
    return false;
  }
  bytes.assign(size, 0);
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(offset));
  return static_cast<bool>(file_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)));
}

bool ZipArchive::Open(const std::string& path, std::string& error) {
  path_ = path;
  entries_.clear();
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(PathOf(path), ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    error = path + ": not a regular file";  // a pipe or a device would hang the read or never end
    return false;
  }
  file_.open(PathOf(path), std::ios::binary);
  fileSize_ = file_ ? std::filesystem::file_size(PathOf(path), ec) : 0;
  if (!file_ || ec) {
    error = path + ": cannot read it";
    return false;
  }
  // The end record: the last signature within the comment's reach of the end.
  const uint64_t tail = std::min<uint64_t>(fileSize_, EndSize + MostComment);
  std::vector<unsigned char> bytes;
  if (tail < EndSize || !ReadAt(fileSize_ - tail, static_cast<size_t>(tail), bytes)) {
    error = path + ": not a zip file (too short)";
    return false;
  }
  for (size_t at = bytes.size() - EndSize + 1; at-- > 0;) {
    const unsigned char* end = bytes.data() + at;
    if (U32(end) != EndSignature) {
      continue;
    }
    if (U16(end + 4) != 0 || U16(end + 6) != 0 || U16(end + 8) != U16(end + 10)) {
      error = path + ": a zip file split over several disks";
      return false;
    }
    if (U16(end + 10) == 0xFFFF || U32(end + 12) == 0xFFFFFFFF || U32(end + 16) == 0xFFFFFFFF) {
      error = path + ": a zip64 file (entries beyond 4 GiB or 65535 of them), which dcshost does not read";
      return false;
    }
    return ReadDirectory(U32(end + 16), U32(end + 12), U16(end + 10), error);
  }
  error = path + ": not a zip file (no end of central directory)";
  return false;
}

bool ZipArchive::ReadDirectory(uint32_t offset, uint32_t size, uint16_t count, std::string& error) {
  if (count > MaxZipEntries) {
    error = path_ + ": holds " + std::to_string(count) + " entries, more than the " + std::to_string(MaxZipEntries) +
            " dcshost unpacks";
    return false;
  }
  std::vector<unsigned char> dir;
  if (!ReadAt(offset, size, dir)) {
    error = path_ + ": cut short (its central directory lies beyond its end)";
    return false;
  }
  uint64_t total = 0;
  std::set<std::string> names;
  size_t at = 0;
  for (uint16_t i = 0; i < count; ++i) {
    const unsigned char* h = dir.data() + at;
    if (dir.size() - at < CentralSize || U32(h) != CentralSignature) {
      error = path_ + ": its central directory is damaged at entry " + std::to_string(i + 1);
      return false;
    }
    const size_t nameLength = U16(h + 28), rest = nameLength + U16(h + 30) + U16(h + 32);
    if (dir.size() - at - CentralSize < rest) {
      error = path_ + ": its central directory is damaged at entry " + std::to_string(i + 1);
      return false;
    }
    ZipEntry e;
    const std::string stored(reinterpret_cast<const char*>(h + CentralSize), nameLength);
    e.name = NormalEntryName(stored);
    e.method = U16(h + 10);
    e.crc = U32(h + 16);
    e.compressedSize = U32(h + 20);
    e.size = U32(h + 24);
    e.localOffset = U32(h + 42);
    at += CentralSize + rest;
    std::string problem;
    if ((U16(h + 8) & Encrypted) != 0) {
      problem = "is encrypted";
    } else if (e.method != Stored && e.method != Deflated) {
      problem = "is compressed by method " + std::to_string(e.method) + " (dcshost reads stored and deflated entries)";
    } else if (!SafeEntryName(stored) || e.name.empty() || e.name == "/") {
      problem = "has a name that would leave the folder it is unpacked into";
    } else if (!names.insert(Folded(e.name)).second) {
      problem = "is named twice (its name, without regard to case, is another entry's)";
    } else if (e.method == Stored && e.compressedSize != e.size) {
      problem = "is stored with two sizes";
    }
    total += e.size;
    if (problem.empty() && total > MaxUnpackedBytes) {
      problem = "brings the unpacked size beyond 1 GiB, more than dcshost unpacks";
    }
    if (!problem.empty()) {
      error = path_ + ": entry '" + stored + "' " + problem;
      return false;
    }
    entries_.push_back(e);
  }
  return true;
}

const ZipEntry* ZipArchive::Find(const std::string& name) const {
  for (const ZipEntry& e : entries_) {
    if (e.name == name) {
      return &e;
    }
  }
  return nullptr;
}

bool ZipArchive::ReadPacked(const ZipEntry& e, std::vector<unsigned char>& packed, std::string& error) {
  const std::string where = path_ + ": entry '" + e.name + "'";
  std::vector<unsigned char> header;
  if (!ReadAt(e.localOffset, LocalSize, header) || U32(header.data()) != LocalSignature) {
    error = where + ": its local header is missing or damaged";
    return false;
  }
  const uint64_t data = uint64_t{e.localOffset} + LocalSize + U16(header.data() + 26) + U16(header.data() + 28);
  if (!ReadAt(data, e.compressedSize, packed)) {
    error = where + ": cut short (its data lies beyond the file's end)";
    return false;
  }
  return true;
}

bool ZipArchive::Read(const ZipEntry& e, std::vector<unsigned char>& bytes, std::string& error) {
  const std::string where = path_ + ": entry '" + e.name + "'";
  std::vector<unsigned char> packed;
  if (!ReadPacked(e, packed, error)) {
    return false;
  }
  if (e.method == Stored) {
    bytes.swap(packed);
  } else if (!Inflate(packed.data(), packed.size(), e.size, bytes, error)) {
    error = where + ": " + error;
    return false;
  }
  if (bytes.size() != e.size || Crc32(bytes.data(), bytes.size()) != e.crc) {
    error = where + ": damaged (its size or CRC-32 is not the directory's)";
    return false;
  }
  return true;
}

bool ZipArchive::Extract(const std::string& folder, std::string& error) {
  // One limit for every archive this process unpacks, however many FMUs a run holds.
  static std::atomic<uint64_t> unpacked{0};
  uint64_t size = 0;
  for (const ZipEntry& e : entries_) {
    size += e.size;
  }
  uint64_t before = unpacked.load();
  do {
    if (size > MaxUnpackedBytes - std::min(before, MaxUnpackedBytes)) {
      error = path_ + ": unpacking it would bring what this run unpacks beyond 1 GiB, more than dcshost unpacks";
      return false;
    }
  } while (!unpacked.compare_exchange_weak(before, before + size));
  std::vector<unsigned char> bytes;
  for (const ZipEntry& e : entries_) {
    const std::filesystem::path target = PathOf(folder + "/" + e.name);
    std::error_code ec;
    std::filesystem::create_directories(e.Folder() ? target : target.parent_path(), ec);
    if (ec) {
      error = folder + ": cannot make the folders of '" + e.name + "': " + ec.message();
      return false;
    }
    if (e.Folder()) {
      continue;
    }
    std::ofstream out(target, std::ios::binary);
    if (!Unpack(e, out, error) || !out.flush()) {
      if (error.empty()) {
        error = folder + ": cannot write '" + e.name + "'";
      }
      return false;
    }
  }
  return true;
}

namespace {

// An entry's bytes into its file as they are inflated.
class FileSink final : public InflateSink {
 public:
  explicit FileSink(std::ostream& out) : out_(out) {}
  bool Take(const unsigned char* bytes, size_t size, std::string& error) override {
    if (!out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size))) {
      error = "cannot write it";
      return false;
    }
    return true;
  }

 private:
  std::ostream& out_;
};

}  // namespace

bool ZipArchive::Unpack(const ZipEntry& e, std::ostream& out, std::string& error) {
  const std::string where = path_ + ": entry '" + e.name + "'";
  error.clear();
  std::vector<unsigned char> packed;
  if (!ReadPacked(e, packed, error)) {
    return false;
  }
  uint32_t crc = 0;
  uint64_t size = 0;
  if (e.method == Stored) {
    crc = Crc32(packed.data(), packed.size());
    size = packed.size();
    FileSink sink(out);
    if (!sink.Take(packed.data(), packed.size(), error)) {
      error = where + ": " + error;
      return false;
    }
  } else {
    FileSink sink(out);
    if (!InflateTo(packed.data(), packed.size(), e.size, sink, crc, size, error)) {
      error = where + ": " + error;
      return false;
    }
  }
  if (size != e.size || crc != e.crc) {
    error = where + ": damaged (its size or CRC-32 is not the directory's)";
    return false;
  }
  return true;
}

}  // namespace host
