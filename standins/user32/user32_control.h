// The message box journal: every MessageBoxA call with its owner, caption,
// text and type. On Linux the user32 stand-in keeps it; on Windows the tests'
// recorder, which takes the place of MessageBoxA in a module's imports.
#pragma once

#include <cstddef>

extern "C" {
// Adds a box to the journal (and prints it unless echo is off).
void RecordMessageBox(int ownerless, const char* caption, const char* text, unsigned type);
size_t User32MessageBoxCount(void);
const char* User32MessageBoxCaption(size_t index);
const char* User32MessageBoxText(size_t index);
unsigned User32MessageBoxType(size_t index);
// 1 when the box was shown with no owner window.
int User32MessageBoxOwnerless(size_t index);
void User32ClearMessageBoxes(void);
// Boxes are printed to stderr unless echo is off.
void User32SetEcho(int on);
}
