// The message box stand-in for Linux: records every box in the journal and
// prints it; the user's answer is always OK.
#include "platform/message_box_api.h"
#include "user32_control.h"

namespace {
constexpr int IdOk = 1;
}  // namespace

extern "C" int MessageBoxA(void* owner, const char* text, const char* caption, unsigned type) {
  RecordMessageBox(owner == nullptr ? 1 : 0, caption, text, type);
  return IdOk;
}
