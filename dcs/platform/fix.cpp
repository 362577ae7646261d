// Calls into the FIX libraries. With fix.h (the per-point fetches and sets,
// inline) the only file of the driver that names them; it adds nothing but
// the reserved arguments and the terminating NULs.
#include "platform/fix.h"

#include "platform/fix_api.h"

namespace dcs::platform {

bool FixRunning() { return FixRunningCheck() != 0; }

int32_t CreateGroup(int32_t points) { return EdaCreateGroup(points, 0); }

void DeleteGroup(int32_t group) { (void)EdaDeleteGroup(group); }

int32_t DefinePoint(int32_t group, const char* node, const char* tag, const char* field) {
  return EdaDefinePoint(group, node, tag, field, 0);
}

void ResolveGroup(int32_t group) { (void)EdaResolveGroup(group); }
void ReadGroup(int32_t group) { (void)EdaReadGroup(group); }
void WriteGroup(int32_t group) { (void)EdaWriteGroup(group); }
void WaitGroup(int32_t group) { (void)EdaWaitGroup(group); }

int16_t PointError(int32_t group, int32_t point) { return EdaPointError(group, point); }

void SetAscii(int32_t group, int32_t point, const char* text) { (void)EdaSetAscii(group, point, text); }

bool ErrorText(int16_t code, char (&buffer)[ErrorTextLength]) {
  const int32_t result = FixErrorText(code, buffer, ErrorTextLength);
  buffer[ErrorTextLength - 1] = '\0';
  return result == FixErrorTextFound;
}

}  // namespace dcs::platform
