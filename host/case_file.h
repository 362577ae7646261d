// A case file: the general setting, the run's length, the process model, the
// simulated database to load, scripted operator events and the three tag
// tables, inline or from CSV files. Loading reports "file:line: what is
// wrong" for every problem it finds first; it never throws.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace host {

// Where a row or event came from, for messages.
struct Origin {
  std::string file;
  int line = 0;
};

struct CaseCtrlRow {
  std::string node, tag, field;
  int16_t active = 1;
  double mode = 1.0;    // 1.0 automatic, anything else manual
  double output = 0.0;  // a fraction
  double tv1 = 0.0;
  std::string drives;   // the model input its output drives, or empty
  Origin origin;
};

struct CasePVRow {
  std::string node, tag, field;
  int16_t active = 1;
  double value = 0.0;
  std::string from;     // PV rows: the model output it carries, or empty
  Origin origin;
};

// An operator's change at the DCS: at a step, set NODE:TAG.FIELD.
struct CaseEvent {
  int step = 0;
  std::string node, tag, field;
  bool isText = false;
  double value = 0.0;
  std::string text;
  Origin origin;
};

struct ModelSettings {
  std::string type = "none";              // "none" or "tank"
  std::map<std::string, double> parameters;
};

struct Case {
  std::string path;
  std::string name;
  int32_t initCycle = 0;  // 0 Perform, 1 Skip
  int steps = 10;
  double stepSeconds = 1.0;
  std::string database;   // path of the database file, resolved
  ModelSettings model;
  std::vector<CaseCtrlRow> controllers;
  std::vector<CasePVRow> pv;
  std::vector<CasePVRow> pvImport;
  std::vector<CaseEvent> events;
  std::vector<std::string> plot;  // panels to plot: trace columns, '+' joining those sharing a panel
};

// Loads a case; false with "file:line: what is wrong" in error.
bool LoadCase(const std::string& path, Case& loaded, std::string& error);

// Splits "NODE:TAG.FIELD"; false when the text has another form.
bool ParsePointName(const std::string& text, std::string& node, std::string& tag, std::string& field);

}  // namespace host
