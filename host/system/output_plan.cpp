// The plan of a command's outputs, checked against its inputs, each other,
// links, report folders and the folders' permissions.
#include "system/output_plan.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "system/paths.h"
#include "system/report_folder.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace host {
namespace {

namespace fs = std::filesystem;

// The path made absolute and resolved as far as it exists, for comparing.
fs::path Resolved(const std::string& path) {
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(fs::absolute(PathOf(path), ec), ec);
  return ec ? fs::absolute(PathOf(path), ec).lexically_normal() : resolved;
}

// The path's text for comparing: on Windows without regard to case, as its
// file systems compare names.
std::string Compared(const fs::path& path) {
  std::string text = GenericName(path);
#if defined(_WIN32)
  for (char& c : text) {
    c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
#endif
  while (text.size() > 1 && text.back() == '/') {
    text.pop_back();
  }
  return text;
}

// What a path names, for comparing paths: for a file that exists, the file
// itself (its device and number, so that links and hard links to it compare
// equal), else the path resolved as far as it exists. Found once per path, so
// that comparing the paths of a suite of thousands of cases stays linear.
std::string Identity(const std::string& path) {
#if defined(_WIN32)
  const HANDLE file = CreateFileW(PathOf(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (known) {
      return "#" + std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
             std::to_string(info.nFileIndexLow);
    }
  }
#else
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    return "#" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  }
#endif
  return Compared(Resolved(path));
}

// Whether a file can be made in folder: one is made there with a fresh name
// and removed. 0, or the system's reason.
int ProbeFolder(const fs::path& folder) {
#if defined(_WIN32)
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const fs::path probe =
        folder / PathOf(".dcshost-probe-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
    const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return 0;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) {
      return EACCES;
    }
  }
  return EEXIST;
#else
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const fs::path probe = folder / (".dcshost-probe-" + std::to_string(getpid()) + "-" + std::to_string(attempt));
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
      close(fd);
      unlink(probe.c_str());
      return 0;
    }
    if (errno != EEXIST) {
      return errno;
    }
  }
  return EEXIST;
#endif
}

// Empty when a file can be written at path (its folder exists and takes new
// files), else the refusal. Each folder is probed once (`probed`: its code).
std::string FolderRefusal(const std::string& path, const std::string& option, bool folderMade, const std::string& shown,
                          std::map<std::string, int>& probed) {
  std::error_code ec;
  fs::path folder = fs::absolute(PathOf(path), ec).parent_path();
  if (folderMade) {  // the nearest folder that exists must take the folders made
    while (!fs::exists(folder, ec) && folder.has_relative_path()) {
      folder = folder.parent_path();
    }
  }
  const auto known = probed.find(GenericName(folder));
  int code = 0;
  if (known != probed.end()) {
    code = known->second;
  } else {
    const fs::file_status status = fs::status(folder, ec);
    code = !fs::is_directory(status) ? (fs::exists(status) ? ENOTDIR : ENOENT) : ProbeFolder(folder);
    probed.emplace(GenericName(folder), code);
  }
  return code == 0 ? std::string()
                   : option + " " + shown + ": cannot write into " + GenericName(folder) + ": " + std::strerror(code);
}

}  // namespace

bool Inside(const std::string& path, const std::string& folder) {
  const std::string p = Compared(Resolved(path));
  const std::string f = Compared(Resolved(folder));
  return p == f || (p.size() > f.size() && p.compare(0, f.size(), f) == 0 && (f.back() == '/' || p[f.size()] == '/'));
}

std::string LinkRefusal(const std::string& path, const std::string& option) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(PathOf(path), ec))) {
    return std::string();
  }
  return option + " " + path +
         " is a symbolic link: dcshost never writes through a link or replaces one; "
         "name the file itself";
}

void OutputPlan::Read(const std::string& path, const std::string& what) {
  if (!path.empty()) {
    inputs_.push_back(Path{path, what, "", false});
  }
}

void OutputPlan::Write(const std::string& path, const std::string& option, const std::string& mayReplace) {
  if (!path.empty()) {
    outputs_.push_back(Path{path, option, mayReplace, false});
  }
}

