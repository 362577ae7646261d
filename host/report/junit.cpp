// The JUnit XML report: one <testsuite> per suite inside <testsuites>, whose
// counts and times are the suites' added up. It writes what it is handed;
// nothing here judges a test.
#include "report/junit.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "system/output_file.h"
#include "system/xml_reader.h"

namespace host {
namespace {

// Text fit for XML text and attributes: its specials escaped, and control
// characters other than tab and line feed left out.
std::string Xml(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t') {
          out += c;
        }
    }
  }
  return out;
}

void WriteCase(std::ostream& xml, const std::string& suite, const JunitCase& c) {
  xml << "    <testcase classname=\"" << Xml(suite) << "\" name=\"" << Xml(c.name) << "\"";
  if (c.seconds) {
    xml << " time=\"" << *c.seconds << "\"";
  }
  xml << ">";
  if (c.skipped) {
    xml << "<skipped message=\"" << Xml(c.message) << "\"/>";
  } else if (!c.passed) {
    xml << "<failure message=\"" << Xml(c.message) << "\"";
    if (c.output) {
      xml << ">" << Xml(*c.output) << "</failure>";
    } else {
      xml << "/>";
    }
  }
  xml << "</testcase>\n";
}

}  // namespace

bool WriteJunit(const std::string& path, const std::string& name, const std::vector<JunitSuite>& suites,
                std::string& error) {
  std::ostringstream xml;
  size_t tests = 0;
  size_t failures = 0;
  size_t skipped = 0;
  double seconds = 0.0;
  for (const JunitSuite& suite : suites) {
    tests += suite.tests;
    failures += suite.failures;
    skipped += suite.skipped;
    seconds += suite.seconds;
  }
  xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" << Xml(name) << "\" tests=\"" << tests
      << "\" failures=\"" << failures << "\" skipped=\"" << skipped << "\" time=\"" << seconds << "\">\n";
  for (const JunitSuite& suite : suites) {
    xml << "  <testsuite name=\"" << Xml(suite.name) << "\" tests=\"" << suite.tests << "\" failures=\""
        << suite.failures << "\" skipped=\"" << suite.skipped << "\" time=\"" << suite.seconds << "\">\n";
    for (const JunitCase& c : suite.cases) {
      WriteCase(xml, suite.name, c);
    }
    xml << "  </testsuite>\n";
  }
  xml << "</testsuites>\n";
  return WriteWholeFile(path, "the JUnit report", xml.str(), error);
}

namespace {

// A count as WriteJunit writes it: digits only, at most a billion.
bool Count(const XmlElement& e, const char* name, size_t& count) {
  const std::string* text = e.Attribute(name);
  if (text == nullptr || text->empty() || text->size() > 10 ||
      text->find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long long value = std::strtoull(text->c_str(), nullptr, 10);
  count = static_cast<size_t>(value);
  return value <= 1000000000ULL;
}

// Seconds as WriteJunit writes them: a finite number, 0 or more.
bool Seconds(const std::string* text, double& seconds) {
  char* end = nullptr;
  seconds = text == nullptr ? 0.0 : std::strtod(text->c_str(), &end);
  return text != nullptr && !text->empty() && *end == '\0' && std::isfinite(seconds) && seconds >= 0.0;
}

bool ReadCase(const XmlElement& e, JunitCase& c) {
  const std::string* name = e.Attribute("name");
  double seconds = 0.0;
  if (e.name != "testcase" || name == nullptr || e.children.size() > 1) {
    return false;
  }
  c.name = *name;
  if (e.Attribute("time") != nullptr) {
    if (!Seconds(e.Attribute("time"), seconds)) {
      return false;
    }
    c.seconds = seconds;
  }
  for (const XmlElement& verdict : e.children) {
    const std::string* message = verdict.Attribute("message");
    if ((verdict.name != "failure" && verdict.name != "skipped") || message == nullptr) {
      return false;
    }
    c.message = *message;
    c.skipped = verdict.name == "skipped";
    c.passed = c.skipped;
    if (!c.skipped && !verdict.text.empty()) {
      c.output = verdict.text;
    }
  }
  return true;
}

}  // namespace

bool ReadJunit(const std::string& file, const std::string& text, std::vector<JunitSuite>& suites, std::string& error) {
  XmlElement root;
  std::string problem;
  if (!ParseXml(text, root, problem)) {
    error = file + ": " + problem;
    return false;
  }
  const auto fail = [&](int line, const char* what) {
    error = file + ":" + std::to_string(line) + ": not the JUnit `dcshost test` writes (" + what + ")";
    return false;
  };
  if (root.name != "testsuites") {
    return fail(root.line, "its root is not <testsuites>");
  }
  for (const XmlElement& e : root.children) {
    JunitSuite suite;
    const std::string* name = e.Attribute("name");
    if (e.name != "testsuite" || name == nullptr || !Count(e, "tests", suite.tests) ||
        !Count(e, "failures", suite.failures) || !Count(e, "skipped", suite.skipped) ||
        !Seconds(e.Attribute("time"), suite.seconds)) {
      return fail(e.line, "a <testsuite> without its name, whole counts and time");
    }
    suite.name = *name;
    for (const XmlElement& c : e.children) {
      suite.cases.emplace_back();
      if (!ReadCase(c, suite.cases.back())) {
        return fail(c.line, "a <testcase> without its name, or with more than one failure or skip");
      }
    }
    suites.push_back(std::move(suite));
  }
  return true;
}

}  // namespace host
