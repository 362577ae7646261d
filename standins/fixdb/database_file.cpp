// Loads a database file into the simulated database: one block per line as
// "NODE,TAG,TYPE,FIELD=VALUE;FIELD=VALUE", with '#' comments and blank lines.
// Every problem is reported as "file:line: what is wrong"; nothing is thrown.
// Also writes the database back in the same form, a PID's integral included
// (INTEGRAL=), so that a saved state loads to the same database.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "database_internal.h"

namespace fixdb {
namespace {

struct FieldDefault {
  const char* name;
  const char* value;  // a number for F_ fields, a text for A_ fields; null: the field exists only when given
};

// A block type's fields, a table made at compile time: its fields end at the
// first without a name.
constexpr size_t MostFields = 16;
struct BlockKind {
  const char* name;
  BlockType type;
  bool needsInput;
  FieldDefault fields[MostFields];
};

// A_DESC (the description) and A_EGUDESC (the engineering units), and an
// AI's alarm limits, exist only where the database gives them, as in a FIX
// whose blocks were configured without them; so do a PID's cascade fields
// (made with REMOTE) and an output's split range (with SOURCE).
const BlockKind Kinds[] = {
    {"AI",
     BlockType::AnalogInput,
     false,
     {{"F_CV", "0"},
      {"F_ELO", nullptr},
      {"F_EHI", nullptr},
      {"A_DESC", nullptr},
      {"A_EGUDESC", nullptr},
      {"F_HIHI", nullptr},
      {"F_HI", nullptr},
      {"F_LO", nullptr},
      {"F_LOLO", nullptr},
      {"F_ALMDB", nullptr},
      {"F_ALMDLY", nullptr},
      {"A_ALMST", nullptr},
      {"F_ALMST", nullptr},
      {"A_ALMACK", nullptr}}},
    {"AO",
     BlockType::AnalogOutput,
     false,
     {{"F_CV", "0"},
      {"F_ELO", nullptr},
      {"F_EHI", nullptr},
      {"A_DESC", nullptr},
      {"A_EGUDESC", nullptr},
      {"F_SPLO", nullptr},
      {"F_SPHI", nullptr}}},
    {"PID",
     BlockType::Pid,
     true,
     {{"F_CV", "0"},
      {"F_TV1", "0"},
      {"A_AUTO", "MANL"},
      {"F_AUTO", "0"},
      {"F_KP", "1"},
      {"F_TI", "60"},
      {"F_OUTLO", "0"},
      {"F_OUTHI", "100"},
      {"A_ACTION", "REVERSE"},
      {"A_DESC", nullptr},
      {"A_EGUDESC", nullptr},
      {"A_CASC", nullptr},
      {"F_CASC", nullptr},
      {"A_CASCBRK", nullptr},
      {"F_TRIPOUT", nullptr}}},
    {"DI",
     BlockType::DigitalFlag,
     false,
     {{"A_ROUT", "NO"}, {"F_CV", "0"}, {"A_DESC", nullptr}, {"A_EGUDESC", nullptr}}},
    {"RATIO",
     BlockType::Ratio,
     true,
     {{"F_CV", "0"}, {"F_RATIO", "1"}, {"F_BIAS", "0"}, {"A_DESC", nullptr}, {"A_EGUDESC", nullptr}}},
    {"CMP",
     BlockType::Compare,
     true,
     {{"F_CV", "0"},
      {"A_COND", "ABOVE"},
      {"F_LIMIT", "0"},
      {"F_DB", "0"},
      {"F_DELAY", "0"},
      {"A_DESC", nullptr},
      {"A_EGUDESC", nullptr}}},
    {"VOTE", BlockType::Vote, false, {{"F_CV", "0"}, {"A_VOTE", nullptr}, {"A_DESC", nullptr}, {"A_EGUDESC", nullptr}}},
    {"AND", BlockType::And, false, {{"F_CV", "0"}, {"A_DESC", nullptr}, {"A_EGUDESC", nullptr}}},
    {"OR", BlockType::Or, false, {{"F_CV", "0"}, {"A_DESC", nullptr}, {"A_EGUDESC", nullptr}}},
    {"NOT", BlockType::Not, true, {{"F_CV", "0"}, {"A_DESC", nullptr}, {"A_EGUDESC", nullptr}}},
    {"LATCH", BlockType::Latch, true, {{"F_CV", "0"}, {"A_RESET", "NO"}, {"A_DESC", nullptr}, {"A_EGUDESC", nullptr}}},
    {"DO",
     BlockType::DigitalOutput,
     true,
     {{"F_CV", "0"},
      {"A_STATE", "NORMAL"},
      {"A_TRIP", nullptr},
      {"A_NORMAL", nullptr},
      {"A_DESC", nullptr},
      {"A_EGUDESC", nullptr}}},
};

// "an AI", "a PID": the article a block type's name takes.
std::string Article(const char* name) { return name[0] == 'A' || name[0] == 'O' ? "an " : "a "; }

// Blocks that read a list of inputs (INPUTS=A+B+C) rather than one.
bool ReadsList(BlockType type) { return type == BlockType::Vote || type == BlockType::And || type == BlockType::Or; }

// The links a block type may give beside its fields.
std::string LinkList(const BlockKind& kind) {
  switch (kind.type) {
    case BlockType::Pid: return ", INPUT, INTEGRAL, REMOTE, TRIP";
    case BlockType::AnalogOutput: return ", SOURCE";
    default: return ReadsList(kind.type) ? ", INPUTS" : kind.needsInput ? ", INPUT" : "";
  }
}

// The fields a block type has, for a message: "F_CV, F_ELO, ..., INPUT, INTEGRAL".
std::string FieldList(const BlockKind& kind) {
  std::string list;
  for (const FieldDefault& f : kind.fields) {
    if (f.name != nullptr) {
      list += (list.empty() ? "" : ", ") + std::string(f.name);
    }
  }
  return list + LinkList(kind);
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) {
    return std::string();
  }
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream stream(text);
  while (std::getline(stream, part, separator)) {
    parts.push_back(Trim(part));
  }
  if (!text.empty() && text.back() == separator) {
    parts.emplace_back();
  }
  return parts;
}

bool ParseNumber(const std::string& text, float& value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (end == nullptr || *end != '\0') {
    return false;
  }
  value = static_cast<float>(parsed);
  return true;
}

// A float field's value: a number that a float holds as a finite value.
bool FitsFloat(const std::string& text) {
  const double parsed = std::strtod(text.c_str(), nullptr);
  return std::isfinite(parsed) && std::fabs(parsed) <= static_cast<double>(FLT_MAX);
}

// A name with a character below the space (a NUL, a tab, a line feed) or DEL,
// which no FIX name holds and a C string would cut short.
bool HasControlCharacter(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7f;
  });
}

