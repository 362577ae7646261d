// The simulated FIX process database behind the EDA stand-in: nodes, tags and
// fields; groups of points with FIX's deferred semantics (gets see the group's
// last read, sets reach the database at the next group write, and a wait
// completes the group's last operation); point errors with codes and texts;
// failure injection for every call; and a journal of every call. Groups and
// points are addressed by index, so no call on the step path searches by name.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "database_internal.h"
#include "fixdb_control.h"
#include "platform/fix_api.h"

namespace {

const char* const FnNames[fixdb::FnCount] = {"EdaCreateGroup",  "EdaDeleteGroup", "EdaDefinePoint", "EdaResolveGroup",
                                             "EdaReadGroup",    "EdaWriteGroup",  "EdaWaitGroup",   "EdaPointError",
                                             "EdaGetFloat",     "EdaGetAscii",    "EdaSetFloat",    "EdaSetAscii",
                                             "FixRunningCheck", "FixErrorText"};

}  // namespace

namespace fixdb {

std::string Key(const char* node, const char* tag, const char* field) {
  return std::string(node) + ":" + tag + "." + field;
}

namespace {

// The texts of the simulated database's error codes: a plain table, made at
// compile time.
struct ErrorText {
  int16_t code;
  const char* text;
};
const ErrorText ErrorTexts[] = {
    {FixdbNodeNotFound, "Node not found"},
    {FixdbTagNotFound, "Tag not found in the process database"},
    {FixdbFieldNotFound, "Field not found for this block"},
    {FixdbWrongFieldType, "Field value is of another type"},
    {FixdbBadGroup, "Invalid group handle"},
    {FixdbBadPoint, "Invalid point handle"},
    {FixdbNotResolved, "Point not resolved"},
    {FixdbNotRead, "Point value not read yet"},
    {FixdbGroupFull, "Group holds no more points"},
    {FixdbOutputProtected, "Output is protected while the controller is in AUTO"},
    {FixdbValueNotAllowed, "Value not allowed for this field"},
    {FixdbTransmitterFailed, "Transmitter failed"},
    {FixdbNodeDown, "Node is not reachable"},
};

}  // namespace

std::map<int16_t, std::string> BuiltinErrorTexts() {
  std::map<int16_t, std::string> texts;
  for (const ErrorText& e : ErrorTexts) {
    texts.emplace(e.code, e.text);
  }
  return texts;
}

Database& Db() {
  static Database db;
  return db;
}

Field& FieldFor(const char* node, const char* tag, const char* field) {
  Database& db = Db();
  db.nodes[node] = true;
  db.tags[std::string(node) + ":" + tag] = true;
  Field& f = db.fields[Key(node, tag, field)];
  f.isText = field[0] == 'A';
  return f;
}

}  // namespace fixdb

