// Report folders: the mark read and written, an earlier report's files
// removed by their names in it, nothing else touched.
#include "system/report_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "system/output_file.h"
#include "system/paths.h"

namespace host {
namespace {

namespace fs = std::filesystem;

const char MarkHeader[] = "dcshost report: dcshost wrote the files below and removes them when it replaces the report";

// A name the mark may hold: relative, '/' between folders, no "." or ".."
// part, no drive, no backslash, no control character.
bool ListableName(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos ||
      name.find(':') != std::string::npos) {
    return false;
  }
  if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
    return false;
  }
  size_t begin = 0;
  const size_t end = name.back() == '/' ? name.size() - 1 : name.size();
  while (begin <= end) {
    const size_t slash = std::min(name.find('/', begin), end);
    const std::string part = name.substr(begin, slash - begin);
    if (part.empty() || part == "." || part == "..") {
      return false;
    }
    begin = slash + 1;
  }
  return true;
}

// The entries of folder's mark; false when it has none or it is damaged.
bool ReadMark(const fs::path& folder, std::vector<std::string>& entries) {
  std::error_code ec;
  const fs::path mark = folder / ReportFolder::MarkName;
  if (!fs::is_regular_file(fs::symlink_status(mark, ec))) {
    return false;
  }
  std::ifstream file(mark, std::ios::binary);
  std::string line;
  if (!std::getline(file, line) || line != MarkHeader) {
    return false;
  }
  while (std::getline(file, line)) {
    if (!ListableName(line)) {
      return false;
    }
    entries.push_back(line);
  }
  return true;
}

// Removes what folder's mark lists (report folders inside by their own
// marks), the folders left empty by it, and the mark.
void ClearMarked(const fs::path& folder) {
  std::vector<std::string> entries;
  if (!ReadMark(folder, entries)) {
    return;
  }
  std::error_code ec;
  std::set<fs::path> parents;
  for (const std::string& entry : entries) {
    const fs::path path = folder / PathOf(entry.back() == '/' ? entry.substr(0, entry.size() - 1) : entry);
    const fs::file_status status = fs::symlink_status(path, ec);
    if (entry.back() == '/') {
      if (fs::is_directory(status)) {
        ClearMarked(path);
        fs::remove(path, ec);  // only when nothing else is left in it
      }
    } else if (fs::is_regular_file(status) || fs::is_symlink(status)) {
      fs::remove(path, ec);  // a link is removed itself, never what it names
    }
    for (fs::path p = path.parent_path(); p != folder && p.has_relative_path(); p = p.parent_path()) {
      parents.insert(p);
    }
  }
  fs::remove(folder / ReportFolder::MarkName, ec);
  for (auto p = parents.rbegin(); p != parents.rend(); ++p) {  // the deepest first
    fs::remove(*p, ec);                                        // only when empty
  }
}

}  // namespace

std::string ReportFolder::Refusal(const std::string& folder, const std::string& option) {
  std::error_code ec;
  const fs::path path = PathOf(folder);
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) {
    return std::string();
  }
  if (!fs::is_directory(status)) {
    return option + " " + folder + " is a file, not a folder: give a new or empty folder";
  }
  std::vector<std::string> entries;
  if (fs::is_empty(path, ec) || ReadMark(path, entries)) {
    return std::string();
  }
  return option + " " + folder + " holds files that are not a dcshost report (it has no " + MarkName +
         "): give a new or empty folder; an earlier report is replaced only when it carries that mark (a report "
         "written by an older dcshost has none: remove it yourself)";
}

bool ReportFolder::Begin(const std::string& folder, const std::vector<std::string>& entries, std::string& error) {
  folder_ = folder;
  entries_.clear();
  const fs::path path = PathOf(folder);
  ClearMarked(path);
  std::error_code ec;
  fs::create_directories(path, ec);
  if (ec) {
    error = folder + ": cannot make the report's folder: " + ec.message();
    return false;
  }
  std::string mark = std::string(MarkHeader) + "\n";
  for (const std::string& entry : entries) {
    const std::string name = entry.back() == '/' ? entry.substr(0, entry.size() - 1) : entry;
    if (!ListableName(entry)) {
      error = folder + ": '" + entry + "' cannot be a file of a report";
      return false;
    }
    if (fs::exists(fs::symlink_status(path / PathOf(name), ec))) {
      error = folder + "/" + name + ": the report would replace a file dcshost did not write there; move it away";
      return false;
    }
    if (entry.back() != '/') {
      fs::create_directories((path / PathOf(name)).parent_path(), ec);
    }
    mark += entry + "\n";
  }
  entries_ = entries;
  return WriteWholeFile(GenericName(path / MarkName), "the report's mark", mark, error);
}

bool ReportFolder::CopyIn(const std::string& from, const std::string& entry, std::string& error) const {
  if (std::find(entries_.begin(), entries_.end(), entry) == entries_.end() || entry.back() != '/') {
    error = folder_ + "/" + entry + ": not a folder the report listed before it was written";
    return false;
  }
  std::error_code ec;
  const fs::path source = PathOf(from);
  const fs::path target = PathOf(folder_ + "/" + entry.substr(0, entry.size() - 1));
  if (!fs::is_directory(fs::symlink_status(source, ec))) {
    error = from + ": not a folder of the report (a link or a file): report merge copies only what dcshost wrote";
    return false;
  }
  fs::create_directories(target, ec);
  for (fs::recursive_directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::file_status status = it->symlink_status(ec);
    const fs::path to = target / it->path().lexically_relative(source);
    if (fs::is_directory(status)) {
      fs::create_directories(to, ec);
    } else if (fs::is_regular_file(status)) {
      std::ifstream in(it->path(), std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!in.good() && !in.eof()) {
        error = GenericName(it->path()) + ": cannot read it";
        return false;
      }
      if (!WriteWholeFile(GenericName(to), "a copied report file", text, error)) {
        return false;
      }
    } else {
      error = GenericName(it->path()) +
              ": a link or a special file in a report: report merge copies only the "
              "regular files dcshost wrote, and follows no link";
      return false;
    }
  }
  if (ec) {
    error = from + ": cannot read the folder: " + ec.message();
    return false;
  }
  return true;
}

std::string ReportFolder::File(const std::string& name) const {
  if (std::find(entries_.begin(), entries_.end(), name) == entries_.end()) {
    return std::string();
  }
  return folder_ + "/" + name;
}

}  // namespace host
