// The functions of the FIX libraries EDA and FIXTOOLS, as the driver calls
// them. The driver imports them by ordinal on Windows (see EDA.def and
// FIXTOOLS.def beside this file); the fixdb and minifix stand-ins implement them. In the
// driver only dcs/platform/ calls them (fix.h inlines the per-point calls).
#pragma once

#include <cstdint>

#include "driver/driver_rules.h"

extern "C" {
int32_t EdaCreateGroup(int32_t points, int32_t reserved);
int16_t EdaDeleteGroup(int32_t group);
int32_t EdaDefinePoint(int32_t group, const char* node, const char* tag, const char* field, int32_t reserved);
int16_t EdaResolveGroup(int32_t group);
int16_t EdaReadGroup(int32_t group);
int16_t EdaWriteGroup(int32_t group);
int16_t EdaWaitGroup(int32_t group);
int16_t EdaPointError(int32_t group, int32_t point);
int16_t EdaGetFloat(int32_t group, int32_t point, float* value);
int16_t EdaGetAscii(int32_t group, int32_t point, char* buffer, int32_t length);
int16_t EdaSetFloat(int32_t group, int32_t point, float* value);
int16_t EdaSetAscii(int32_t group, int32_t point, const char* text);

int32_t FixRunningCheck(void);
int32_t FixErrorText(int32_t code, char* buffer, int32_t length);
}

// FixErrorText's result when the buffer received the code's text.
using dcs::FixErrorTextFound;
