// The value converters of PV-import rows: the rule that picks a row's reader
// and writer from its FIELD text at configuration, the four readers and four
// writers, and the two calls the exchange makes through the tables by row
// number. No text is compared after selection; nothing here reports.
#pragma once

#include <cstdint>

namespace dcs {

// Empties every ImportReader entry.
void ClearImportReaders();
// Stores the row's reader (resp. writer) chosen by its FIELD text, or nothing
// when the text selects none (or is missing).
void SelectImportReader(int32_t row, const char* field);
void SelectImportWriter(int32_t row, const char* field);
// [after the PV-import group was read and waited for] The row's value through
// its reader; 0.0 with status untouched when the row has none.
float ReadImportValue(int32_t row, int16_t& status);
// Stages the value through the row's writer on its point; a row without a
// writer sends nothing. The caller writes the group afterwards.
void WriteImportRow(int32_t row, float value);

float ReadPlainFloat(int32_t row, int16_t& status);
float ReadModeFromFloat(int32_t row, int16_t& status);
float ReadModeFromText(int32_t row, int16_t& status);
float ReadFlagFromText(int32_t row, int16_t& status);
void WritePlainFloat(float value, char* text, float& output);
void WriteModeToFloat(float value, char* text, float& output);
void WriteModeToText(float value, char* text, float& output);
void WriteFlagToText(float value, char* text, float& output);

}  // namespace dcs
