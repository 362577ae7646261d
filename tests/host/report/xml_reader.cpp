// The report tests' XML reader: one pass over the document, refusing the
// first thing a renderer would refuse. It reads a string only; it never opens
// a file.
#include "xml_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace report_test {
namespace {

bool NameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == ':'; }
bool NameChar(char c) {
  return NameStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.';
}

bool CharactersAllowed(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size() || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
        c == 0xC0 || c == 0xC1) {
      return false;
    }
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

bool Unescape(const std::string& raw, std::string& out) {
  static const std::map<std::string, std::string> entities = {
      {"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}};
  out.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '<') {
      return false;
    }
    if (raw[i] != '&') {
      out += raw[i];
      continue;
    }
    const size_t end = raw.find(';', i);
    if (end == std::string::npos) {
      return false;
    }
    const std::string name = raw.substr(i + 1, end - i - 1);
    if (entities.count(name) != 0) {
      out += entities.at(name);
    } else if (name.size() > 1 && name[0] == '#' &&
               name.find_first_not_of("0123456789", 1) == std::string::npos) {
      out += '?';  // a character reference; the tests never look inside one
    } else {
      return false;
    }
    i = end;
  }
  return true;
}

// Reads s from the start, one piece (text, comment, declaration, end tag or
// start tag) at a time.
class Reader {
 public:
  Reader(const std::string& s, std::vector<Element>& elements, std::string& error)
      : s_(s), elements_(elements), error_(error) {}

  bool Read() {
    if (!CharactersAllowed(s_)) {
      return Fail("a byte that is not UTF-8 or a control character");
    }
    while (i_ < s_.size()) {
      const bool read = s_[i_] != '<'                   ? Text()
                        : s_.compare(i_, 4, "<!--") == 0 ? Comment()
                        : s_.compare(i_, 2, "<?") == 0   ? Declaration()
                        : s_.compare(i_, 2, "</") == 0   ? EndTag()
                                                         : StartTag();
      if (!read) {
        return false;
      }
    }
    if (!open_.empty()) {
      return Fail("<" + elements_[static_cast<size_t>(open_.back())].name + "> never closed");
    }
    if (!rootSeen_) {
      return Fail("no element");
    }
    return true;
  }

 private:
  bool Fail(const std::string& what) {
    error_ = what + " at offset " + std::to_string(i_) + ": " + s_.substr(i_, 60);
    return false;
  }

  bool SkipSpace() {
    const size_t start = i_;
    while (i_ < s_.size() && std::strchr(" \t\r\n", s_[i_]) != nullptr) {
      ++i_;
    }
    return i_ > start;
  }

  std::string Name() {
    const size_t start = i_;
    if (i_ < s_.size() && NameStart(s_[i_])) {
      while (i_ < s_.size() && NameChar(s_[i_])) {
        ++i_;
      }
    }
    return s_.substr(start, i_ - start);
  }

  bool Text() {
    const size_t end = std::min(s_.find('<', i_), s_.size());
    std::string text;
    if (!Unescape(s_.substr(i_, end - i_), text)) {
      return Fail("a bare '&' or an unknown entity in text");
    }
    if (open_.empty() && text.find_first_not_of(" \t\r\n") != std::string::npos) {
      return Fail("text outside the root");
    }
    if (!open_.empty()) {
      elements_[static_cast<size_t>(open_.back())].text += text;
    }
    i_ = end;
    return true;
  }

  bool Comment() {
    const size_t end = s_.find("-->", i_ + 4);
    if (end == std::string::npos) {
      return Fail("an unclosed comment");
    }
    i_ = end + 3;
    return true;
  }

  bool Declaration() {
    const size_t end = s_.find("?>", i_);
    if (i_ != 0 || end == std::string::npos) {
      return Fail("a declaration not at the start");
    }
    i_ = end + 2;
    return true;
  }

  bool EndTag() {
    i_ += 2;
    const std::string tag = Name();
    if (open_.empty() || elements_[static_cast<size_t>(open_.back())].name != tag) {
      return Fail("an end tag </" + tag + "> that closes nothing open");
    }
    SkipSpace();
    if (i_ >= s_.size() || s_[i_] != '>') {
      return Fail("an end tag without '>'");
    }
    ++i_;
    open_.pop_back();
    return true;
  }

  bool StartTag() {
    ++i_;
    Element e;
    e.name = Name();
    e.parent = open_.empty() ? -1 : open_.back();
    if (e.name.empty()) {
      return Fail("a '<' that starts no tag");
    }
    if (open_.empty() && rootSeen_) {
      return Fail("a second root element");
    }
    bool closed = false;
    while (true) {
      const bool spaced = SkipSpace();
      if (i_ + 1 < s_.size() && s_[i_] == '/' && s_[i_ + 1] == '>') {
        i_ += 2;
        closed = true;
        break;
      }
      if (i_ < s_.size() && s_[i_] == '>') {
        ++i_;
        break;
      }
      if (!Attribute(e, spaced)) {
        return false;
      }
    }
    elements_.push_back(e);
    rootSeen_ = true;
    if (!closed) {
      open_.push_back(static_cast<int>(elements_.size() - 1));
    }
    return true;
  }

  // One attribute of e, which must be apart from what comes before it.
  bool Attribute(Element& e, bool spaced) {
    const std::string key = Name();
    if (key.empty() || !spaced) {
      return Fail("a malformed attribute in <" + e.name + ">");
    }
    SkipSpace();
    if (i_ >= s_.size() || s_[i_] != '=') {
      return Fail("an attribute without '='");
    }
    ++i_;
    SkipSpace();
    const char quote = i_ < s_.size() ? s_[i_] : '\0';
    const size_t end = quote == '"' || quote == '\'' ? s_.find(quote, i_ + 1) : std::string::npos;
    std::string value;
    if (end == std::string::npos || !Unescape(s_.substr(i_ + 1, end - i_ - 1), value)) {
      return Fail("an attribute value not quoted or not escaped");
    }
    if (!e.attributes.emplace(key, value).second) {
      return Fail("attribute " + key + " given twice");
    }
    i_ = end + 1;
    return true;
  }

  const std::string& s_;
  std::vector<Element>& elements_;
  std::string& error_;
  std::vector<int> open_;  // the elements open, innermost last
  size_t i_ = 0;
  bool rootSeen_ = false;
};

}  // namespace

bool ParseXml(const std::string& s, std::vector<Element>& elements, std::string& error) {
  return Reader(s, elements, error).Read();
}

}  // namespace report_test
