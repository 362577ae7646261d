// The minimal FIX's interface: the twelve EDA and two FIXTOOLS functions it
// exports, and the error codes its EDA reports and its FIXTOOLS names. Only
// declarations and constants, so that neither library links the other.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
int32_t EdaCreateGroup(int32_t points, int32_t reserved);
int16_t EdaDeleteGroup(int32_t group);
int32_t EdaDefinePoint(int32_t group, const char* node, const char* tag, const char* field,
                       int32_t reserved);
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

namespace minifix {

// FixErrorText's result when the buffer holds the code's whole text.
constexpr int32_t ErrorTextFound = 11000;
// The longest text a text field holds.
constexpr std::size_t MaxTextLength = 63;

// Point errors and statuses; 0 is success.
constexpr int16_t NodeNotFound = 2101;
constexpr int16_t TagNotFound = 2102;
constexpr int16_t FieldNotFound = 2103;
constexpr int16_t WrongFieldType = 2104;
constexpr int16_t ValueRefused = 2105;
constexpr int16_t OutputProtected = 2106;
constexpr int16_t BadGroup = 2107;
constexpr int16_t BadPoint = 2108;
constexpr int16_t NotResolved = 2109;
constexpr int16_t NotRead = 2110;
constexpr int16_t GroupBusy = 2111;
constexpr int16_t BadArgument = 2112;
constexpr int16_t OutOfMemory = 2113;

}  // namespace minifix
