// The FMU fuzzer's one run: the input bytes are an .fmu file. Its zip directory
// is read, every entry unpacked within the limits (inflated, its size and CRC-32
// checked) and modelDescription.xml, if there is one, read as dcshost reads it.
// Any crash or sanitizer report is a finding; so is a refusal without a message
// or a directory or entry let through that breaks the reader's own promises,
// which end the run with abort().
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "plant/model_description.h"
#include "system/inflate.h"
#include "system/temp_folder.h"
#include "system/zip_archive.h"

namespace {

const char* const ModelDescriptionEntry = "modelDescription.xml";

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fmu fuzzer: %s\n", what);
    std::abort();
  }
}

// The zip reader reads files, so each input is written to the same file in a
// private folder made once for the whole run and removed at its end.
std::string WriteInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<host::TempFolder> folder = [] {
    std::string error;
    auto made = host::TempFolder::Make("fmu-fuzz-", error);
    if (!made) {
      std::fprintf(stderr, "fmu fuzzer: %s\n", error.c_str());
      std::abort();
    }
    return made;
  }();
  const std::string path = folder->path() + "/input.fmu";
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  Check(static_cast<bool>(file.flush()), "cannot write the input's file");
  return path;
}

// What a directory the reader accepted must hold: no more entries or bytes
// than the limits, each name once and none that would leave its folder.
void CheckDirectory(const host::ZipArchive& zip) {
  const std::vector<host::ZipEntry>& entries = zip.Entries();
  Check(entries.size() <= host::MaxZipEntries, "more entries than MaxZipEntries accepted");
  std::set<std::string> names;
  uint64_t total = 0;
  for (const host::ZipEntry& e : entries) {
    Check(host::SafeEntryName(e.name), "an entry name that leaves its folder accepted");
    Check(names.insert(e.name).second, "an entry name accepted twice");
    Check(e.method == 0 || e.method == 8, "an entry of another method than stored or deflated accepted");
    Check(zip.Find(e.name) == &e, "Find does not give the entry of that name");
    total += e.size;
  }
  Check(total <= host::MaxUnpackedBytes, "more than MaxUnpackedBytes accepted");
}

// The model description as the FMU's unit reads it; a description accepted
// must have what a run relies on.
void ReadDescription(const std::vector<unsigned char>& bytes) {
  host::ModelDescription md;
  std::string error;
  const std::string text(bytes.begin(), bytes.end());
  if (!host::ReadModelDescription(text, ModelDescriptionEntry, md, error)) {
    Check(error.rfind(ModelDescriptionEntry, 0) == 0, "a model description refused without saying where");
    return;
  }
  Check(!md.guid.empty() && !md.modelIdentifier.empty(), "a model description accepted without guid or identifier");
  for (const host::FmuVariable& v : md.variables) {
    Check(!v.name.empty() && md.Find(v.name) == &v, "a variable accepted without a name of its own");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = WriteInput(data, size);
  host::ZipArchive zip;
  std::string error;
  if (!zip.Open(path, error)) {
    Check(error.rfind(path + ": ", 0) == 0, "a zip file refused without saying which");
    return 0;
  }
  CheckDirectory(zip);
  std::vector<unsigned char> bytes;
  for (const host::ZipEntry& e : zip.Entries()) {
    if (e.Folder()) {
      continue;
    }
    if (!zip.Read(e, bytes, error)) {
      Check(!error.empty(), "an entry refused without a message");
      continue;
    }
    Check(bytes.size() == e.size && host::Crc32(bytes.data(), bytes.size()) == e.crc,
          "an entry read whose size or CRC-32 is not the directory's");
    if (e.name == ModelDescriptionEntry) {
      ReadDescription(bytes);
    }
  }
  return 0;
}
