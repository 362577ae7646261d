// The XML reader's document structure: the prolog, the root and everything in
// it as a tree of elements, the epilog. A single pass; the open elements on a
// stack no deeper than MaxXmlDepth, never recursion. The pieces between the
// tags are the scanner's (xml_scanner), and each problem is reported with its line.
#include "system/xml_reader.h"

#include <algorithm>
#include <string_view>

#include "system/xml_scanner.h"

namespace host {
namespace {

using xml::IsNameStart;
using xml::IsSpace;
using xml::Shown;

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// Moves the element that ended into its parent, or into `root` when it is the root.
void CloseElement(std::vector<XmlElement>& open, XmlElement& root) {
  if (open.size() == 1) {
    root = std::move(open.back());
  } else {
    open[open.size() - 2].children.push_back(std::move(open.back()));
  }
  open.pop_back();
}

class XmlReader : public xml::XmlScanner {
 public:
  using XmlScanner::XmlScanner;

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

  std::vector<std::pair<std::string_view, size_t>> tag_attributes_;  // the start tag's attribute names and places
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
