// The host services stand-in: heap accounting, failure injection, misuse
// refused rather than crashed on, and the message catalog.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "journals.h"
#include "platform/host_services_api.h"

namespace {

class PlinthTest : public testing_support::StandinTest {};

TEST_F(PlinthTest, TracksEveryBlockWithItsAllocator) {
  void* a = Plinth_malloc(10);
  void* b = Plinth_new(20);
  char* c = Plinth_strdup("abc");
  void* d = Plinth_calloc(4, 4);
  EXPECT_EQ(LeakedBlocks(), 4);
  EXPECT_EQ(PlinthLiveBlocksFrom("new"), 1U);
  EXPECT_EQ(Plinth__msize(d), 16U);
  EXPECT_EQ(static_cast<unsigned char*>(d)[15], 0);
  d = Plinth_realloc(d, 32);
  EXPECT_EQ(Plinth__msize(d), 32U);
  Plinth_free(a);
  Plinth_delete(b);
  Plinth_free(c);
  Plinth_free(d);
  EXPECT_EQ(LeakedBlocks(), 0);
  EXPECT_EQ(PlinthMisuseCount(), 0U);
}

TEST_F(PlinthTest, FailsTheNthAllocationOnceOrFromThenOn) {
  PlinthFailAllocation(2, 0);
  void* first = Plinth_new(1);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(Plinth_malloc(1), nullptr);
  void* third = Plinth_malloc(1);
  EXPECT_NE(third, nullptr);
  PlinthFailAllocation(1, 1);
  EXPECT_EQ(Plinth_new(1), nullptr);
  EXPECT_EQ(Plinth_strdup("x"), nullptr);
  PlinthFailAllocation(0, 0);
  Plinth_delete(first);
  Plinth_free(third);
  EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(PlinthTest, RefusesAndRecordsAFreeThroughTheWrongFunction) {
  const size_t misuse = PlinthMisuseCount();
  void* object = Plinth_new(8);
  Plinth_free(object);
  EXPECT_EQ(PlinthMisuseCount(), misuse + 1);
  EXPECT_STREQ(PlinthMisuse(misuse), "free of a block from new");
  int local = 0;
  Plinth_delete(&local);
  EXPECT_EQ(PlinthMisuseCount(), misuse + 2);
  Plinth_delete(object);
  EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(PlinthTest, EveryKeyTheDriverUsesHasACatalogText) {
  const char* const keys[] = {
      "DCSAppNotRunning", "DCSMemAllocError", "DCSCtrlTagFieldError", "DCSPVTagFieldError",
      "DCSPVImportTagFieldError", "DCSCtrlVendorMsg", "DCSCtrlVendorCode", "DCSPVVendorMsg",
      "DCSPVVendorCode", "DCSPVImportVendorMsg", "DCSPVImportVendorCode",
      "FIX_PVIMPORT_MAX_EXCEEDED", "FIX_CTRL_MAX_EXCEEDED", "FIX_PV_MAX_EXCEEDED"};
  for (const char* key : keys) {
    EXPECT_NE(PlinthCatalogText(key), nullptr) << key;
  }
  EXPECT_EQ(PlinthCatalogText("NoSuchKey"), nullptr);
}

TEST_F(PlinthTest, ErrorMsgDecodesArgumentsIntoTheText) {
  ErrorMsg("DCSPVVendorMsg", "Tag not found", 7);
  ErrorMsg("DCSCtrlVendorCode", -5, 0);
  ErrorMsg("SomethingElse", 1);
  ASSERT_EQ(PlinthMessageCount(), 3U);
  EXPECT_STREQ(PlinthMessageText(0), "PV row 7: FIX reports: Tag not found");
  EXPECT_STREQ(PlinthMessageArgs(1), "-5,0");
  EXPECT_STREQ(PlinthMessageText(2), "unknown message key SomethingElse");
}

TEST_F(PlinthTest, TextCopiesAndCounts) {
  {
    Text empty;
    Text word("word");
    EXPECT_STREQ(empty.c_str(), "");
    empty = word;
    EXPECT_STREQ(empty.c_str(), "word");
    EXPECT_NE(empty.c_str(), word.c_str());
    EXPECT_EQ(PlinthLiveTexts(), 2);
  }
  EXPECT_EQ(PlinthLiveTexts(), 0);
}

}  // namespace
