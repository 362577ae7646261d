// The message box journal behind user32_control.h: every box with its owner,
// caption, text and type. Kept by the user32 stand-in on Linux and by the
// tests' recorder on Windows, which both add boxes through RecordMessageBox.
#include <cstdio>
#include <string>
#include <vector>

#include "user32_control.h"

namespace {

struct Box {
  bool ownerless;
  std::string caption;
  std::string text;
  unsigned type;
};

struct Journal {
  std::vector<Box> boxes;
  bool echo = true;
};

Journal& TheJournal() {
  static Journal journal;
  return journal;
}

const Box* BoxAt(size_t index) {
  const auto& boxes = TheJournal().boxes;
  return index < boxes.size() ? &boxes[index] : nullptr;
}

}  // namespace

extern "C" {

void RecordMessageBox(int ownerless, const char* caption, const char* text, unsigned type) {
  Journal& journal = TheJournal();
  journal.boxes.push_back(Box{ownerless != 0, caption != nullptr ? caption : "", text != nullptr ? text : "", type});
  if (journal.echo) {
    (void)std::fprintf(stderr, "[message box] %s: %s\n", journal.boxes.back().caption.c_str(),
                       journal.boxes.back().text.c_str());
  }
}

size_t User32MessageBoxCount(void) { return TheJournal().boxes.size(); }
const char* User32MessageBoxCaption(size_t index) {
  const Box* box = BoxAt(index);
  return box != nullptr ? box->caption.c_str() : nullptr;
}
const char* User32MessageBoxText(size_t index) {
  const Box* box = BoxAt(index);
  return box != nullptr ? box->text.c_str() : nullptr;
}
unsigned User32MessageBoxType(size_t index) {
  const Box* box = BoxAt(index);
  return box != nullptr ? box->type : 0U;
}
int User32MessageBoxOwnerless(size_t index) {
  const Box* box = BoxAt(index);
  return box != nullptr && box->ownerless ? 1 : 0;
}
void User32ClearMessageBoxes(void) { TheJournal().boxes.clear(); }
void User32SetEcho(int on) { TheJournal().echo = on != 0; }

}  // extern "C"
