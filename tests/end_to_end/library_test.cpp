// The built driver library, loaded the way the host loads it and driven
// through the host's calling order against the stand-ins.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "run/driver_library.h"
#include "journals.h"
#include "message_boxes.h"
#include "run/record_builder.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

class LibraryTest : public testing_support::StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    std::string error;
    driver = host::DriverLibrary::Load(host::DefaultDriverPath(), error);
    ASSERT_TRUE(driver) << error;
    CountLeaksFromHere();
    testing_support::RecordMessageBoxesOf(driver->handle());
  }
  std::unique_ptr<host::DriverLibrary> driver;
};

TEST_F(LibraryTest, HostCallingOrderLeavesNothingAllocated) {
  const host::DriverEntryPoints& dcs = driver->entry();
  host::RecordBuilder builder;
  dcs.DCSInitialize();
  EXPECT_EQ(dcs.DCSLoad(builder.record()), 0);
  EXPECT_EQ(builder.record()->CtrlDefCnt, 3);
  EXPECT_STREQ(builder.record()->PVImportDef[2].Name, "FIELD");
  builder.AddPV({"N", "T", "F_CV", 1, 1.0});
  ASSERT_TRUE(builder.SetInitCycle(1));
  dcs.DCSConfigure(builder.record());
  EXPECT_EQ(dcs.DCSStart(builder.record()), 1);  // "Skip"
  EXPECT_EQ(dcs.DCSSimulate(builder.record()), 1);
  dcs.DCSStop();
  dcs.DCSTimeZero();
  dcs.DCSReset(builder.record());
  dcs.DCSDestroy(builder.record());
  EXPECT_EQ(builder.record()->GenData, nullptr);
  EXPECT_EQ(LeakedBlocks(), 0);
  EXPECT_EQ(PlinthMisuseCount(), 0U);
  EXPECT_EQ(FixdbLiveGroups(), 0U);
  EXPECT_TRUE(testing_support::MessageBoxes().empty());
}

TEST_F(LibraryTest, LoadFailureShowsItsMessageBoxFromTheLibrary) {
  host::RecordBuilder builder;
  PlinthFailAllocation(1, 0);
  EXPECT_EQ(driver->entry().DCSLoad(builder.record()), 0);
  PlinthFailAllocation(0, 0);
  EXPECT_EQ(testing_support::MessageBoxes(),
            std::vector<std::string>{"KVDCSAPI|Could not allocate DCSDataDef(Gen)"});
  driver->entry().DCSDestroy(builder.record());
  EXPECT_EQ(LeakedBlocks(), 0);
}

// Loading and unloading the driver, twice, returns the host's heap to its count
// before the load: whatever the library's runtime takes at attach it gives
// back at detach.
class LibraryLoadTest : public testing_support::StandinTest {};

TEST_F(LibraryLoadTest, LoadAndUnloadReturnTheHeapToItsCountBeforeTheLoad) {
  for (int load = 1; load <= 2; ++load) {
    const size_t before = PlinthLiveBlocks();
    std::string error;
    std::unique_ptr<host::DriverLibrary> driver = host::DriverLibrary::Load(host::DefaultDriverPath(), error);
    ASSERT_TRUE(driver) << error;
    driver.reset();
    EXPECT_EQ(PlinthLiveBlocks(), before) << "load " << load;
  }
  EXPECT_EQ(PlinthMisuseCount(), 0U);
}

TEST_F(LibraryTest, EntryPointsAcceptTheRecordPointerToo) {
  // With cdecl the caller cleans the stack: an extra argument is harmless.
  host::RecordBuilder builder;
  auto initialize = reinterpret_cast<void (*)(DCSDataDef*)>(driver->entry().DCSInitialize);
  auto stop = reinterpret_cast<void (*)(DCSDataDef*)>(driver->entry().DCSStop);
  auto timeZero = reinterpret_cast<void (*)(DCSDataDef*)>(driver->entry().DCSTimeZero);
  initialize(builder.record());
  stop(builder.record());
  timeZero(builder.record());
  EXPECT_EQ(FixdbJournalSize(), 0U);
}

#if defined(_WIN32)
std::string VersionString(const std::vector<char>& info, const char* key) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\040904E4\\") + key;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || value == nullptr) {
    return "(missing)";
  }
  return std::string(value);
}

TEST_F(LibraryTest, VersionResourceHoldsEveryEntry) {
  const std::string path = host::DefaultDriverPath();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0U);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
  EXPECT_EQ(VersionString(info, "FileDescription"), "DCS Driver DLL");
  EXPECT_EQ(VersionString(info, "Driver Build Number"), "2");
  for (const char* key : {"DCSDisplayName", "FileVersion", "ProductVersion", "Program Build Number",
                          "CompanyName", "ProductName", "OriginalFilename"}) {
    EXPECT_NE(VersionString(info, key), "(missing)") << key;
  }
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4U);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04E4);
}
#endif

}  // namespace
