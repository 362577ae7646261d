// Control API of the fixdb stand-in (the simulated FIX process database behind
// EDA and FIXTOOLS), for tests and the host program: build the database, make
// any call fail, and read the journal of every call the driver made.
#pragma once

#include <cstddef>
#include <cstdint>

// Error codes of the simulated database; FixErrorText has a text for each.
enum FixdbError : int16_t {
  FixdbNodeNotFound = 1101,
  FixdbTagNotFound = 1102,
  FixdbFieldNotFound = 1103,
  FixdbWrongFieldType = 1104,
  FixdbBadGroup = 1105,
  FixdbBadPoint = 1106,
  FixdbNotResolved = 1107,
  FixdbNotRead = 1108,
  FixdbGroupFull = 1109,
  FixdbOutputProtected = 1110,
  FixdbValueNotAllowed = 1111,
  FixdbTransmitterFailed = 1112,  // an instructor's malfunction (FixdbSetFieldError)
  FixdbNodeDown = 1113,           // FixdbSetNodeDown
};

extern "C" {
// Empties the database, deletes every group, clears the journal, the
// injections and the error texts added by tests; FIX is running again.
void FixdbReset(void);
void FixdbSetRunning(int running);

// Fields: a name starting with 'A' is a text field, any other a float field.
// Setting a value creates the node, tag and field as needed.
void FixdbSetFloat(const char* node, const char* tag, const char* field, float value);
void FixdbSetText(const char* node, const char* tag, const char* field, const char* text);
// 1 and the value when the field exists and holds a float; 0 otherwise.
int FixdbGetFloat(const char* node, const char* tag, const char* field, float* value);
// The field's text, or null when it does not exist or holds a float.
const char* FixdbGetText(const char* node, const char* tag, const char* field);
// Makes a field report this error code (0 clears it): its points fail the
// error check after resolution, and its gets and sets fail with the code.
void FixdbSetFieldError(const char* node, const char* tag, const char* field, int16_t code);
// An instructor's failed transmitter on a field (FixdbTransmitterFailed), or
// its recovery; what a host sets by name, without this header's codes.
void FixdbSetTransmitterFailed(const char* node, const char* tag, const char* field, int failed);

// Makes the nth call from now (1 = the next) of one function answer with
// result and do nothing else; with persistent, every call from the nth on.
// For FixErrorText the result replaces 11000 and no text is written.
void FixdbInject(const char* function, unsigned long nth, int32_t result, int persistent);
// When on, EdaGetAscii and FixErrorText fill the whole buffer with letters and
// no terminating NUL, as a misbehaving FIX might.
void FixdbSetUnterminatedTexts(int on);
// Gives an error code a text (or replaces one); codes without a text make
// FixErrorText answer 0.
void FixdbSetErrorText(int16_t code, const char* text);

// Loads a database file: one block per line, "NODE,TAG,TYPE,FIELD=VALUE;...",
// TYPE one of AI, AO, PID, DI; '#' starts a comment. 1 on success; 0 with
// "file:line: what is wrong" in error. The database is emptied first.
int FixdbLoadFile(const char* path, char* error, size_t length);
// The same from a text, named as a file would be in messages.
int FixdbLoadText(const char* text, const char* name, char* error, size_t length);
// Writes the database in the file format, every block with all its fields and
// a PID's integral (INTEGRAL=), so that loading it gives the same database
// value for value. Returns the length the text needs with its NUL; writes at
// most length bytes, always terminated.
size_t FixdbSaveText(char* buffer, size_t length);
// Takes a node down (down nonzero) or brings it back: while down, every field
// of the node reports FixdbNodeDown, so its points fail the error check and
// their gets and sets fail; coming back clears the errors of its fields.
void FixdbSetNodeDown(const char* node, int down);
// Runs every block once over the given time: PID controllers in AUTO compute
// their output from their input and target.
void FixdbScan(double seconds);
// The error code a point on this node, tag and field would report after
// resolution (0 when it is good).
int16_t FixdbPointProblem(const char* node, const char* tag, const char* field);
// The tag whose F_CV a PID block controls (its INPUT), or null when the tag is
// no PID block of the database.
const char* FixdbPidInput(const char* node, const char* tag);
// The tag a PID's remote (cascade) target comes from (its REMOTE: a master
// PID or a ratio station), or null; a ratio station's wild flow (its INPUT),
// or null; an output block's source controller in a split range (its
// SOURCE), or null.
const char* FixdbPidRemote(const char* node, const char* tag);
const char* FixdbRatioInput(const char* node, const char* tag);
const char* FixdbSplitSource(const char* node, const char* tag);

// Groups alive now, and the points defined in a group.
size_t FixdbLiveGroups(void);
size_t FixdbGroupPoints(int32_t group);
// Calls made to one function since the last reset.
unsigned long FixdbCallCount(const char* function);
// Group operations (resolve, read, write) started since the last reset.
unsigned long FixdbGroupOperations(void);

// The journal: one line per call, as "Function(arguments)=result", with a
// fetched value after a colon, e.g. "EdaGetFloat(3,2)=0:50".
size_t FixdbJournalSize(void);
const char* FixdbJournalEntry(size_t index);
void FixdbClearJournal(void);
// Journal recording is on unless turned off (the benchmarks turn it off).
void FixdbSetJournal(int on);

// FIXTOOLS' view of the database (used by the FIXTOOLS stand-in library).
int32_t FixdbToolsRunningCheck(void);
int32_t FixdbToolsErrorText(int32_t code, char* buffer, int32_t length);
}
