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
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string name(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), name.data(), length, nullptr, nullptr);
  return name;
}

#else

std::filesystem::path PathOf(const std::string& name) { return std::filesystem::path(name); }

std::string GenericName(const std::filesystem::path& path) { return path.generic_string(); }

#endif

}  // namespace host
