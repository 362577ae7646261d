// `dcshost check CASE`: whether the case's tag tables bind, with any FIX. It
// only reads: it never sets a value in FIX or writes a group.
#include "dcshost/commands.h"
#include "system/exit_status.h"

namespace host {

int CheckCaseCommand(const CaseCommand& command, std::ostream& out) {
  Case c;
  RunResult result;
  const int status = LoadCaseFile(command.casePath, c, out);
  return status != 0 ? status : CheckCase(c, command.options, out, result);
}

int LoadCaseFile(const std::string& path, Case& c, std::ostream& out) {
  std::string error;
  if (!LoadCase(path, c, error)) {
    return Refuse(out, error);
  }
  return 0;
}

}  // namespace host
