// The minimal FIX's interface: the twelve EDA and two FIXTOOLS functions it
// exports (declared once, for the driver and both FIX stand-ins, in
// platform/fix_api.h), and the error codes its EDA reports and its FIXTOOLS
// names. Only declarations and constants, so that neither library links the
// other.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/fix_api.h"

namespace minifix {

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