// Checks a field's value for the block; empty when it is acceptable.
std::string CheckValue(const std::string& field, const std::string& value) {
  if (field[0] == 'F') {
    float number = 0.0F;
    if (!ParseNumber(value, number)) {
      return "value of " + field + " is not a number: '" + value + "'";
    }
    if (!FitsFloat(value)) {
      return "value of " + field + " is beyond what FIX can hold (a finite float, at most 3.4e+38): '" + value + "'";
    }
    if (field == "F_TI" && number < 0.0F) {
      return "F_TI is the integral time in seconds: 0 for none, or more, not '" + value + "'";
    }
    if ((field == "F_DB" || field == "F_DELAY") && number < 0.0F) {
      return field + " is " + (field == "F_DB" ? "the comparator's deadband" : "the comparator's delay in seconds") +
             ", 0 or more, not '" + value + "'";
    }
    if ((field == "F_ALMDB" || field == "F_ALMDLY") && number < 0.0F) {
      return field + " is " + (field == "F_ALMDB" ? "the alarms' deadband" : "the alarms' delay in seconds") +
             ", 0 or more, not '" + value + "'";
    }
    if (field == "F_ALMST" && number != 0.0F && number != 1.0F && number != 2.0F && number != -1.0F &&
        number != -2.0F) {
      return "F_ALMST is the alarm state, 2 (HIHI), 1 (HI), 0 (OK), -1 (LO) or -2 (LOLO), not '" + value + "'";
    }
    if (field == "F_KP" && number < 0.0F) {
      return "F_KP is the gain in percent per unit, 0 or more, not '" + value +
             "': A_ACTION=DIRECT or REVERSE sets which way the output moves";
    }
    return std::string();
  }
  if (field == "A_AUTO" && value != "AUTO" && value != "MANL") {
    return "A_AUTO must be AUTO or MANL, not '" + value + "'";
  }
  if (field == "A_ACTION" && value != "DIRECT" && value != "REVERSE") {
    return "A_ACTION must be DIRECT or REVERSE, not '" + value + "'";
  }
  if ((field == "A_ROUT" || field == "A_CASC" || field == "A_ALMACK") && value != "YES" && value != "NO") {
    return field + " must be YES or NO, not '" + value + "'";
  }
  if (field == "A_COND" && value != "ABOVE" && value != "BELOW") {
    return "A_COND must be ABOVE or BELOW (which side of F_LIMIT trips), not '" + value + "'";
  }
  if (field == "A_RESET" && value != "YES" && value != "NO") {
    return "A_RESET must be YES or NO, not '" + value + "'";
  }
  if (field == "A_ALMST" && value != "HIHI" && value != "HI" && value != "OK" && value != "LO" && value != "LOLO") {
    return "A_ALMST is the alarm state, HIHI, HI, OK, LO or LOLO, not '" + value + "'";
  }
  if (field == "A_CASCBRK" && value != "LOCAL" && value != "MANL") {
    return "A_CASCBRK must be LOCAL or MANL (what the slave does when its master's measurement fails), not '" + value +
           "'";
  }
  return std::string();
}

// A float as a message shows it, with no more digits than it needs.
std::string Number(float value) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

void SetValue(const std::string& node, const std::string& tag, const std::string& field, const std::string& value,
              Block& block) {
  Field& f = FieldFor(node.c_str(), tag.c_str(), field.c_str());
  f.block = &block;
  if (field[0] == 'F') {
    ParseNumber(value, f.value);
  } else {
    f.text = value;
  }
}

// A block's links to other tags, as its line gives them: linked once every
// block is loaded.
struct Links {
  std::string input, remote, source, trip;
  std::vector<std::string> inputs;
};

