// The zip reader against archives the test writes byte by byte: stored,
// deflated and folder entries unpacked into a private folder that goes when
// its owner does, and each kind of bad or hostile archive refused by name.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "system/inflate.h"
#include "system/temp_folder.h"
#include "system/zip_archive.h"
#include "system/zip_writer.h"

namespace {

using zip_writer::Entry;
using zip_writer::Plain;
using zip_writer::Zip;

class ZipArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    folder_ = host::TempFolder::Make("zip-test-", error);
    ASSERT_TRUE(folder_) << error;
  }
  std::string Write(const std::string& bytes) const {
    const std::string path = folder_->path() + "/test.zip";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::unique_ptr<host::TempFolder> folder_;
};

TEST_F(ZipArchiveTest, StoredDeflatedAndFolderEntriesUnpack) {
  host::ZipArchive zip;
  std::string error;
  ASSERT_TRUE(zip.Open(Write(Zip({{"modelDescription.xml", "<fmiModelDescription/>"},
                                  {"binaries/", ""},
                                  {"binaries/linux64/tank.txt", Plain, 8}})),
                       error))
      << error;
  ASSERT_EQ(zip.Entries().size(), 3U);
  ASSERT_NE(zip.Find("binaries/linux64/tank.txt"), nullptr);
  EXPECT_EQ(zip.Find("tank.txt"), nullptr);
  std::vector<unsigned char> bytes;
  ASSERT_TRUE(zip.Read(*zip.Find("binaries/linux64/tank.txt"), bytes, error)) << error;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Plain);
  const std::string into = folder_->path() + "/unpacked";
  std::filesystem::create_directory(into);
  ASSERT_TRUE(zip.Extract(into, error)) << error;
  std::ifstream unpacked(into + "/binaries/linux64/tank.txt", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(unpacked)), std::istreambuf_iterator<char>()), Plain);
  EXPECT_TRUE(std::filesystem::is_directory(into + "/binaries"));
}

