// The XML reader: well-formed documents read into their tree, each kind of
// malformed document refused with its line, nesting at and beyond the limit,
// and cut or altered documents refused cleanly. Pure in memory: no files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "system/xml_reader.h"

namespace {

using host::XmlElement;

// Bytes as a tree line shows them: \n, \r and \t spelled out, other control
// bytes and every byte from 0x7F up as \xHH, so an encoding is seen exactly.
std::string Escaped(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n' || c == '\r' || c == '\t') {
      shown += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
      shown += hex;
    } else {
      shown += c;
    }
  }
  return shown;
}

// The element as one line: name@line[attribute=value,...]{text}(child child),
// the brackets, braces and parentheses left out when there is nothing in them.
std::string Tree(const XmlElement& element) {
  std::string tree = Escaped(element.name) + "@" + std::to_string(element.line);
  for (size_t i = 0; i < element.attributes.size(); ++i) {
    tree += (i == 0 ? "[" : ",") + Escaped(element.attributes[i].first) + "=" + Escaped(element.attributes[i].second);
  }
  tree += element.attributes.empty() ? "" : "]";
  tree += element.text.empty() ? "" : "{" + Escaped(element.text) + "}";
  for (size_t i = 0; i < element.children.size(); ++i) {
    tree += (i == 0 ? "(" : " ") + Tree(element.children[i]);
  }
  tree += element.children.empty() ? "" : ")";
  return tree;
}

// The document's tree, or "error: " and the message.
std::string TreeOrError(const std::string& document) {
  XmlElement root;
  std::string error;
  if (!host::ParseXml(document, root, error)) {
    return "error: " + error;
  }
  return Tree(root);
}

// A small modelDescription.xml as tools write it: a byte-order mark, CR LF
// line ends, a declaration, a comment and references in a description.
const std::string ModelDescription =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!-- written by a modelling tool -->\r\n"
    "<fmiModelDescription fmiVersion=\"2.0\" modelName=\"tank\" guid=\"{8c4e810f-3df3-4a00-8276-176fa3c9f000}\"\r\n"
    "  description=\"A &quot;tank&quot;&#10;with one level\">\r\n"
    "<CoSimulation modelIdentifier=\"tank\"/>\r\n"
    "<ModelVariables>\r\n"
    "<ScalarVariable name=\"level\" valueReference=\"0\" causality=\"output\">"
    "<Real start=\"1.0\"/></ScalarVariable>\r\n"
    "<ScalarVariable name=\"inflow\" valueReference=\"1\" causality=\"input\"><Real start=\"0\"/></ScalarVariable>\r\n"
    "</ModelVariables>\r\n"
    "<ModelStructure><Outputs><Unknown index=\"1\"/></Outputs></ModelStructure>\r\n"
    "</fmiModelDescription>\r\n";

// Every construct the reader takes, on several lines, for cutting and altering.
const std::string EveryConstruct =
    "\xEF\xBB\xBF<?xml version='1.0'?>\r\n<!DOCTYPE a SYSTEM \"a.dtd\">\n<!-- c -->\n"
    "<a x = \"1&amp;&#x41;\" y='&#10;2'>t&lt;&#65;<?pi d?>\r\n<b/><![CDATA[<&>]]><!-- d -->"
    "<c\tz=\"q\"\n>u</c ></a>\n<?end?>";

