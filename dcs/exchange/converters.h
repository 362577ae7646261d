// The value converters of PV-import rows: the rule that picks a row's reader
// and writer from its FIELD text at configuration, the four readers and four
// writers, and the two calls the exchange makes through the tables by row
// number. No text is compared after selection; nothing here reports. The
// readers and ReadImportValue are inline: the step reads a row through one
// load of its table entry and one jump to its reader, with no call between.
#pragma once

#include <cstdint>
#include <cstring>

#include "driver/driver_state.h"
#include "platform/fix.h"

namespace dcs {

// Empties every ImportReader entry.
void ClearImportReaders();
// Stores the row's reader and writer chosen by its FIELD text, or nothing
// when the text selects none (or is missing).
void SelectImportConverters(int32_t row, const char* field);
// [after the PV-import group was read and waited for] The row's value through
// its reader; 0.0 with status untouched when the row has none.
inline float ReadImportValue(int32_t row, int16_t& status);
// Stages the value through the row's writer on its point; a row without a
// writer sends nothing. The caller writes the group afterwards.
void WriteImportRow(int32_t row, float value);

// [after the PV-import group was read and waited for] Each fetches the row's
// point, stores the fetch's status and returns the converted value, whatever
// the status (the caller keeps the value only when it is 0).
inline float ReadPlainFloat(int32_t row, int16_t& status);
inline float ReadModeFromFloat(int32_t row, int16_t& status);
inline float ReadModeFromText(int32_t row, int16_t& status);
inline float ReadFlagFromText(int32_t row, int16_t& status);
// Each puts a text into the 10-byte buffer, or leaves it empty and sets the
// float output.
void WritePlainFloat(float value, char* text, float& output);
void WriteModeToFloat(float value, char* text, float& output);
void WriteModeToText(float value, char* text, float& output);
void WriteFlagToText(float value, char* text, float& output);

// Simulation mode values of PV-import rows, and FIX's float mode values.
constexpr float SimManual = 1.0F;
constexpr float SimAuto = 2.0F;
constexpr float FixManual = 0.0F;
constexpr float FixAuto = 1.0F;
// The simulation's yes/no flag values.
constexpr float FlagYes = 0.0F;
constexpr float FlagNo = 1.0F;

// The FIX mode texts that read as automatic. "MANL", "manl", "PMAN" and
// "pman" read as manual, and so does every text not listed: only the
// automatic ones need a test. Each is four characters and its NUL; the
// fetched buffer (always ten bytes, always terminated) holds one of them when
// its first four bytes, taken as one word, equal the text's and its fifth is
// the NUL: the same test as comparing the texts, without a call.
constexpr uint32_t TextWord(const char (&text)[5]) {
  return static_cast<uint32_t>(static_cast<unsigned char>(text[0])) |
         static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 8U |
         static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 16U |
         static_cast<uint32_t>(static_cast<unsigned char>(text[3])) << 24U;
}
constexpr uint32_t AutoModeWords[] = {TextWord("AUTO"), TextWord("auto"), TextWord("PAUT"), TextWord("paut")};
static_assert(sizeof(uint32_t) < platform::AsciiValueLength, "a mode text fits the fetch buffer");

inline bool IsAutoModeText(const char (&text)[platform::AsciiValueLength]) {
  uint32_t word;
  std::memcpy(&word, text, sizeof word);  // the targets are little-endian, as TextWord
  if (text[sizeof word] != '\0') {
    return false;
  }
  for (const uint32_t automatic : AutoModeWords) {
    if (word == automatic) {
      return true;
    }
  }
  return false;
}

// The flag text that reads as yes, with its NUL; any other reads as no.
constexpr char FlagYesText[] = "YES";

inline float ReadPlainFloat(int32_t row, int16_t& status) {
  float value = 0.0F;
  status = platform::GetFloat(DriverState.PVImportGroupHandle, DriverState.PVImportPoint[row], value);
  return value;
}

inline float ReadModeFromFloat(int32_t row, int16_t& status) {
  const float value = ReadPlainFloat(row, status);
  if (value == FixManual) {
    return SimManual;
  }
  if (value == FixAuto) {
    return SimAuto;
  }
  return value;
}

inline float ReadModeFromText(int32_t row, int16_t& status) {
  char text[platform::AsciiValueLength] = {};
  status = platform::GetAscii(DriverState.PVImportGroupHandle, DriverState.PVImportPoint[row], text);
  return IsAutoModeText(text) ? SimAuto : SimManual;
}

inline float ReadFlagFromText(int32_t row, int16_t& status) {
  char text[platform::AsciiValueLength] = {};
  status = platform::GetAscii(DriverState.PVImportGroupHandle, DriverState.PVImportPoint[row], text);
  return std::memcmp(text, FlagYesText, sizeof FlagYesText) == 0 ? FlagYes : FlagNo;
}

inline float ReadImportValue(int32_t row, int16_t& status) {
  switch (DriverState.ImportReader[row]) {
    case ImportReaderKind::None: break;
    case ImportReaderKind::PlainFloat: return ReadPlainFloat(row, status);
    case ImportReaderKind::ModeFromFloat: return ReadModeFromFloat(row, status);
    case ImportReaderKind::ModeFromText: return ReadModeFromText(row, status);
    case ImportReaderKind::FlagFromText: return ReadFlagFromText(row, status);
  }
  return 0.0F;
}

}  // namespace dcs
