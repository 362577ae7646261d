// results.json checked with nlohmann/json's SAX parser: no document is built
// and no exception is thrown; the first fault stops it with its byte offset.
#include "report/results_json.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace host {
namespace {

using Json = nlohmann::json;

// Accepts [ {"key": "text", ...}, ... ] and nothing else; the first fault
// is kept with the offset where it was seen.
class ResultsShape {
 public:
  explicit ResultsShape(std::string& fault) : fault_(fault) {}
  size_t at = 0;        // the offset of a fault of syntax
  bool syntax = false;

  bool null() { return Fault("a null where a text belongs"); }
  bool boolean(bool) { return Fault("true or false where a text belongs"); }
  bool number_integer(Json::number_integer_t) { return Fault("a number where a text belongs"); }
  bool number_unsigned(Json::number_unsigned_t) { return Fault("a number where a text belongs"); }
  bool number_float(Json::number_float_t, const Json::string_t&) { return Fault("a number where a text belongs"); }
  size_t records = 0;  // the records begun, the faulty one last

  bool string(Json::string_t&) { return depth_ == 2 || Fault("a text outside a record"); }
  bool binary(Json::binary_t&) { return Fault("binary data"); }
  bool start_object(std::size_t) {
    records += depth_ == 1 ? 1 : 0;
    return ++depth_ == 2 || Fault("an object inside a record");
  }
  bool key(Json::string_t&) { return true; }
  bool end_object() {
    --depth_;
    return true;
  }
  bool start_array(std::size_t) { return ++depth_ == 1 || Fault("a list inside a record"); }
  bool end_array() {
    --depth_;
    return true;
  }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
    at = position;
    syntax = true;
    fault_ = e.what();
    const size_t colon = fault_.rfind(": ");  // "[json.exception.parse_error.101] parse error at line 1, ...: WHAT"
    fault_ = colon == std::string::npos ? fault_ : fault_.substr(colon + 2);
    return false;
  }

 private:
  bool Fault(const char* what) {
    fault_ = what;
    return false;
  }
  std::string& fault_;
  int depth_ = 0;
};

// The offset of the n-th object at the top of the array (1-based); 0 for none.
size_t RecordStart(const std::string& text, size_t n) {
  int depth = 0;
  bool quoted = false;
  for (size_t i = 0; i < text.size() && n > 0; ++i) {
    const char c = text[i];
    if (quoted) {
      i += c == '\\' ? 1 : 0;
      quoted = c != '"';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '{' || c == '[') {
      if (c == '{' && depth == 1 && --n == 0) {
        return i;
      }
      ++depth;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return 0;
}

}  // namespace

bool CheckResultsJson(const std::string& file, const std::string& text, std::string& error) {
  std::string fault;
  ResultsShape shape(fault);
  const size_t before = text.find_first_not_of(" \t\r\n");
  if (before == std::string::npos || text[before] != '[') {
    fault = "not a list of records";
  } else if (Json::sax_parse(text, &shape)) {
    return true;
  }
  // A fault of shape is placed at the start of its record (or of the file).
  const size_t at = std::min(shape.syntax ? shape.at : RecordStart(text, shape.records), text.size());
  const long line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
  error = file + ":" + std::to_string(line) + ": not the results dcshost writes (" + fault + ")";
  return false;
}

}  // namespace host
