// PV-import conversions between FIX values and simulation values. Selection
// compares FIELD texts once per row at configuration; at run time a row's
// conversion is one table lookup and one indirect call.
#include "exchange/converters.h"

#include <cstring>

#include "driver/driver_state.h"
#include "platform/fix.h"

namespace dcs {
namespace {

// Simulation mode values of PV-import rows, and FIX's float mode values.
constexpr float SimManual = 1.0F;
constexpr float SimAuto = 2.0F;
constexpr float FixManual = 0.0F;
constexpr float FixAuto = 1.0F;
// The simulation's yes/no flag values.
constexpr float FlagYes = 0.0F;
constexpr float FlagNo = 1.0F;

// FIELD texts with converters of their own, compared whole and case-sensitive.
struct ConverterRule {
  const char* field;
  ImportReaderFn reader;
  ImportWriterFn writer;
};
const ConverterRule ExactRules[] = {
    {"F_AUTO", ReadModeFromFloat, WriteModeToFloat},
    {"A_AUTO", ReadModeFromText, WriteModeToText},
    {"A_ROUT", ReadFlagFromText, WriteFlagToText},
};
// Any other FIELD starting with 'F' or 'f' is a plain float.
const ConverterRule PlainFloatRule = {"F", ReadPlainFloat, WritePlainFloat};

const ConverterRule* SelectRule(const char* field) {
  if (field == nullptr) {
    return nullptr;
  }
  for (const ConverterRule& rule : ExactRules) {
    if (std::strcmp(field, rule.field) == 0) {
      return &rule;
    }
  }
  if (field[0] == 'F' || field[0] == 'f') {
    return &PlainFloatRule;
  }
  return nullptr;
}

// FIX mode texts that ReadModeFromText recognises.
struct ModeText {
  const char* text;
  float value;
};
const ModeText ModeTexts[] = {
    {"MANL", SimManual}, {"manl", SimManual}, {"PMAN", SimManual}, {"pman", SimManual},
    {"AUTO", SimAuto},   {"auto", SimAuto},   {"PAUT", SimAuto},   {"paut", SimAuto},
};
// Every mode text is four characters; comparing its five bytes with the NUL
// against the fetched buffer (always ten bytes, always terminated) is the same
// test as comparing the texts, without a call per candidate.
constexpr size_t ModeTextBytes = sizeof "MANL";
static_assert(ModeTextBytes <= platform::AsciiValueLength, "a mode text fits the fetch buffer");
// The flag text that reads as yes, with its NUL.
constexpr char FlagYesText[] = "YES";

void CopyText(char* buffer, const char* text) {
  std::strncpy(buffer, text, platform::AsciiValueLength - 1);
  buffer[platform::AsciiValueLength - 1] = '\0';
}

}  // namespace

void ClearImportReaders() {
  for (ImportReaderFn& reader : DriverState.ImportReader) {
    reader = nullptr;
  }
}

void SelectImportReader(int32_t row, const char* field) {
  if (const ConverterRule* rule = SelectRule(field)) {
    DriverState.ImportReader[row] = rule->reader;
  }
}

void SelectImportWriter(int32_t row, const char* field) {
  if (const ConverterRule* rule = SelectRule(field)) {
    DriverState.ImportWriter[row] = rule->writer;
  }
}

float ReadImportValue(int32_t row, int16_t& status) {
  const ImportReaderFn reader = DriverState.ImportReader[row];
  return reader == nullptr ? 0.0F : reader(row, status);
}

void WriteImportRow(int32_t row, float value) {
  const ImportWriterFn writer = DriverState.ImportWriter[row];
  if (writer == nullptr) {
    return;
  }
  char text[platform::AsciiValueLength] = {};
  float output = 0.0F;
  writer(value, text, output);
  const int32_t group = DriverState.PVImportGroupHandle;
  const int32_t point = DriverState.PVImportPoint[row];
  if (text[0] != '\0') {
    platform::SetAscii(group, point, text);
  } else {
    platform::SetFloat(group, point, output);
  }
}

float ReadPlainFloat(int32_t row, int16_t& status) {
  float value = 0.0F;
  status = platform::GetFloat(DriverState.PVImportGroupHandle, DriverState.PVImportPoint[row], value);
  return value;
}

float ReadModeFromFloat(int32_t row, int16_t& status) {
  const float value = ReadPlainFloat(row, status);
  if (value == FixManual) {
    return SimManual;
  }
  if (value == FixAuto) {
    return SimAuto;
  }
  return value;
}

float ReadModeFromText(int32_t row, int16_t& status) {
  char text[platform::AsciiValueLength] = {};
  status = platform::GetAscii(DriverState.PVImportGroupHandle, DriverState.PVImportPoint[row], text);
  for (const ModeText& mode : ModeTexts) {
    if (std::memcmp(text, mode.text, ModeTextBytes) == 0) {
      return mode.value;
    }
  }
  return SimManual;
}

float ReadFlagFromText(int32_t row, int16_t& status) {
  char text[platform::AsciiValueLength] = {};
  status = platform::GetAscii(DriverState.PVImportGroupHandle, DriverState.PVImportPoint[row], text);
  if (std::memcmp(text, FlagYesText, sizeof FlagYesText) == 0) {
    return FlagYes;
  }
  return FlagNo;
}

void WritePlainFloat(float value, char* /*text*/, float& output) { output = value; }

void WriteModeToFloat(float value, char* /*text*/, float& output) {
  if (value == SimManual) {
    output = FixManual;
  } else if (value == SimAuto) {
    output = FixAuto;
  } else {
    output = value;
  }
}

void WriteModeToText(float value, char* text, float& /*output*/) {
  if (value == SimManual) {
    CopyText(text, "MANL");
  } else if (value == SimAuto) {
    CopyText(text, "AUTO");
  } else {
    CopyText(text, "UNKNOWN");
  }
}

void WriteFlagToText(float value, char* text, float& /*output*/) {
  CopyText(text, value == FlagYes ? "YES" : "NO");
}

}  // namespace dcs
