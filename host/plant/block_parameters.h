// A block as the case writes it, checked and built: its kind known, every key
// one its kind takes, every number within its range and unit. Its inputs are
// left as written, for the plant to resolve by name; nothing here evaluates.
#pragma once

#include <string>
#include <vector>

#include "case/case.h"
#include "plant/blocks.h"

namespace host {

// False with "file:line: block 'NAME' (kind): what" when the block cannot be built.
// `inputs` gets the values its inputs are read from, in the order of block.inputs.
bool BuildBlock(const CaseBlock& written, Block& block, std::vector<const BlockValue*>& inputs, std::string& error);

}  // namespace host
