// Runs a command line as a child process through the system's shell (sh on
// Linux, cmd on Windows), with its standard error joined to its output.
#pragma once

#include <string>

namespace host {

// The child's exit status, or -1 when it could not start or did not exit by
// itself (a signal); everything it printed in output.
int RunCommand(const std::string& command, std::string& output);

// How to start a program of this build as a child: its path, quoted, after
// the emulator this process runs under where FIXDCS_EMULATED names one (an
// i686 program on a kernel that cannot execute it runs under qemu-i386, and
// so must its children).
std::string ProgramCommand(const std::string& program);

}  // namespace host
