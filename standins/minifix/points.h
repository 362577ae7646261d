// The minimal FIX's process database: a fixed, compiled-in set of fields on
// node MINI whose values live for the process's life, and the rules a write
// must pass. Knows nothing of groups; never allocates for a lookup.
#pragma once

#include <cstdint>
#include <string>

namespace minifix {

struct Field {
  const char* node;
  const char* tag;
  const char* name;
  float number;      // the value of a float field
  std::string text;  // the value of a text field
};

// A field whose name starts with 'A' holds text; any other holds a float.
bool IsTextField(const char* name);

// Finds a field by its names: 0 and *found set, or the error for the first
// name that is unknown (node, then tag, then field).
int16_t FindField(const char* node, const char* tag, const char* name, Field** found);

// Applies a value to a field as FIX would: 0, or why the field refused it.
int16_t ApplyFloat(Field& field, float value);
int16_t ApplyText(Field& field, const std::string& text);

}  // namespace minifix
