// The record fuzzer's one run: the input bytes build a host record (row counts
// anywhere in the int32 range, row arrays and cell arrays present or null,
// any Active value, texts missing, empty, known or of any length), a FIX
// database, failures of FIX calls and of host allocations, and then drive the
// nine entry points in the host's calling order. Any crash or sanitizer report
// is a finding; so is a block, a Text or a FIX group left behind, a wrong
// fixed result, or a misused free, which end the run with abort().
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "datadef/record.h"
#include "driver/driver_rules.h"
#include "driver/entry_points.h"
#include "fixdb_control.h"
#include "plinth_control.h"
#include "user32_control.h"
#include "platform/host_services_api.h"

namespace {

// Reads the input front to back; past its end every read answers 0.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() | (U8() << 8)); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }
  int32_t I32() {
    const uint32_t bits = U32();
    int32_t value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  float Float() {
    const uint32_t bits = U32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  bool Empty() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "record fuzzer: %s\n", what);
    std::abort();
  }
}

const char* const KnownTexts[] = {"N",     "C0",   "P0",    "I0",   "F_CV", "F_TV1", "A_AUTO", "F_AUTO",
                                  "A_ROUT", "H_DV", "f_cv",  "MANL", "AUTO", "YES",   "NO",     "X"};
constexpr size_t KnownCount = sizeof KnownTexts / sizeof KnownTexts[0];

const char* const FixFunctions[] = {
    "EdaCreateGroup", "EdaDeleteGroup", "EdaDefinePoint", "EdaResolveGroup", "EdaReadGroup",
    "EdaWriteGroup",  "EdaWaitGroup",   "EdaPointError",  "EdaGetFloat",     "EdaGetAscii",
    "EdaSetFloat",    "EdaSetAscii",    "FixRunningCheck", "FixErrorText"};
constexpr size_t FixFunctionCount = sizeof FixFunctions / sizeof FixFunctions[0];

// Texts a case refers to: null, empty, a known FIX name, or any bytes. Row
// cells point at the pool's own copies, which live for the whole run; the
// driver only reads them.
class TextPool {
 public:
  explicit TextPool(Input& in) {
    const size_t count = in.U8() % 9;
    for (size_t i = 0; i < count; ++i) {
      switch (in.U8() % 4) {
        case 0: texts_.push_back(nullptr); break;
        case 1: texts_.push_back(Known(in.U8())); break;
        case 2: {
          std::string& text = owned_.emplace_back(in.U8(), '\0');
          for (char& c : text) {
            c = static_cast<char>(in.U8());
          }
          texts_.push_back(&text[0]);
          break;
        }
        default: texts_.push_back(&owned_.emplace_back()[0]); break;
      }
    }
  }
  // A text of the pool (or a known name when the pool has none): null only
  // when the pool says so.
  char* Pick(uint8_t choice) { return texts_.empty() ? Known(choice) : texts_[choice % texts_.size()]; }
  // As Pick, but never null (the database needs a name).
  const char* Name(uint8_t choice) {
    const char* text = Pick(choice);
    return text != nullptr ? text : KnownTexts[choice % KnownCount];
  }

 private:
  // The pool's one copy of a known name, made when first picked.
  char* Known(uint8_t choice) {
    std::string*& copy = known_[choice % KnownCount];
    if (copy == nullptr) {
      copy = &owned_.emplace_back(KnownTexts[choice % KnownCount]);
    }
    return &(*copy)[0];
  }
  std::vector<char*> texts_;
  std::deque<std::string> owned_;
  std::string* known_[KnownCount] = {};
};

void FillDatabase(Input& in, TextPool& pool) {
  const size_t entries = in.U8() % 16;
  for (size_t i = 0; i < entries; ++i) {
    const char* node = pool.Name(in.U8());
    const char* tag = pool.Name(in.U8());
    const char* field = pool.Name(in.U8());
    switch (in.U8() % 4) {
      case 0: FixdbSetFloat(node, tag, field, in.Float()); break;
      case 1: FixdbSetText(node, tag, field, pool.Name(in.U8())); break;
      case 2: FixdbSetFieldError(node, tag, field, static_cast<int16_t>(in.U16())); break;
      default: FixdbSetErrorText(static_cast<int16_t>(in.U16()), pool.Name(in.U8())); break;
    }
  }
}

// A row count: small, near the table's capacity, negative, an extreme, or any.
int32_t RowCount(Input& in, int32_t capacity) {
  switch (in.U8() % 6) {
    case 0: return in.U8() % 8;
    case 1: return capacity - 2 + in.U8() % 5;
    case 2: return -static_cast<int32_t>(in.U16());
    case 3: return in.U8() % 2 == 0 ? INT32_MAX : INT32_MIN;
    case 4: return capacity + static_cast<int32_t>(in.U16());
    default: return in.I32();
  }
}

