// A strict little XML reader for the report tests: enough to refuse what a
// renderer refuses (unbalanced or crossed tags, unquoted or repeated
// attributes, a bare '&' or '<', bytes that are not UTF-8, control
// characters, a second root), and to hand the elements to the tests. It never
// resolves a character reference or reads a DTD.
#pragma once

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace report_test {

struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // the element's own text, unescaped
  int parent = -1;
  std::string Attribute(const std::string& key) const {
    const auto found = attributes.find(key);
    return found == attributes.end() ? std::string() : found->second;
  }
  double Number(const std::string& key) const { return std::strtod(Attribute(key).c_str(), nullptr); }
};

// The elements of the document s in document order, each with the index of
// its parent; false with a message saying what is wrong where.
bool ParseXml(const std::string& s, std::vector<Element>& elements, std::string& error);

}  // namespace report_test
