// Glob patterns over names: a loop check's controller tags and a test run's
// case paths. Pure: it only compares texts.
#pragma once

#include <string>

namespace host {

// True when the text matches the pattern: '*' any run of characters (also
// '/'), '?' any one character, every other character itself. Linear in the
// text for any pattern, without recursion.
bool GlobMatch(const std::string& pattern, const std::string& text);

}  // namespace host
