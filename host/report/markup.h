// Text fit for the markup dcshost writes (SVG and HTML text and attributes):
// XML's specials escaped, a tab a space, and every byte that is not part of
// a character XML allows shown as '?'. Defined in plot_text.cpp.
#pragma once

#include <string>

namespace host {

std::string Escape(const std::string& text);

}  // namespace host