TEST(XmlReader, ReadsWellFormedDocuments) {
  struct Row {
    const char* what;
    std::string document;
    const char* tree;
  };
  const Row rows[] = {
      {"an empty element", "<a/>", "a@1"},
      {"an element with its end tag", "<a></a>", "a@1"},
      {"white space inside tags", "<a ></a\r\n>", "a@1"},
      {"text", "<a>hi there</a>", "a@1{hi there}"},
      {"text around children joined, theirs apart", "<a>x<b>y</b>z<c/>w</a>", "a@1{xzw}(b@1{y} c@1)"},
      {"white space kept as text", "\n <a> <b/> </a> \n", "a@2{  }(b@2)"},
      {"attributes in order, either quote", "<a y=\"2\" x='1'/>", "a@1[y=2,x=1]"},
      {"the other quote inside a value", "<a x=\"it's\" y='say \"hi\"'/>", "a@1[x=it's,y=say \"hi\"]"},
      {"white space and line ends around '='", "<a x \r\n=\r\n \"1\"\t/>", "a@1[x=1]"},
      {"an empty value", "<a x=''/>", "a@1[x=]"},
      {"tabs and line ends in a value made spaces", "<a x=\"1\t2\n3\r\n4\r5\"/>", "a@1[x=1 2 3 4 5]"},
      {"references in a value keep theirs", "<a x=\"&#9;&#10;&#13;&#x20;\"/>", "a@1[x=\\t\\n\\r ]"},
      {"the five entities", "<a x=\"&lt;&gt;&amp;&quot;&apos;\">&lt;&gt;&amp;&quot;&apos;</a>",
       "a@1[x=<>&\"']{<>&\"'}"},
      {"references of one to four UTF-8 bytes", "<a>&#65;&#xE9;&#x20ac;&#128512;&#x10FFFF;</a>",
       "a@1{A\\xC3\\xA9\\xE2\\x82\\xAC\\xF0\\x9F\\x98\\x80\\xF4\\x8F\\xBF\\xBF}"},
      {"leading zeros in a reference", "<a>&#0000065;&#x0041;</a>", "a@1{AA}"},
      {"'>' taken literally", "<a x=\"p>q\">r>s</a>", "a@1[x=p>q]{r>s}"},
      {"UTF-8 text as it is", "<a>\xC3\xA9t\xC3\xA9</a>", "a@1{\\xC3\\xA9t\\xC3\\xA9}"},
      {"CDATA verbatim", "<a>x<![CDATA[<b>&amp;]]]>y<![CDATA[]]></a>", "a@1{x<b>&amp;]y}"},
      {"line ends in CDATA read as LF", "<a><![CDATA[1\r\n2\r3]]></a>", "a@1{1\\n2\\n3}"},
      {"comments before, inside and after", "<!-- a - b --><a><!---->x<!-- <b> --></a><!-- c -->\n", "a@1{x}"},
      {"processing instructions everywhere", "<?style x?><a><?pi data?></a><?end?>", "a@1"},
      {"a declaration and a DOCTYPE", "<?xml version='1.0' encoding='utf-8'?>\n<!DOCTYPE a SYSTEM \"a[1]>.dtd\">\n<a/>",
       "a@3"},
      {"a DOCTYPE with a public id", "<!DOCTYPE a PUBLIC '-//x//y' 'a.dtd'><a/>", "a@1"},
      {"a byte-order mark", "\xEF\xBB\xBF<a/>", "a@1"},
      {"names of every allowed byte", "<_x:y-z.1 \xC3\xA9t\xC3\xA9=\"1\" a.b-c:9_=\"2\"/>",
       "_x:y-z.1@1[\\xC3\\xA9t\\xC3\\xA9=1,a.b-c:9_=2]"},
      {"lines after LF, CR LF and a lone CR", "<a>\r\n<b/>\n<c/>\r<d/>\r\n\r\n<e\n/></a>",
       "a@1{\\n\\n\\n\\n\\n}(b@2 c@3 d@4 e@6)"},
      {"a deep tree in order", "<a><b><c><d/></c><e/></b><f/></a>", "a@1(b@1(c@1(d@1) e@1) f@1)"},
      {"a modelDescription.xml", ModelDescription,
       "fmiModelDescription@3[fmiVersion=2.0,modelName=tank,guid={8c4e810f-3df3-4a00-8276-176fa3c9f000},"
       "description=A \"tank\"\\nwith one level]{\\n\\n\\n\\n}("
       "CoSimulation@5[modelIdentifier=tank] ModelVariables@6{\\n\\n\\n}("
       "ScalarVariable@7[name=level,valueReference=0,causality=output](Real@7[start=1.0]) "
       "ScalarVariable@8[name=inflow,valueReference=1,causality=input](Real@8[start=0])) "
       "ModelStructure@10(Outputs@10(Unknown@10[index=1])))"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TreeOrError(row.document), row.tree) << row.what;
  }
}

