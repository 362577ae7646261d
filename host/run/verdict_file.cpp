// The verdict file: a header, one line per verdict ("PASS", "FAIL" or
// "WAIVED", a tab, the text with tab, line break and backslash escaped) and
// "END" with the exit status, last.
#include "run/verdict_file.h"

#include <fstream>
#include <iterator>

#include "system/output_file.h"
#include "system/paths.h"

namespace host {
namespace {

const char Header[] = "dcshost verdicts 1";
const char* const Kinds[] = {"PASS", "FAIL", "WAIVED"};

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
  }
  return out;
}

bool Unescaped(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    const char next = ++i < text.size() ? text[i] : '\0';
    if (next != '\\' && next != 't' && next != 'n' && next != 'r') {
      return false;
    }
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
  }
  return true;
}

}  // namespace

std::vector<RecordedVerdict> Recorded(const std::vector<Verdict>& verdicts) {
  std::vector<RecordedVerdict> recorded;
  for (const Verdict& v : verdicts) {
    const bool known = !v.passed && !v.waived.empty();
    RecordedVerdict r;
    r.kind = v.passed ? RecordedVerdict::Kind::Passed
             : known  ? RecordedVerdict::Kind::Waived
                      : RecordedVerdict::Kind::Failed;
    r.text = v.description + ": " + v.measured + (known ? " [waived: " + v.waived + "]" : std::string());
    recorded.push_back(r);
  }
  return recorded;
}

bool WriteVerdictFile(const std::string& path, const VerdictFile& file, std::string& error) {
  std::string text = std::string(Header) + "\n";
  for (const RecordedVerdict& v : file.verdicts) {
    text += std::string(Kinds[static_cast<int>(v.kind)]) + "\t" + Escaped(v.text) + "\n";
  }
  text += "END\t" + std::to_string(file.status) + "\n";
  return WriteWholeFile(path, "the verdicts", text, error);
}

bool ReadVerdictFile(const std::string& path, VerdictFile& file, std::string& error) {
  std::ifstream in(PathOf(path), std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line) || line != Header) {
    error = "no verdict file";
    return false;
  }
  file = VerdictFile();
  bool ended = false;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    const std::string kind = line.substr(0, tab);
    const std::string rest = tab == std::string::npos ? std::string() : line.substr(tab + 1);
    if (ended || tab == std::string::npos) {
      error = "a damaged verdict file";
      return false;
    }
    if (kind == "END") {
      const bool number =
          !rest.empty() && rest.size() <= 4 && rest.find_first_not_of("0123456789") == std::string::npos;
      file.status = number ? std::stoi(rest) : -1;
      ended = number;
      if (!number) {
        error = "a damaged verdict file";
        return false;
      }
      continue;
    }
    RecordedVerdict v;
    size_t k = 0;
    while (k < 3 && kind != Kinds[k]) {
      ++k;
    }
    if (k == 3 || !Unescaped(rest, v.text)) {
      error = "a damaged verdict file";
      return false;
    }
    v.kind = static_cast<RecordedVerdict::Kind>(k);
    file.verdicts.push_back(v);
  }
  if (!ended) {
    error = "a verdict file without its end";
  }
  return ended;
}

}  // namespace host
