// Replays a fuzzer's inputs as an ordinary test: every file of the
// given folders (or the given files) runs once through the same harness the
// fuzzer uses. A finding aborts the program, so a clean exit means every
// input ran without crash, report or leftover.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "message_boxes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> Inputs(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) {
          files.push_back(entry.path());
        }
      }
    } else {
      files.push_back(path);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  testing_support::RecordMessageBoxesOf(nullptr);  // Windows: no real box appears
  const std::vector<std::filesystem::path> files = Inputs(argc, argv);
  if (files.empty()) {
    std::fprintf(stderr, "corpus_replay: no inputs given or found\n");
    return 1;
  }
  for (const std::filesystem::path& file : files) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
      std::fprintf(stderr, "corpus_replay: cannot read %s\n", file.string().c_str());
      return 1;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    (void)LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("corpus_replay: %zu inputs ran clean\n", files.size());
  return 0;
}
