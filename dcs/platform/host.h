// The driver's way to the host's services: its heap, its message service and
// the message box. Every block of the driver comes from the host's heap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dcs::platform {

void* HostNew(size_t size);     // null when no block can be had
void HostDelete(void* block);   // accepts null
void* HostMalloc(size_t size);  // null when no block can be had
void HostFree(void* block);     // accepts null

// Reports a message by key through the host; the host owns the texts.
void Report(const char* key);
void Report(const char* key, int32_t code, int32_t row);

// Reports a message whose single argument is a label held in a host Text.
void ReportLabel(const char* key, const char* label);
// Reports a point error with its FIX text held in a host Text, and its row.
void ReportPointText(const char* key, const char* text, int32_t row);

// Shows a message box with no owner window and an OK button.
void ShowMessageBox(const char* title, const char* text);

// Frames work that the host expects to see one default Text around.
class HostTextScope {
 public:
  HostTextScope();
  ~HostTextScope();
  HostTextScope(const HostTextScope&) = delete;
  HostTextScope& operator=(const HostTextScope&) = delete;

 private:
  alignas(void*) unsigned char storage_[2 * sizeof(void*)];
};

}  // namespace dcs::platform
