// A private temporary folder, made with a fresh name only its owner can use
// and removed with everything in it when its owner ends, whatever happens.
#pragma once

#include <memory>
#include <string>

namespace host {

class TempFolder {
 public:
  // A new folder in the system's temporary folder, named from `prefix`; null
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

}  // namespace host
