// dcshost: the host emulator's program.
#include <cstdio>
#include <iostream>

#include "dcshost/cli.h"

int main(int argc, char** argv) {
  // Each line leaves as it is printed, so that a run that a plant crashes keeps
  // what it said up to then (a pipe or a file is otherwise written in blocks).
  // Windows' C runtime buffers no stream by lines: there output is unbuffered.
#if defined(_WIN32)
  (void)std::setvbuf(stdout, nullptr, _IONBF, 0);
#else
  (void)std::setvbuf(stdout, nullptr, _IOLBF, 1 << 16);
#endif
  return host::RunCli(argc, argv, std::cout);
}
