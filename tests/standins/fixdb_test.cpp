// The simulated FIX database: deferred group semantics, point errors for
// unknown names, injected failures, and the journal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "journals.h"
#include "platform/fix_api.h"

namespace {

class FixdbTest : public testing_support::StandinTest {
 protected:
  int32_t ResolvedGroup(const std::vector<const char*>& fields) {
    const int32_t group = EdaCreateGroup(static_cast<int32_t>(fields.size()), 0);
    for (const char* field : fields) {
      EdaDefinePoint(group, "N", "T", field, 0);
    }
    EdaResolveGroup(group);
    EdaWaitGroup(group);
    return group;
  }
};

TEST_F(FixdbTest, GetsSeeTheLastCompletedRead) {
  FixdbSetFloat("N", "T", "F_CV", 1.0F);
  const int32_t group = ResolvedGroup({"F_CV"});
  float value = 0.0F;
  EXPECT_EQ(EdaGetFloat(group, 1, &value), FixdbNotRead);
  EdaReadGroup(group);
  EXPECT_EQ(EdaGetFloat(group, 1, &value), FixdbNotRead);  // not waited for yet
  EdaWaitGroup(group);
  EXPECT_EQ(EdaGetFloat(group, 1, &value), 0);
  EXPECT_EQ(value, 1.0F);
  FixdbSetFloat("N", "T", "F_CV", 2.0F);
  EXPECT_EQ(EdaGetFloat(group, 1, &value), 0);
  EXPECT_EQ(value, 1.0F);
}

TEST_F(FixdbTest, SetsReachTheDatabaseAtTheNextWrite) {
  FixdbSetFloat("N", "T", "F_CV", 1.0F);
  FixdbSetText("N", "T", "A_AUTO", "AUTO");
  const int32_t group = ResolvedGroup({"F_CV", "A_AUTO"});
  float value = 5.0F;
  EdaSetFloat(group, 1, &value);
  EdaSetAscii(group, 2, "MANL");
  float stored = 0.0F;
  FixdbGetFloat("N", "T", "F_CV", &stored);
  EXPECT_EQ(stored, 1.0F);
  EdaWriteGroup(group);
  EdaWaitGroup(group);
  FixdbGetFloat("N", "T", "F_CV", &stored);
  EXPECT_EQ(stored, 5.0F);
  EXPECT_STREQ(FixdbGetText("N", "T", "A_AUTO"), "MANL");
}

TEST_F(FixdbTest, UnknownNamesGivePointErrorsWithTexts) {
  FixdbSetFloat("N", "T", "F_CV", 1.0F);
  const int32_t group = EdaCreateGroup(4, 0);
  EdaDefinePoint(group, "X", "T", "F_CV", 0);
  EdaDefinePoint(group, "N", "X", "F_CV", 0);
  EdaDefinePoint(group, "N", "T", "F_XX", 0);
  EdaDefinePoint(group, "N", "T", "F_CV", 0);
  EXPECT_EQ(EdaDefinePoint(group, "N", "T", "F_CV", 0), -1);  // the group is full
  EXPECT_EQ(EdaPointError(group, 4), FixdbNotResolved);
  EdaResolveGroup(group);
  EdaWaitGroup(group);
  EXPECT_EQ(EdaPointError(group, 1), FixdbNodeNotFound);
  EXPECT_EQ(EdaPointError(group, 2), FixdbTagNotFound);
  EXPECT_EQ(EdaPointError(group, 3), FixdbFieldNotFound);
  EXPECT_EQ(EdaPointError(group, 4), 0);
  EXPECT_EQ(EdaPointError(group, 0), FixdbBadPoint);
  EXPECT_EQ(EdaPointError(99, 1), FixdbBadGroup);
  char text[256];
  EXPECT_EQ(FixErrorText(FixdbNodeNotFound, text, 256), FixErrorTextFound);
  EXPECT_STREQ(text, "Node not found");
  EXPECT_EQ(FixErrorText(4242, text, 256), 0);
}

TEST_F(FixdbTest, InjectionAnswersTheNthCallAndDoesNothingElse) {
  FixdbInject("EdaCreateGroup", 2, 0, 0);
  EXPECT_EQ(EdaCreateGroup(1, 0), 1);
  EXPECT_EQ(EdaCreateGroup(1, 0), 0);
  EXPECT_EQ(EdaCreateGroup(1, 0), 2);
  EXPECT_EQ(FixdbLiveGroups(), 2U);
  FixdbInject("FixRunningCheck", 1, 0, 1);
  EXPECT_EQ(FixRunningCheck(), 0);
  EXPECT_EQ(FixRunningCheck(), 0);
  FixdbReset();
  EXPECT_EQ(FixRunningCheck(), 1);
  FixdbSetRunning(0);
  EXPECT_EQ(FixRunningCheck(), 0);
}

TEST_F(FixdbTest, JournalRecordsEveryCallWithItsArgumentsAndResult) {
  FixdbSetFloat("N", "T", "F_CV", 50.0F);
  const int32_t group = ResolvedGroup({"F_CV"});
  EdaReadGroup(group);
  EdaWaitGroup(group);
  float value = 0.0F;
  EdaGetFloat(group, 1, &value);
  EdaDeleteGroup(group);
  EXPECT_EQ(testing_support::FixJournal(),
            (std::vector<std::string>{"EdaCreateGroup(1,0)=1",
                                      "EdaDefinePoint(1,\"N\",\"T\",\"F_CV\",0)=1",
                                      "EdaResolveGroup(1)=0", "EdaWaitGroup(1)=0",
                                      "EdaReadGroup(1)=0", "EdaWaitGroup(1)=0",
                                      "EdaGetFloat(1,1)=0:50", "EdaDeleteGroup(1)=0"}));
  EXPECT_EQ(FixdbLiveGroups(), 0U);
  EXPECT_EQ(FixdbGroupOperations(), 2U);
}

}  // namespace
