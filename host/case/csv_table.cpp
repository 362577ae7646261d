// The CSV reader of tag tables, as spreadsheets export them: an optional UTF-8
// byte-order mark, cells in double quotes (which may hold commas, and "" for a
// quote), unquoted cells trimmed; '#' starts a comment line.
#include "case/csv_table.h"

#include <filesystem>
#include <fstream>

#include "system/paths.h"

namespace host {
namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) {
    return std::string();
  }
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Splits one line into cells; false with a message for a quote left open or
// text after a closing quote.
bool Cells(const std::string& text, std::vector<std::string>& cells, std::string& problem) {
  cells.clear();
  size_t i = 0;
  while (true) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
      ++i;
    }
    std::string cell;
    if (i < text.size() && text[i] == '"') {
      ++i;
      bool closed = false;
      while (i < text.size()) {
        if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') {
          cell += '"';
          i += 2;
        } else if (text[i] == '"') {
          closed = true;
          ++i;
          break;
        } else {
          cell += text[i++];
        }
      }
      if (!closed) {
        problem = "a quoted cell is not closed";
        return false;
      }
      const size_t next = text.find_first_not_of(" \t\r", i);
      if (next != std::string::npos && text[next] != ',') {
        problem = "text after a quoted cell's closing quote";
        return false;
      }
      i = next == std::string::npos ? text.size() : next;
    } else {
      const size_t comma = text.find(',', i);
      cell = Trim(text.substr(i, comma == std::string::npos ? std::string::npos : comma - i));
      i = comma == std::string::npos ? text.size() : comma;
    }
    cells.push_back(cell);
    if (i >= text.size()) {
      return true;
    }
    ++i;  // the comma
  }
}

}  // namespace

bool ReadCsv(const std::string& path, CsvTable& table, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(PathOf(path), ec)) {
    error = path + ": is a folder, not a CSV table";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": cannot open the file";
    return false;
  }
  std::string text;
  int line = 0;
  while (std::getline(file, text)) {
    ++line;
    if (line == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      text.erase(0, 3);  // the byte-order mark of a UTF-8 export
    }
    const std::string content = Trim(text);
    if (content.empty() || content[0] == '#') {
      continue;
    }
    CsvRow row{line, {}};
    std::string problem;
    if (!Cells(content, row.cells, problem)) {
      error = path;
      error += ":" + std::to_string(line) + ": " + problem;
      return false;
    }
    if (table.header.empty()) {
      table.header = std::move(row.cells);
      continue;
    }
    if (row.cells.size() > table.header.size()) {
      error = path + ":" + std::to_string(line) + ": " + std::to_string(row.cells.size()) +
              " cells, but the header names " + std::to_string(table.header.size()) + " columns";
      return false;
    }
    table.rows.push_back(std::move(row));
  }
  if (table.header.empty()) {
    error = line == 0 ? path + ": the table is empty: it needs a header line"
                      : path + ":" + std::to_string(line) + ": no header line";
    return false;
  }
  return true;
}

}  // namespace host
