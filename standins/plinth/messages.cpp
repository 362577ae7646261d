// The host's message service: ErrorMsg decodes each key's arguments as the
// message catalog says, puts them into the catalog's text, keeps a journal
// and prints the message to stderr. The texts belong to the host.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plinth_control.h"
#include "platform/host_services_api.h"

namespace {

// One catalog entry: the key, its arguments ('s' a text, 'i' a 32-bit
// integer) and its text, in which %1 and %2 stand for the arguments.
struct CatalogEntry {
  const char* key;
  const char* args;
  const char* text;
};

const CatalogEntry Catalog[] = {
    {"DCSAppNotRunning", "", "FIX is not running. Start FIX on this node before configuring the case."},
    {"DCSMemAllocError", "s", "FIX could not create a point group: %1."},
    {"DCSCtrlTagFieldError", "",
     "Controller table: a NODE, TAG or FIELD cell is blank, or a row names a FIX point that "
     "cannot be used."},
    {"DCSPVTagFieldError", "",
     "PV table: a NODE, TAG or FIELD cell is blank, or a row names a FIX point that cannot be "
     "used."},
    {"DCSPVImportTagFieldError", "",
     "PV import table: a NODE, TAG or FIELD cell is blank, or a row names a FIX point that "
     "cannot be used."},
    {"DCSCtrlVendorMsg", "si", "Controller row %2: FIX reports: %1"},
    {"DCSCtrlVendorCode", "ii", "Controller row %2: FIX error code %1."},
    {"DCSPVVendorMsg", "si", "PV row %2: FIX reports: %1"},
    {"DCSPVVendorCode", "ii", "PV row %2: FIX error code %1."},
    {"DCSPVImportVendorMsg", "si", "PV import row %2: FIX reports: %1"},
    {"DCSPVImportVendorCode", "ii", "PV import row %2: FIX error code %1."},
    {"FIX_PVIMPORT_MAX_EXCEEDED", "", "More than 2500 PV import rows: only the first 2500 are exchanged with FIX."},
    {"FIX_CTRL_MAX_EXCEEDED", "", "More than 300 controller rows: only the first 300 are exchanged with FIX."},
    {"FIX_PV_MAX_EXCEEDED", "", "More than 2500 PV rows: only the first 2500 are exchanged with FIX."},
};

const CatalogEntry* Find(const char* key) {
  for (const CatalogEntry& entry : Catalog) {
    if (key != nullptr && std::strcmp(entry.key, key) == 0) {
      return &entry;
    }
  }
  return nullptr;
}

struct Message {
  std::string key;
  std::string args;
  std::string text;
};

struct Journal {
  std::vector<Message> messages;
  bool echo = true;
};

Journal& TheJournal() {
  static Journal journal;
  return journal;
}

std::string Substitute(const char* text, const std::vector<std::string>& values) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
      const size_t index = static_cast<size_t>(p[1] - '1');
      out += index < values.size() ? values[index] : std::string("?");
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

extern "C" {

void ErrorMsg(const char* key, ...) {
  Message message;
  message.key = key != nullptr ? key : "(null)";
  const CatalogEntry* entry = Find(key);
  if (entry == nullptr) {
    message.text = "unknown message key " + message.key;
  } else {
    std::vector<std::string> values;
    va_list args;
    va_start(args, key);
    for (const char* kind = entry->args; *kind != '\0'; ++kind) {
      if (!message.args.empty()) {
        message.args += ",";
      }
      if (*kind == 's') {
        // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above
        const char* text = va_arg(args, const char*);
        values.emplace_back(text != nullptr ? text : "(null)");
        message.args += "\"" + values.back() + "\"";
      } else {
        // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above
        values.push_back(std::to_string(va_arg(args, int32_t)));
        message.args += values.back();
      }
    }
    va_end(args);
    message.text = Substitute(entry->text, values);
  }
  Journal& journal = TheJournal();
  if (journal.echo) {
    (void)std::fprintf(stderr, "ErrorMsg %s: %s\n", message.key.c_str(), message.text.c_str());
  }
  journal.messages.push_back(std::move(message));
}

size_t PlinthMessageCount(void) { return TheJournal().messages.size(); }

const char* PlinthMessageKey(size_t index) {
  const auto& messages = TheJournal().messages;
  return index < messages.size() ? messages[index].key.c_str() : nullptr;
}

const char* PlinthMessageArgs(size_t index) {
  const auto& messages = TheJournal().messages;
  return index < messages.size() ? messages[index].args.c_str() : nullptr;
}

const char* PlinthMessageText(size_t index) {
  const auto& messages = TheJournal().messages;
  return index < messages.size() ? messages[index].text.c_str() : nullptr;
}

void PlinthClearMessages(void) { TheJournal().messages.clear(); }

void PlinthSetEcho(int on) { TheJournal().echo = on != 0; }

const char* PlinthCatalogText(const char* key) {
  const CatalogEntry* entry = Find(key);
  return entry != nullptr ? entry->text : nullptr;
}

const char* PlinthCatalogArgs(const char* key) {
  const CatalogEntry* entry = Find(key);
  return entry != nullptr ? entry->args : nullptr;
}

}  // extern "C"