TEST(XmlReader, RefusesMalformedDocumentsWithTheirLine) {
  struct Row {
    std::string document;
    int line;
    const char* message_part;
  };
  const Row rows[] = {
      {"", 1, "no root element"},
      {" \r\n \n", 3, "no root element"},
      {"<?xml version='1.0'?>\n<!-- only a comment -->", 2, "no root element"},
      {"<a>", 1, "<a> not closed at end of input"},
      {"<a>\n<b>\n</b>\n", 1, "<a> not closed at end of input"},
      {"<a>\n<b\n x='1'", 2, "tag <b> not closed at end of input"},
      {"<a>\n</b>", 2, "end tag </b> does not match <a> of line 1"},
      {"<a></a x>", 1, "end tag </a> not closed by '>'"},
      {"<a>\n</" + std::string(1000, 'b') + ">", 2, "end tag </bbbbbbbbbb"},  // the name cut short
      {"<a x='1'\n x='2'/>", 2, "attribute 'x' given twice"},
      {"<a x='1' y='2'\n y='3' x='4'/>", 2, "attribute 'y' given twice"},
      {"<a x y='1'/>", 1, "attribute 'x' without '='"},
      {"<a\nx=1/>", 2, "value of attribute 'x' without quotes"},
      {"<a x='1'y='2'/>", 1, "no white space before attribute 'y'"},
      {"<a x='\n1/>", 1, "value of attribute 'x' not closed at end of input"},
      {"<a x='a<b'/>", 1, "'<' in the value of attribute 'x'"},
      {"<a =\"1\"/>", 1, "unexpected '=' in tag <a>"},
      {"<a>\n&nbsp;</a>", 2, "unknown entity '&nbsp;'"},
      {"<a x='&unknown;'/>", 1, "unknown entity '&unknown;'"},
      {"<a>fish & chips</a>", 1, "'&' not starting a reference"},
      {"<a x='&'/>", 1, "'&' not starting a reference"},
      {"<a>AT&T</a>", 1, "reference '&T' not ended by ';'"},
      {"<a>&#0;</a>", 1, "character reference '&#0;' to no character"},
      {"<a>&#xD800;</a>", 1, "character reference '&#xD800;' to no character"},
      {"<a>&#x110000;</a>", 1, "character reference '&#x110000;' to no character"},
      {"<a>&#99999999999999999999999;</a>", 1, "to no character"},
      {"<a>&#;</a>", 1, "malformed character reference '&#'"},
      {"<a>&#x;</a>", 1, "malformed character reference '&#x'"},
      {"<a>&#12a;</a>", 1, "malformed character reference '&#12'"},
      {"<a>&#X41;</a>", 1, "malformed character reference '&#'"},
      {"<a/>\ntext", 2, "text after the root element"},
      {"<a/>\n<b/>", 2, "a second root element <b>"},
      {"<a/></a>", 1, "markup after the root element"},
      {"<a/><![CDATA[x]]>", 1, "markup after the root element"},
      {"<a/><!DOCTYPE a>", 1, "markup after the root element"},
      {"hello<a/>", 1, "text before the root element"},
      {"<![CDATA[x]]><a/>", 1, "unexpected markup before the root element"},
      {"<!ELEMENT a ANY><a/>", 1, "unexpected markup before the root element"},
      {"<!DOCTYPE a [\n<!ENTITY x 'y'>]><a/>", 1, "internal DTD subset not supported"},
      {"<!DOCTYPE a>\n<!DOCTYPE a><a/>", 2, "a second DOCTYPE"},
      {"<!DOCTYPE a\n", 1, "DOCTYPE not closed at end of input"},
      {"<!DOCTYPE a SYSTEM 'a>", 1, "DOCTYPE not closed at end of input"},
      {"<!DOCTYPE>", 1, "a DOCTYPE without a name"},
      {"<a>\n<!-- c </a>", 2, "comment not closed at end of input"},
      {"<a><!-- c --\n>", 1, "comment not closed at end of input"},
      {"<a>\n<![CDATA[x]]</a>", 2, "CDATA section not closed at end of input"},
      {"<?pi <a/>", 1, "processing instruction not closed at end of input"},
      {"<?" "?><a/>", 1, "a processing instruction without a target"},
      {"<a>\n<!ENTITY x 'y'></a>", 2, "unexpected '<!' inside <a>"},
      {"<a>< b/></a>", 1, "'<' not followed by a name"},
      {"<1a/>", 1, "'<' not followed by a name"},
      {std::string("<a\0/>", 5), 1, "a NUL byte"},
      {std::string("<a>\n\n\0</a>", 10), 3, "a NUL byte"},
      {std::string("\xFF\xFE<\0a\0/\0>\0", 10), 1, "a UTF-16 document"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?>\n<a/>", 1, "encoding 'ISO-8859-1' not supported"},
  };
  for (const Row& row : rows) {
    XmlElement root;
    root.name = "left over";
    std::string error;
    EXPECT_FALSE(host::ParseXml(row.document, root, error)) << row.document;
    const std::string line = "line " + std::to_string(row.line) + ": ";
    EXPECT_EQ(error.rfind(line, 0), 0U) << error;
    EXPECT_NE(error.find(row.message_part), std::string::npos) << error;
    EXPECT_LT(error.size(), 200U) << error;
    EXPECT_EQ(Tree(root), "@0");
  }
}

TEST(XmlReader, AttributeFindsAValueByName) {
  XmlElement root;
  std::string error;
  ASSERT_TRUE(host::ParseXml("<a x='1' y=''/>", root, error)) << error;
  ASSERT_NE(root.Attribute("x"), nullptr);
  EXPECT_EQ(*root.Attribute("x"), "1");
  ASSERT_NE(root.Attribute("y"), nullptr);
  EXPECT_EQ(*root.Attribute("y"), "");
  EXPECT_EQ(root.Attribute("z"), nullptr);
}

std::string Repeated(const std::string& text, size_t count) {
  std::string repeated;
  repeated.reserve(text.size() * count);
  for (size_t i = 0; i < count; ++i) {
    repeated += text;
  }
  return repeated;
}

TEST(XmlReader, NestsToMaxXmlDepthAndNoDeeper) {
  XmlElement root;
  std::string error;
  ASSERT_TRUE(host::ParseXml(Repeated("<a>", host::MaxXmlDepth) + Repeated("</a>", host::MaxXmlDepth), root, error))
      << error;
  size_t depth = 1;
  for (const XmlElement* element = &root; !element->children.empty(); element = &element->children[0]) {
    ++depth;
  }
  EXPECT_EQ(depth, host::MaxXmlDepth);
  const size_t deeper = host::MaxXmlDepth + 1;
  EXPECT_FALSE(host::ParseXml(Repeated("<a>", deeper) + Repeated("</a>", deeper), root, error));
  EXPECT_EQ(error, "line 1: elements nested deeper than " + std::to_string(host::MaxXmlDepth));
}

TEST(XmlReader, RefusesAMillionNestedElementsAtTheFirstTooDeep) {
  XmlElement root;
  std::string error;
  EXPECT_FALSE(host::ParseXml(Repeated("<a>\n", 1000000), root, error));
  EXPECT_EQ(error, "line " + std::to_string(host::MaxXmlDepth + 1) + ": elements nested deeper than " +
                       std::to_string(host::MaxXmlDepth));
}

// Cut anywhere before the root's end tag is whole, the document is refused
// with a line; cut just after that tag or its line end, it reads as the whole
// document; cut inside the processing instruction after, it is refused again.
TEST(XmlReader, RefusesEveryPrefixThatCutsTheRoot) {
  const std::string tree = "a@4[x=1&A,y=\\n2]{t<A\\n<&>}(b@5 c@5[z=q]{u})";
  ASSERT_EQ(TreeOrError(EveryConstruct), tree);
  const size_t root_end = EveryConstruct.find("</a>") + 4;
  for (size_t size = 0; size < EveryConstruct.size(); ++size) {
    const std::string result = TreeOrError(EveryConstruct.substr(0, size));
    if (size == root_end || size == root_end + 1) {
      EXPECT_EQ(result, tree) << size << " bytes";
    } else {
      EXPECT_EQ(result.rfind("error: line ", 0), 0U) << size << " bytes: " << result;
    }
  }
}

// Each byte of the document replaced by each byte that means something to the
// reader: whatever the result, it is a tree or a message with its line.
TEST(XmlReader, SurvivesEveryByteReplaced) {
  const char replacements[] = "<>&;#x\"'=/!?[]-\r\n\t \0\xFF";
  for (size_t at = 0; at < EveryConstruct.size(); ++at) {
    for (size_t i = 0; i + 1 < sizeof replacements; ++i) {
      std::string document = EveryConstruct;
      document[at] = replacements[i];
      const std::string result = TreeOrError(document);
      EXPECT_TRUE(result.rfind("error: line ", 0) == 0 || result.rfind("a@", 0) == 0) << at << ": " << result;
    }
  }
}

TEST(XmlReader, ReadsFiftyThousandVariables) {
  const size_t count = 50000;
  std::string document = "<fmiModelDescription fmiVersion=\"2.0\">\r\n<ModelVariables>\r\n";
  for (size_t i = 0; i < count; ++i) {
    document += "  <ScalarVariable name=\"plant.tank" + std::to_string(i) + ".level\" valueReference=\"" +
                std::to_string(i) + "\" description=\"the level &amp; more\">\r\n    <Real start=\"1.0\"/>\r\n"
                "  </ScalarVariable>\r\n";
  }
  document += "</ModelVariables>\r\n</fmiModelDescription>\r\n";
  XmlElement root;
  std::string error;
  ASSERT_TRUE(host::ParseXml(document, root, error)) << error;
  ASSERT_EQ(root.children.size(), 1U);
  const XmlElement& variables = root.children[0];
  ASSERT_EQ(variables.children.size(), count);
  EXPECT_EQ(*variables.children.back().Attribute("valueReference"), std::to_string(count - 1));
  EXPECT_EQ(*variables.children.back().Attribute("description"), "the level & more");
  EXPECT_EQ(variables.children.back().line, static_cast<int>(3 + 3 * (count - 1)));
  EXPECT_EQ(variables.children.back().children[0].line, static_cast<int>(4 + 3 * (count - 1)));
}

}  // namespace
