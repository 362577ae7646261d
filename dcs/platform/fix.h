// The driver's way to the FIX database: one call per FIX operation, with the
// reserved arguments filled in and every text that FIX writes terminated
// before the driver reads it. Group handles and point handles are 32-bit,
// statuses and error codes 16-bit signed, 0 meaning success. The per-point
// fetches and sets are inline here, so that a step makes one call per point.
#pragma once

#include <cstdint>

#include "platform/fix_api.h"

namespace dcs::platform {

using dcs::AsciiValueLength;
using dcs::ErrorTextLength;

bool FixRunning();
int32_t CreateGroup(int32_t points);
void DeleteGroup(int32_t group);
int32_t DefinePoint(int32_t group, const char* node, const char* tag, const char* field);
void ResolveGroup(int32_t group);
void ReadGroup(int32_t group);
void WriteGroup(int32_t group);
void WaitGroup(int32_t group);
int16_t PointError(int32_t group, int32_t point);
inline int16_t GetFloat(int32_t group, int32_t point, float& value);
// Fetches a text value; the buffer is NUL-terminated afterwards whatever FIX put there.
inline int16_t GetAscii(int32_t group, int32_t point, char (&buffer)[AsciiValueLength]);
inline void SetFloat(int32_t group, int32_t point, float value);
void SetAscii(int32_t group, int32_t point, const char* text);
// True when FIX has a text for the code; the buffer is NUL-terminated afterwards.
bool ErrorText(int16_t code, char (&buffer)[ErrorTextLength]);

inline int16_t GetFloat(int32_t group, int32_t point, float& value) { return EdaGetFloat(group, point, &value); }

inline int16_t GetAscii(int32_t group, int32_t point, char (&buffer)[AsciiValueLength]) {
  const int16_t status = EdaGetAscii(group, point, buffer, AsciiValueLength);
  buffer[AsciiValueLength - 1] = '\0';
  return status;
}

inline void SetFloat(int32_t group, int32_t point, float value) { (void)EdaSetFloat(group, point, &value); }

}  // namespace dcs::platform
