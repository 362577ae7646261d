// Block behaviour of the simulated database: the PID's two mode views, its
// output protected in AUTO, and its computation at each scan.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "journals.h"
#include "platform/fix_api.h"

namespace {

class BlocksTest : public testing_support::StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    const std::string path = testing::TempDir() + "blocks-db.csv";
    std::ofstream(path) << "NODE,TAG,TYPE,VALUES\n"
                           "N,LT1,AI,F_CV=1.0\n"
                           "N,LIC1,PID,F_CV=50;F_TV1=2.0;A_AUTO=MANL;F_KP=10;F_TI=0;INPUT=LT1\n";
    char error[256] = "";
    ASSERT_EQ(FixdbLoadFile(path.c_str(), error, sizeof error), 1) << error;
  }
  float Value(const char* tag, const char* field) {
    float value = -1.0F;
    FixdbGetFloat("N", tag, field, &value);
    return value;
  }
  // Writes a value to LIC1.F_CV through a group, as the driver does; the
  // point's error code afterwards.
  int16_t WriteOutput(float value) {
    const int32_t group = EdaCreateGroup(1, 0);
    EdaDefinePoint(group, "N", "LIC1", "F_CV", 0);
    EdaResolveGroup(group);
    EdaWaitGroup(group);
    EdaSetFloat(group, 1, &value);
    EdaWriteGroup(group);
    EdaWaitGroup(group);
    const int16_t error = EdaPointError(group, 1);
    EdaDeleteGroup(group);
    return error;
  }
};

TEST_F(BlocksTest, ModeTextAndModeFloatAreOneMode) {
  EXPECT_EQ(Value("LIC1", "F_AUTO"), 0.0F);
  FixdbSetText("N", "LIC1", "A_AUTO", "AUTO");
  EXPECT_EQ(Value("LIC1", "F_AUTO"), 1.0F);
  FixdbSetFloat("N", "LIC1", "F_AUTO", 0.0F);
  EXPECT_STREQ(FixdbGetText("N", "LIC1", "A_AUTO"), "MANL");
}

TEST_F(BlocksTest, OutputIsProtectedInAutoOnly) {
  EXPECT_EQ(WriteOutput(30.0F), 0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 30.0F);
  FixdbSetText("N", "LIC1", "A_AUTO", "AUTO");
  EXPECT_EQ(WriteOutput(70.0F), FixdbOutputProtected);
  EXPECT_EQ(Value("LIC1", "F_CV"), 30.0F);
}

TEST_F(BlocksTest, PidComputesOnlyInAutoAndStartsWithoutABump) {
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 50.0F);  // manual: untouched
  FixdbSetText("N", "LIC1", "A_AUTO", "AUTO");
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 50.0F);  // the error has not changed since AUTO began
  FixdbSetFloat("N", "LT1", "F_CV", 1.5F);  // the level rises towards its target
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 45.0F);  // 10 % per unit of error, proportional only
  FixdbSetFloat("N", "LT1", "F_CV", -20.0F);
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 100.0F);  // clamped
}

}  // namespace
