// PV-import conversions between FIX values and simulation values. Selection
// compares FIELD texts once per row at configuration; at run time a row's
// conversion is one table lookup and one jump (the readers are inline in
// converters.h).
#include "exchange/converters.h"

#include <cstring>

#include "driver/driver_state.h"
#include "platform/fix.h"

namespace dcs {
namespace {

// FIELD texts with converters of their own, compared whole and case-sensitive.
struct ConverterRule {
  const char* field;
  ImportReaderKind reader;
  ImportWriterKind writer;
};
const ConverterRule ExactRules[] = {
    {"F_AUTO", ImportReaderKind::ModeFromFloat, ImportWriterKind::ModeToFloat},
    {"A_AUTO", ImportReaderKind::ModeFromText, ImportWriterKind::ModeToText},
    {"A_ROUT", ImportReaderKind::FlagFromText, ImportWriterKind::FlagToText},
};
// Any other FIELD starting with 'F' or 'f' is a plain float.
const ConverterRule PlainFloatRule = {"F", ImportReaderKind::PlainFloat, ImportWriterKind::PlainFloat};

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

// Puts a writer's text with its NUL into the 10-byte buffer; the longest,
// "UNKNOWN", takes eight bytes.
template <size_t Size>
void CopyText(char* buffer, const char (&text)[Size]) {
  static_assert(Size <= platform::AsciiValueLength, "a writer's text fits the buffer");
  std::memcpy(buffer, text, Size);
}

// The writer a table entry names; none for an empty entry.
using WriterFn = void (*)(float value, char* text, float& output);
WriterFn WriterOf(ImportWriterKind writer) {
  switch (writer) {
    case ImportWriterKind::None: break;
    case ImportWriterKind::PlainFloat: return WritePlainFloat;
    case ImportWriterKind::ModeToFloat: return WriteModeToFloat;
    case ImportWriterKind::ModeToText: return WriteModeToText;
    case ImportWriterKind::FlagToText: return WriteFlagToText;
  }
  return nullptr;
}

}  // namespace

void ClearImportReaders() {
  for (ImportReaderKind& reader : DriverState.ImportReader) {
    reader = ImportReaderKind::None;
  }
}

void SelectImportConverters(int32_t row, const char* field) {
  if (const ConverterRule* rule = SelectRule(field)) {
    DriverState.ImportReader[row] = rule->reader;
    DriverState.ImportWriter[row] = rule->writer;
  }
}

void WriteImportRow(int32_t row, float value) {
  const WriterFn writer = WriterOf(DriverState.ImportWriter[row]);
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
  if (value == FlagYes) {
    CopyText(text, "YES");
  } else {
    CopyText(text, "NO");
  }
}

}  // namespace dcs
