// `dcshost test PATH...`: runs every case found under the paths, each in a
// process of its own (so no stand-in state passes from one case to the next),
// a given number at a time; prints a table of the cases with their
// expectations passed and failed and their time; writes JUnit XML when asked;
// keeps a plot of each failing case. --filter and --shard choose the cases,
// --list only prints them, --rerun-failed takes the cases that failed in a
// report. Exit status 0 when every case passed, 1 when one
// failed, 2 for bad arguments or no case found.
#pragma once

#include <ostream>

#include "dcshost/test_options.h"

namespace host {

int RunTests(const TestOptions& options, std::ostream& out);

}  // namespace host
