// Calls into the host's services library and the windowing system. The only
// file of the driver that names them.
#include "platform/host.h"

#include <new>

#include "platform/host_services_api.h"
#include "platform/message_box_api.h"

namespace dcs::platform {

void* HostNew(size_t size) { return Plinth_new(size); }
void HostDelete(void* block) { Plinth_delete(block); }
void* HostMalloc(size_t size) { return Plinth_malloc(size); }
void HostFree(void* block) { Plinth_free(block); }

void Report(const char* key) { ErrorMsg(key); }
void Report(const char* key, int32_t code, int32_t row) { ErrorMsg(key, code, row); }

void ReportLabel(const char* key, const char* label) {
  Text held;
  held = Text(label);
  ErrorMsg(key, held.c_str());
}

void ReportPointText(const char* key, const char* text, int32_t row) {
  const Text held(text);
  ErrorMsg(key, held.c_str(), row);
}

void ShowMessageBox(const char* title, const char* text) { (void)MessageBoxA(nullptr, text, title, MB_OK); }

static_assert(sizeof(Text) == 2 * sizeof(void*), "Text is two words");

HostTextScope::HostTextScope() { new (storage_) Text(); }
HostTextScope::~HostTextScope() { reinterpret_cast<Text*>(storage_)->~Text(); }

}  // namespace dcs::platform
