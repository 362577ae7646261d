// `dcshost run CASE` and, with no arguments, the built-in tank example: a case
// loaded and run through the driver. It writes into a FIX other than the
// simulated database only when --live says so.
#include <filesystem>
#include <fstream>

#include "builtin_example.h"
#include "dcshost/commands.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// Writes the built-in tank example into a folder of its own under the
// temporary folder; its case path, or empty with a message when it cannot.
std::string WriteBuiltinExample(std::ostream& out) {
  std::error_code ec;
  fs::path temp = fs::temp_directory_path(ec);
  if (ec) {
    out << "dcshost: there is no temporary folder to write the built-in example into (" << ec.message()
        << "); set TMPDIR (TEMP on Windows) to a folder that exists\n";
    return std::string();
  }
  const fs::path folder = temp / "dcshost-builtin-tank";
  fs::create_directories(folder, ec);
  std::ofstream(folder / "tank.toml") << BuiltinTankCase;
  std::ofstream database(folder / "tank-db.csv");
  database << BuiltinTankDatabase;
  database.close();
  if (ec || !database) {
    out << "dcshost: cannot write the built-in example into " << folder.string() << "\n";
    return std::string();
  }
  out << "running the built-in example: the tank level loop (" << (folder / "tank.toml").string() << ")\n";
  return (folder / "tank.toml").string();
}

}  // namespace

int RunCaseCommand(CaseCommand& command, std::ostream& out) {
  command.options.progress = !command.noProgress;
  if (command.casePath.empty()) {
    command.casePath = WriteBuiltinExample(out);
    if (command.casePath.empty()) {
      return 2;
    }
    command.options.tracePath = "dcshost-tank-trace.csv";
    command.options.plotPath = "dcshost-tank-plot.svg";
    command.options.progress = true;
  }
  Case c;
  RunResult result;
  const int status = LoadCaseFile(command.casePath, c, out);
  return status != 0 ? status : RunCase(c, command.options, out, result);
}

}  // namespace host
