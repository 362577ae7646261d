// The XML reader's lexical layer: names, the line of a place, text and CDATA
// with their line ends, references (the five predefined entities and character
// references only), attribute values, comments and processing instructions.
// It never reads past the end of the document and expands nothing it defines.
#include "system/xml_scanner.h"

#include <algorithm>
#include <cctype>

namespace host {
namespace xml {
namespace {

constexpr size_t MaxNameInMessage = 60;  // longer names are cut short in messages
constexpr unsigned long MaxCodePoint = 0x10FFFF;

struct PredefinedEntity {
  std::string_view name;
  char value;
};
constexpr PredefinedEntity PredefinedEntities[] = {
    {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};

// The digit's value in base 10 or 16, or -1 when it is none.
int DigitValue(char c, bool hex) {
  const char lower = static_cast<char>(c | 0x20);  // 'A' to 'F' read as 'a' to 'f'
  return IsDigit(c) ? c - '0' : hex && lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

void AppendUtf8(unsigned long code, std::string& out) {
  constexpr unsigned char LeadBits[] = {0x00, 0xC0, 0xE0, 0xF0};  // by the number of bytes that follow
  const int following = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  out += static_cast<char>(LeadBits[following] | (code >> (6 * following)));
  for (int shift = 6 * (following - 1); shift >= 0; shift -= 6) {
    out += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
  }
}

// Appends text with each line end (CR LF, or a CR alone) read as LF, as XML
// reads line ends before anything else.
void AppendWithLineEnds(std::string_view text, std::string& out) {
  for (size_t cr = text.find('\r'); cr != std::string_view::npos; cr = text.find('\r')) {
    out.append(text.data(), cr);
    out += '\n';
    text.remove_prefix(cr + (cr + 1 < text.size() && text[cr + 1] == '\n' ? 2 : 1));
  }
  out.append(text.data(), text.size());
}

}  // namespace

std::string Shown(std::string_view text) {
  if (text.size() <= MaxNameInMessage) {
    return std::string(text);
  }
  return std::string(text.substr(0, MaxNameInMessage)) + "...";
}

std::string_view XmlScanner::ReadName() {
  const size_t start = pos_;
  if (IsNameStart(Peek())) {
    while (IsNameByte(Peek())) {
      ++pos_;
    }
  }
  return Slice(start, pos_);
}

// The line of the byte at `at`, counted on from the last place asked: the
// places asked grow as the reading goes on, so all the counting is linear.
int XmlScanner::LineAt(size_t at) {
  if (at < line_pos_) {
    line_pos_ = 0;
    line_ = 1;
  }
  for (; line_pos_ < at && line_pos_ < doc_.size(); ++line_pos_) {
    const char c = doc_[line_pos_];
    if (c == '\n' || (c == '\r' && At(line_pos_ + 1) != '\n')) {
      ++line_;  // CR LF ends one line
    }
  }
  return line_;
}

bool XmlScanner::FailOnLine(int line, const std::string& what) {
  error_ = "line " + std::to_string(line) + ": " + what;
  return false;
}

// Moves past the next `end`; a construct begun at `start` and never ended is an error on its first line.
bool XmlScanner::SkipPast(std::string_view end, size_t start, const char* what) {
  const size_t found = doc_.find(end.data(), pos_, end.size());
  if (found == std::string::npos) {
    return Fail(start, std::string(what) + " not closed at end of input");
  }
  pos_ = found + end.size();
  return true;
}

// A comment or a processing instruction, allowed before, inside and after the root.
bool XmlScanner::ReadMisc() {
  const size_t start = pos_;
  if (Ahead("<!--")) {
    pos_ += 4;
    return SkipPast("-->", start, "comment");
  }
  pos_ += 2;
  const std::string_view target = ReadName();
  if (target.empty()) {
    return Fail(start, "a processing instruction without a target");
  }
  const size_t body = pos_;
  if (!SkipPast("?>", start, "processing instruction")) {
    return false;
  }
  return target != "xml" || CheckEncoding(Slice(body, pos_ - 2), start);
}

// The XML declaration may name the document's encoding; one other than
// UTF-8 would be misread, so it is refused.
bool XmlScanner::CheckEncoding(std::string_view declaration, size_t start) {
  size_t i = declaration.find("encoding");
  if (i == std::string_view::npos) {
    return true;
  }
  const auto at = [&declaration](size_t j) { return j < declaration.size() ? declaration[j] : '\0'; };
  for (i += 8; IsSpace(at(i)) || at(i) == '=';) {
    ++i;
  }
  const char quote = at(i);
  if (quote != '"' && quote != '\'') {
    return true;
  }
  const std::string_view encoding = declaration.substr(i + 1, declaration.find(quote, i + 1) - i - 1);
  std::string lower(encoding);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (lower == "utf-8") {
    return true;
  }
  return Fail(start, "encoding '" + Shown(encoding) + "' not supported; only UTF-8 is read");
}

// Character data up to the next '<' or the end, references replaced.
bool XmlScanner::ReadText(std::string& text) {
  for (;;) {
    const size_t run = pos_;
    while (!AtEnd() && doc_[pos_] != '<' && doc_[pos_] != '&') {
      ++pos_;
    }
    AppendWithLineEnds(Slice(run, pos_), text);
    if (AtEnd() || doc_[pos_] == '<') {
      return true;
    }
    if (!ReadReference(text)) {
      return false;
    }
  }
}

// A CDATA section's text, taken as it is.
bool XmlScanner::ReadCdata(std::string& text) {
  const size_t start = pos_;
  pos_ += 9;
  const size_t body = pos_;
  if (!SkipPast("]]>", start, "CDATA section")) {
    return false;
  }
  AppendWithLineEnds(Slice(body, pos_ - 3), text);
  return true;
}

bool XmlScanner::ReadReference(std::string& out) {
  const size_t start = pos_++;
  if (Peek() == '#') {
    return ReadCharacterReference(start, out);
  }
  const std::string_view name = ReadName();
  if (name.empty()) {
    return Fail(start, "'&' not starting a reference (write &amp;)");
  }
  if (Peek() != ';') {
    return Fail(start, "reference '&" + Shown(name) + "' not ended by ';'");
  }
  ++pos_;
  for (const PredefinedEntity& entity : PredefinedEntities) {
    if (name == entity.name) {
      out += entity.value;
      return true;
    }
  }
  return Fail(start, "unknown entity '&" + Shown(name) + ";'");
}

// &#N; or &#xH;, written out in UTF-8. The value stops growing past the
// largest code point, so any number of digits is read without overflow.
bool XmlScanner::ReadCharacterReference(size_t start, std::string& out) {
  ++pos_;
  const bool hex = Peek() == 'x';
  pos_ += hex ? 1 : 0;
  const size_t digits = pos_;
  unsigned long code = 0;
  for (int digit = DigitValue(Peek(), hex); digit >= 0; digit = DigitValue(Peek(), hex)) {
    code = std::min(code * (hex ? 16 : 10) + static_cast<unsigned long>(digit), MaxCodePoint + 1);
    ++pos_;
  }
  if (pos_ == digits || Peek() != ';') {
    return Fail(start, "malformed character reference '" + Shown(Slice(start, pos_)) + "'");
  }
  ++pos_;
  if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > MaxCodePoint) {
    return Fail(start, "character reference '" + Shown(Slice(start, pos_)) + "' to no character XML allows");
  }
  AppendUtf8(code, out);
  return true;
}

// From after the attribute's name to after its closing quote. White space in
// the value (a tab, a line end, CR LF taken as one) becomes one space each.
bool XmlScanner::ReadAttributeValue(std::string_view name, std::string& value) {
  SkipSpace();
  if (Peek() != '=') {
    return Fail(pos_, "attribute '" + Shown(name) + "' without '='");
  }
  ++pos_;
  SkipSpace();
  const char quote = Peek();
  if (quote != '"' && quote != '\'') {
    return Fail(pos_, "value of attribute '" + Shown(name) + "' without quotes");
  }
  const size_t start = pos_++;
  for (;;) {
    const size_t run = pos_;
    while (!AtEnd() && doc_[pos_] != quote && doc_[pos_] != '<' && doc_[pos_] != '&' && !IsSpace(doc_[pos_])) {
      ++pos_;
    }
    value.append(doc_, run, pos_ - run);
    if (AtEnd()) {
      return Fail(start, "value of attribute '" + Shown(name) + "' not closed at end of input");
    }
    const char c = doc_[pos_];
    if (c == quote) {
      ++pos_;
      return true;
    }
    if (c == '<') {
      return Fail(pos_, "'<' in the value of attribute '" + Shown(name) + "'");
    }
    if (c == '&') {
      if (!ReadReference(value)) {
        return false;
      }
      continue;
    }
    pos_ += c == '\r' && At(pos_ + 1) == '\n' ? 2 : 1;
    value += ' ';
  }
}

}  // namespace xml
}  // namespace host
