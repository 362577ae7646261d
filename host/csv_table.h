// Reads a CSV tag table with a header line, keeping each row's line number.
// Fields are separated by commas and trimmed; '#' starts a comment line.
#pragma once

#include <string>
#include <vector>

namespace host {

struct CsvRow {
  int line = 0;
  std::vector<std::string> cells;
};

struct CsvTable {
  std::vector<std::string> header;
  std::vector<CsvRow> rows;
};

// False with "file:line: what is wrong" in error.
bool ReadCsv(const std::string& path, CsvTable& table, std::string& error);

}  // namespace host
