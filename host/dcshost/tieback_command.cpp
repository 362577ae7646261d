// `dcshost tieback CASE [-o FILE]`: the tiebacks that close the case's loops,
// written as an editable block file. It reads the case and FIX's database and
// never writes into FIX; the file never replaces one the case reads.
#include <sstream>

#include "dcshost/commands.h"
#include "plant/process_model.h"
#include "report/tieback_file.h"
#include "run/outputs.h"
#include "run/session.h"
#include "run/tiebacks.h"
#include "system/exit_status.h"
#include "system/output_file.h"

namespace host {

int TiebackCommand(const TiebackOptions& options, std::ostream& out) {
  Case c;
  if (const int status = LoadCaseFile(options.casePath, c, out); status != 0) {
    return status;
  }
  std::string error;
  OutputPlan plan;
  ReadCase(c, plan);
  plan.Write(options.outputPath, "-o");
  plan.Check(error);
  // Without -o the file is what is printed: FIX's lines go nowhere.
  std::ostringstream quiet;
  std::unique_ptr<FixLibrary> fix;
  if (error.empty()) {
    fix = OpenFix(c, options.fixFolder, options.outputPath.empty() ? quiet : out, error);
  }
  Tiebacks tiebacks;
  if (!error.empty() || !GenerateTiebacks(*fix, c, tiebacks, error)) {
    return Refuse(out, error);
  }
  // What is written runs: the blocks bind as a run binds them (no plant code
  // loaded), and the text reads back as exactly these blocks.
  const std::string text = TiebackFileText(c, tiebacks);
  Case closed = c;
  ProcessModel model;
  model.LoadNoCode();
  if (!CloseLoops(closed, tiebacks, error) || !model.Configure(closed.model, c.stepSeconds, quiet, error) ||
      !ReadsBackAs(options.outputPath.empty() ? "the tieback file" : options.outputPath, text, tiebacks.blocks,
                   error)) {
    return Refuse(out, error);
  }
  if (options.outputPath.empty()) {
    out << text;
    return 0;
  }
  SayPairing(c, tiebacks, -1, out);
  if (!WriteWholeFile(options.outputPath, "the tieback file", text, error)) {
    return Refuse(out, error);
  }
  out << "tiebacks written to " << options.outputPath << '\n';
  return 0;
}

}  // namespace host
