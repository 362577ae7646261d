// The host's Text class: an owned copy of a NUL-terminated text. Its
// characters come from the C heap, not from the Plinth_* accounting, since
// Text objects are the host's, not the caller's; live objects are counted.
#include <cstdlib>
#include <cstring>

#include "plinth_control.h"
#include "platform/host_services_api.h"

namespace {

long liveTexts = 0;
unsigned long constructions = 0;

char* Copy(const char* text) {
  const char* source = text != nullptr ? text : "";
  const size_t length = std::strlen(source) + 1;
  auto* chars = static_cast<char*>(std::malloc(length));
  if (chars != nullptr) {
    std::memcpy(chars, source, length);
  }
  return chars;
}

}  // namespace

Text::Text() : own_(nullptr), chars_(Copy("")) {
  ++liveTexts;
  ++constructions;
}

Text::Text(const char* text) : own_(nullptr), chars_(Copy(text)) {
  ++liveTexts;
  ++constructions;
}

// The library's own word stays this object's: only the characters are copied.
// cppcheck-suppress operatorEqVarError
Text& Text::operator=(const Text& other) {
  if (this != &other) {
    char* chars = Copy(other.chars_);
    std::free(chars_);
    chars_ = chars;
  }
  return *this;
}

Text::~Text() {
  std::free(chars_);
  --liveTexts;
}

extern "C" {
long PlinthLiveTexts(void) { return liveTexts; }
unsigned long PlinthTextConstructions(void) { return constructions; }
}