struct PendingLinks {
  std::string node, tag;
  Links links;
  int line;
};

class Loader {
 public:
  explicit Loader(std::string path) : path_(std::move(path)) {}

  bool Load(std::string& error) {
    std::ifstream file(path_);
    if (!file) {
      error = path_ + ": cannot open the database file";
      return false;
    }
    return Read(file, error);
  }

  bool Read(std::istream& file, std::string& error) {
    std::string text;
    int line = 0;
    while (std::getline(file, text)) {
      ++line;
      const std::string content = Trim(text.substr(0, text.find('#')));
      if (content.empty() || (line == 1 && content.rfind("NODE,", 0) == 0)) {
        continue;
      }
      if (!Line(content, line, error)) {
        return false;
      }
    }
    return LinkInputs(error);
  }

 private:
  bool Fail(int line, const std::string& what, std::string& error) const {
    error = path_ + ":" + std::to_string(line) + ": " + what;
    return false;
  }

  // Sets the block's fields from its "FIELD=VALUE;..." column, noting its
  // input and a saved integral; each value checked for its field.
  bool Assign(const std::string& values, const BlockKind& kind, const std::string& node, const std::string& tag,
              Block& block, Links& links, int line, std::string& error) {
    std::vector<std::string> given;
    for (const std::string& assignment : Split(values, ';')) {
      const size_t equals = assignment.find('=');
      if (equals == std::string::npos) {
        return Fail(line, "expected FIELD=VALUE, found '" + assignment + "'", error);
      }
      const std::string field = Trim(assignment.substr(0, equals));
      const std::string value = Trim(assignment.substr(equals + 1));
      if (HasControlCharacter(field) || HasControlCharacter(value)) {
        return Fail(line, "a control character (below the space) in '" + field + "'", error);
      }
      if (std::find(given.begin(), given.end(), field) != given.end()) {
        return Fail(line, field + " is given twice in one block", error);
      }
      given.push_back(field);
      if (field == "INPUT" && kind.needsInput) {
        links.input = value;
        continue;
      }
      if (field == "INPUTS" && ReadsList(kind.type)) {
        links.inputs = Split(value, '+');
        continue;
      }
      if (field == "TRIP" && kind.type == BlockType::Pid) {
        links.trip = value;
        continue;
      }
      if ((field == "REMOTE" && kind.type == BlockType::Pid) ||
          (field == "SOURCE" && kind.type == BlockType::AnalogOutput)) {
        (field == "REMOTE" ? links.remote : links.source) = value;
        continue;
      }
      if (field == "INTEGRAL" && kind.type == BlockType::Pid) {
        char* end = nullptr;
        block.integral = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !std::isfinite(block.integral)) {
          return Fail(line, "INTEGRAL is not a finite number: '" + value + "'", error);
        }
        integrals_.push_back(node + ":" + tag);
        continue;
      }
      bool known = false;
      for (const FieldDefault& candidate : kind.fields) {
        known = known || (candidate.name != nullptr && field == candidate.name);
      }
      if (!known) {
        return Fail(line,
                    "'" + field + "' is not a field of " + Article(kind.name) + kind.name +
                        " block (its fields: " + FieldList(kind) + ")",
                    error);
      }
      const std::string problem = CheckValue(field, value);
      if (!problem.empty()) {
        return Fail(line, problem, error);
      }
      SetValue(node, tag, field, value, block);
    }
    return true;
  }

  bool Line(const std::string& content, int line, std::string& error) {
    const std::vector<std::string> columns = Split(content, ',');
    if (columns.size() < 3 || columns.size() > 4) {
      return Fail(line,
                  "expected NODE,TAG,TYPE[,FIELD=VALUE;...], found " + std::to_string(columns.size()) + " columns",
                  error);
    }
    const std::string& node = columns[0];
    const std::string& tag = columns[1];
    if (node.empty() || tag.empty()) {
      return Fail(line, "NODE and TAG must not be empty", error);
    }
    if (HasControlCharacter(node) || HasControlCharacter(tag)) {
      return Fail(line, "NODE and TAG must not hold a control character (below the space)", error);
    }
    const BlockKind* kind = nullptr;
    for (const BlockKind& candidate : Kinds) {
      if (columns[2] == candidate.name) {
        kind = &candidate;
      }
    }
    if (kind == nullptr) {
      return Fail(
          line,
          "unknown block type '" + columns[2] + "' (AI, AO, PID, DI, RATIO, CMP, VOTE, AND, OR, NOT, LATCH or DO)",
          error);
    }
    const std::string key = node + ":" + tag;
    if (Db().blocks.count(key) != 0) {
      return Fail(line, "tag " + key + " is defined twice", error);
    }
    Block& block = Db().blocks[key];
    block.type = kind->type;
    for (const FieldDefault& field : kind->fields) {
      if (field.name != nullptr && field.value != nullptr) {
        SetValue(node, tag, field.name, field.value, block);
      }
    }
    Links links;
    const std::string values = columns.size() == 4 ? columns[3] : std::string();
    if (!values.empty() && !Assign(values, *kind, node, tag, block, links, line, error)) {
      return false;
    }
    if (const std::string problem = StrategyFields(node, tag, links, block); !problem.empty()) {
      return Fail(line, problem, error);
    }
    if (const std::string problem = AlarmFields(node, tag, block); !problem.empty()) {
      return Fail(line, problem, error);
    }
    if (const std::string problem = LogicFields(node, tag, *kind, links, block); !problem.empty()) {
      return Fail(line, problem, error);
    }
    Bind(block, node, tag);
    AlarmsFromState(block);
    if (block.outLow != nullptr && !(block.outLow->value < block.outHigh->value)) {
      return Fail(line,
                  "F_OUTLO must be below F_OUTHI, the output's limits in percent, not " + Number(block.outLow->value) +
                      " and " + Number(block.outHigh->value),
                  error);
    }
    if (!RangeInOrder(key)) {
      return Fail(line,
                  "F_ELO must be below F_EHI, the low and high ends of the value's range, when both are "
                  "given",
                  error);
    }
    if (const std::string order = AlarmLimitsOutOfOrder(key); !order.empty()) {
      return Fail(line, order, error);
    }
    if (kind->needsInput) {
      const bool pid = kind->type == BlockType::Pid;
      if (links.input.empty()) {
        return Fail(line,
                    pid ? "a PID block needs INPUT=TAG, the tag whose F_CV it controls"
                    : kind->type == BlockType::Ratio
                        ? "a RATIO block needs INPUT=TAG, the wild flow whose F_CV it "
                          "multiplies"
                        : Article(kind->name) + kind->name + " block needs INPUT=TAG, the tag whose F_CV it reads",
                    error);
      }
      if (links.input == tag) {
        return Fail(line,
                    "INPUT names the " + std::string(kind->name) + " " + tag + " itself: its input must be another tag",
                    error);
      }
    }
    if (links.remote == tag || links.source == tag) {
      return Fail(line, std::string(links.remote == tag ? "REMOTE" : "SOURCE") + " names " + tag + " itself", error);
    }
    if (kind->needsInput || !links.source.empty() || !links.inputs.empty() || !links.trip.empty()) {
      pending_.push_back(PendingLinks{node, tag, links, line});
    }
    // The two mode views start in step with the text.
    if (block.modeText != nullptr) {
      FieldWritten(*block.modeText);
    }
    return true;
  }

  static void Bind(Block& block, const std::string& node, const std::string& tag) {
    auto field = [&](const char* name) -> Field* {
      auto found = Db().fields.find(node + ":" + tag + "." + name);
      return found == Db().fields.end() ? nullptr : &found->second;
    };
    block.cv = field("F_CV");
    block.target = field("F_TV1");
    block.modeText = field("A_AUTO");
    block.modeFloat = field("F_AUTO");
    block.gain = field("F_KP");
    block.resetTime = field("F_TI");
    block.outLow = field("F_OUTLO");
    block.outHigh = field("F_OUTHI");
    block.action = field("A_ACTION");
    block.cascText = field("A_CASC");
    block.cascFloat = field("F_CASC");
    block.cascBreak = field("A_CASCBRK");
    block.ratio = field("F_RATIO");
    block.bias = field("F_BIAS");
    block.splitLow = field("F_SPLO");
    block.splitHigh = field("F_SPHI");
    block.limits = {field("F_HIHI"), field("F_HI"), field("F_LO"), field("F_LOLO")};
    block.alarmDeadband = field("F_ALMDB");
    block.alarmDelay = field("F_ALMDLY");
    block.alarmText = field("A_ALMST");
    block.alarmFloat = field("F_ALMST");
    block.alarmAck = field("A_ALMACK");
    block.condition = field("A_COND");
    block.limit = field("F_LIMIT");
    block.deadband = field("F_DB");
    block.delay = field("F_DELAY");
    block.reset = field("A_RESET");
    block.state = field("A_STATE");
    block.tripState = field("A_TRIP");
    block.normalState = field("A_NORMAL");
    block.tripOutput = field("F_TRIPOUT");
  }

  // An analog input with an alarm limit alarms: the fields of its alarms
  // not written take their defaults (no deadband, no delay, no alarm,
  // acknowledged), and a state the file gives (a saved state) is the one
  // it goes on from. What is wrong, or empty.
  static std::string AlarmFields(const std::string& node, const std::string& tag, Block& block) {
    const std::string key = node + ":" + tag + ".";
    const auto has = [&](const char* field) { return Db().fields.count(key + field) != 0; };
    const bool limited = has("F_HIHI") || has("F_HI") || has("F_LO") || has("F_LOLO");
    const std::pair<const char*, const char*> alarm[] = {
        {"F_ALMDB", "0"}, {"F_ALMDLY", "0"}, {"A_ALMST", nullptr}, {"F_ALMST", nullptr}, {"A_ALMACK", "YES"}};
    const char* const names[] = {"HIHI", "HI", "LO", "LOLO"};
    const float values[] = {2.0F, 1.0F, -1.0F, -2.0F};
    float state = has("F_ALMST") ? Db().fields[key + "F_ALMST"].value : 0.0F;
    if (has("A_ALMST")) {
      const std::string& text = Db().fields[key + "A_ALMST"].text;
      float fromText = 0.0F;
      for (size_t k = 0; k < 4; ++k) {
        fromText = text == names[k] ? values[k] : fromText;
      }
      if (has("F_ALMST") && fromText != state) {
        return "A_ALMST and F_ALMST are two views of one alarm state and must agree";
      }
      state = fromText;
    }
    for (const auto& f : alarm) {
      if (!limited && has(f.first)) {
        return std::string(f.first) + " needs an alarm limit (F_HIHI, F_HI, F_LO or F_LOLO) to act on";
      }
      if (limited && !has(f.first) && f.second != nullptr) {
        SetValue(node, tag, f.first, f.second, block);
      }
    }
    if (!limited) {
      return std::string();
    }
    std::string text = "OK";
    for (size_t k = 0; k < 4; ++k) {
      text = state == values[k] ? names[k] : text;
    }
    if (text != "OK" && !has(std::string("F_" + text).c_str())) {
      return "the alarm state " + text + " names a limit the block does not have";
    }
    SetValue(node, tag, "A_ALMST", text, block);
    SetValue(node, tag, "F_ALMST", Number(state), block);
    return std::string();
  }

  // Logic's fields and links that must go together: a list of inputs where
  // the block reads one, a vote's M of N, a digital output's trip state (its
  // normal state, where not given, the state it starts in), a PID's output
  // when tripped with its TRIP. What is wrong, or empty.
  static std::string LogicFields(const std::string& node, const std::string& tag, const BlockKind& kind,
                                 const Links& links, Block& block) {
    const std::string key = node + ":" + tag + ".";
    const auto has = [&](const char* field) { return Db().fields.count(key + field) != 0; };
    if (ReadsList(kind.type)) {
      const bool gate = kind.type != BlockType::Vote;
      if (links.inputs.size() < (gate ? 2U : 1U) ||
          std::find(links.inputs.begin(), links.inputs.end(), std::string()) != links.inputs.end()) {
        return Article(kind.name) + kind.name + " block needs INPUTS=A+B" +
               (gate ? "[+...], two tags or more" : "[+...]");
      }
      if (std::find(links.inputs.begin(), links.inputs.end(), tag) != links.inputs.end()) {
        return "INPUTS names the " + std::string(kind.name) + " " + tag + " itself";
      }
    }
    if (kind.type == BlockType::Vote) {
      const std::string vote = has("A_VOTE") ? Db().fields[key + "A_VOTE"].text : std::string();
      const size_t oo = vote.find("oo");
      const int m = oo == std::string::npos
                        ? 0
                        : static_cast<int>(std::min(std::strtol(vote.substr(0, oo).c_str(), nullptr, 10), 1000L));
      const int n = oo == std::string::npos
                        ? 0
                        : static_cast<int>(std::min(std::strtol(vote.substr(oo + 2).c_str(), nullptr, 10), 1000L));
      const int given = static_cast<int>(links.inputs.size());
      if (m < 1 || n != given || m > n || vote != std::to_string(m) + "oo" + std::to_string(n)) {
        return "A_VOTE must read MooN, M of its N INPUTS (" + std::to_string(given) +
               ") true to trip, 1 <= M <= N, not '" + vote + "'";
      }
      block.votes = m;
    }
    if (kind.type == BlockType::DigitalOutput) {
      if (!has("A_TRIP")) {
        return "a DO block needs A_TRIP, the state its trip drives (CLOSED, STOPPED)";
      }
      if (!has("A_NORMAL")) {
        SetValue(node, tag, "A_NORMAL", Db().fields[key + "A_STATE"].text, block);
      }
    }
    if (links.trip.empty() && has("F_TRIPOUT")) {
      return "F_TRIPOUT needs TRIP=TAG, the logic that forces the PID to MANL at that output";
    }
    if (!links.trip.empty() && !has("F_TRIPOUT")) {
      SetValue(node, tag, "F_TRIPOUT", "0", block);
    }
    return std::string();
  }

  // The limits alarmed in a state the file gave: HIHI is beyond HI too, LOLO beyond LO.
  static void AlarmsFromState(Block& block) {
    if (block.alarmFloat == nullptr) {
      return;
    }
    const float state = block.alarmFloat->value;
    const bool alarmed[] = {state >= 2.0F, state >= 1.0F, state <= -1.0F, state <= -2.0F};
    for (size_t k = 0; k < block.limits.size(); ++k) {
      block.alarmed[k] = block.limits[k] != nullptr && alarmed[k];
    }
  }

  // A cascade's fields need its REMOTE and a split range's its SOURCE; given
  // the link, the fields not written take their defaults (not in cascade,
  // breaking to LOCAL; the whole of the output). What is wrong, or empty.
  static std::string StrategyFields(const std::string& node, const std::string& tag, const Links& links, Block& block) {
    const auto has = [&](const char* field) { return Db().fields.count(node + ":" + tag + "." + field) != 0; };
    // The two views of the cascade start in step with whichever the file gave.
    const auto value = [&](const char* field) -> Field& { return Db().fields[node + ":" + tag + "." + field]; };
    const bool on = has("A_CASC") ? value("A_CASC").text == "YES" : has("F_CASC") && value("F_CASC").value == 1.0F;
    if (has("A_CASC") && has("F_CASC") && on != (value("F_CASC").value == 1.0F)) {
      return "A_CASC and F_CASC are two views of one cascade switch and must agree";
    }
    const std::pair<const char*, const char*> cascade[] = {
        {"A_CASC", on ? "YES" : "NO"}, {"F_CASC", on ? "1" : "0"}, {"A_CASCBRK", "LOCAL"}};
    const std::pair<const char*, const char*> split[] = {{"F_SPLO", "0"}, {"F_SPHI", "100"}};
    for (const auto& f : cascade) {
      if (links.remote.empty() && has(f.first)) {
        return std::string(f.first) + " needs REMOTE=TAG, the master or ratio station whose output is the target";
      }
      if (!links.remote.empty() && !has(f.first)) {
        SetValue(node, tag, f.first, f.second, block);
      }
    }
    for (const auto& f : split) {
      if (links.source.empty() && has(f.first)) {
        return std::string(f.first) + " needs SOURCE=TAG, the controller whose output this block takes a part of";
      }
      if (!links.source.empty() && !has(f.first)) {
        SetValue(node, tag, f.first, f.second, block);
      }
    }
    if (!links.source.empty()) {
      const float low = Db().fields[node + ":" + tag + ".F_SPLO"].value;
      const float high = Db().fields[node + ":" + tag + ".F_SPHI"].value;
      if (!(low >= 0.0F && low < high && high <= 100.0F)) {
        return "F_SPLO and F_SPHI are the part of the controller's output this block takes, 0 <= F_SPLO < F_SPHI "
               "<= 100, not " +
               Number(low) + " and " + Number(high);
      }
    }
    return std::string();
  }

  // False when the block states both ends of its range and they are not in order.
  // The alarm limits given must rise LOLO <= LO <= HI <= HIHI; what is wrong, or empty.
  static std::string AlarmLimitsOutOfOrder(const std::string& key) {
    const char* const limits[] = {"F_LOLO", "F_LO", "F_HI", "F_HIHI"};
    const Field* below = nullptr;
    const char* belowName = nullptr;
    for (const char* name : limits) {
      const auto found = Db().fields.find(key + "." + name);
      if (found == Db().fields.end()) {
        continue;
      }
      if (below != nullptr && found->second.value < below->value) {
        return std::string(name) + " (" + Number(found->second.value) + ") is below " + belowName + " (" +
               Number(below->value) + "): the alarm limits rise F_LOLO <= F_LO <= F_HI <= F_HIHI";
      }
      below = &found->second;
      belowName = name;
    }
    return std::string();
  }

  static bool RangeInOrder(const std::string& key) {
    const auto low = Db().fields.find(key + ".F_ELO");
    const auto high = Db().fields.find(key + ".F_EHI");
    return low == Db().fields.end() || high == Db().fields.end() || low->second.value < high->second.value;
  }

  bool LinkInputs(std::string& error) {
    for (const PendingLinks& pending : pending_) {
      const std::string key = pending.node + ":" + pending.tag;
      Block& block = Db().blocks[key];
      // A list of logic inputs, a PID's trip: each the F_CV of another tag.
      for (const std::string& input : pending.links.inputs) {
        Field* value = ValueOf(pending.node, input);
        if (value == nullptr) {
          return Fail(pending.line, "INPUTS names " + pending.node + ":" + input + ", which has no F_CV", error);
        }
        block.inputs.push_back(value);
      }
      block.inputTags = pending.links.inputs;
      if (!pending.links.trip.empty()) {
        block.trip = ValueOf(pending.node, pending.links.trip);
        block.tripTag = pending.links.trip;
        if (block.trip == nullptr) {
          return Fail(pending.line, "TRIP names " + pending.node + ":" + pending.links.trip + ", which has no F_CV",
                      error);
        }
      }
      if (pending.links.input.empty()) {
        continue;
      }
      auto found = Db().fields.find(pending.node + ":" + pending.links.input + ".F_CV");
      if (found == Db().fields.end() || found->second.isText) {
        return Fail(pending.line, "INPUT names " + pending.node + ":" + pending.links.input + ", which has no F_CV",
                    error);
      }
      block.input = &found->second;
      block.inputTag = pending.links.input;
      if (IsLogic(block.type)) {
        block.inputs.assign(1, block.input);
      }
      // A master's output is scaled into the range its slave's input states.
      const auto low = Db().fields.find(pending.node + ":" + pending.links.input + ".F_ELO");
      const auto high = Db().fields.find(pending.node + ":" + pending.links.input + ".F_EHI");
      if (low != Db().fields.end() && high != Db().fields.end()) {
        block.inputLow = static_cast<double>(low->second.value);
        block.inputHigh = static_cast<double>(high->second.value);
      }
      // A saved integral is kept; otherwise the PID starts without a bump.
      if (block.type == BlockType::Pid && std::find(integrals_.begin(), integrals_.end(), key) == integrals_.end()) {
        StartAutomatic(block);
      }
    }
    return LinkStrategies(error) && Order(error);
  }

  // The F_CV of a tag as a number, or null.
  static Field* ValueOf(const std::string& node, const std::string& tag) {
    const auto found = Db().fields.find(node + ":" + tag + ".F_CV");
    return found == Db().fields.end() || found->second.isText ? nullptr : &found->second;
  }

  // The block a REMOTE or SOURCE names, of the types it may be; null with the message in error.
  Block* Linked(const PendingLinks& pending, const std::string& tag, const char* link, bool ratioToo,
                std::string& error) const {
    const auto found = Db().blocks.find(pending.node + ":" + tag);
    const bool fits = found != Db().blocks.end() &&
                      (found->second.type == BlockType::Pid || (ratioToo && found->second.type == BlockType::Ratio));
    if (!fits) {
      Fail(pending.line,
           std::string(link) + " names " + pending.node + ":" + tag + ", which is not a PID" +
               (ratioToo ? " or RATIO block" : " block"),
           error);
      return nullptr;
    }
    return &found->second;
  }

  // Cascades (each master feeding one slave, no loop of them) and split
  // ranges (the parts of one controller's output not overlapping).
  bool LinkStrategies(std::string& error) {
    std::map<std::string, std::vector<std::pair<const PendingLinks*, Block*>>> splits;  // by source tag
    for (const PendingLinks& pending : pending_) {
      Block& block = Db().blocks[pending.node + ":" + pending.tag];
      if (!pending.links.remote.empty()) {
        Block* master = Linked(pending, pending.links.remote, "REMOTE", true, error);
        if (master == nullptr) {
          return false;
        }
        if (master->slave != nullptr) {
          return Fail(pending.line,
                      "REMOTE names " + pending.node + ":" + pending.links.remote + ", whose output is already " +
                          "the target of another PID: a master feeds one slave",
                      error);
        }
        block.remote = master;
        block.remoteTag = pending.links.remote;
        master->slave = &block;
      }
      if (!pending.links.source.empty()) {
        block.source = Linked(pending, pending.links.source, "SOURCE", false, error);
        if (block.source == nullptr) {
          return false;
        }
        block.sourceTag = pending.links.source;
        splits[pending.node + ":" + pending.links.source].emplace_back(&pending, &block);
      }
    }
    for (const PendingLinks& pending : pending_) {  // a cascade that comes back to where it began
      const Block* start = &Db().blocks[pending.node + ":" + pending.tag];
      size_t steps = 0;
      for (const Block* b = start->remote; b != nullptr && steps <= Db().blocks.size(); b = b->remote, ++steps) {
        if (b == start) {
          return Fail(pending.line, "REMOTE makes a loop of cascades: " + CascadePath(*start), error);
        }
      }
    }
    for (auto& [source, outputs] : splits) {
      std::sort(outputs.begin(), outputs.end(),
                [](const auto& a, const auto& b) { return a.second->splitLow->value < b.second->splitLow->value; });
      for (size_t k = 1; k < outputs.size(); ++k) {
        const Block& before = *outputs[k - 1].second;
        const Block& after = *outputs[k].second;
        if (after.splitLow->value < before.splitHigh->value) {
          return Fail(outputs[k].first->line,
                      "the split range of " + source + " over " + outputs[k - 1].first->tag + " (" +
                          Number(before.splitLow->value) + " to " + Number(before.splitHigh->value) + " %) and " +
                          outputs[k].first->tag + " (" + Number(after.splitLow->value) + " to " +
                          Number(after.splitHigh->value) + " %) overlap",
                      error);
        }
      }
    }
    return true;
  }

  // "A -> B -> A": the tags of a cascade that loops, from its slave up.
  static std::string CascadePath(const Block& start) {
    std::string path;
    const Block* b = &start;
    for (size_t steps = 0; b != nullptr && steps <= Db().blocks.size(); b = b->remote, ++steps) {
      path += (path.empty() ? "" : " -> ") + TagOf(*b);
      if (steps > 0 && b == &start) {
        break;
      }
    }
    return path;
  }

  static std::string TagOf(const Block& block) {
    for (const auto& [key, candidate] : Db().blocks) {
      if (&candidate == &block) {
        return key.substr(key.find(':') + 1);
      }
    }
    return std::string();
  }

  // The scan's order: each block after the ones it reads (a ratio station
  // or master before the PID it feeds, a controller before its outputs,
  // logic after its inputs, a PID after its trip), and otherwise by tag, so
  // that every run scans alike. Logic may come back to itself only through
  // a latch, which then reads its input as of the scan before (a seal-in);
  // a loop without one is refused.
  bool Order(std::string& error) {
    const auto computes = [](const Block& b) {
      return b.type == BlockType::Pid || b.type == BlockType::Ratio || b.source != nullptr || b.alarmText != nullptr ||
             IsLogic(b.type);
    };
    std::vector<std::pair<std::string, Block*>> computed;
    for (auto& [key, block] : Db().blocks) {
      if (computes(block)) {
        computed.emplace_back(key, &block);
      }
    }
    std::sort(computed.begin(), computed.end());
    std::vector<Block*>& order = Db().scanOrder;
    order.clear();
    order.reserve(computed.size());
    std::unordered_map<const Block*, int> seen;  // 1 while its inputs are placed, 2 once placed
    std::vector<Block*> path;
    const std::function<bool(Block*)> place = [&](Block* b) {
      seen[b] = 1;
      path.push_back(b);
      std::vector<Block*> reads = {b->remote, b->source, b->trip != nullptr ? b->trip->block : nullptr};
      for (const Field* input : b->inputs) {
        reads.push_back(input->block);
      }
      for (Block* read : reads) {
        if (read == nullptr || !computes(*read) || seen[read] == 2) {
          continue;
        }
        if (seen[read] == 1) {  // back to a block being placed: through a latch, or refused
          const auto from = std::find(path.begin(), path.end(), read);
          const bool latched =
              std::any_of(from, path.end(), [](const Block* p) { return p->type == BlockType::Latch; });
          if (!latched) {
            std::string loop;
            for (auto p = from; p != path.end(); ++p) {
              loop += TagOf(**p) + " -> ";
            }
            return Fail(LineOf(*b), "the logic comes back to itself without a latch: " + loop + TagOf(*read), error);
          }
          continue;
        }
        if (!place(read)) {
          return false;
        }
      }
      path.pop_back();
      seen[b] = 2;
      order.push_back(b);
      return true;
    };
    for (const auto& entry : computed) {
      if (seen[entry.second] == 0 && !place(entry.second)) {
        return false;
      }
    }
    return true;
  }

  int LineOf(const Block& block) const {
    const std::string tag = TagOf(block);
    for (const PendingLinks& pending : pending_) {
      if (pending.tag == tag && &Db().blocks[pending.node + ":" + pending.tag] == &block) {
        return pending.line;
      }
    }
    return 0;
  }
  std::string path_;
  std::vector<PendingLinks> pending_;
  std::vector<std::string> integrals_;  // PIDs whose integral the file gave
};

