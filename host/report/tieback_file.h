// The tiebacks of a case as an editable block file: every loop's blocks under
// a comment that says which rule paired it and where its numbers come from,
// headed by how to name the file in the case and what was left unpaired.
#pragma once

#include <string>
#include <vector>

#include "case/case.h"
#include "plant/tieback.h"

namespace host {

// The file's text; its blocks, read back as a model of blocks, are the
// tiebacks' own, number for number.
std::string TiebackFileText(const Case& c, const Tiebacks& tiebacks);

// Whether the text, read by the model file's reader as `file`, holds exactly
// these blocks (names, kinds, units, every key and number); false with what
// the reader refused or the first block that differs.
bool ReadsBackAs(const std::string& file, const std::string& text, const std::vector<CaseBlock>& blocks,
                 std::string& error);

}  // namespace host
