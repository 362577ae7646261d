// The message box journal for the tests (see message_boxes.h).
#include "message_boxes.h"

#if defined(_WIN32)
#include <windows.h>

#include <cstring>

#include "user32_control.h"

namespace {

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  RecordMessageBox(owner == nullptr ? 1 : 0, caption, text, type);
  return IDOK;
}

}  // namespace

namespace testing_support {

void RecordMessageBoxesOf(void* module) {
  auto* base = static_cast<unsigned char*>(module != nullptr ? module : GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) {
    return;
  }
  void* target = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxA"));
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name != 0; ++imp) {
    if (_stricmp(reinterpret_cast<char*>(base + imp->Name), "user32.dll") != 0) {
      continue;
    }
    for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk); thunk->u1.Function != 0; ++thunk) {
      if (reinterpret_cast<void*>(thunk->u1.Function) != target) {
        continue;
      }
      DWORD old = 0;
      VirtualProtect(&thunk->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
      thunk->u1.Function = reinterpret_cast<ULONG_PTR>(&RecordBox);
      VirtualProtect(&thunk->u1.Function, sizeof(void*), old, &old);
    }
  }
}

}  // namespace testing_support

#else

namespace testing_support {
void RecordMessageBoxesOf(void* /*module*/) {}
}  // namespace testing_support

#endif