// The blocks in the file format, sorted by NODE:TAG, values that read back
// to the same float (and double, for the integral).
std::string SaveText() {
  std::vector<std::string> keys;
  for (const auto& entry : Db().blocks) {
    keys.push_back(entry.first);
  }
  std::sort(keys.begin(), keys.end());
  std::string text = "NODE,TAG,TYPE,VALUES\n";
  char number[64];
  for (const std::string& key : keys) {
    const Block& block = Db().blocks.at(key);
    const BlockKind* kind = nullptr;
    for (const BlockKind& candidate : Kinds) {
      kind = candidate.type == block.type ? &candidate : kind;
    }
    const size_t colon = key.find(':');
    text += key.substr(0, colon) + "," + key.substr(colon + 1) + "," + kind->name + ",";
    bool first = true;
    for (const FieldDefault& field : kind->fields) {
      if (field.name == nullptr) {
        break;
      }
      const auto given = Db().fields.find(key + "." + field.name);
      if (given == Db().fields.end()) {
        continue;  // an optional field the file left out
      }
      const Field& f = given->second;
      if (f.isText) {
        text += std::string(first ? "" : ";") + field.name + "=" + f.text;
      } else {
        (void)std::snprintf(number, sizeof number, "%.9g", static_cast<double>(f.value));
        text += std::string(first ? "" : ";") + field.name + "=" + number;
      }
      first = false;
    }
    if (kind->needsInput && block.input != nullptr) {
      text += ";INPUT=" + block.inputTag;
    }
    if (block.type == BlockType::Pid && block.input != nullptr) {
      (void)std::snprintf(number, sizeof number, "%.17g", block.integral);
      text += std::string(";INTEGRAL=") + number;
    }
    if (!block.inputTags.empty()) {
      std::string inputs;
      for (const std::string& input : block.inputTags) {
        inputs += (inputs.empty() ? "" : "+") + input;
      }
      text += ";INPUTS=" + inputs;
    }
    text += block.trip != nullptr ? ";TRIP=" + block.tripTag : std::string();
    text += block.remote != nullptr ? ";REMOTE=" + block.remoteTag : std::string();
    text += block.source != nullptr ? ";SOURCE=" + block.sourceTag : std::string();
    text += "\n";
  }
  return text;
}

}  // namespace
}  // namespace fixdb

