// The services library's message journal, found by name.
#include "run/host_messages.h"

#include "system/shared_library.h"

namespace host {

HostMessages::HostMessages() {
  library_ = LoadedLibrary(LibraryFileName("plinth"));
  if (library_ == nullptr) {
    return;
  }
  count_ = reinterpret_cast<size_t (*)()>(FindSymbol(library_, "PlinthMessageCount"));
  key_ = reinterpret_cast<Entry>(FindSymbol(library_, "PlinthMessageKey"));
  text_ = reinterpret_cast<Entry>(FindSymbol(library_, "PlinthMessageText"));
  args_ = reinterpret_cast<Entry>(FindSymbol(library_, "PlinthMessageArgs"));
  if (const auto echo = reinterpret_cast<void (*)(int)>(FindSymbol(library_, "PlinthSetEcho"))) {
    echo(0);
  }
}

HostMessages::~HostMessages() {
  if (library_ != nullptr) {
    CloseLibrary(library_);
  }
}

}  // namespace host
