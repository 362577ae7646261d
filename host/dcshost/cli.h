// The dcshost command line: `run CASE`, `check CASE`, and with no arguments
// the built-in tank example. Returns the exit status: 0 success, 1 the case
// does not bind, 2 bad arguments or files.
#pragma once

#include <ostream>

namespace host {

int RunCli(int argc, char** argv, std::ostream& out);

}  // namespace host
