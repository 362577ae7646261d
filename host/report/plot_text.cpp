// The plot's text as SVG takes it: coordinates to a tenth of a pixel, text
// escaped so that the file always parses, and text widths estimated so that
// labels keep apart. Nothing here measures a font or writes a file.
#include "report/plot_parts.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "system/paths.h"

namespace host {

std::pair<unsigned long, size_t> Utf8At(const std::string& text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) {
    return {0, 0};
  }
  unsigned long code = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      return {0, 0};
    }
    code = (code << 6) | (next & 0x3F);
  }
  static const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool allowed = code >= least[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
                       code != 0xFFFE && code != 0xFFFF && (code >= 0x20 || code == '\t');
  return {code, allowed ? length : 0};
}

std::string Px(double value) {
  char buffer[32];
  (void)std::snprintf(buffer, sizeof buffer, "%.1f", std::isfinite(value) ? value : 0.0);
  return buffer;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const std::pair<unsigned long, size_t> c = Utf8At(text, i);
    if (c.second == 0) {
      out += '?';
      ++i;
      continue;
    }
    switch (c.first) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += ' '; break;
      default: out.append(text, i, c.second);
    }
    i += c.second;
  }
  return out;
}

std::string UrlPath(const std::string& path) {
  std::string out;
  for (const char ch : path) {
    const auto byte = static_cast<unsigned char>(ch);
    const bool kept = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                      std::strchr("-._~/", ch) != nullptr;
    if (kept && ch != '\0') {
      out += ch;
    } else {
      AppendPercentEncoded(out, byte);
    }
  }
  return out;
}

// From the widths of a common sans-serif's glyphs (DejaVu Sans, a little
// generous), enough to keep labels apart without measuring them.
double TextWidth(const std::string& text, double size) {
  const auto in = [](const char* set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; };
  double width = 0.0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) {
      continue;  // the rest of a UTF-8 character
    }
    width += in("ijlI.,:;'|!()[] ", c) ? 0.33
             : in("ftr", c)            ? 0.42
             : in("mwMW", c)           ? 0.95
             : c >= 'A' && c <= 'Z'    ? 0.72
                                       : 0.62;
  }
  return width * size;
}

}  // namespace host
