// Loading a case file: the table of its sections, walked in order, each
// section handed to its reader in sections/. A new section is a new reader
// and one line in that table; nothing here reads a section's own keys.
#include "case/case.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "case/case_values.h"
#include "case/sections/sections.h"
#include "case/toml_file.h"
#include "system/paths.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// The sections in the order they are read: [case] first, for the run's length
// that events and malfunctions must fall within; the tag tables before the
// expectations and malfunctions that name their rows.
const Section Sections[] = {
    {"case", SectionForm::Required, ReadGeneral},
    {"model", SectionForm::Optional, ReadModel},
    {"block", SectionForm::Array, ReadBlock},
    {"tieback", SectionForm::Optional, ReadTieback},
    {"controller", SectionForm::Array, ReadTagRow<TableKind::Ctrl>},
    {"pv", SectionForm::Array, ReadTagRow<TableKind::PV>},
    {"pv_import", SectionForm::Array, ReadTagRow<TableKind::PVImport>},
    {"loop_check", SectionForm::Array, ReadLoopCheck},  // before the events: checks make the run longer
    {"alarm_check", SectionForm::Array, ReadAlarmCheck},
    {"matrix", SectionForm::Optional, ReadMatrix},
    {"event", SectionForm::Array, ReadEvent},
    {"expect", SectionForm::Array, ReadExpectation},
    {"malfunction", SectionForm::Array, ReadMalfunction},
    {"report", SectionForm::Optional, ReadReport},
};

// Every table of an array such as [[expect]], each read alone.
bool ReadEach(CaseValues& values, const toml::node& node, const Section& section) {
  const std::string key = section.key;
  const toml::array* tables = node.as_array();
  if (tables == nullptr) {
    return values.Fail(node, "[[" + key + "]] must be an array of tables");
  }
  for (const toml::node& element : *tables) {
    const toml::table* table = element.as_table();
    if (table == nullptr) {
      return values.Fail(element, "each " + key + " must be a table");
    }
    if (!section.read(values, *table)) {
      return false;
    }
  }
  return true;
}

bool ReadSection(CaseValues& values, const toml::table& root, const Section& section) {
  const std::string key = section.key;
  const toml::node* node = root.get(key);
  switch (section.form) {
    case SectionForm::Required:
      if (node == nullptr || !node->is_table()) {
        return values.FailAt(1, "missing the [" + key + "] table");
      }
      return section.read(values, *node->as_table());
    case SectionForm::Optional:
      if (node == nullptr) {
        return true;
      }
      if (!node->is_table()) {
        return values.Fail(*node, "[" + key + "] must be a table");
      }
      return section.read(values, *node->as_table());
    case SectionForm::Array: return node == nullptr || ReadEach(values, *node, section);
  }
  return false;
}

bool ReadSections(CaseValues& values, const toml::table& root) {
  std::vector<const char*> keys;
  for (const Section& section : Sections) {
    keys.push_back(section.key);
  }
  if (!values.OnlyKeys(root, keys, "the case file")) {
    return false;
  }
  for (const Section& section : Sections) {
    if (!ReadSection(values, root, section)) {
      return false;
    }
  }
  return true;
}

bool ReadCaseFile(const std::string& path, Case& loaded, std::string& error) {
  toml::table root;
  if (!ParseTomlFile(path, "the case file", root, error)) {
    return false;
  }
  CaseValues values(path, loaded);
  const bool read = ReadSections(values, root);
  error = values.error();
  return read && error.empty();
}

}  // namespace

bool IsModelFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  toml::parse_result parsed = toml::parse(text.str(), path);
  return parsed && parsed.table().contains("block") && !parsed.table().contains("case");
}

bool LoadCase(const std::string& path, Case& loaded, std::string& error) {
  loaded = Case();
  loaded.path = path;
  std::error_code ec;
  const fs::file_status status = fs::status(PathOf(path), ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    error = path + ": cannot read the case file: " + ec.message();
    return false;
  }
  if (!fs::exists(status)) {
    error = path + ": no such case file";
    return false;
  }
  if (fs::is_directory(status)) {
    error = path + ": is a folder, not a case file";
    return false;
  }
  return ReadCaseFile(path, loaded, error) && (loaded.model.blocks.empty() || LinkBlockOutputs(loaded, error));
}

}  // namespace host
