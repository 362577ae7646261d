// The simulated database's own data: fields, points, groups, injections and
// the journal, shared by the EDA calls and the block behaviour. Internal to
// the fixdb stand-in; the control API is fixdb_control.h.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "blocks.h"
#include "fixdb_control.h"

namespace fixdb {

enum Fn {
  FnCreateGroup,
  FnDeleteGroup,
  FnDefinePoint,
  FnResolveGroup,
  FnReadGroup,
  FnWriteGroup,
  FnWaitGroup,
  FnPointError,
  FnGetFloat,
  FnGetAscii,
  FnSetFloat,
  FnSetAscii,
  FnRunningCheck,
  FnErrorText,
  FnCount
};

struct Field {
  bool isText = false;
  Block* block = nullptr;  // the block whose behaviour the field takes part in
  float value = 0.0F;
  std::string text;
  int16_t error = 0;
};

struct Point {
  // "NODE:TAG.FIELD", the key of its field; the node and "NODE:TAG", the keys
  // of its node and tag, are its first nodeLength and tagEnd characters.
  std::string name;
  size_t nodeLength = 0;
  size_t tagEnd = 0;
  Field* target = nullptr;  // set by resolution
  int16_t error = FixdbNotResolved;
  bool read = false;
  float readValue = 0.0F;
  std::string readText;
  bool pendingFloat = false;
  float newValue = 0.0F;
  bool pendingText = false;
  std::string newText;
  int16_t writeError = 0;  // a write the block refused, until the next group operation
};

enum class Operation { None, Resolve, Read, Write };

struct Group {
  bool alive = true;
  int32_t capacity = 0;
  std::vector<Point> points;
  Operation pending = Operation::None;
};

struct Injection {
  unsigned long at = 0;  // absolute call number, 0 = none
  bool persistent = false;
  int32_t result = 0;
};

std::map<int16_t, std::string> BuiltinErrorTexts();

struct Database {
  std::unordered_map<std::string, Field> fields;  // "NODE:TAG.FIELD"
  std::unordered_map<std::string, bool> nodes;
  std::unordered_map<std::string, bool> tags;  // "NODE:TAG"
  std::vector<Group> groups;                   // handle = index + 1
  bool running = true;
  bool journalOn = true;
  bool unterminated = false;
  std::vector<std::string> journal;
  unsigned long calls[FnCount] = {};
  Injection injections[FnCount];
  unsigned long groupOperations = 0;
  std::map<int16_t, std::string> errorTexts = BuiltinErrorTexts();
  std::unordered_map<std::string, Block> blocks;  // "NODE:TAG"
  std::vector<Block*> scanOrder;                  // the blocks a scan computes, in their order (made when loaded)
  // Point storage of deleted groups, emptied but with its room kept, which
  // new groups take first; it outlives FixdbReset, so that runs binding
  // thousands of points do not each allocate and fault in fresh memory.
  std::vector<std::vector<Point>> spareStorage;
};

Database& Db();
// The field, created with its node and tag when missing; a name starting
// with 'A' makes a text field.
Field& FieldFor(const char* node, const char* tag, const char* field);

}  // namespace fixdb
