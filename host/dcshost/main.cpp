// dcshost: the host emulator's program.
#include <iostream>

#include "dcshost/cli.h"

int main(int argc, char** argv) { return host::RunCli(argc, argv, std::cout); }
