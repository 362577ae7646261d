// The soak run: the driver library loaded as the host loads it, a case at full
// capacity (300 controllers, 2500 PV rows, 2500 PV-import rows) configured and
// started, then stepped many times (1,000,000 unless given). From the 1000th
// step to the last, the host heap's allocation count and live blocks, the live
// Text objects, the live FIX groups and the process's resident memory must
// not grow (resident memory counted as its anonymous part: heaps and stacks).
// Exit 0 when they are flat, 1 otherwise. On Windows resident memory is the
// process's private bytes.
//
//   soak [steps]
#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "driver/driver_rules.h"
#include "run/driver_library.h"
#include "fixdb_control.h"
#include "plinth_control.h"
#include "run/record_builder.h"
#include "user32_control.h"

namespace {

constexpr int CtrlRows = dcs::MaxCtrlRows;
constexpr int PVRows = dcs::MaxPVRows;
constexpr int ImportRows = dcs::MaxPVImportRows;
constexpr long FirstSample = 1000;
// Anonymous resident memory may move by a few pages (malloc's arenas); a leak
// of one byte per step exceeds this long before the millionth step.
constexpr long ResidentSlackKiB = 64;

const char* const CtrlFields[] = {"F_CV", "H_DV", "F_OUT"};
const char* const ImportFields[] = {"F_AUTO", "A_AUTO", "A_ROUT", "F_CV"};

// Resident anonymous memory (the heaps and stacks; code pages the loader
// maps in on first use are file-backed and not counted), in KiB.
#if defined(_WIN32)
long ResidentKiB() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    return 0;
  }
  return static_cast<long>(counters.PrivateUsage / 1024);
}
#else
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "RssAnon:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 12, '\n');
  }
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  statm >> size >> value;
  return value * (sysconf(_SC_PAGESIZE) / 1024);
}
#endif

struct Sample {
  long step;
  unsigned long allocations;
  size_t liveBlocks;
  long liveTexts;
  size_t liveGroups;
  long residentKiB;
};

Sample Take(long step) {
  return Sample{step, PlinthAllocationCount(), PlinthLiveBlocks(), PlinthLiveTexts(), FixdbLiveGroups(),
                ResidentKiB()};
}

void Print(const Sample& s) {
  std::printf("step %8ld: allocations %lu, live blocks %zu, live Texts %ld, live FIX groups %zu, resident %ld KiB\n",
              s.step, s.allocations, s.liveBlocks, s.liveTexts, s.liveGroups, s.residentKiB);
}

void BuildCase(host::RecordBuilder& builder) {
  for (int i = 0; i < CtrlRows; ++i) {
    const std::string tag = "C" + std::to_string(i);
    const char* field = CtrlFields[i % 3];
    FixdbSetFloat("N", tag.c_str(), "F_CV", 50.0F);
    FixdbSetFloat("N", tag.c_str(), "F_TV1", 1.0F);
    FixdbSetFloat("N", tag.c_str(), "F_OUT", 25.0F);
    FixdbSetText("N", tag.c_str(), "A_AUTO", "AUTO");
    builder.AddCtrl({"N", tag, field, static_cast<int16_t>(i % 7 == 0 ? 0 : 1), 1.0, 0.5, 1.0});
  }
  for (int i = 0; i < PVRows; ++i) {
    const std::string tag = "P" + std::to_string(i);
    FixdbSetFloat("N", tag.c_str(), "F_CV", 0.0F);
    builder.AddPV({"N", tag, "F_CV", 1, 0.0});
  }
  for (int i = 0; i < ImportRows; ++i) {
    const std::string tag = "I" + std::to_string(i);
    const char* field = ImportFields[i % 4];
    if (field[0] == 'A') {
      FixdbSetText("N", tag.c_str(), field, field[2] == 'A' ? "AUTO" : "YES");
    } else {
      FixdbSetFloat("N", tag.c_str(), field, 1.0F);
    }
    builder.AddPVImport({"N", tag, field, 1, 2.0});
  }
  (void)builder.SetInitCycle(0);
}

}  // namespace

int main(int argc, char** argv) {
  const long steps = argc > 1 ? std::atol(argv[1]) : 1000000;
  if (steps < FirstSample) {
    std::fprintf(stderr, "soak: give at least %ld steps\n", FirstSample);
    return 2;
  }
  PlinthSetEcho(0);
  User32SetEcho(0);
  FixdbSetJournal(0);

  std::string error;
  const std::unique_ptr<host::DriverLibrary> driver = host::DriverLibrary::Load(host::DefaultDriverPath(), error);
  if (!driver) {
    std::fprintf(stderr, "soak: %s\n", error.c_str());
    return 2;
  }
  const host::DriverEntryPoints& dcs = driver->entry();
  const size_t blocksBefore = PlinthLiveBlocks();
  const auto builder = std::make_unique<host::RecordBuilder>();
  dcs.DCSLoad(builder->record());
  BuildCase(*builder);
  DCSDataDef* record = builder->record();
  if (dcs.DCSConfigure(record) != 1 || dcs.DCSStart(record) != 1 || PlinthMessageCount() != 0) {
    std::fprintf(stderr, "soak: the full-capacity case did not configure and start cleanly\n");
    return 1;
  }

  // Output is set up before the first sample, so that its buffers count as
  // part of the start.
  std::printf("soak: %d controllers, %d PV rows, %d PV-import rows, %ld steps\n", CtrlRows, PVRows, ImportRows,
              steps);
  std::fflush(stdout);
  const auto started = std::chrono::steady_clock::now();
  Sample first{};
  for (long step = 1; step <= steps; ++step) {
    // The host's side of a step: new process values every step.
    builder->pv(static_cast<int32_t>(step % PVRows)).Value = static_cast<double>(step % 1000);
    if (dcs.DCSSimulate(record) != 1) {
      std::fprintf(stderr, "soak: DCSSimulate answered other than 1 at step %ld\n", step);
      return 1;
    }
    if (step == FirstSample) {
      first = Take(step);
      Print(first);
    } else if (step % 100000 == 0 && step != steps) {
      Print(Take(step));
    }
  }
  const Sample last = Take(steps);
  Print(last);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%ld steps in %.1f s (%.1f us per step)\n", steps, seconds, 1e6 * seconds / static_cast<double>(steps));

  dcs.DCSReset(record);
  dcs.DCSDestroy(record);

  // Under an emulator the resident memory is the emulator's, not the driver's.
  const char* emulator = std::getenv("FIXDCS_EMULATED");
  const bool residentCounts = emulator == nullptr || *emulator == '\0';
  if (!residentCounts) {
    std::printf("soak: resident memory not judged: the program runs under %s\n", emulator);
  }
  const bool flat = last.allocations == first.allocations && last.liveBlocks == first.liveBlocks &&
                    last.liveTexts == first.liveTexts && last.liveGroups == first.liveGroups &&
                    last.liveGroups == 3 &&
                    (!residentCounts || last.residentKiB - first.residentKiB <= ResidentSlackKiB) &&
                    PlinthMessageCount() == 0;
  std::printf("soak: %s (resident memory %+ld KiB from step %ld to step %ld)\n", flat ? "flat" : "NOT FLAT",
              last.residentKiB - first.residentKiB, first.step, last.step);
  const bool released = PlinthLiveBlocks() == blocksBefore && FixdbLiveGroups() == 0;
  if (!released) {
    std::printf("soak: blocks or FIX groups left after DCSReset and DCSDestroy\n");
  }
  return flat && released ? 0 : 1;
}
