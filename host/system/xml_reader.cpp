// The XML reader: a single pass over the document's bytes, the open elements
// on a stack no deeper than MaxXmlDepth, each problem reported with its line.
// It never reads past the end of the document, never recurses and never
// expands anything a document defines for itself.
#include "system/xml_reader.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace host {
namespace {

constexpr size_t MaxNameInMessage = 60;  // longer names are cut short in messages
constexpr unsigned long MaxCodePoint = 0x10FFFF;
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

struct PredefinedEntity {
  std::string_view name;
  char value;
};
constexpr PredefinedEntity PredefinedEntities[] = {
    {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameByte(char c) {
  return static_cast<unsigned char>(c) >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) ||
         c == '_' || c == '-' || c == '.' || c == ':';
}

bool IsNameStart(char c) { return IsNameByte(c) && !IsDigit(c) && c != '-' && c != '.'; }

// The digit's value in base 10 or 16, or -1 when it is none.
int DigitValue(char c, bool hex) {
  const char lower = static_cast<char>(c | 0x20);  // 'A' to 'F' read as 'a' to 'f'
  return IsDigit(c) ? c - '0' : hex && lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// A name or reference as a message shows it: cut short, so that a hostile
// document cannot make the message as long as itself.
std::string Shown(std::string_view text) {
  if (text.size() <= MaxNameInMessage) {
    return std::string(text);
  }
  return std::string(text.substr(0, MaxNameInMessage)) + "...";
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

// Moves the element that ended into its parent, or into `root` when it is the root.
void CloseElement(std::vector<XmlElement>& open, XmlElement& root) {
  if (open.size() == 1) {
    root = std::move(open.back());
  } else {
    open[open.size() - 2].children.push_back(std::move(open.back()));
  }
  open.pop_back();
}

class XmlReader {
 public:
  explicit XmlReader(const std::string& document) : doc_(document) {}
  const std::string& Error() const { return error_; }

  bool Read(XmlElement& root) {
    if (Ahead("\xFF\xFE") || Ahead("\xFE\xFF")) {
      return Fail(0, "a UTF-16 document; only UTF-8 is read");
    }
    const size_t nul = doc_.find('\0');
    if (nul != std::string::npos) {
      return Fail(nul, "a NUL byte");
    }
    if (Ahead(ByteOrderMark)) {
      pos_ = ByteOrderMark.size();
    }
    return ReadProlog() && ReadElements(root) && ReadEpilog();
  }

 private:
  char At(size_t i) const { return i < doc_.size() ? doc_[i] : '\0'; }  // '\0' past the end: NULs are refused
  char Peek() const { return At(pos_); }
  bool AtEnd() const { return pos_ >= doc_.size(); }
  bool Ahead(std::string_view text) const { return doc_.compare(pos_, text.size(), text.data(), text.size()) == 0; }
  bool MiscAhead() const { return Ahead("<!--") || Ahead("<?"); }
  std::string_view Slice(size_t start, size_t end) const { return std::string_view(doc_).substr(start, end - start); }

  void SkipSpace() {
    while (IsSpace(Peek())) {
      ++pos_;
    }
  }

  std::string_view ReadName() {
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
  int LineAt(size_t at) {
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

  bool Fail(size_t at, const std::string& what) { return FailOnLine(LineAt(at), what); }
  bool FailOnLine(int line, const std::string& what) {
    error_ = "line " + std::to_string(line) + ": " + what;
    return false;
  }

  // Moves past the next `end`; a construct begun at `start` and never ended is an error on its first line.
  bool SkipPast(std::string_view end, size_t start, const char* what) {
    const size_t found = doc_.find(end.data(), pos_, end.size());
    if (found == std::string::npos) {
      return Fail(start, std::string(what) + " not closed at end of input");
    }
    pos_ = found + end.size();
    return true;
  }

  // A comment or a processing instruction, allowed before, inside and after the root.
  bool ReadMisc() {
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
  bool CheckEncoding(std::string_view declaration, size_t start) {
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

  bool ReadProlog() {
    for (bool doctype = false;;) {
      SkipSpace();
      if (AtEnd()) {
        return Fail(pos_, "no root element");
      }
      if (MiscAhead()) {
        if (!ReadMisc()) {
          return false;
        }
      } else if (Ahead("<!DOCTYPE")) {
        if (doctype) {
          return Fail(pos_, "a second DOCTYPE");
        }
        doctype = true;
        if (!ReadDoctype()) {
          return false;
        }
      } else if (Ahead("<!")) {
        return Fail(pos_, "unexpected markup before the root element");
      } else {
        return Peek() == '<' || Fail(pos_, "text before the root element");
      }
    }
  }

  bool ReadEpilog() {
    for (;;) {
      SkipSpace();
      if (AtEnd()) {
        return true;
      }
      if (!MiscAhead()) {
        break;
      }
      if (!ReadMisc()) {
        return false;
      }
    }
    const size_t start = pos_++;
    if (doc_[start] != '<') {
      return Fail(start, "text after the root element");
    }
    if (!IsNameStart(Peek())) {
      return Fail(start, "markup after the root element");
    }
    return Fail(start, "a second root element <" + Shown(ReadName()) + ">");
  }

  // A DOCTYPE naming an external DTD is skipped: the DTD is never fetched. One
  // with an internal subset is refused, as the subset could declare entities.
  bool ReadDoctype() {
    const size_t start = pos_;
    pos_ += 9;
    SkipSpace();
    if (pos_ == start + 9 || ReadName().empty()) {
      return Fail(start, "a DOCTYPE without a name");
    }
    for (; !AtEnd() && doc_[pos_] != '>'; ++pos_) {
      const char c = doc_[pos_];
      if (c == '[') {
        return Fail(pos_, "internal DTD subset not supported");
      }
      if (c == '"' || c == '\'') {  // a quoted id, which may hold '>' or '[': on to its end, or to the last byte
        pos_ = std::min(doc_.find(c, pos_ + 1), doc_.size() - 1);
      }
    }
    if (AtEnd()) {
      return Fail(start, "DOCTYPE not closed at end of input");
    }
    ++pos_;
    return true;
  }

  // The root and everything in it, without recursion: `open` holds the elements
  // whose end tag is still to come, outermost first.
  bool ReadElements(XmlElement& root) {
    std::vector<XmlElement> open;
    if (!ReadStartTag(open, root)) {
      return false;
    }
    while (!open.empty()) {
      XmlElement& element = open.back();
      if (!ReadText(element.text)) {
        return false;
      }
      if (AtEnd()) {
        return FailOnLine(element.line, "<" + Shown(element.name) + "> not closed at end of input");
      }
      const bool read = MiscAhead()          ? ReadMisc()
                        : Ahead("</")        ? ReadEndTag(open, root)
                        : Ahead("<![CDATA[") ? ReadCdata(element.text)
                        : Ahead("<!")        ? Fail(pos_, "unexpected '<!' inside <" + Shown(element.name) + ">")
                                             : ReadStartTag(open, root);
      if (!read) {
        return false;
      }
    }
    return true;
  }

  bool ReadStartTag(std::vector<XmlElement>& open, XmlElement& root) {
    const size_t start = pos_++;
    const std::string_view name = ReadName();
    if (name.empty()) {
      return Fail(start, "'<' not followed by a name");
    }
    if (open.size() == MaxXmlDepth) {
      return Fail(start, "elements nested deeper than " + std::to_string(MaxXmlDepth));
    }
    open.emplace_back();
    open.back().name.assign(name.data(), name.size());
    open.back().line = LineAt(start);
    bool empty = false;
    if (!ReadAttributes(open.back(), start, empty)) {
      return false;
    }
    if (empty) {
      CloseElement(open, root);
    }
    return true;
  }

  // The attributes up to the end of the start tag; `empty` when it ends in "/>".
  bool ReadAttributes(XmlElement& element, size_t start, bool& empty) {
    tag_attributes_.clear();
    for (;;) {
      const bool spaced = IsSpace(Peek());
      SkipSpace();
      if (AtEnd()) {
        return Fail(start, "tag <" + Shown(element.name) + "> not closed at end of input");
      }
      if (Ahead("/>") || Peek() == '>') {
        empty = Peek() == '/';
        pos_ += empty ? 2 : 1;
        return CheckUniqueAttributes();
      }
      const size_t at = pos_;
      const std::string_view name = ReadName();
      if (name.empty()) {
        return Fail(at, "unexpected '" + std::string(1, Peek()) + "' in tag <" + Shown(element.name) + ">");
      }
      if (!spaced) {
        return Fail(at, "no white space before attribute '" + Shown(name) + "'");
      }
      std::string value;
      if (!ReadAttributeValue(name, value)) {
        return false;
      }
      tag_attributes_.emplace_back(name, at);
      element.attributes.emplace_back(std::string(name), std::move(value));
    }
  }

  // From after the attribute's name to after its closing quote. White space in
  // the value (a tab, a line end, CR LF taken as one) becomes one space each.
  bool ReadAttributeValue(std::string_view name, std::string& value) {
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

  // Sorting the tag's names by name, then place, finds every repeat at once
  // however many attributes a tag has; the first repeat in the document is named.
  bool CheckUniqueAttributes() {
    std::sort(tag_attributes_.begin(), tag_attributes_.end());
    const std::pair<std::string_view, size_t>* repeat = nullptr;
    for (size_t i = 1; i < tag_attributes_.size(); ++i) {
      if (tag_attributes_[i].first == tag_attributes_[i - 1].first &&
          (repeat == nullptr || tag_attributes_[i].second < repeat->second)) {
        repeat = &tag_attributes_[i];
      }
    }
    return repeat == nullptr || Fail(repeat->second, "attribute '" + Shown(repeat->first) + "' given twice");
  }

  bool ReadEndTag(std::vector<XmlElement>& open, XmlElement& root) {
    const size_t start = pos_;
    pos_ += 2;
    const std::string_view name = ReadName();
    const XmlElement& element = open.back();
    if (name != element.name) {
      return Fail(start, "end tag </" + Shown(name) + "> does not match <" + Shown(element.name) + "> of line " +
                             std::to_string(element.line));
    }
    SkipSpace();
    if (Peek() != '>') {
      return Fail(start, "end tag </" + Shown(name) + "> not closed by '>'");
    }
    ++pos_;
    CloseElement(open, root);
    return true;
  }

  // Character data up to the next '<' or the end, references replaced.
  bool ReadText(std::string& text) {
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
  bool ReadCdata(std::string& text) {
    const size_t start = pos_;
    pos_ += 9;
    const size_t body = pos_;
    if (!SkipPast("]]>", start, "CDATA section")) {
      return false;
    }
    AppendWithLineEnds(Slice(body, pos_ - 3), text);
    return true;
  }

  bool ReadReference(std::string& out) {
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
  bool ReadCharacterReference(size_t start, std::string& out) {
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

  const std::string& doc_;
  size_t pos_ = 0;
  size_t line_pos_ = 0;  // LineAt's place: line_ is the line of the byte there
  int line_ = 1;
  std::vector<std::pair<std::string_view, size_t>> tag_attributes_;  // the start tag's attribute names and places
  std::string error_;
};

}  // namespace

const std::string* XmlElement::Attribute(const std::string& attribute) const {
  for (const auto& a : attributes) {
    if (a.first == attribute) {
      return &a.second;
    }
  }
  return nullptr;
}

bool ParseXml(const std::string& document, XmlElement& root, std::string& error) {
  root = XmlElement();
  error.clear();
  XmlReader reader(document);
  if (reader.Read(root)) {
    return true;
  }
  root = XmlElement();
  error = reader.Error();
  return false;
}

}  // namespace host
