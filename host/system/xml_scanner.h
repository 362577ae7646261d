// The XML reader's lexical layer: a cursor over the document's bytes, the line
// of any place in it, and the pieces read between the tags (names, text, CDATA,
// references, attribute values, comments and processing instructions).
// Private to the XML reader; it never reads past the end of the document.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace host {
namespace xml {

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsNameByte(char c) {
  return static_cast<unsigned char>(c) >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) ||
         c == '_' || c == '-' || c == '.' || c == ':';
}
inline bool IsNameStart(char c) { return IsNameByte(c) && !IsDigit(c) && c != '-' && c != '.'; }

// A name or reference as a message shows it: cut short, so that a hostile
// document cannot make the message as long as itself.
std::string Shown(std::string_view text);

// The reader builds its tree on top of this class and moves the cursor `pos_`
// itself where the structure decides what comes next.
class XmlScanner {
 public:
  explicit XmlScanner(const std::string& document) : doc_(document) {}
  const std::string& Error() const { return error_; }

 protected:
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
  std::string_view ReadName();

  int LineAt(size_t at);
  bool Fail(size_t at, const std::string& what) { return FailOnLine(LineAt(at), what); }
  bool FailOnLine(int line, const std::string& what);
  bool SkipPast(std::string_view end, size_t start, const char* what);

  bool ReadMisc();
  bool ReadText(std::string& text);
  bool ReadCdata(std::string& text);
  bool ReadAttributeValue(std::string_view name, std::string& value);

  const std::string& doc_;
  size_t pos_ = 0;

 private:
  bool CheckEncoding(std::string_view declaration, size_t start);
  bool ReadReference(std::string& out);
  bool ReadCharacterReference(size_t start, std::string& out);

  size_t line_pos_ = 0;  // LineAt's place: line_ is the line of the byte there
  int line_ = 1;
  std::string error_;
};

}  // namespace xml
}  // namespace host