// Rows the host actually provides for a count. Beyond a few rows past the
// capacity the array is shorter than the count, and its last row has no
// cells: the only walk over every row (cell validation) stops there.
size_t RowsProvided(int32_t count, int32_t capacity) {
  if (count <= 0) {
    return 0;
  }
  const int32_t most = capacity + 4;
  return static_cast<size_t>(count < most ? count : most);
}

int16_t Active(Input& in) {
  switch (in.U8() % 4) {
    case 0:
    case 1: return 1;
    case 2: return 0;
    default: return static_cast<int16_t>(in.U16());
  }
}

// The three declared cells of a row, or null for a row without cells. A
// table's cells lie in one array with three cells per provided row.
DCSCell* RowCells(Input& in, TextPool& pool, std::vector<DCSCell>& cells, size_t row) {
  const uint8_t shape = in.U8();
  if (shape == 0xFF) {
    return nullptr;
  }
  DCSCell* three = &cells[3 * row];
  for (size_t column = 0; column < 3; ++column) {
    three[column].StrValue = pool.Pick(in.U8());
  }
  return three;
}

struct HostRecord {
  DCSDataDef record;
  std::vector<DCSCtrlRow> ctrl;
  std::vector<DCSPVRow> pv;
  std::vector<DCSPVRow> pvImport;
  std::vector<DCSCell> ctrlCells, pvCells, pvImportCells;
};

// Fills the rows a count provides, each from the input through readRow, and
// marks the last one without cells when the array is shorter than the count.
// Once the input is spent every further row reads the same zeros, so the
// first such row is read once and copied to the rest, cells shared: the same
// record, without thousands of identical reads per run.
template <typename Row, typename ReadRow>
void FillRows(Input& in, TextPool& pool, std::vector<Row>& rows, std::vector<DCSCell>& cells, int32_t count,
              int32_t capacity, ReadRow readRow) {
  rows.assign(RowsProvided(count, capacity), Row{});
  cells.assign(3 * rows.size(), DCSCell{});
  for (size_t i = 0; i < rows.size(); ++i) {
    const bool spent = in.Empty();
    readRow(rows[i]);
    rows[i].Data = RowCells(in, pool, cells, i);
    if (spent) {
      std::fill(rows.begin() + static_cast<std::ptrdiff_t>(i) + 1, rows.end(), rows[i]);
      break;
    }
  }
  if (!rows.empty() && rows.size() < static_cast<size_t>(count)) {
    rows.back().Data = nullptr;
  }
}

void FillPVRows(Input& in, TextPool& pool, std::vector<DCSPVRow>& rows, std::vector<DCSCell>& cells,
                int32_t count, int32_t capacity) {
  FillRows(in, pool, rows, cells, count, capacity, [&in](DCSPVRow& row) {
    row.Active = Active(in);
    row.Value = static_cast<double>(in.Float());
  });
}

