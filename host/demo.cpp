// The demo: loads the driver the way the host does and walks it through the
// host's calling order on a small case against the simulated FIX database,
// printing each call, its result and what the driver reported.
#include <cstdio>
#include <string>

#include "driver_library.h"
#include "fixdb_control.h"
#include "plinth_control.h"
#include "record_builder.h"

namespace {

void PrintMessages(size_t& shown) {
  for (; shown < PlinthMessageCount(); ++shown) {
    std::printf("    message %s %s\n", PlinthMessageKey(shown), PlinthMessageArgs(shown));
  }
}

void BuildDatabase() {
  FixdbReset();
  FixdbSetFloat("SCADA1", "LIC101", "F_CV", 42.0F);
  FixdbSetFloat("SCADA1", "LIC101", "F_TV1", 50.0F);
  FixdbSetText("SCADA1", "LIC101", "A_AUTO", "AUTO");
  FixdbSetFloat("SCADA1", "LI101", "F_CV", 0.0F);
  FixdbSetFloat("SCADA1", "FV101", "F_CV", 12.5F);
  FixdbSetText("SCADA1", "FV101", "A_AUTO", "MANL");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : host::DefaultDriverPath();
  std::string error;
  auto driver = host::DriverLibrary::Load(path, error);
  if (!driver) {
    std::fprintf(stderr, "dcsdemo: %s\n", error.c_str());
    return 2;
  }
  PlinthSetEcho(0);
  BuildDatabase();
  const host::DriverEntryPoints& dcs = driver->entry();
  host::RecordBuilder builder;
  size_t shown = 0;
  std::printf("loaded %s\n", path.c_str());

  dcs.DCSInitialize();
  std::printf("DCSLoad      -> %d\n", dcs.DCSLoad(builder.record()));
  const DCSDataDef* record = builder.record();
  std::printf("    declared %d general, %d controller, %d PV, %d PV-import columns\n",
              record->GenDefCnt, record->CtrlDefCnt, record->PVDefCnt, record->PVImportDefCnt);

  builder.AddCtrl({"SCADA1", "LIC101", "F_CV", 1, 1.0, 0.25, 50.0});
  builder.AddPV({"SCADA1", "LI101", "F_CV", 1, 47.5});
  builder.AddPVImport({"SCADA1", "FV101", "F_CV", 1, 0.0});
  builder.AddPVImport({"SCADA1", "FV101", "A_AUTO", 1, 0.0});
  builder.SetInitCycle(0);

  std::printf("DCSConfigure -> %d\n", dcs.DCSConfigure(builder.record()));
  PrintMessages(shown);
  std::printf("DCSStart     -> %d\n", dcs.DCSStart(builder.record()));
  PrintMessages(shown);
  for (int step = 0; step < 3; ++step) {
    std::printf("DCSSimulate  -> %d  output %.4g  import %.4g %.4g\n", dcs.DCSSimulate(builder.record()),
                builder.ctrl(0).OutputValue, builder.pvImport(0).Value, builder.pvImport(1).Value);
  }
  PrintMessages(shown);
  dcs.DCSStop();
  dcs.DCSReset(builder.record());
  dcs.DCSDestroy(builder.record());
  std::printf("after DCSDestroy: %zu live host blocks, %zu live FIX groups, %zu FIX calls\n",
              PlinthLiveBlocks(), FixdbLiveGroups(), FixdbJournalSize());
  return 0;
}
