// The messages the driver reported through the host's services (ErrorMsg),
// read from the services library's journal by name at run time: a services
// library without one reports none, and dcshost includes none of its headers.
#pragma once

#include <cstddef>
#include <string>

namespace host {

class HostMessages {
 public:
  // Finds the journal in the services library this process has loaded and
  // turns its own printing off: the session prints each message with its
  // context instead.
  HostMessages();
  ~HostMessages();
  HostMessages(const HostMessages&) = delete;
  HostMessages& operator=(const HostMessages&) = delete;

  size_t Count() const { return count_ != nullptr ? count_() : 0; }
  // The message's key ("DCSCtrlVendorMsg"), its text and its arguments as the
  // journal writes them (texts quoted, integers plain, comma separated).
  std::string Key(size_t i) const { return Text(key_, i); }
  std::string Said(size_t i) const { return Text(text_, i); }
  std::string Args(size_t i) const { return Text(args_, i); }

 private:
  using Entry = const char* (*)(size_t);
  static std::string Text(Entry entry, size_t i) {
    const char* text = entry != nullptr ? entry(i) : nullptr;
    return text != nullptr ? std::string(text) : std::string();
  }
  void* library_ = nullptr;
  size_t (*count_)() = nullptr;
  Entry key_ = nullptr, text_ = nullptr, args_ = nullptr;
};

}  // namespace host
