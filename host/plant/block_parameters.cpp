// Each kind of block described once: its numbers with their ranges, units and
// defaults, its inputs, texts and lists. A block is checked against its kind
// where it is read, every problem as "file:line: what" at the key's line.
// It never resolves an input's name nor evaluates a block.
#include "plant/block_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace host {
namespace {

constexpr double Required = std::numeric_limits<double>::quiet_NaN();
constexpr double Any = std::numeric_limits<double>::infinity();

struct Number {
  const char* key;
  double Block::*field;
  double fallback;  // Required: the key must be given
  double low;
  bool lowOpen;  // the value must lie above low, not at it
  double high;
  const char* unit;
};

struct Kind {
  const char* name;
  BlockKind kind;
  std::vector<Number> numbers;
  std::vector<const char*> inputs;  // the first is required; "dp" is not
  std::vector<const char*> others;  // texts and lists, read apart
};

const std::vector<Kind>& Kinds() {
  static const std::vector<Kind> kinds = {
      {"lag",
       BlockKind::Lag,
       {{"gain", &Block::gain, 1.0, -Any, false, Any, ""},
        {"time_constant", &Block::timeConstant, Required, 0.0, true, Any, "s"},
        {"bias", &Block::bias, 0.0, -Any, false, Any, ""},
        {"initial", &Block::initial, 0.0, -Any, false, Any, ""}},
       {"input"},
       {}},
      {"deadtime",
       BlockKind::Deadtime,
       {{"delay", &Block::delay, Required, 0.0, false, Any, "s"},
        {"initial", &Block::initial, 0.0, -Any, false, Any, ""}},
       {"input"},
       {}},
      {"integrator",
       BlockKind::Integrator,
       {{"gain", &Block::gain, 1.0, -Any, false, Any, "per s"},
        {"low", &Block::low, -Any, -Any, false, Any, ""},
        {"high", &Block::high, Any, -Any, false, Any, ""},
        {"initial", &Block::initial, 0.0, -Any, false, Any, ""}},
       {"input"},
       {}},
      {"valve",
       BlockKind::Valve,
       {{"cv", &Block::cv, 1.0, 0.0, false, Any, ""},
        {"stroke_time", &Block::strokeTime, 0.0, 0.0, false, Any, "s"},
        {"rangeability", &Block::rangeability, 50.0, 1.0, true, Any, ""},
        {"fail_position", &Block::failPosition, 0.0, 0.0, false, 1.0, "(a fraction)"},
        {"initial", &Block::position, 0.0, 0.0, false, 1.0, "(a fraction)"}},
       {"command", "dp"},
       {"characteristic"}},
      {"motor",
       BlockKind::Motor,
       {{"start_delay", &Block::startDelay, 0.0, 0.0, false, Any, "s"},
        {"stop_delay", &Block::stopDelay, 0.0, 0.0, false, Any, "s"},
        {"initial", &Block::initial, 0.0, 0.0, false, 1.0, "(0 stopped, 1 running)"}},
       {"command"},
       {}},
      {"switch",
       BlockKind::Switch,
       {{"on", &Block::on, Required, -Any, false, Any, ""},
        {"off", &Block::off, Required, -Any, false, Any, ""},
        {"initial", &Block::initial, 0.0, 0.0, false, 1.0, "(0 or 1)"}},
       {"input"},
       {}},
      {"sum", BlockKind::Sum, {{"bias", &Block::bias, 0.0, -Any, false, Any, ""}}, {}, {"inputs", "weights"}},
      {"lookup", BlockKind::Lookup, {}, {"input"}, {"x", "y"}},
      {"source", BlockKind::Source, {}, {}, {"shape"}},
  };
  return kinds;
}

struct Shape {
  const char* name;
  SourceShape shape;
  std::vector<Number> numbers;
};

const std::vector<Shape>& Shapes() {
  static const std::vector<Shape> shapes = {
      {"constant", SourceShape::Constant, {{"value", &Block::value, 0.0, -Any, false, Any, ""}}},
      {"step",
       SourceShape::Step,
       {{"at", &Block::at, Required, 0.0, false, Any, "s"},
        {"from", &Block::from, 0.0, -Any, false, Any, ""},
        {"to", &Block::to, Required, -Any, false, Any, ""}}},
      {"ramp",
       SourceShape::Ramp,
       {{"start", &Block::start, 0.0, 0.0, false, Any, "s"},
        {"slope", &Block::slope, Required, -Any, false, Any, "per s"},
        {"from", &Block::from, 0.0, -Any, false, Any, ""}}},
      {"sine",
       SourceShape::Sine,
       {{"amplitude", &Block::amplitude, Required, -Any, false, Any, ""},
        {"period", &Block::period, Required, 0.0, true, Any, "s"},
        {"offset", &Block::offset, 0.0, -Any, false, Any, ""}}},
      {"noise",
       SourceShape::Noise,
       {{"amplitude", &Block::amplitude, Required, 0.0, false, Any, ""},
        {"seed", &Block::seed, 1.0, 0.0, false, 9007199254740992.0, "(a whole number)"}}},
  };
  return shapes;
}

std::string RangeOf(const Number& n) {
  const std::string unit = *n.unit == '\0' ? std::string() : std::string(" ") + n.unit;
  if (n.low == -Any && n.high == Any) {
    return "a number" + unit;
  }
  if (n.high == Any) {
    return std::string(n.lowOpen ? "above " : "at least ") + Shown(n.low) + unit;
  }
  return "from " + Shown(n.low) + " to " + Shown(n.high) + unit;
}

// Reads a block's keys; every message begins with where the key was given.
class Reader {
 public:
  Reader(const CaseBlock& written, std::string& error) : b_(written), error_(error) {}

