// Every path a command writes, listed and checked once, before the command
// runs anything. The command names what it reads and what it will write; the
// plan refuses, naming both paths:
// - an output that is one of the inputs (however spelled: a relative or
//   absolute path, "./", "..", a link, another case where the file system
//   ignores case), except the one input an output may replace (a saved
//   state over the state the run goes on from);
// - two outputs that are one file;
// - an output file that is itself a symbolic link (never followed or
//   replaced; folders along the path may be links);
// - an output inside a report folder, but for the report's own plot;
// - a report folder that holds anything but an earlier report of this tool
//   (see ReportFolder), or that holds an input;
// - a folder that cannot be written.
// Outputs are then written with OutputFile and report folders filled with
// ReportFolder, the only ways host/ writes a file.
#pragma once

#include <string>
#include <vector>

namespace host {

class OutputPlan {
 public:
  // A file or folder the command reads; `what` names it ("the case's database").
  void Read(const std::string& path, const std::string& what);
  // A file the command writes; `option` names it ("--trace"). `mayReplace`,
  // when given, is the `what` of an input the output may be.
  void Write(const std::string& path, const std::string& option, const std::string& mayReplace = std::string());
  // A file the command writes into a folder it makes first, as --plots.
  void WriteInNewFolder(const std::string& path, const std::string& option);
  // A report folder the command fills (see ReportFolder).
  void WriteReport(const std::string& folder, const std::string& option);
  // True when every rule holds; else false with the first refusal.
  bool Check(std::string& error) const;

 private:
  struct Path {
    std::string path, what, mayReplace;
    bool folderMade = false;
  };
  std::vector<Path> inputs_, outputs_, reports_;
};

// True when `path` lies inside `folder` (or is it), however spelled.
bool Inside(const std::string& path, const std::string& folder);
// Empty when `path` is no symbolic link, else the refusal "OPTION PATH is a symbolic link: ...".
std::string LinkRefusal(const std::string& path, const std::string& option);

}  // namespace host
