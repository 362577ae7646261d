// Child processes through popen.
#include "system/child_process.h"

#include <cstdio>
#include <cstdlib>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace host {

int RunCommand(const std::string& command, std::string& output) {
#if defined(_WIN32)
  // cmd /c takes the whole line in one pair of quotes, whatever it quotes inside.
  FILE* pipe = _popen(("\"" + command + " 2>&1\"").c_str(), "r");
#else
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
#endif
  if (pipe == nullptr) {
    output = "cannot start: " + command;
    return -1;
  }
  char buffer[1024];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    output += buffer;
  }
#if defined(_WIN32)
  return _pclose(pipe);
#else
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::string ProgramCommand(const std::string& program) {
  const char* emulator = std::getenv("FIXDCS_EMULATED");
  const std::string quoted = "\"" + program + "\"";
  return emulator != nullptr && *emulator != '\0' ? std::string(emulator) + " -L / " + quoted : quoted;
}

}  // namespace host
