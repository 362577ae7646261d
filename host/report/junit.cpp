// The JUnit XML report: one <testsuite> per suite inside <testsuites>, whose
// counts and times are the suites' added up. It writes what it is handed;
// nothing here judges a test.
#include "report/junit.h"

#include <sstream>

#include "system/output_file.h"

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

}  // namespace host