namespace {

void Empty() {
  fixdb::Database& db = fixdb::Db();
  db.fields.clear();
  db.nodes.clear();
  db.tags.clear();
  db.blocks.clear();
  db.scanOrder.clear();
}

int Loaded(bool loaded, const std::string& message, char* error, size_t length) {
  if (!loaded && error != nullptr && length > 0) {
    (void)std::snprintf(error, length, "%s", message.c_str());
  }
  return loaded ? 1 : 0;
}

}  // namespace

extern "C" int FixdbLoadFile(const char* path, char* error, size_t length) {
  Empty();
  std::string message;
  fixdb::Loader loader(path != nullptr ? path : "");
  return Loaded(loader.Load(message), message, error, length);
}

extern "C" int FixdbLoadText(const char* text, const char* name, char* error, size_t length) {
  Empty();
  std::string message;
  fixdb::Loader loader(name != nullptr ? name : "(text)");
  std::istringstream stream(text != nullptr ? text : "");
  return Loaded(loader.Read(stream, message), message, error, length);
}

extern "C" size_t FixdbSaveText(char* buffer, size_t length) {
  const std::string text = fixdb::SaveText();
  if (buffer != nullptr && length > 0) {
    (void)std::snprintf(buffer, length, "%s", text.c_str());
  }
  return text.size() + 1;
}
