// Opening an FMU: unpacked (an .fmu) or taken as it is (a folder), its model
// description read, the binary for this platform found, hashed, announced and
// loaded, and every function dcshost calls resolved before any is called.
#include "plant/fmu_unit.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "plant/fmu_calls.h"
#include "system/paths.h"
#include "system/foreign_call.h"
#include "system/sha256.h"
#include "system/shared_library.h"
#include "system/zip_archive.h"

namespace host {
namespace {

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream in(PathOf(path), std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return static_cast<bool>(in);
}

// The platforms an FMU carries binaries for, in words: "win64 and linux64".
std::string PlatformsIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(PathOf(folder + "/binaries"), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_directory(ec)) {
      names.push_back(GenericName(it->path().filename()));
    }
  }
  std::string list;
  for (size_t i = 0; i < names.size(); ++i) {
    list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  return names.empty() ? "no binaries at all" : "binaries for " + list;
}

}  // namespace

const char* FmuPlatform() {
#if defined(_WIN32)
  return sizeof(void*) == 4 ? "win32" : "win64";
#else
  return sizeof(void*) == 4 ? "linux32" : "linux64";
#endif
}

const char* FmuPlatformWords() {
#if defined(_WIN32)
  return sizeof(void*) == 4 ? "32-bit Windows" : "64-bit Windows";
#else
  return sizeof(void*) == 4 ? "32-bit Linux" : "64-bit Linux";
#endif
}

const char* FmuOtherPlatform() {
#if defined(_WIN32)
  return sizeof(void*) == 4 ? "win64" : "win32";
#else
  return sizeof(void*) == 4 ? "linux64" : "linux32";
#endif
}

std::string FileUri(const std::string& path) {
  std::string absolute = GenericName(std::filesystem::absolute(PathOf(path)));
  std::string uri = absolute.rfind('/', 0) == 0 ? "file://" : "file:///";
  static const char* const hex = "0123456789ABCDEF";
  for (const char c : absolute) {
    const unsigned char b = static_cast<unsigned char>(c);
    const bool plain = std::isalnum(b) != 0 || b == '/' || b == '-' || b == '_' || b == '.' || b == '~' || b == ':';
    uri += plain ? std::string(1, c) : std::string{'%', hex[b >> 4], hex[b & 15]};
  }
  return uri;
}

std::unique_ptr<FmuUnit> FmuUnit::Open(const std::string& file, const std::string& instance, std::ostream& out,
                                       std::string& error, FmuCode code, const std::string& unpacked) {
  std::unique_ptr<FmuUnit> unit(new FmuUnit());
  unit->file_ = file;
  unit->instance_ = instance;
  unit->who_ = unit->Who();
  unit->out_ = &out;
  std::error_code ec;
  std::string folder = unpacked.empty() ? file : unpacked;
  if (unpacked.empty() && !std::filesystem::is_directory(PathOf(file), ec)) {
    ZipArchive zip;
    if (!zip.Open(file, error)) {
      return nullptr;
    }
    if (zip.Find("modelDescription.xml") == nullptr) {
      error = file + ": no modelDescription.xml: not an FMU";
      return nullptr;
    }
    unit->folder_ = TempFolder::Make("dcshost-fmu-", error);
    if (!unit->folder_ || !zip.Extract(unit->folder_->path(), error)) {
      return nullptr;
    }
    folder = unit->folder_->path();
    if (!Sha256File(file, unit->sha256_, error)) {
      return nullptr;
    }
  }
  return unit->Load(folder, out, code, error) ? std::move(unit) : nullptr;
}

