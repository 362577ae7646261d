// Reads a CSV tag table with a header line, keeping each row's line number.
// Cells are separated by commas; quoted cells and a UTF-8 byte-order mark are
// read as spreadsheets export them; "#" starts a comment line.
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
