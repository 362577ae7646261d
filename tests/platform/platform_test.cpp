// The platform layer: texts from FIX are terminated before use, reports reach
// the host's message service with their arguments, message boxes have no
// owner and an OK button, and math errors reach the host's hook.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "journals.h"
#include "message_boxes.h"
#include "platform/fix.h"
#include "platform/host.h"
#include "platform/host_services_api.h"
#include "platform/math_error.h"

namespace {

using testing_support::Messages;

class PlatformTest : public testing_support::StandinTest {};

TEST_F(PlatformTest, ErrorTextIsTerminatedWhateverFixWrote) {
  char buffer[dcs::platform::ErrorTextLength];
  FixdbSetUnterminatedTexts(1);
  EXPECT_TRUE(dcs::platform::ErrorText(FixdbTagNotFound, buffer));
  EXPECT_EQ(std::strlen(buffer), 255U);
  FixdbSetUnterminatedTexts(0);
  EXPECT_TRUE(dcs::platform::ErrorText(FixdbTagNotFound, buffer));
  EXPECT_STREQ(buffer, "Tag not found in the process database");
  EXPECT_FALSE(dcs::platform::ErrorText(-7, buffer));
}

TEST_F(PlatformTest, AsciiValueIsTerminatedWhateverFixWrote) {
  FixdbSetText("N", "T", "A_AUTO", "AUTO");
  const int32_t group = dcs::platform::CreateGroup(1);
  const int32_t point = dcs::platform::DefinePoint(group, "N", "T", "A_AUTO");
  dcs::platform::ResolveGroup(group);
  dcs::platform::WaitGroup(group);
  dcs::platform::ReadGroup(group);
  dcs::platform::WaitGroup(group);
  char text[dcs::platform::AsciiValueLength];
  FixdbSetUnterminatedTexts(1);
  EXPECT_EQ(dcs::platform::GetAscii(group, point, text), 0);
  EXPECT_EQ(std::strlen(text), 9U);
  FixdbSetUnterminatedTexts(0);
  EXPECT_EQ(dcs::platform::GetAscii(group, point, text), 0);
  EXPECT_STREQ(text, "AUTO");
  dcs::platform::DeleteGroup(group);
}

TEST_F(PlatformTest, FixCallsCarryTheReservedZeros) {
  const int32_t group = dcs::platform::CreateGroup(2);
  dcs::platform::DefinePoint(group, "N", "T", "F_CV");
  EXPECT_EQ(testing_support::FixJournal(),
            (std::vector<std::string>{"EdaCreateGroup(2,0)=1", "EdaDefinePoint(1,\"N\",\"T\",\"F_CV\",0)=1"}));
  dcs::platform::DeleteGroup(group);
}

TEST_F(PlatformTest, ReportsCarryTheirArguments) {
  dcs::platform::Report("DCSAppNotRunning");
  dcs::platform::ReportLabel("DCSMemAllocError", "FIX PVGroupHandle");
  dcs::platform::ReportPointText("DCSPVVendorMsg", "Tag not found", 3);
  dcs::platform::Report("DCSPVVendorCode", -12, 0);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"DCSAppNotRunning",
                                                  "DCSMemAllocError(\"FIX PVGroupHandle\")",
                                                  "DCSPVVendorMsg(\"Tag not found\",3)",
                                                  "DCSPVVendorCode(-12,0)"}));
  EXPECT_EQ(PlinthLiveTexts(), 0);
}

TEST_F(PlatformTest, MessageBoxHasNoOwnerAndAnOkButton) {
  testing_support::RecordMessageBoxesOf(nullptr);
  dcs::platform::ShowMessageBox("KVDCSAPI", "text");
  ASSERT_EQ(User32MessageBoxCount(), 1U);
  EXPECT_STREQ(User32MessageBoxCaption(0), "KVDCSAPI");
  EXPECT_STREQ(User32MessageBoxText(0), "text");
  EXPECT_EQ(User32MessageBoxOwnerless(0), 1);
  EXPECT_EQ(User32MessageBoxType(0), 0U);
}

TEST_F(PlatformTest, MathErrorsReachTheHostWithTheModuleName) {
  char name[] = "log";
  struct _exception record = {};
  record.type = 1;
  record.name = name;
  record.arg1 = -1.0;
  PlinthSetMathErrorResult(1);
  EXPECT_EQ(dcs::platform::MathErrorHook(&record), 1);
  EXPECT_STREQ(PlinthLastMathError(), "fixdcs|log|1|-1");
  PlinthSetMathErrorResult(0);
}

TEST_F(PlatformTest, HostHeapPairsItsFunctions) {
  void* object = dcs::platform::HostNew(24);
  void* text = dcs::platform::HostMalloc(64);
  EXPECT_EQ(PlinthLiveBlocksFrom("new"), 1U);
  EXPECT_EQ(PlinthLiveBlocksFrom("malloc"), 1U);
  dcs::platform::HostDelete(object);
  dcs::platform::HostFree(text);
  dcs::platform::HostFree(nullptr);
  dcs::platform::HostDelete(nullptr);
  EXPECT_EQ(LeakedBlocks(), 0);
  EXPECT_EQ(PlinthMisuseCount(), 0U);
}

}  // namespace
