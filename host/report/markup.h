// Text fit for the markup dcshost writes (SVG and HTML text and attributes):
// XML's specials escaped, a tab a space, and every byte that is not part of
// a character XML allows shown as '?'; and paths as links. Defined in plot_text.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

namespace host {

std::string Escape(const std::string& text);

// The code point of the UTF-8 sequence at text[i] and its length, or length 0
// when the bytes there are not UTF-8 or not a character XML allows.
std::pair<unsigned long, size_t> Utf8At(const std::string& text, size_t i);

// A relative path as a link's URL: every byte but letters, digits, '-', '.',
// '_', '~' and '/' percent-encoded, so that '#', '%', '?' and spaces in a
// file name stay part of it. Fit for an attribute as it is.
std::string UrlPath(const std::string& path);

}  // namespace host