  bool Fail(const Origin& at, const std::string& what) {
    error_ = Where(at) + ": block '" + b_.name + "' (" + b_.kind + "): " + what;
    return false;
  }
  const BlockValue* Find(const char* key) const {
    const auto found = b_.keys.find(key);
    return found == b_.keys.end() ? nullptr : &found->second;
  }
  bool Numbers(const std::vector<Number>& numbers, Block& block) {
    for (const Number& n : numbers) {
      const BlockValue* v = Find(n.key);
      if (v == nullptr && std::isnan(n.fallback)) {
        return Fail(b_.origin, std::string("needs '") + n.key + "', " + RangeOf(n));
      }
      if (v != nullptr && v->form != BlockValue::Form::Number) {
        return Fail(v->origin, std::string("'") + n.key + "' must be a number, " + RangeOf(n));
      }
      const double x = v == nullptr ? n.fallback : v->number;
      if (v != nullptr && (x < n.low || (n.lowOpen && x == n.low) || x > n.high)) {
        return Fail(v->origin, std::string("'") + n.key + "' must be " + RangeOf(n) + ", not " + Shown(x));
      }
      block.*n.field = x;
    }
    return true;
  }
  bool OnlyKeys(const std::vector<const char*>& allowed) {
    for (const auto& entry : b_.keys) {
      const bool known = std::any_of(allowed.begin(), allowed.end(), [&](const char* k) { return entry.first == k; });
      if (!known) {
        std::string names;
        for (const char* k : allowed) {
          names += (names.empty() ? "" : ", ") + std::string(k);
        }
        return Fail(entry.second.origin, "unknown key '" + entry.first + "' (it takes name, kind, unit" +
                                             (names.empty() ? "" : ", " + names) + ")");
      }
    }
    return true;
  }
  // A list of numbers; `required` refuses one left out.
  bool List(const char* key, bool required, std::vector<double>& out) {
    const BlockValue* v = Find(key);
    if (v == nullptr) {
      return !required || Fail(b_.origin, std::string("needs '") + key + "', a list of numbers");
    }
    const bool numbers = v->form == BlockValue::Form::List &&
                         std::all_of(v->items.begin(), v->items.end(),
                                     [](const BlockValue& i) { return i.form == BlockValue::Form::Number; });
    if (!numbers || v->items.empty()) {
      return Fail(v->origin, std::string("'") + key + "' must be a list of numbers, such as [0.0, 1.0]");
    }
    for (const BlockValue& item : v->items) {
      out.push_back(item.number);
    }
    return true;
  }
  // A text among the choices, its index into `index`; the first when left out and not required.
  bool Choice(const char* key, const std::vector<const char*>& choices, bool required, size_t& index) {
    const BlockValue* v = Find(key);
    index = 0;
    if (v == nullptr) {
      return !required || Fail(b_.origin, std::string("needs '") + key + "'");
    }
    std::string names;
    for (size_t k = 0; k < choices.size(); ++k) {
      if (v->form == BlockValue::Form::Text && v->text == choices[k]) {
        index = k;
        return true;
      }
      names += std::string(k == 0 ? "\"" : ", \"") + choices[k] + "\"";
    }
    return Fail(v->origin, std::string("'") + key + "' must be one of " + names);
  }

