// [tieback]: the settings of a "tieback" model's generated loops, by measured
// variable ([tieback.letter.T]), by loop ([tieback.loop.TIC101]) and for every
// discrete loop ([tieback.discrete]), each value checked where it is read.
// Which loops a setting reaches is the plant's concern.
#include <cmath>
#include <limits>
#include <string>

#include "case/sections/sections.h"

namespace host {

TiebackSetting::TiebackSetting() {
  const double unset = std::numeric_limits<double>::quiet_NaN();
  timeConstant = deadTime = fillTime = low = high = startDelay = stopDelay = unset;
}

namespace {

// A number of a setting, at least (or above) a bound.
struct Bounded {
  const char* key;
  double TiebackSetting::*field;
  double low;
  bool lowOpen;
  const char* range;  // as a message says it
};

bool Numbers(CaseValues& values, const toml::table& table, const std::vector<Bounded>& numbers, const char* where,
             TiebackSetting& setting) {
  for (const Bounded& n : numbers) {
    double x = std::numeric_limits<double>::quiet_NaN();
    if (!values.Number(table, n.key, x, false, where)) {
      return false;
    }
    if (!std::isnan(x) && (x < n.low || (n.lowOpen && x == n.low))) {
      return values.Fail(*table.get(n.key), std::string("'") + n.key + "' must be " + n.range + ", not " + Shown(x));
    }
    setting.*n.field = x;
    if (!std::isnan(x)) {
      setting.origins[n.key] = values.OriginOf(*table.get(n.key));
    }
  }
  return true;
}

bool Choice(CaseValues& values, const toml::table& table, const char* key, const char* first, const char* second,
            const char* where, std::string& out) {
  if (!values.Text(table, key, out, false, where)) {
    return false;
  }
  return out.empty() || out == first || out == second ||
         values.Fail(*table.get(key), std::string("'") + key + "' must be \"" + first + "\" or \"" + second + "\"");
}

// One analog setting: [tieback.letter.X] or [tieback.loop.TAG] (which may
// also state the loop's measured variable).
bool Analog(CaseValues& values, const toml::table& table, const std::string& where, TiebackSetting& s) {
  const char* at = where.c_str();
  std::vector<const char*> keys = {"dynamics", "action", "time_constant", "dead_time", "fill_time",
                                   "low",      "high",   "start_delay",   "stop_delay"};
  if (!s.loop.empty()) {
    keys.push_back("measures");
  }
  if (!values.OnlyKeys(table, keys, at) || !values.Text(table, "measures", s.measures, false, at) ||
      !Choice(values, table, "dynamics", "lag", "integrating", at, s.dynamics) ||
      !Choice(values, table, "action", "direct", "reverse", at, s.action) ||
      !Numbers(values, table,
               {{"time_constant", &TiebackSetting::timeConstant, 0.0, true, "above 0 s"},
                {"dead_time", &TiebackSetting::deadTime, 0.0, false, "at least 0 s"},
                {"fill_time", &TiebackSetting::fillTime, 0.0, true, "above 0 s"},
                {"low", &TiebackSetting::low, -HUGE_VAL, false, "a number"},
                {"high", &TiebackSetting::high, -HUGE_VAL, false, "a number"},
                {"start_delay", &TiebackSetting::startDelay, 0.0, false, "at least 0 s"},
                {"stop_delay", &TiebackSetting::stopDelay, 0.0, false, "at least 0 s"}},
               at, s)) {
    return false;
  }
  if (s.measures.size() > 2 || s.measures.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos) {
    return values.Fail(*table.get("measures"),
                       "measures names a measured variable by its letters, such as \"T\" "
                       "or \"PD\", not \"" +
                           s.measures + "\"");
  }
  return !(s.low >= s.high) ||
         values.Fail(*table.get("high"), "'high' (" + Shown(s.high) + ") must be above 'low' (" + Shown(s.low) + ")");
}

// Every [tieback.letter.X] or [tieback.loop.TAG] table.
bool Group(CaseValues& values, const toml::node& node, const char* group, std::vector<TiebackSetting>& out) {
  const toml::table* tables = node.as_table();
  if (tables == nullptr) {
    return values.Fail(node, std::string("[tieback.") + group + "] must hold tables, such as [tieback." + group +
                                 (std::string(group) == "letter" ? ".T]" : ".TIC101]"));
  }
  for (const auto& entry : *tables) {
    const std::string name(entry.first.str());
    const std::string where = "[tieback." + std::string(group) + "." + name + "]";
    const toml::table* table = entry.second.as_table();
    if (table == nullptr) {
      return values.Fail(entry.second, where + " must be a table");
    }
    TiebackSetting s;
    s.origin = values.OriginOf(*table);
    const bool letters = !name.empty() && name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos;
    if (std::string(group) == "letter" && !letters) {
      return values.Fail(*table, where + ": a measured variable is written in capital letters, such as T or PD");
    }
    (std::string(group) == "letter" ? s.letter : s.loop) = name;
    if (!Analog(values, *table, where, s)) {
      return false;
    }
    out.push_back(s);
  }
  return true;
}

}  // namespace

bool ReadTieback(CaseValues& values, const toml::table& table) {
  ModelSettings& model = values.loaded().model;
  if (model.type != ModelType::Tieback) {
    return values.Fail(table, std::string("[tieback] sets a model of type \"tieback\", not \"") +
                                  ModelTypeName(model.type) + "\": give [model] type = \"tieback\"");
  }
  if (!values.OnlyKeys(table, {"letter", "loop", "discrete"}, "[tieback]")) {
    return false;
  }
  for (const char* group : {"letter", "loop"}) {
    if (const toml::node* node = table.get(group); node != nullptr && !Group(values, *node, group, model.tieback)) {
      return false;
    }
  }
  const toml::node* discrete = table.get("discrete");
  if (discrete == nullptr) {
    return true;
  }
  if (!discrete->is_table()) {
    return values.Fail(*discrete, "[tieback.discrete] must be a table");
  }
  TiebackSetting s;
  s.discrete = true;
  s.origin = values.OriginOf(*discrete);
  const toml::table& t = *discrete->as_table();
  if (!values.OnlyKeys(t, {"start_delay", "stop_delay"}, "[tieback.discrete]") ||
      !Numbers(values, t,
               {{"start_delay", &TiebackSetting::startDelay, 0.0, false, "at least 0 s"},
                {"stop_delay", &TiebackSetting::stopDelay, 0.0, false, "at least 0 s"}},
               "[tieback.discrete]", s)) {
    return false;
  }
  model.tieback.push_back(s);
  return true;
}

}  // namespace host