namespace {

using namespace fixdb;  // NOLINT(google-build-using-namespace)

std::string Quote(const char* text) { return text == nullptr ? "null" : "\"" + std::string(text) + "\""; }

std::string Num(double value) {
  char buffer[32];
  (void)std::snprintf(buffer, sizeof buffer, "%.9g", value);
  return buffer;
}

void Append(Fn fn, const std::string& args, const std::string& result) {
  Db().journal.push_back(std::string(FnNames[fn]) + "(" + args + ")=" + result);
}

// Journals a call; its argument and result texts are built only when the
// journal is on, so that a call costs no formatting otherwise. RECORD_IN takes
// the database a per-point call already holds, saving a lookup per call.
#define RECORD_IN(database, fn, args, result) \
  do {                                        \
    if ((database).journalOn) {               \
      Append(fn, args, result);               \
    }                                         \
  } while (false)
#define RECORD(fn, args, result) RECORD_IN(Db(), fn, args, result)

// Counts the call; true (and the result) when an injection answers it.
// Per-point calls pass the database they already hold.
bool Injected(Fn fn, int32_t& result, Database& db = Db()) {
  const unsigned long n = ++db.calls[fn];
  const Injection& injection = db.injections[fn];
  if (injection.at != 0 && (n == injection.at || (injection.persistent && n > injection.at))) {
    result = injection.result;
    return true;
  }
  return false;
}

Group* FindGroup(int32_t handle) {
  Database& db = Db();
  if (handle < 1 || static_cast<size_t>(handle) > db.groups.size()) {
    return nullptr;
  }
  Group& group = db.groups[static_cast<size_t>(handle) - 1];
  return group.alive ? &group : nullptr;
}

// The point of a live group, or the error code that says why there is none.
// Two index checks: no search, and no lookup of the database but the caller's.
Point* FindPoint(int32_t group, int32_t point, int16_t& error, Database& db = Db()) {
  if (group < 1 || static_cast<size_t>(group) > db.groups.size() || !db.groups[static_cast<size_t>(group) - 1].alive) {
    error = FixdbBadGroup;
    return nullptr;
  }
  Group* g = &db.groups[static_cast<size_t>(group) - 1];
  if (point < 1 || static_cast<size_t>(point) > g->points.size()) {
    error = FixdbBadPoint;
    return nullptr;
  }
  error = 0;
  return &g->points[static_cast<size_t>(point) - 1];
}

// The point's current error: its resolution error, else its field's error.
int16_t PointState(const Point& p) {
  if (p.target == nullptr) {
    return p.error;
  }
  return p.target->error;
}

// Names a point with its field's key, as Key builds it, noting where the
// node's and the tag's keys end; a missing text names nothing, as an empty
// one. Appended in place: a run names thousands of points.
void Name(Point& p, const char* node, const char* tag, const char* field) {
  p.name = node != nullptr ? node : "";
  p.nodeLength = p.name.size();
  p.name += ':';
  p.name += tag != nullptr ? tag : "";
  p.tagEnd = p.name.size();
  p.name += '.';
  p.name += field != nullptr ? field : "";
}

void Resolve(Point& p) {
  Database& db = Db();
  p.target = nullptr;
  if (db.nodes.count(p.name.substr(0, p.nodeLength)) == 0) {
    p.error = FixdbNodeNotFound;
  } else if (db.tags.count(p.name.substr(0, p.tagEnd)) == 0) {
    p.error = FixdbTagNotFound;
  } else {
    auto found = db.fields.find(p.name);
    if (found == db.fields.end()) {
      p.error = FixdbFieldNotFound;
    } else {
      p.target = &found->second;
      p.error = 0;
    }
  }
}

void Complete(Group& group) {
  switch (group.pending) {
    case Operation::None: break;
    case Operation::Resolve: {
      // The database does not change while a group resolves, so a point
      // named as the one before it resolves as that one did.
      const Point* previous = nullptr;
      for (Point& p : group.points) {
        if (previous != nullptr && previous->name == p.name) {
          p.target = previous->target;
          p.error = previous->error;
        } else {
          Resolve(p);
        }
        previous = &p;
      }
      break;
    }
    case Operation::Read:
      for (Point& p : group.points) {
        if (p.target != nullptr && p.target->error == 0) {
          p.read = true;
          p.readValue = p.target->value;
          if (p.target->isText) {
            p.readText = p.target->text;
          }
        }
      }
      break;
    case Operation::Write:
      for (Point& p : group.points) {
        p.writeError = 0;
        if (p.target != nullptr && p.target->error == 0 && (p.pendingFloat || p.pendingText)) {
          p.writeError = WriteRefusal(*p.target, p.pendingText ? &p.newText : nullptr, p.newValue);
          if (p.writeError == 0) {
            if (p.pendingFloat) {
              p.target->value = p.newValue;
            }
            if (p.pendingText) {
              p.target->text = p.newText;
            }
            FieldWritten(*p.target);
          }
        }
        p.pendingFloat = false;
        p.pendingText = false;
      }
      break;
  }
  group.pending = Operation::None;
}

int16_t StartOperation(Fn fn, int32_t group, Operation operation) {
  int32_t result = 0;
  if (Injected(fn, result)) {
    RECORD(fn, std::to_string(group), std::to_string(result));
    return static_cast<int16_t>(result);
  }
  Group* g = FindGroup(group);
  int16_t status = FixdbBadGroup;
  if (g != nullptr) {
    Complete(*g);  // an operation still pending finishes first
    g->pending = operation;
    ++Db().groupOperations;
    status = 0;
  }
  RECORD(fn, std::to_string(group), std::to_string(status));
  return status;
}

// Room made at creation for a group's points; a larger group grows as filled.
constexpr int32_t MaxReservedPoints = 1 << 16;

// Spare storage kept at most: a run's groups are three, and tests make a few.
constexpr size_t MaxSpareStorage = 8;

// Empties a deleted group's points and keeps their room for the next group.
void Retire(Group& group) {
  std::vector<Point>& spare = group.points;
  spare.clear();
  Database& db = Db();
  if (spare.capacity() > 0 && db.spareStorage.size() < MaxSpareStorage) {
    db.spareStorage.push_back(std::move(spare));
  }
  spare = std::vector<Point>();
}

void FillUnterminated(char* buffer, int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    buffer[i] = static_cast<char>('A' + i % 26);
  }
}