bool FmuUnit::Load(const std::string& folder, std::ostream& out, FmuCode code, std::string& error) {
  std::string text;
  const std::string described = folder_ ? file_ + "/modelDescription.xml" : folder + "/modelDescription.xml";
  if (!ReadText(folder + "/modelDescription.xml", text)) {
    error = file_ + ": no modelDescription.xml: not an FMU";
    return false;
  }
  if (!ReadModelDescription(text, described, md_, error)) {
    return false;
  }
  folderPath_ = folder;
  // binaries/PLATFORM/IDENTIFIER.so (or .dll), as the FMU's folder holds it;
  // a worker may run the other word size's where this one's is absent.
  const auto within = [this](const char* platform) {
    return std::string("binaries/") + platform + "/" + md_.modelIdentifier + (platform[0] == 'w' ? ".dll" : ".so");
  };
  std::error_code ec;
  platform_ = FmuPlatform();
  if (!std::filesystem::is_regular_file(PathOf(folder + "/" + within(FmuPlatform())), ec) && code == FmuCode::Worker &&
      std::filesystem::is_regular_file(PathOf(folder + "/" + within(FmuOtherPlatform())), ec)) {
    platform_ = FmuOtherPlatform();
  }
  const std::string binary = folder + "/" + within(platform_.c_str());
  if (!std::filesystem::is_regular_file(PathOf(binary), ec)) {
    const bool platform = std::filesystem::is_directory(PathOf(folder + "/binaries/" + FmuPlatform()), ec);
    error = file_ + ": " +
            (platform ? std::string("no ") + FmuPlatform() + "/" + md_.modelIdentifier + " binary"
                      : "carries " + PlatformsIn(folder)) +
            "; this dcshost is " + FmuPlatformWords() + " and needs " + within(FmuPlatform()) +
            (code == FmuCode::Worker
                 ? std::string(" (or its worker of the other word size, ") + within(FmuOtherPlatform()) + ")"
                 : std::string());
    return false;
  }
  if ((sha256_.empty() && !Sha256File(binary, sha256_, error)) || !Sha256File(binary, binarySha256_, error)) {
    return false;
  }
  binaryName_ = within(platform_.c_str());
  if (code == FmuCode::Read) {
    out << "FMU " << file_ << " (" << md_.modelName << "): SHA-256 " << sha256_ << "; its native code " << binaryName_
        << ", SHA-256 " << binarySha256_ << ", is not loaded: check reads only, so whether the FMU instantiates, "
        << "takes its start values and answers is for run to find\n";
    return true;
  }
  if (code == FmuCode::Worker) {
    out << "FMU " << file_ << " (" << md_.modelName << "): SHA-256 " << sha256_ << "; its native code " << binaryName_
        << ", SHA-256 " << binarySha256_ << ", runs in a worker process\n";
    return true;
  }
  if (code == FmuCode::Here) {
    out << "FMU " << file_ << " (" << md_.modelName << "): SHA-256 " << sha256_ << "; loading its native code "
        << binary << ", SHA-256 " << binarySha256_ << '\n';
  }
  resources_ = FileUri(folder + "/resources");
#if defined(_WIN32)
  std::string native = binary;
  std::replace(native.begin(), native.end(), '/', '\\');  // the loader wants backslashes
#else
  const std::string& native = binary;
#endif
  {
    const ForeignCall call(who_);  // loading runs the library's own initialisers
    library_ = OpenLibraryBeside(native, error);
  }
  if (library_ == nullptr) {
    error = file_ + ": its " + FmuPlatform() + " binary cannot be loaded: " + error;
    return false;
  }
  calls_.reset(new Calls());
  const char* missing = calls_->Resolve(library_);
  if (missing != nullptr) {
    error = file_ + ": its binary has no function " + missing + ", which dcshost calls";
    return false;
  }
  return true;
}

FmuUnit::~FmuUnit() {
  const ForeignCall call(who_);
  // After an error the FMU may only be freed; after a fatal one, not even that.
  if (component_ != nullptr && calls_ && !fatal_) {
    if (initialised_ && !erred_) {
      calls_->terminate(component_);
    }
    calls_->freeInstance(component_);
  }
  if (library_ != nullptr) {
    CloseLibrary(library_);
  }
  // The temporary folder goes last, once nothing in it is loaded.
}

}  // namespace host
