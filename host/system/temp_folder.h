// A private temporary folder, made with a fresh name only its owner can use
// and removed with everything in it when its owner ends. Its name holds the
// process's id ("PREFIX<pid>-..."), so that one a crashed or killed process
// left behind is removed the next time a folder of that prefix is made.
#pragma once

#include <memory>
#include <string>

namespace host {

class TempFolder {
 public:
  // A new folder in the system's temporary folder, named from `prefix`, once
  // the folders of that prefix whose processes are gone are removed; null
  // with a message when none can be made.
  static std::unique_ptr<TempFolder> Make(const std::string& prefix, std::string& error);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  explicit TempFolder(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

// While it lives, the system's temporary folder of this process, and of the
// processes it starts, is `folder` (TMPDIR; TMP and TEMP on Windows), which
// must exist; the old setting comes back with its end. dcshost test gives
// its cases a folder of its own this way, so that what a case that crashed
// left there is removed with that folder.
class TempFolderForChildren {
 public:
  explicit TempFolderForChildren(const std::string& folder);
  ~TempFolderForChildren();
  TempFolderForChildren(const TempFolderForChildren&) = delete;
  TempFolderForChildren& operator=(const TempFolderForChildren&) = delete;

 private:
  struct Old {
    const char* name;
    bool set;
    std::string value;
  };
  Old old_[2];
};

}  // namespace host
