// A run's start from a saved state and its end saved as one: the state file
// read into the model, the simulated database and the host's record, and the
// same written back after the last step. Only the simulated database keeps a
// state dcshost can save; with another FIX both are refused.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "case/run_state.h"
#include "checkout/malfunctions.h"
#include "run/session.h"

namespace host {

// Loads the saved state at path into the simulated database and the model;
// false with a message printed.
bool LoadStart(const std::string& path, Session& session, RunState& state, std::ostream& out);
// The values the host's record held from the DCS, once the record is declared.
void RestoreRecord(const RunState& state, Session& session);
// Writes the state after `step`; false with a message printed.
// The model begins at the run's start (after `step` steps of a saved state,
// else 0): its FMUs instantiated and initialised. When the run is to save its
// state, a model that cannot is refused before the run. False with a message.
bool BeginModel(Session& session, int64_t step, bool saving, std::ostream& out);

bool SaveEnd(const std::string& path, int64_t step, const Malfunctions& malfunctions, Session& session,
             std::ostream& out);

}  // namespace host
