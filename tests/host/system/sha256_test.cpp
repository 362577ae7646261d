// SHA-256 against the standard's test vectors: the empty message, one block,
// a message that needs a second block for its length, and a million bytes
// read from a file in pieces.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "system/sha256.h"

namespace {

TEST(Sha256, TheStandardsVectors) {
  struct Row {
    std::string text;
    const char* digest;
  };
  const Row rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      // 55, 56 and 64 bytes: the length fits the last block, just does not, and a whole block
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(host::Sha256Hex(row.text), row.digest) << row.text.size() << " bytes";
  }
}

TEST(Sha256, AFileOfAMillionBytesReadInPieces) {
  const std::string path = testing::TempDir() + "sha256-million.bin";
  std::ofstream(path, std::ios::binary) << std::string(1000000, 'a');
  std::string hex, error;
  ASSERT_TRUE(host::Sha256File(path, hex, error)) << error;
  EXPECT_EQ(hex, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_FALSE(host::Sha256File(path + ".missing", hex, error));
  EXPECT_EQ(error.rfind(path + ".missing: cannot read", 0), 0U);
}

}  // namespace
