// [[block]]: one block of a "blocks" model, written in the case or in the
// model file [model] names, or of a "tieback" case beside its generated loops.
// Each key is taken as written (a number, a name or a list or table of them)
// with its file and line; the model checks which keys a kind takes and their ranges.
#include <cmath>
#include <string>
#include <unordered_map>
#include <utility>

#include "case/sections/sections.h"
#include "case/toml_file.h"

namespace host {
namespace {

int LineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

// A block's name: letters, digits, '_' and '-', so that it stands apart from a
// record's "TAG.FIELD" and fits a trace column and a plot's panel list.
bool GoodName(const std::string& name) {
  if (name.empty()) {
    return false;
  }
  for (const char c : name) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter && c != '_' && c != '-') {
      return false;
    }
  }
  return true;
}

bool ValueOf(CaseValues& values, const std::string& file, const std::string& key, const toml::node& node, bool inList,
             BlockValue& out) {
  out.origin = Origin{file, LineOf(node)};
  if (node.is_number()) {
    out.form = BlockValue::Form::Number;
    out.number = *node.value<double>();
    return std::isfinite(out.number) || values.FailIn(file, LineOf(node), "'" + key + "' must be a finite number");
  }
  if (node.is_string()) {
    out.form = BlockValue::Form::Text;
    out.text = *node.value<std::string>();
    return !HasControlCharacter(out.text) ||
           values.FailIn(file, LineOf(node), "'" + key + "' holds a control character (below the space)");
  }
  if (const toml::table* table = node.as_table(); table != nullptr && !inList) {
    out.form = BlockValue::Form::Table;  // an FMU's inputs or parameters by name
    for (const auto& field : *table) {
      out.fields.emplace_back(std::string(field.first.str()), BlockValue());
      if (!ValueOf(values, file, key + "." + out.fields.back().first, field.second, true, out.fields.back().second)) {
        return false;
      }
    }
    return true;
  }
  const toml::array* list = node.as_array();
  if (list == nullptr || inList) {
    return values.FailIn(file, LineOf(node),
                         "'" + key + "' must be a number, a name in quotes" +
                             (inList ? "" : ", a list of them or a table of them by name"));
  }
  out.form = BlockValue::Form::List;
  for (const toml::node& item : *list) {
    out.items.emplace_back();
    if (!ValueOf(values, file, key, item, true, out.items.back())) {
      return false;
    }
  }
  return true;
}

// The text of name, kind or unit; false with a message when it is not one.
bool TextKey(CaseValues& values, const std::string& file, const toml::table& table, const char* key, bool required,
             std::string& out) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    return !required || values.FailIn(file, LineOf(table), std::string("missing '") + key + "' in a block");
  }
  if (!node->is_string() || HasControlCharacter(*node->value<std::string>())) {
    return values.FailIn(file, LineOf(*node), std::string("a block's '") + key + "' must be a text in quotes");
  }
  out = *node->value<std::string>();
  return true;
}

bool ReadBlockIn(CaseValues& values, const toml::table& table, const std::string& file) {
  ModelSettings& model = values.loaded().model;
  if (model.type != ModelType::Blocks && model.type != ModelType::Tieback) {
    return values.FailIn(file, LineOf(table),
                         std::string("a [[block]] belongs to a model of type \"blocks\" or \"tieback\", not \"") +
                             ModelTypeName(model.type) + "\": give [model] type = \"blocks\"");
  }
  CaseBlock block;
  block.origin = Origin{file, LineOf(table)};
  if (!TextKey(values, file, table, "name", true, block.name) ||
      !TextKey(values, file, table, "kind", true, block.kind) ||
      !TextKey(values, file, table, "unit", false, block.unit)) {
    return false;
  }
  if (!GoodName(block.name)) {
    return values.FailIn(file, LineOf(*table.get("name")),
                         "block name '" + block.name + "' must hold letters, digits, '_' and '-' only");
  }
  for (const auto& entry : table) {
    const std::string key(entry.first.str());
    if (key != "name" && key != "kind" && key != "unit" &&
        !ValueOf(values, file, key, entry.second, false, block.keys[key])) {
      return false;
    }
  }
  model.blocks.push_back(std::move(block));
  return true;
}

