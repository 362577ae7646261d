// A report folder, known by its mark: the file written-by-dcshost.txt in it,
// which lists every file dcshost wrote there (and every report folder inside
// it, which carries a mark of its own). A folder counts as an earlier report
// only with that mark; replacing it removes only what the mark lists, never
// a file dcshost did not write. Any other folder that is not empty is refused.
#pragma once

#include <string>
#include <vector>

namespace host {

class ReportFolder {
 public:
  static constexpr const char* MarkName = "written-by-dcshost.txt";

  // Empty when `folder` may take a report: it does not exist yet, is empty,
  // or holds an earlier report's mark; else the refusal, naming `option`.
  static std::string Refusal(const std::string& folder, const std::string& option);

  // Removes what an earlier report's mark lists, makes the folder and marks it
  // with `entries`: the files this report will write, as names relative to the
  // folder with '/' between folders; a name ending in '/' is a report folder
  // inside it, written by another process with its own mark. False with a
  // message (a file this report would write that dcshost did not write).
  bool Begin(const std::string& folder, const std::vector<std::string>& entries, std::string& error);
  // Copies a report folder written elsewhere (a shard's case) into a folder
  // the mark lists (an entry ending in '/'): its regular files only; a link or
  // anything else in it is refused, never followed. False with a message.
  bool CopyIn(const std::string& from, const std::string& entry, std::string& error) const;
  // The path of a file the mark lists, to write it; empty for any other name,
  // so that nothing unlisted is ever written into the folder.
  std::string File(const std::string& name) const;
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
  std::vector<std::string> entries_;
};

}  // namespace host
