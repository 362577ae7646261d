// The channel by which a run hands its verdicts to `dcshost test`: a file the
// run writes at its very end (`run --verdicts FILE`), in a private folder the
// test made, never the run's printed output, so that no text a plant prints
// can add, change or remove a verdict. The file holds each verdict as the run
// printed it and, last, the run's exit status; a run that did not end as
// dcshost ends it (a crash, a signal, a plant that ended the process, a time
// limit) leaves no such file, and its case is "ended without a verdict".
#pragma once

#include <string>
#include <vector>

#include "checkout/expectations.h"

namespace host {

struct RecordedVerdict {
  enum class Kind { Passed, Failed, Waived };
  Kind kind = Kind::Failed;
  std::string text;  // "DESCRIPTION: MEASURED", with " [waived: ...]" where waived
};

struct VerdictFile {
  std::vector<RecordedVerdict> verdicts;
  int status = -1;  // the exit status the run ended with
};

// The verdicts as the run prints them, each with its kind.
std::vector<RecordedVerdict> Recorded(const std::vector<Verdict>& verdicts);
bool WriteVerdictFile(const std::string& path, const VerdictFile& file, std::string& error);
// False when the file is absent, damaged or has no end (with why in error).
bool ReadVerdictFile(const std::string& path, VerdictFile& file, std::string& error);

}  // namespace host
