// What a run writes, checked against what it reads before anything runs: an
// output file that names the case, one of its tables, its database, its
// saved start or another output of the same run, however spelled, would lose
// an input or an output, and is refused. A saved state may replace the state
// the run started from; the run replaces it only when it ran to its end.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "case/case.h"
#include "run/case_runner.h"

namespace host {

// Empty when the run's outputs are all apart from its inputs and from each
// other, else the message that refuses the first that is not.
std::string OutputConflict(const Case& c, const RunOptions& options);
// Every file the run reads, with what it is to the run ("the case's database").
std::vector<std::pair<std::string, std::string>> Inputs(const Case& c, const RunOptions& options);
// Empty when path names none of the files the case reads, else the message
// that refuses it as `option`'s output.
std::string ReadByTheCase(const Case& c, const std::string& path, const std::string& option);

}  // namespace host