  const CaseBlock& b_;
  std::string& error_;
};

bool KindChecks(Reader& r, const Kind& kind, Block& block) {
  const CaseBlock& w = r.b_;
  const auto at = [&](const char* key) {
    const BlockValue* given = r.Find(key);
    return given != nullptr ? given->origin : w.origin;
  };
  switch (kind.kind) {
    case BlockKind::Integrator:
      if (block.low > block.high) {
        return r.Fail(at("low"), "'low' (" + Shown(block.low) + ") must be at most 'high' (" + Shown(block.high) + ")");
      }
      if (block.initial < block.low || block.initial > block.high) {
        return r.Fail(at("initial"), "'initial' (" + Shown(block.initial) + ") must lie within low..high");
      }
      return true;
    case BlockKind::Switch:
      return block.off <= block.on ||
             r.Fail(at("off"), "'off' (" + Shown(block.off) + ") must be at most 'on' (" + Shown(block.on) + ")");
    case BlockKind::Motor:
      return block.initial == 0.0 || block.initial == 1.0 || r.Fail(at("initial"), "'initial' must be 0 or 1");
    case BlockKind::Valve: {
      size_t c = 0;
      if (!r.Choice("characteristic", {"linear", "equal-percentage", "quick-opening"}, false, c)) {
        return false;
      }
      block.characteristic = static_cast<Characteristic>(c);
      block.hasDp = r.Find("dp") != nullptr;
      return true;
    }
    default: return true;
  }
}

bool ListChecks(Reader& r, const Kind& kind, Block& block, std::vector<const BlockValue*>& inputs) {
  if (kind.kind == BlockKind::Sum) {
    const BlockValue* v = r.Find("inputs");
    if (v == nullptr || v->form != BlockValue::Form::List || v->items.empty()) {
      return r.Fail(v == nullptr ? r.b_.origin : v->origin, "needs 'inputs', a list of numbers and names");
    }
    for (const BlockValue& item : v->items) {
      inputs.push_back(&item);
    }
    if (!r.List("weights", false, block.weights)) {
      return false;
    }
    if (r.Find("weights") == nullptr) {
      block.weights.assign(inputs.size(), 1.0);
    }
    return block.weights.size() == inputs.size() ||
           r.Fail(r.Find("weights")->origin, "'weights' holds " + std::to_string(block.weights.size()) +
                                                 " numbers, 'inputs' " + std::to_string(inputs.size()));
  }
  if (kind.kind == BlockKind::Lookup) {
    if (!r.List("x", true, block.x) || !r.List("y", true, block.y)) {
      return false;
    }
    if (block.x.size() != block.y.size()) {
      return r.Fail(r.Find("y")->origin, "'x' and 'y' must hold as many numbers each");
    }
    for (size_t k = 1; k < block.x.size(); ++k) {
      if (!(block.x[k] > block.x[k - 1])) {
        return r.Fail(r.Find("x")->origin,
                      "'x' must be strictly increasing (" + Shown(block.x[k - 1]) + " then " + Shown(block.x[k]) + ")");
      }
    }
  }
  return true;
}

bool SourceChecks(Reader& r, Block& block) {
  std::vector<const char*> names;
  for (const Shape& s : Shapes()) {
    names.push_back(s.name);
  }
  size_t index = 0;
  if (!r.Choice("shape", names, true, index)) {
    return false;
  }
  const Shape& shape = Shapes()[index];
  std::vector<const char*> allowed = {"shape", "pv"};
  for (const Number& n : shape.numbers) {
    allowed.push_back(n.key);
  }
  block.shape = shape.shape;
  if (!r.OnlyKeys(allowed) || !r.Numbers(shape.numbers, block)) {
    return false;
  }
  if (block.seed != std::floor(block.seed)) {
    return r.Fail(r.Find("seed")->origin, "'seed' must be a whole number, not " + Shown(block.seed));
  }
  block.noise = NoiseStart(block.seed);
  return true;
}

}  // namespace

bool BuildBlock(const CaseBlock& written, Block& block, std::vector<const BlockValue*>& inputs, std::string& error) {
  Reader r(written, error);
  const auto& kinds = Kinds();
  const auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const Kind& k) { return written.kind == k.name; });
  if (kind == kinds.end()) {
    return r.Fail(written.origin,
                  "unknown kind (lag, deadtime, integrator, valve, motor, switch, sum, lookup, "
                  "source, fmu)");
  }
  block = Block();
  block.kind = kind->kind;
  inputs.clear();
  if (kind->kind == BlockKind::Source) {
    return SourceChecks(r, block);
  }
  // 'pv', the PV row that sends the output, is the case's to link.
  std::vector<const char*> allowed(kind->inputs.begin(), kind->inputs.end());
  allowed.insert(allowed.end(), kind->others.begin(), kind->others.end());
  allowed.push_back("pv");
  for (const Number& n : kind->numbers) {
    allowed.push_back(n.key);
  }
  if (!r.OnlyKeys(allowed) || !r.Numbers(kind->numbers, block)) {
    return false;
  }
  for (const char* key : kind->inputs) {
    const BlockValue* v = r.Find(key);
    if (v == nullptr && key == kind->inputs.front()) {
      return r.Fail(written.origin, std::string("needs '") + key + "', a number or a name");
    }
    if (v != nullptr && v->form != BlockValue::Form::Number && v->form != BlockValue::Form::Text) {
      return r.Fail(v->origin, std::string("'") + key + "' must be a number or a name, not a list or table");
    }
    if (v != nullptr) {
      inputs.push_back(v);
    }
  }
  return ListChecks(r, *kind, block, inputs) && KindChecks(r, *kind, block);
}

}  // namespace host
