// Records the message boxes a module shows. On Linux the user32 stand-in
// records every box already; on Windows the recorder takes the place of
// MessageBoxA in the module's import table, so no real box appears.
#pragma once

namespace testing_support {

// Routes the module's MessageBoxA calls to the journal (Windows); null means
// the test program itself. Does nothing on Linux.
void RecordMessageBoxesOf(void* module);

}  // namespace testing_support
