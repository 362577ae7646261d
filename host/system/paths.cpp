// Narrow file names to paths and back, through the system's code page on Windows.
#include "system/paths.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace host {

#if defined(_WIN32)

std::filesystem::path PathOf(const std::string& name) {
  const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), length);
  return std::filesystem::path(wide);
}

std::string GenericName(const std::filesystem::path& path) {
  const std::wstring wide = path.generic_wstring();
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string name(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), name.data(), length, nullptr, nullptr);
  return name;
}

#else

std::filesystem::path PathOf(const std::string& name) { return std::filesystem::path(name); }

std::string GenericName(const std::filesystem::path& path) { return path.generic_string(); }

#endif

void AppendPercentEncoded(std::string& out, unsigned char byte) {
  static const char Hex[] = "0123456789ABCDEF";
  out += '%';
  out += Hex[byte >> 4];
  out += Hex[byte & 15];
}

std::string NameAsLine(const std::string& name) {
  std::string line;
  for (const char ch : name) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte == 0x7F || ch == '%') {
      AppendPercentEncoded(line, byte);
    } else {
      line += ch;
    }
  }
  return line;
}

bool NameFromLine(const std::string& line, std::string& name) {
  const auto digit = [](char ch) {
    return ch >= '0' && ch <= '9'   ? ch - '0'
           : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
           : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                    : -1;
  };
  name.clear();
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '%') {
      name += line[i];
      continue;
    }
    const int high = i + 2 < line.size() ? digit(line[i + 1]) : -1;
    const int low = i + 2 < line.size() ? digit(line[i + 2]) : -1;
    if (high < 0 || low < 0) {
      return false;
    }
    name += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

}  // namespace host