// The PV rows by "NODE:TAG.FIELD" and by "TAG.FIELD"; a short name that
// several rows share maps to none of them (npos).
std::unordered_map<std::string, size_t> RowsByName(const std::vector<CasePVRow>& rows) {
  std::unordered_map<std::string, size_t> named;
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string shortName = rows[i].tag + "." + rows[i].field;
    named.emplace(rows[i].node + ":" + shortName, i);
    const auto first = named.emplace(shortName, i);
    if (!first.second) {
      first.first->second = std::string::npos;
    }
  }
  return named;
}

}  // namespace

bool LinkBlockOutputs(Case& c, std::string& error) {
  const std::unordered_map<std::string, size_t> named = RowsByName(c.pv);
  for (const CaseBlock& block : c.model.blocks) {
    const auto key = block.keys.find("pv");
    if (key == block.keys.end()) {
      continue;
    }
    const BlockValue& v = key->second;
    const auto row = named.find(v.text);
    if (v.form != BlockValue::Form::Text || row == named.end() || row->second == std::string::npos) {
      const bool shared = row != named.end() && v.form == BlockValue::Form::Text;
      error = Where(v.origin) + ": block '" + block.name + "': 'pv' must name the PV row that sends its output, " +
              (shared ? "as \"NODE:TAG.FIELD\": rows on several nodes have " + v.text
                      : "\"NODE:TAG.FIELD\" or \"TAG.FIELD\"; no PV row is " +
                            (v.form == BlockValue::Form::Text ? v.text : "a number or a list"));
      return false;
    }
    CasePVRow& pv = c.pv[row->second];
    if (!pv.from.empty() && pv.from != block.name) {
      error = Where(v.origin) + ": block '" + block.name + "': " + RowLabel("PV", row->second) + " (" +
              Where(pv.origin) + ") carries '" + pv.from + "' already";
      return false;
    }
    pv.from = block.name;
  }
  return true;
}

bool ReadBlock(CaseValues& values, const toml::table& table) { return ReadBlockIn(values, table, values.path()); }

namespace {

// A model file's tables: [[block]] only.
bool ReadModelTables(CaseValues& values, const toml::table& root, const std::string& file) {
  for (const auto& entry : root) {
    if (entry.first.str() != "block") {
      return values.FailIn(
          file, LineOf(entry.second),
          "unknown key '" + std::string(entry.first.str()) + "' in a model file: it holds [[block]] tables only");
    }
  }
  const toml::node* blocks = root.get("block");
  if (blocks == nullptr || !blocks->is_array()) {
    return values.FailIn(file, blocks == nullptr ? 1 : LineOf(*blocks), "a model file holds [[block]] tables");
  }
  for (const toml::node& element : *blocks->as_array()) {
    if (!element.is_table()) {
      return values.FailIn(file, LineOf(element), "each block must be a table");
    }
    if (!ReadBlockIn(values, *element.as_table(), file)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadModelFile(CaseValues& values, const std::string& file) {
  toml::table root;
  std::string error;
  return ParseTomlFile(file, "the model file", root, error) ? ReadModelTables(values, root, file)
                                                            : values.FailWith(error);
}

bool ReadModelText(const std::string& file, const std::string& text, std::vector<CaseBlock>& blocks,
                   std::string& error) {
  Case scratch;
  scratch.model.type = ModelType::Blocks;
  CaseValues values(file, scratch);
  toml::table root;
  if (!ParseTomlText(file, text, root, error)) {
    return false;
  }
  if (!ReadModelTables(values, root, file)) {
    error = values.error();
    return false;
  }
  blocks = std::move(scratch.model.blocks);
  return true;
}

}  // namespace host
