// results.json read with nlohmann/json's SAX parser: no document is built
// and no exception is thrown; the first fault stops it with its byte offset.
// Its records are kept as they are read, and written by one writer.
#include "report/results_json.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "report/markup.h"

namespace host {
namespace {

using Json = nlohmann::json;

// Accepts [ {"key": "text", ...}, ... ] and nothing else; the first fault
// is kept with the offset where it was seen.
class ResultsShape {
 public:
  ResultsShape(std::string& fault, std::vector<ResultRecord>& kept) : fault_(fault), kept_(kept) {}
  size_t at = 0;  // the offset of a fault of syntax
  bool syntax = false;

  bool null() { return Fault("a null where a text belongs"); }
  bool boolean(bool) { return Fault("true or false where a text belongs"); }
  bool number_integer(Json::number_integer_t) { return Fault("a number where a text belongs"); }
  bool number_unsigned(Json::number_unsigned_t) { return Fault("a number where a text belongs"); }
  bool number_float(Json::number_float_t, const Json::string_t&) { return Fault("a number where a text belongs"); }
  size_t records = 0;  // the records begun, the faulty one last

  bool string(Json::string_t& text) {
    if (depth_ != 2) {
      return Fault("a text outside a record");
    }
    kept_.back().back().second = text;
    return true;
  }
  bool binary(Json::binary_t&) { return Fault("binary data"); }
  bool start_object(std::size_t) {
    records += depth_ == 1 ? 1 : 0;
    if (depth_ == 1) {
      kept_.emplace_back();
    }
    return ++depth_ == 2 || Fault("an object inside a record");
  }
  bool key(Json::string_t& name) {
    kept_.back().emplace_back(name, std::string());
    return true;
  }
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
  std::vector<ResultRecord>& kept_;
  int depth_ = 0;
};

// A JSON string: quotes and backslashes escaped, and a control character or
// a byte that is not UTF-8 (a name in a Windows code page) as \u00XX, so
// that the file is always JSON that reads back.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c >= 0x80 ? Utf8At(text, i).second : 1;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += text[i];
    } else if (c < 0x20 || length == 0) {
      char escaped[8];
      (void)std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out.append(text, i, length);
    }
    i += length == 0 ? 1 : length;
  }
  return out + "\"";
}

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
  std::vector<ResultRecord> records;
  return ReadResultsJson(file, text, records, error);
}

std::string ResultsJsonText(const std::vector<ResultRecord>& records) {
  std::string json = "[";
  for (size_t k = 0; k < records.size(); ++k) {
    json += k == 0 ? "\n  {" : ",\n  {";
    for (size_t f = 0; f < records[k].size(); ++f) {
      json += (f == 0 ? "" : ", ") + Quoted(records[k][f].first) + ": " + Quoted(records[k][f].second);
    }
    json += "}";
  }
  return json + "\n]\n";
}

bool ReadResultsJson(const std::string& file, const std::string& text, std::vector<ResultRecord>& records,
                     std::string& error) {
  records.clear();
  std::string fault;
  ResultsShape shape(fault, records);
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
