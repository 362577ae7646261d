// results.json as dcshost writes it, read back where a tool takes it in (a
// report merge): an array of records, each an object of texts. Anything else
// is refused with its file and line, so that a damaged file is never passed
// on as if it were a report.
#pragma once

#include <string>

namespace host {

// True when `text` is such an array; else false with "FILE:LINE: ..." in error.
bool CheckResultsJson(const std::string& file, const std::string& text, std::string& error);

}  // namespace host