// A link of a block of that type, or null where the tag is no such block or has none.
const char* LinkOf(const char* node, const char* tag, BlockType type, const std::string Block::*link) {
  const auto found = Db().blocks.find(std::string(node) + ":" + tag);
  if (found == Db().blocks.end() || found->second.type != type || (found->second.*link).empty()) {
    return nullptr;
  }
  return (found->second.*link).c_str();
}

}  // namespace

using namespace fixdb;  // NOLINT(google-build-using-namespace)

extern "C" {

int32_t EdaCreateGroup(int32_t points, int32_t reserved) {
  int32_t result = 0;
  if (!Injected(FnCreateGroup, result)) {
    if (points >= 0) {
      Database& db = Db();
      Group group;
      group.capacity = points;
      // A group's points are stored once, without moving them as it fills.
      if (!db.spareStorage.empty()) {
        group.points = std::move(db.spareStorage.back());
        db.spareStorage.pop_back();
      }
      group.points.reserve(static_cast<size_t>(points < MaxReservedPoints ? points : MaxReservedPoints));
      db.groups.push_back(std::move(group));
      result = static_cast<int32_t>(db.groups.size());
    }
  }
  RECORD(FnCreateGroup, std::to_string(points) + "," + std::to_string(reserved), std::to_string(result));
  return result;
}

int16_t EdaDeleteGroup(int32_t group) {
  int32_t result = 0;
  if (!Injected(FnDeleteGroup, result)) {
    Group* g = FindGroup(group);
    if (g == nullptr) {
      result = FixdbBadGroup;
    } else {
      g->alive = false;
      Retire(*g);
    }
  }
  RECORD(FnDeleteGroup, std::to_string(group), std::to_string(result));
  return static_cast<int16_t>(result);
}

int32_t EdaDefinePoint(int32_t group, const char* node, const char* tag, const char* field, int32_t reserved) {
  int32_t result = 0;
  if (!Injected(FnDefinePoint, result)) {
    Group* g = FindGroup(group);
    if (g == nullptr || g->points.size() >= static_cast<size_t>(g->capacity)) {
      result = -1;
    } else {
      Name(g->points.emplace_back(), node, tag, field);
      result = static_cast<int32_t>(g->points.size());
    }
  }
  RECORD(FnDefinePoint,
         std::to_string(group) + "," + Quote(node) + "," + Quote(tag) + "," + Quote(field) + "," +
             std::to_string(reserved),
         std::to_string(result));
  return result;
}

int16_t EdaResolveGroup(int32_t group) { return StartOperation(FnResolveGroup, group, Operation::Resolve); }
int16_t EdaReadGroup(int32_t group) { return StartOperation(FnReadGroup, group, Operation::Read); }
int16_t EdaWriteGroup(int32_t group) { return StartOperation(FnWriteGroup, group, Operation::Write); }

int16_t EdaWaitGroup(int32_t group) {
  int32_t result = 0;
  if (!Injected(FnWaitGroup, result)) {
    Group* g = FindGroup(group);
    if (g == nullptr) {
      result = FixdbBadGroup;
    } else {
      Complete(*g);
    }
  }
  RECORD(FnWaitGroup, std::to_string(group), std::to_string(result));
  return static_cast<int16_t>(result);
}

int16_t EdaPointError(int32_t group, int32_t point) {
  Database& db = Db();
  int32_t result = 0;
  if (!Injected(FnPointError, result, db)) {
    int16_t error = 0;
    Point* p = FindPoint(group, point, error, db);
    result = p == nullptr ? error : (p->writeError != 0 ? p->writeError : PointState(*p));
  }
  RECORD_IN(db, FnPointError, std::to_string(group) + "," + std::to_string(point), std::to_string(result));
  return static_cast<int16_t>(result);
}

int16_t EdaGetFloat(int32_t group, int32_t point, float* value) {
  Database& db = Db();
  int32_t result = 0;
  bool fetched = false;
  if (!Injected(FnGetFloat, result, db)) {
    int16_t error = 0;
    Point* p = FindPoint(group, point, error, db);
    if (p == nullptr) {
      result = error;
    } else if ((result = PointState(*p)) == 0) {
      if (p->target->isText) {
        result = FixdbWrongFieldType;
      } else if (!p->read) {
        result = FixdbNotRead;
      } else {
        *value = p->readValue;
        fetched = true;
      }
    }
  }
  RECORD_IN(db, FnGetFloat, std::to_string(group) + "," + std::to_string(point),
            std::to_string(result) + (fetched ? ":" + Num(*value) : std::string()));
  return static_cast<int16_t>(result);
}

int16_t EdaGetAscii(int32_t group, int32_t point, char* buffer, int32_t length) {
  Database& db = Db();
  int32_t result = 0;
  enum class Fetched { None, Text, Unterminated } fetched = Fetched::None;
  if (!Injected(FnGetAscii, result, db)) {
    int16_t error = 0;
    Point* p = FindPoint(group, point, error, db);
    if (p == nullptr) {
      result = error;
    } else if ((result = PointState(*p)) == 0) {
      if (!p->target->isText) {
        result = FixdbWrongFieldType;
      } else if (!p->read) {
        result = FixdbNotRead;
      } else if (db.unterminated) {
        FillUnterminated(buffer, length);
        fetched = Fetched::Unterminated;
      } else if (length > 0) {
        std::strncpy(buffer, p->readText.c_str(), static_cast<size_t>(length) - 1);
        buffer[length - 1] = '\0';
        fetched = Fetched::Text;
      }
    }
  }
  RECORD_IN(db, FnGetAscii, std::to_string(group) + "," + std::to_string(point) + "," + std::to_string(length),
            std::to_string(result) + (fetched == Fetched::Text           ? ":" + Quote(buffer)
                                      : fetched == Fetched::Unterminated ? std::string(":(unterminated)")
                                                                         : std::string()));
  return static_cast<int16_t>(result);
}

int16_t EdaSetFloat(int32_t group, int32_t point, float* value) {
  Database& db = Db();
  int32_t result = 0;
  if (!Injected(FnSetFloat, result, db)) {
    int16_t error = 0;
    Point* p = FindPoint(group, point, error, db);
    if (p == nullptr) {
      result = error;
    } else if ((result = PointState(*p)) == 0) {
      if (p->target->isText) {
        result = FixdbWrongFieldType;
      } else {
        p->pendingFloat = true;
        p->newValue = *value;
      }
    }
  }
  RECORD_IN(db, FnSetFloat, std::to_string(group) + "," + std::to_string(point) + "," + Num(*value),
            std::to_string(result));
  return static_cast<int16_t>(result);
}

int16_t EdaSetAscii(int32_t group, int32_t point, const char* text) {
  Database& db = Db();
  int32_t result = 0;
  if (!Injected(FnSetAscii, result, db)) {
    int16_t error = 0;
    Point* p = FindPoint(group, point, error, db);
    if (p == nullptr) {
      result = error;
    } else if ((result = PointState(*p)) == 0) {
      if (!p->target->isText) {
        result = FixdbWrongFieldType;
      } else {
        p->pendingText = true;
        p->newText = text != nullptr ? text : "";
      }
    }
  }
  RECORD_IN(db, FnSetAscii, std::to_string(group) + "," + std::to_string(point) + "," + Quote(text),
            std::to_string(result));
  return static_cast<int16_t>(result);
}

int32_t FixdbToolsRunningCheck(void) {
  int32_t result = 0;
  if (!Injected(FnRunningCheck, result)) {
    result = Db().running ? 1 : 0;
  }
  RECORD(FnRunningCheck, "", std::to_string(result));
  return result;
}

int32_t FixdbToolsErrorText(int32_t code, char* buffer, int32_t length) {
  int32_t result = 0;
  Database& db = Db();
  if (!Injected(FnErrorText, result)) {
    auto found = db.errorTexts.find(static_cast<int16_t>(code));
    if (code >= INT16_MIN && code <= INT16_MAX && found != db.errorTexts.end() && length > 0) {
      if (db.unterminated) {
        FillUnterminated(buffer, length);
      } else {
        std::strncpy(buffer, found->second.c_str(), static_cast<size_t>(length) - 1);
        buffer[length - 1] = '\0';
      }
      result = FixErrorTextFound;
    }
  }
  RECORD(FnErrorText, std::to_string(code) + "," + std::to_string(length), std::to_string(result));
  return result;
}

void FixdbReset(void) {
  Database& db = Db();
  for (Group& group : db.groups) {
    Retire(group);
  }
  std::vector<std::vector<Point>> spare = std::move(db.spareStorage);
  db = Database();
  db.spareStorage = std::move(spare);
}

void FixdbSetRunning(int running) { Db().running = running != 0; }

void FixdbSetFloat(const char* node, const char* tag, const char* field, float value) {
  Field& f = FieldFor(node, tag, field);
  f.value = value;
  FieldWritten(f);
}

void FixdbSetText(const char* node, const char* tag, const char* field, const char* text) {
  Field& f = FieldFor(node, tag, field);
  f.text = text;
  FieldWritten(f);
}

void FixdbScan(double seconds) { ScanBlocks(Db().scanOrder, seconds); }

int16_t FixdbPointProblem(const char* node, const char* tag, const char* field) {
  Point p;
  Name(p, node, tag, field);
  Resolve(p);
  return p.target == nullptr ? p.error : p.target->error;
}

const char* FixdbPidInput(const char* node, const char* tag) {
  const auto found = Db().blocks.find(std::string(node) + ":" + tag);
  if (found == Db().blocks.end() || found->second.type != BlockType::Pid || found->second.input == nullptr) {
    return nullptr;
  }
  return found->second.inputTag.c_str();
}

const char* FixdbPidRemote(const char* node, const char* tag) {
  return LinkOf(node, tag, BlockType::Pid, &Block::remoteTag);
}

const char* FixdbRatioInput(const char* node, const char* tag) {
  return LinkOf(node, tag, BlockType::Ratio, &Block::inputTag);
}

const char* FixdbSplitSource(const char* node, const char* tag) {
  return LinkOf(node, tag, BlockType::AnalogOutput, &Block::sourceTag);
}

int FixdbGetFloat(const char* node, const char* tag, const char* field, float* value) {
  auto& fields = Db().fields;
  auto found = fields.find(Key(node, tag, field));
  if (found == fields.end() || found->second.isText) {
    return 0;
  }
  *value = found->second.value;
  return 1;
}

const char* FixdbGetText(const char* node, const char* tag, const char* field) {
  auto& fields = Db().fields;
  auto found = fields.find(Key(node, tag, field));
  if (found == fields.end() || !found->second.isText) {
    return nullptr;
  }
  return found->second.text.c_str();
}

void FixdbSetFieldError(const char* node, const char* tag, const char* field, int16_t code) {
  FieldFor(node, tag, field).error = code;
}

void FixdbSetTransmitterFailed(const char* node, const char* tag, const char* field, int failed) {
  FixdbSetFieldError(node, tag, field, failed != 0 ? FixdbTransmitterFailed : 0);
}

void FixdbInject(const char* function, unsigned long nth, int32_t result, int persistent) {
  Database& db = Db();
  for (int fn = 0; fn < FnCount; ++fn) {
    if (std::strcmp(FnNames[fn], function) == 0) {
      Injection& injection = db.injections[fn];
      injection.at = nth == 0 ? 0 : db.calls[fn] + nth;
      injection.persistent = persistent != 0;
      injection.result = result;
      return;
    }
  }
  (void)std::fprintf(stderr, "fixdb: FixdbInject: no function named %s\n", function);
}

void FixdbSetUnterminatedTexts(int on) { Db().unterminated = on != 0; }

void FixdbSetErrorText(int16_t code, const char* text) { Db().errorTexts[code] = text; }

size_t FixdbLiveGroups(void) {
  size_t live = 0;
  for (const Group& group : Db().groups) {
    live += group.alive ? 1 : 0;
  }
  return live;
}

size_t FixdbGroupPoints(int32_t group) {
  Group* g = FindGroup(group);
  return g == nullptr ? 0 : g->points.size();
}

unsigned long FixdbCallCount(const char* function) {
  for (int fn = 0; fn < FnCount; ++fn) {
    if (std::strcmp(FnNames[fn], function) == 0) {
      return Db().calls[fn];
    }
  }
  return 0;
}

unsigned long FixdbGroupOperations(void) { return Db().groupOperations; }

size_t FixdbJournalSize(void) { return Db().journal.size(); }

const char* FixdbJournalEntry(size_t index) {
  const auto& journal = Db().journal;
  return index < journal.size() ? journal[index].c_str() : nullptr;
}

void FixdbClearJournal(void) { Db().journal.clear(); }

void FixdbSetJournal(int on) { Db().journalOn = on != 0; }

}  // extern "C"

void FixdbSetNodeDown(const char* node, int down) {
  const std::string prefix = std::string(node != nullptr ? node : "") + ":";
  for (auto& entry : fixdb::Db().fields) {
    if (entry.first.compare(0, prefix.size(), prefix) == 0) {
      entry.second.error = down != 0 ? FixdbNodeDown : 0;
    }
  }
}