void FillRecord(Input& in, TextPool& pool, HostRecord& host) {
  DCSDataDef& r = host.record;
  const uint8_t arrays = in.U8();  // which row arrays the host leaves null

  r.CtrlRowCnt = RowCount(in, dcs::MaxCtrlRows);
  FillRows(in, pool, host.ctrl, host.ctrlCells, r.CtrlRowCnt, dcs::MaxCtrlRows, [&in](DCSCtrlRow& row) {
    row.Active = Active(in);
    row.ModeValue = in.U8() % 2 == 0 ? 1.0 : static_cast<double>(in.Float());
    row.OutputValue = static_cast<double>(in.Float());
    row.TV1Value = static_cast<double>(in.Float());
  });
  r.PVRowCnt = RowCount(in, dcs::MaxPVRows);
  FillPVRows(in, pool, host.pv, host.pvCells, r.PVRowCnt, dcs::MaxPVRows);
  r.PVImportRowCnt = RowCount(in, dcs::MaxPVImportRows);
  FillPVRows(in, pool, host.pvImport, host.pvImportCells, r.PVImportRowCnt, dcs::MaxPVImportRows);

  r.CtrlRows = (arrays & 1) != 0 || host.ctrl.empty() ? nullptr : host.ctrl.data();
  r.PVRows = (arrays & 2) != 0 || host.pv.empty() ? nullptr : host.pv.data();
  r.PVImportRows = (arrays & 4) != 0 || host.pvImport.empty() ? nullptr : host.pvImport.data();

  // The host may change a declared column's type and attach blocks to it.
  DCSFieldDef* const defs[] = {r.CtrlDef, r.PVDef, r.PVImportDef};
  const int32_t counts[] = {r.CtrlDefCnt, r.PVDefCnt, r.PVImportDefCnt};
  const uint8_t changes = in.U8() % 4;
  for (uint8_t i = 0; i < changes; ++i) {
    const uint8_t table = in.U8() % 3;
    const uint8_t what = in.U8();
    if (defs[table] == nullptr || counts[table] <= 0) {
      continue;
    }
    DCSFieldDef& def = defs[table][what % counts[table]];
    if ((what & 0x80) != 0 && def.AuxData1 == nullptr) {
      def.AuxData1 = Plinth_new(1 + what % 16);
    } else {
      def.Type = in.U8() % 2 == 0 ? ColumnTypeChoice : in.I32();
    }
  }

  // GenData, one cell per general column ("Init Cycle"), from the host's heap.
  const uint8_t gen = in.U8() % 4;
  if (gen != 3) {
    const int32_t columns = r.GenDefCnt > 0 ? r.GenDefCnt : 1;
    r.GenData = static_cast<DCSCell*>(Plinth_new(static_cast<size_t>(columns) * sizeof(DCSCell)));
    if (r.GenData != nullptr) {
      std::memset(r.GenData, 0, static_cast<size_t>(columns) * sizeof(DCSCell));
      r.GenData[0].IntValue = gen == 0 ? 0 : (gen == 1 ? 1 : in.I32());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  FixdbReset();
  FixdbSetJournal(0);
  PlinthClearMessages();
  PlinthSetEcho(0);
  User32SetEcho(0);
  PlinthFailAllocation(0, 0);
  const size_t blocksAtStart = PlinthLiveBlocks();
  const long textsAtStart = PlinthLiveTexts();
  const size_t misuseAtStart = PlinthMisuseCount();

  const uint8_t flags = in.U8();
  TextPool pool(in);
  FillDatabase(in, pool);
  FixdbSetRunning((flags & 3) == 3 ? 0 : 1);
  FixdbSetUnterminatedTexts((flags & 4) != 0 ? 1 : 0);
  const int steps = 1 + ((flags >> 3) & 3);
  const bool configureTwice = (flags & 0x20) != 0;

  // FIX failures, armed after load for the rest of the run; an allocation
  // failure, armed for the load (the only entry point that allocates).
  bool deletesMayFail = false;
  const uint8_t faults = in.U8() % 5;
  struct Injection {
    const char* function;
    unsigned long nth;
    int32_t result;
    int persistent;
  };
  std::vector<Injection> injections;
  for (uint8_t i = 0; i < faults; ++i) {
    const uint8_t which = in.U8();
    Injection injection{FixFunctions[which % FixFunctionCount], 1UL + in.U8() % 32,
                        (which & 0x80) != 0 ? in.I32() : static_cast<int16_t>(in.U16()), in.U8() & 1};
    deletesMayFail = deletesMayFail || std::strcmp(injection.function, "EdaDeleteGroup") == 0;
    injections.push_back(injection);
  }
  const uint8_t allocationFault = in.U8();

  {
    HostRecord host;
    std::memset(&host.record, 0, sizeof host.record);
    DCSDataDef* record = &host.record;

    DCSInitialize();
    PlinthFailAllocation(allocationFault % 24, allocationFault >> 7);
    Check(DCSLoad(record) == 0, "DCSLoad answered other than 0");
    PlinthFailAllocation(0, 0);
    FillRecord(in, pool, host);
    for (const Injection& injection : injections) {
      FixdbInject(injection.function, injection.nth, injection.result, injection.persistent);
    }

    const int32_t configured = DCSConfigure(record);
    Check(configured == 0 || configured == 1, "DCSConfigure answered other than 0 or 1");
    if (configureTwice) {
      (void)DCSConfigure(record);
    }
    (void)DCSStart(record);
    for (int step = 0; step < steps; ++step) {
      Check(DCSSimulate(record) == 1, "DCSSimulate answered other than 1");
    }
    DCSStop();
    DCSTimeZero();
    DCSReset(record);
    DCSReset(record);
    DCSDestroy(record);
    Check(record->GenData == nullptr, "GenData left allocated");
  }

  Check(PlinthLiveBlocks() == blocksAtStart, "blocks left allocated");
  Check(PlinthLiveTexts() == textsAtStart, "Text objects left alive");
  Check(PlinthMisuseCount() == misuseAtStart, "a block freed through the wrong function");
  Check(deletesMayFail || FixdbLiveGroups() == 0, "FIX groups left alive");
  // Every run frees what it allocated, the stand-ins' journals included:
  // libFuzzer takes a run that ends with more blocks than it began with for a
  // possible leak and scans the whole heap for it.
  FixdbReset();
  PlinthClearMessages();
  User32ClearMessageBoxes();
  return 0;
}
