// The minimal FIX's FIXTOOLS: the running check, always running, and a short
// English text for each error code its EDA reports. Links nothing of EDA, so
// the two load in either order.
#include <cstring>

#include "minifix.h"

using namespace minifix;

namespace {

struct ErrorText {
  int16_t code;
  const char* text;
};

constexpr ErrorText ErrorTexts[] = {
    {NodeNotFound, "MINI: node not found"},
    {TagNotFound, "MINI: tag not found"},
    {FieldNotFound, "MINI: field not found"},
    {WrongFieldType, "MINI: field holds another type"},
    {ValueRefused, "MINI: value refused by the field"},
    {OutputProtected, "MINI: output protected in automatic"},
    {BadGroup, "MINI: invalid group handle"},
    {BadPoint, "MINI: invalid point handle"},
    {NotResolved, "MINI: point not resolved"},
    {NotRead, "MINI: point not read"},
    {GroupBusy, "MINI: group operation pending"},
    {BadArgument, "MINI: invalid argument"},
    {OutOfMemory, "MINI: out of memory"},
};

}  // namespace

extern "C" {

int32_t FixRunningCheck(void) { return 1; }

// Copies the code's text, cut to the buffer; FixErrorTextFound only when the
// whole text fitted. An unknown code leaves an empty text.
int32_t FixErrorText(int32_t code, char* buffer, int32_t length) {
  if (buffer == nullptr || length <= 0) {
    return 0;
  }
  const char* text = "";
  for (const ErrorText& entry : ErrorTexts) {
    if (entry.code == code) {
      text = entry.text;
      break;
    }
  }
  const std::size_t size = std::strlen(text);
  const std::size_t room = static_cast<std::size_t>(length) - 1;
  const std::size_t count = size < room ? size : room;
  std::memcpy(buffer, text, count);
  buffer[count] = '\0';
  return size > 0 && size <= room ? FixErrorTextFound : 0;
}

}  // extern "C"