void OutputPlan::WriteInNewFolder(const std::string& path, const std::string& option) {
  if (!path.empty()) {
    outputs_.push_back(Path{path, option, "", true});
  }
}

void OutputPlan::WriteReport(const std::string& folder, const std::string& option) {
  if (!folder.empty()) {
    reports_.push_back(Path{folder, option, "", true});
  }
}

bool OutputPlan::Check(std::string& error) const {
  const auto refuse = [&error](const std::string& message) {
    error = message;
    return false;
  };
  std::unordered_map<std::string, std::vector<const Path*>> inputsById;
  std::vector<const Path*> inputFolders;  // an output may not lie inside one
  for (const Path& in : inputs_) {
    inputsById[Identity(in.path)].push_back(&in);
    std::error_code ec;
    if (fs::is_directory(PathOf(in.path), ec)) {
      inputFolders.push_back(&in);
    }
  }
  std::vector<const Path*> all;
  for (const Path& o : outputs_) {
    all.push_back(&o);
  }
  for (const Path& r : reports_) {
    all.push_back(&r);
  }
  std::unordered_map<std::string, const Path*> outputsById;
  for (size_t i = 0; i < all.size(); ++i) {
    const Path& out = *all[i];
    const bool report = i >= outputs_.size();
    const std::string id = Identity(out.path);
    const auto same = inputsById.find(id);
    for (size_t k = 0; same != inputsById.end() && k < same->second.size(); ++k) {
      const Path& in = *same->second[k];
      if (in.what != out.mayReplace) {
        return refuse(out.what + " " + out.path + " names " + in.what + " (" + in.path +
                      "): an output never replaces what the command reads; choose another " +
                      (report ? "folder" : "file"));
      }
    }
    for (const Path& in : inputs_) {
      if (report && Inside(in.path, out.path)) {
        return refuse(out.what + " " + out.path + " holds " + in.what + " (" + in.path +
                      "): an output never replaces what the command reads; choose another folder");
      }
    }
    for (const Path* in : inputFolders) {
      if (Inside(out.path, in->path) && same == inputsById.end()) {
        return refuse(out.what + " " + out.path + " lies inside " + in->what + " (" + in->path +
                      "): an output never goes into what the command reads; choose another folder");
      }
    }
    const auto earlier = outputsById.emplace(id, &out);
    if (!earlier.second) {
      return refuse(earlier.first->second->what + " and " + out.what + " name the same file (" +
                    earlier.first->second->path + "): one would replace the other; choose two files");
    }
  }
  std::map<std::string, int> probed;
  for (const Path& out : outputs_) {
    bool inReport = false;  // the report's folder is checked, and made, as the report's
    for (const Path& report : reports_) {
      // A report's own plot is the one file another option may write into it.
      inReport = inReport || Inside(out.path, report.path);
      if (Inside(out.path, report.path) && Identity(out.path) != Identity(report.path + "/plot.svg")) {
        return refuse(out.what + " " + out.path + " lies inside the report folder " + report.path + " (" + report.what +
                      "), which holds only the report's own files; choose a file outside it");
      }
    }
    if (const std::string link = LinkRefusal(out.path, out.what); !link.empty()) {
      return refuse(link);
    }
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(out.path), ec);
    if (fs::is_directory(status)) {
      return refuse(out.what + " " + out.path + " is a folder: name a file");
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
      continue;  // a device or a pipe, written directly
    }
    if (const std::string folder = FolderRefusal(out.path, out.what, out.folderMade, out.path, probed);
        !inReport && !folder.empty()) {
      return refuse(folder);
    }
  }
  for (const Path& report : reports_) {
    if (const std::string refusal = ReportFolder::Refusal(report.path, report.what); !refusal.empty()) {
      return refuse(refusal);
    }
    if (const std::string folder = FolderRefusal(report.path + "/index.html", report.what, true, report.path, probed);
        !folder.empty()) {
      return refuse(folder);
    }
  }
  return true;
}

}  // namespace host
