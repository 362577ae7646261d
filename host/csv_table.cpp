// The CSV reader of tag tables.
#include "csv_table.h"

#include <fstream>
#include <sstream>

namespace host {
namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) {
    return std::string();
  }
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Cells(const std::string& text) {
  std::vector<std::string> cells;
  std::string cell;
  std::istringstream stream(text);
  while (std::getline(stream, cell, ',')) {
    cells.push_back(Trim(cell));
  }
  if (!text.empty() && text.back() == ',') {
    cells.emplace_back();
  }
  return cells;
}

}  // namespace

bool ReadCsv(const std::string& path, CsvTable& table, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    error = path + ": cannot open the file";
    return false;
  }
  std::string text;
  int line = 0;
  while (std::getline(file, text)) {
    ++line;
    const std::string content = Trim(text);
    if (content.empty() || content[0] == '#') {
      continue;
    }
    if (table.header.empty()) {
      table.header = Cells(content);
      continue;
    }
    CsvRow row{line, Cells(content)};
    if (row.cells.size() > table.header.size()) {
      error = path + ":" + std::to_string(line) + ": " + std::to_string(row.cells.size()) +
              " cells, but the header names " + std::to_string(table.header.size()) + " columns";
      return false;
    }
    table.rows.push_back(std::move(row));
  }
  if (table.header.empty()) {
    error = path + ":" + std::to_string(line) + ": no header line";
    return false;
  }
  return true;
}

}  // namespace host
