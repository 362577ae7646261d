// The cause-and-effect matrix a case names (matrix = "ce.csv"), read as a
// spreadsheet exports it, every cell checked at its line; and [matrix], its
// settings. What the matrix needs of FIX is the checkout's concern.
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "case/csv_table.h"
#include "case/sections/sections.h"

namespace host {
namespace {

const char* const Columns[] = {"ID", "Description", "Tag", "Condition", "Limit", "Group", "Vote", "Delay"};
constexpr size_t Fixed = sizeof Columns / sizeof Columns[0];

// "NODE:TAG" or "TAG": the node (empty where not given) and the tag.
void SplitNode(const std::string& text, std::string& node, std::string& tag) {
  const size_t colon = text.find(':');
  node = colon == std::string::npos ? std::string() : text.substr(0, colon);
  tag = colon == std::string::npos ? text : text.substr(colon + 1);
}

// A number as the whole of a cell, or false.
bool CellNumber(const std::string& cell, double& value) {
  char* end = nullptr;
  value = std::strtod(cell.c_str(), &end);
  return !cell.empty() && end != nullptr && *end == '\0' && std::isfinite(value);
}

// "2oo3": M and N, 1 <= M <= N.
bool ReadVote(const std::string& cell, int& m, int& n) {
  const size_t oo = cell.find("oo");
  if (oo == std::string::npos) {
    return false;
  }
  m = static_cast<int>(std::strtol(cell.substr(0, oo).c_str(), nullptr, 10));
  n = static_cast<int>(std::strtol(cell.substr(oo + 2).c_str(), nullptr, 10));
  return m >= 1 && m <= n && n <= 16 && cell == std::to_string(m) + "oo" + std::to_string(n);
}

bool ReadCause(CaseValues& values, const std::string& file, const CsvRow& row, size_t width, MatrixCause& cause) {
  std::vector<std::string> cells = row.cells;
  if (cells.size() > width) {
    return values.FailIn(file, row.line,
                         "a row has " + std::to_string(cells.size()) + " cells, the header " + std::to_string(width));
  }
  cells.resize(width);
  cause.id = cells[0];
  cause.description = cells[1];
  cause.tag = cells[2];
  cause.condition = cells[3];
  cause.group = cells[5];
  cause.origin = Origin{file, row.line};
  if (cause.id.empty() || cause.tag.empty()) {
    return values.FailIn(file, row.line, "a cause needs its ID and its Tag");
  }
  const char* const conditions[] = {"HH", "H", "L", "LL", ">", "<"};
  if (std::find(std::begin(conditions), std::end(conditions), cause.condition) == std::end(conditions)) {
    return values.FailIn(file, row.line, "Condition must be HH, H, L, LL, > or <, not '" + cause.condition + "'");
  }
  cause.limit = std::numeric_limits<double>::quiet_NaN();
  if (!cells[4].empty() && !CellNumber(cells[4], cause.limit)) {
    return values.FailIn(file, row.line, "Limit must be a number, not '" + cells[4] + "'");
  }
  if ((cause.condition == ">" || cause.condition == "<") && std::isnan(cause.limit)) {
    return values.FailIn(file, row.line, "a cause on " + cause.condition + " needs its Limit");
  }
  if (!cause.group.empty() && !ReadVote(cells[6], cause.votes, cause.of)) {
    return values.FailIn(file, row.line,
                         "Vote must read MooN (2oo3), M of the group's N causes, not '" + cells[6] + "'");
  }
  if (cause.group.empty() && !cells[6].empty()) {
    return values.FailIn(file, row.line, "a Vote needs a Group: the causes that vote together");
  }
  if (!cells[7].empty() && (!CellNumber(cells[7], cause.delay) || cause.delay < 0.0)) {
    return values.FailIn(file, row.line, "Delay must be 0 s or more, not '" + cells[7] + "'");
  }
  for (size_t k = Fixed; k < width; ++k) {
    const std::string& cell = cells[k];
    if (!cell.empty() && cell != "X" && cell != "x") {
      return values.FailIn(file, row.line,
                           "an effect's cell is X where the cause produces it, else empty, not '" + cell + "'");
    }
    cause.effects.push_back(!cell.empty());
  }
  return true;
}

}  // namespace

bool ReadMatrixFile(CaseValues& values, const std::string& file) {
  CsvTable table;
  std::string problem;
  if (!ReadCsv(file, table, problem)) {
    return values.FailWith(problem);
  }
  CaseMatrix& matrix = values.loaded().matrix;
  matrix.path = file;
  const bool fixed =
      table.header.size() > Fixed && std::equal(std::begin(Columns), std::end(Columns), table.header.begin());
  if (!fixed) {
    return values.FailIn(file, 1,
                         "the header must read ID,Description,Tag,Condition,Limit,Group,Vote,Delay and then one "
                         "column per effect, TAG:STATE");
  }
  for (size_t k = Fixed; k < table.header.size(); ++k) {
    const std::string& heading = table.header[k];
    const size_t colon = heading.rfind(':');
    MatrixEffect effect;
    if (colon == std::string::npos || colon == 0 || colon + 1 == heading.size()) {
      return values.FailIn(file, 1, "an effect's heading reads TAG:STATE (XV-101:CLOSED), not '" + heading + "'");
    }
    SplitNode(heading.substr(0, colon), effect.node, effect.tag);
    effect.state = heading.substr(colon + 1);
    const bool again = std::any_of(matrix.effects.begin(), matrix.effects.end(), [&](const MatrixEffect& e) {
      return e.node == effect.node && e.tag == effect.tag && e.state == effect.state;
    });
    if (again) {
      return values.FailIn(file, 1, "the effect " + heading + " has two columns");
    }
    matrix.effects.push_back(effect);
  }
  std::map<std::string, std::vector<const MatrixCause*>> groups;
  for (const CsvRow& row : table.rows) {
    MatrixCause cause;
    if (!ReadCause(values, file, row, table.header.size(), cause)) {
      return false;
    }
    const bool again =
        std::any_of(matrix.causes.begin(), matrix.causes.end(), [&](const MatrixCause& c) { return c.id == cause.id; });
    if (again) {
      return values.FailIn(file, row.line, "the cause " + cause.id + " has two rows");
    }
    matrix.causes.push_back(cause);
  }
  if (matrix.causes.empty()) {
    return values.FailIn(file, 1, "the matrix has no cause");
  }
  for (const MatrixCause& cause : matrix.causes) {
    if (!cause.group.empty()) {
      groups[cause.group].push_back(&cause);
    }
  }
  for (const auto& [name, members] : groups) {
    const MatrixCause& first = *members.front();
    for (const MatrixCause* cause : members) {
      if (cause->votes != first.votes || cause->of != first.of || cause->effects != first.effects) {
        return values.FailIn(file, cause->origin.line,
                             "the causes of group " + name + " vote together: their Vote and their effects agree");
      }
    }
    if (static_cast<int>(members.size()) != first.of) {
      return values.FailIn(file, first.origin.line,
                           "group " + name + " votes " + std::to_string(first.votes) + "oo" + std::to_string(first.of) +
                               " but has " + std::to_string(members.size()) + " causes");
    }
  }
  return true;
}

bool ReadMatrix(CaseValues& values, const toml::table& t) {
  const char* const in = "[matrix]";
  CaseMatrix& matrix = values.loaded().matrix;
  if (!values.OnlyKeys(t, {"node", "reset", "effect_time", "waived"}, in) ||
      !values.Text(t, "node", matrix.node, false, in) ||
      !values.Number(t, "effect_time", matrix.effectTime, false, in)) {
    return false;
  }
  if (matrix.path.empty()) {
    return values.FailAt(values.OriginOf(t).line, "[matrix] needs matrix = \"FILE.csv\" in [case]");
  }
  if (!(matrix.effectTime >= values.loaded().stepSeconds)) {
    return values.Fail(*t.get("effect_time"),
                       "'effect_time' must be one step or more, not " + Shown(matrix.effectTime));
  }
  if (const toml::node* reset = t.get("reset");
      reset != nullptr && !values.TextList(*reset, matrix.reset,
                                           "reset must be a list of points, such as "
                                           "[\"U3:TRIP301.A_RESET\"]",
                                           "each reset must be a point's text, NODE:TAG.FIELD")) {
    return false;
  }
  if (const toml::node* waived = t.get("waived"); waived != nullptr) {
    if (!waived->is_table()) {
      return values.Fail(*waived, "waived must be a table of cause IDs (globs) and punch-list references");
    }
    for (const auto& [id, reference] : *waived->as_table()) {
      if (!reference.is_string()) {
        return values.Fail(reference, "each waiver is a punch-list reference, a text");
      }
      matrix.waived.emplace_back(std::string(id.str()), reference.value<std::string>().value_or(""));
    }
  }
  return true;
}

}  // namespace host
