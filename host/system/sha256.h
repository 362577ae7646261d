// SHA-256 of a file or a text, for the report's list of inputs: which case,
// tables, database, driver and FIX libraries a verdict was reached with.
// Written here because no packaged library serves the Windows target.
#pragma once

#include <string>

namespace host {

// The lower-case hex digest of the text.
std::string Sha256Hex(const std::string& text);
// The digest of a file's bytes; false with "PATH: cannot read: REASON" when it cannot be read.
bool Sha256File(const std::string& path, std::string& hex, std::string& error);

}  // namespace host
