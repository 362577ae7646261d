// results.json as dcshost writes it, read back where a tool takes it in (a
// report merge): an array of records, each an object of texts. Anything else
// is refused with its file and line, so that a damaged file is never passed
// on as if it were a report.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace host {

// One record: its texts by key, in the order written.
using ResultRecord = std::vector<std::pair<std::string, std::string>>;

// The records of `text` when it is such an array; else false with
// "FILE:LINE: ..." in error.
bool ReadResultsJson(const std::string& file, const std::string& text, std::vector<ResultRecord>& records,
                     std::string& error);
// The same, the records not kept.
bool CheckResultsJson(const std::string& file, const std::string& text, std::string& error);

// The records as results.json: one record a line, in the order given.
std::string ResultsJsonText(const std::vector<ResultRecord>& records);

}  // namespace host