TEST_F(ZipArchiveTest, BadAndHostileArchivesAreRefusedByName) {
  // Writes `value` over `bytes` bytes at `at` of an end record, or of a whole file.
  const auto field = [](size_t at, uint32_t value, size_t bytes) {
    return [=](std::string& record) {
      for (size_t i = 0; i < bytes; ++i) {
        record[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
      }
    };
  };
  std::vector<Entry> many(host::MaxZipEntries + 1);
  for (size_t i = 0; i < many.size(); ++i) {
    many[i].name = "f" + std::to_string(i);
  }
  const std::string good = Zip({{"a.txt", Plain, 8}});
  struct Row {
    const char* what;
    std::string bytes;
    const char* message;
  };
  const Row rows[] = {
      {"empty", "", "not a zip file (too short)"},
      {"text", std::string(100, 'x'), "not a zip file (no end of central directory)"},
      {"cut short", good.substr(0, good.size() / 2), "not a zip file"},
      {"directory beyond the end", Zip({{"a", "x"}}, field(16, 5000, 4)), "cut short"},
      {"directory stated 4 GiB long", Zip({{"a", "x"}}, field(12, 0xFFFFFFFE, 4)), "cut short"},
      {"split over disks", Zip({{"a", "x"}}, field(4, 1, 2)), "several disks"},
      {"zip64", Zip({{"a", "x"}}, field(12, 0xFFFFFFFF, 4)), "zip64"},
      {"climbs out", Zip({{"../evil.so", "x"}}), "entry '../evil.so' has a name that would leave"},
      {"climbs out deeper", Zip({{"binaries/../../evil", "x"}}), "would leave"},
      {"absolute", Zip({{"/etc/evil", "x"}}), "would leave"},
      {"backslashes", Zip({{"binaries\\..\\..\\evil", "x"}}), "would leave"},
      {"a drive", Zip({{"C:evil", "x"}}), "would leave"},
      {"encrypted", Zip({{"a", "x", 0, 1}}), "is encrypted"},
      {"bzip2", Zip({{"a", "x", 12}}), "compressed by method 12"},
      {"a name twice", Zip({{"a", "x"}, {"a", "y"}}), "entry 'a' is named twice"},
      {"a name twice, spelled two ways", Zip({{"a/b", "x"}, {".//a/./b", "y"}}), "entry './/a/./b' is named twice"},
      {"a name twice, in two cases", Zip({{"Model.so", "x"}, {"model.so", "y"}}), "entry 'model.so' is named twice"},
      {"too many entries", Zip(many), "holds 10001 entries, more than the 10000"},
      {"beyond 1 GiB", Zip({{"a", Plain, 8, 0, 600000000}, {"b", Plain, 8, 0, 600000000}}), "beyond 1 GiB"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    host::ZipArchive zip;
    std::string error;
    EXPECT_FALSE(zip.Open(Write(row.bytes), error));
    EXPECT_NE(error.find(row.message), std::string::npos) << error;
  }
#if !defined(_WIN32)
  // A pipe in the FMU's place is refused, never read (the read would wait forever).
  const std::string fifo = Write("") + ".fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  host::ZipArchive piped;
  std::string refused;
  EXPECT_FALSE(piped.Open(fifo, refused));
  EXPECT_NE(refused.find("not a regular file"), std::string::npos) << refused;
  std::remove(fifo.c_str());
#endif
  // Damage found when an entry is read: its CRC, its size, its local header.
  struct Damaged {
    const char* what;
    std::string bytes;
    const char* message;
  };
  std::string noLocal = good;
  noLocal[0] = 'X';
  // A deflated entry whose directory states nearly 4 GiB of packed data.
  std::string hugePacked = good;
  field(good.find("PK\1\2") + 20, 0xFFFFFFFE, 4)(hugePacked);
  const Damaged damaged[] = {
      {"wrong CRC", Zip({{"a", Plain, 8, 0, 0xFFFFFFFF, 1234}}), "damaged (its size or CRC-32"},
      {"wrong size", Zip({{"a", Plain, 8, 0, 10}}), "inflates beyond 10 bytes"},
      {"no local header", noLocal, "local header is missing"},
      {"packed size beyond the file", hugePacked, "cut short (its data lies beyond the file's end)"},
  };
  for (const Damaged& row : damaged) {
    SCOPED_TRACE(row.what);
    host::ZipArchive zip;
    std::string error;
    ASSERT_TRUE(zip.Open(Write(row.bytes), error)) << error;
    std::vector<unsigned char> bytes;
    EXPECT_FALSE(zip.Read(zip.Entries()[0], bytes, error));
    EXPECT_NE(error.find(row.message), std::string::npos) << error;
    EXPECT_FALSE(zip.Extract(folder_->path(), error));
  }
}

TEST(TempFolder, IsFreshAndGoesWithItsOwner) {
  std::string error, path;
  {
    const auto a = host::TempFolder::Make("dcshost-test-", error);
    const auto b = host::TempFolder::Make("dcshost-test-", error);
    ASSERT_TRUE(a && b) << error;
    EXPECT_NE(a->path(), b->path());
    path = a->path();
    std::filesystem::create_directories(path + "/binaries/win32");
    std::ofstream(path + "/binaries/win32/x.dll") << "x";
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  // One a process now gone left behind goes when the next of its prefix is
  // made; a live one's, and others', stay.
  const auto base = host::TempFolder::Make("dcshost-test-base-", error);
  ASSERT_TRUE(base) << error;
  const host::TempFolderForChildren inside(base->path());
  const std::vector<std::pair<std::string, bool>> rows = {
      {"dcshost-fmu-999999999-left", false},  // no process has that id
      {"dcshost-fmu-" + std::to_string(
#if defined(_WIN32)
                            GetCurrentProcessId()
#else
                            getppid()
#endif
                                ) + "-alive",
       true},  // a live process's
      {"dcshost-fmu-x-other", true},          // not a name the prefix makes
      {"dcshost-fmux-999999999-other", true},
  };
  for (const auto& row : rows) {
    std::filesystem::create_directories(base->path() + "/" + row.first + "/binaries");
  }
  const auto fresh = host::TempFolder::Make("dcshost-fmu-", error);
  ASSERT_TRUE(fresh) << error;
  for (const auto& row : rows) {
    EXPECT_EQ(std::filesystem::exists(base->path() + "/" + row.first), row.second) << row.first;
  }
}

}  // namespace
