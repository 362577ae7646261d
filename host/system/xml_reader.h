// A small XML reader for the documents dcshost reads, such as an FMU's
// modelDescription.xml: the whole document into a tree of elements. It never
// fetches anything a document refers to and refuses what it does not handle.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace host {

struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;  // in document order, references replaced
  std::vector<XmlElement> children;
  std::string text;  // the character data directly inside, references replaced, joined
  int line = 0;      // where its start tag begins, from 1
  // The attribute's value, or nullptr when the element has none of that name.
  const std::string* Attribute(const std::string& attribute) const;
};

// Elements nest at most this deep, the root counting as one; a deeper document
// is refused.
constexpr size_t MaxXmlDepth = 256;

// Reads a UTF-8 document (a byte-order mark allowed): the XML declaration,
// comments, processing instructions, CDATA sections and a DOCTYPE without an
// internal subset are taken and left out of the tree; character references
// and the five predefined entities are replaced. Line ends (CR LF, LF or a
// lone CR) count one line each and read as LF in text and CDATA; in attribute
// values a literal tab or line end reads as one space, while one written as a
// character reference is kept. An element's text keeps its white space.
// False with "line N: WHAT" when the document is not well formed: a tag not
// closed or closed by another name, an attribute given twice or without
// quotes, an unknown entity, an internal DTD subset, anything but white space,
// comments and processing instructions after the root element, nesting beyond
// MaxXmlDepth, a NUL byte, or an encoding declared other than UTF-8. Something
// left open at the end of the input is reported on the line where it began.
// `root` is left empty when the document is refused.
bool ParseXml(const std::string& document, XmlElement& root, std::string& error);

}  // namespace host
