// Block behaviour of the simulated database: the PID's two mode views, its
// output protected in AUTO, its computation at each scan within its limits and
// in its action, its shedding to MANL on a bad input, and its tunings checked.
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
  // Writes a float (text null) or a text to a field of LIC1 through a group,
  // as the driver does; the point's error code afterwards.
  int16_t WritePoint(const char* field, float value, const char* text) {
    const int32_t group = EdaCreateGroup(1, 0);
    EdaDefinePoint(group, "N", "LIC1", field, 0);
    EdaResolveGroup(group);
    EdaWaitGroup(group);
    if (text == nullptr) {
      EdaSetFloat(group, 1, &value);
    } else {
      EdaSetAscii(group, 1, text);
    }
    EdaWriteGroup(group);
    EdaWaitGroup(group);
    const int16_t error = EdaPointError(group, 1);
    EdaDeleteGroup(group);
    return error;
  }
  int16_t WriteOutput(float value) { return WritePoint("F_CV", value, nullptr); }
  // Loads LT1 and LIC1 (output 50, target 2, MANL, the gain given) with more
  // of LIC1's fields; 1 when loaded, else the message in error_.
  int LoadPid(const std::string& fields, const std::string& gain = "10") {
    const std::string text = "NODE,TAG,TYPE,VALUES\nN,LT1,AI,F_CV=1.0\n"
                             "N,LIC1,PID,F_CV=50;F_TV1=2.0;A_AUTO=MANL;F_KP=" + gain + ";INPUT=LT1" + fields + "\n";
    error_[0] = '\0';
    return FixdbLoadText(text.c_str(), "db.csv", error_, sizeof error_);
  }
  char error_[256] = "";
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

enum class Fault { None, FailedTransmitter, NodeDown };

// Each row loads LIC1 with its fields, puts it in AUTO at input 1.0 (output
// 50, no bump), moves the input and scans; a fault then makes the input bad
// while it moves far off, one scan runs, the fault clears and one more runs.
struct ScanRow {
  const char* behaviour;
  const char* fields;
  float input;
  int scans;
  Fault fault;
  float output;
  const char* mode;
};

const ScanRow ScanRows[] = {
    {"reverse action by default: output rises while the input is below target", ";F_TI=0", 0.5F, 1, Fault::None,
     55.0F, "AUTO"},
    {"direct action: output falls while the input is below target", ";F_TI=0;A_ACTION=DIRECT", 0.5F, 1, Fault::None,
     45.0F, "AUTO"},
    {"high limit clamps the output", ";F_TI=0;F_OUTLO=20;F_OUTHI=60", -20.0F, 1, Fault::None, 60.0F, "AUTO"},
    {"low limit clamps the output", ";F_TI=0;F_OUTLO=20;F_OUTHI=60", 20.0F, 1, Fault::None, 20.0F, "AUTO"},
    {"integral time 0: proportional only, steady under a steady error", ";F_TI=0", 1.5F, 3, Fault::None, 45.0F,
     "AUTO"},
    {"integral time 10: a steady error moves the output on", ";F_TI=10", 1.5F, 3, Fault::None, 46.5F, "AUTO"},
    {"failed transmitter: sheds to MANL, holds its output, stays in MANL", ";F_TI=0", 1.5F, 1,
     Fault::FailedTransmitter, 45.0F, "MANL"},
    {"node down: sheds to MANL, holds its output, stays in MANL", ";F_TI=0", 1.5F, 1, Fault::NodeDown, 45.0F,
     "MANL"},
};

TEST_F(BlocksTest, PidScanTable) {
  for (const ScanRow& row : ScanRows) {
    SCOPED_TRACE(row.behaviour);
    ASSERT_EQ(LoadPid(row.fields), 1) << error_;
    FixdbSetText("N", "LIC1", "A_AUTO", "AUTO");
    FixdbSetFloat("N", "LT1", "F_CV", row.input);
    for (int i = 0; i < row.scans; ++i) {
      FixdbScan(1.0);
    }
    if (row.fault != Fault::None) {
      if (row.fault == Fault::FailedTransmitter) {
        FixdbSetFieldError("N", "LT1", "F_CV", FixdbTransmitterFailed);
      } else {
        FixdbSetNodeDown("N", 1);
      }
      FixdbSetFloat("N", "LT1", "F_CV", -20.0F);
      FixdbScan(1.0);
      FixdbSetFieldError("N", "LT1", "F_CV", 0);
      FixdbSetNodeDown("N", 0);
      FixdbScan(1.0);
    }
    EXPECT_EQ(Value("LIC1", "F_CV"), row.output);
    EXPECT_STREQ(FixdbGetText("N", "LIC1", "A_AUTO"), row.mode);
    EXPECT_EQ(Value("LIC1", "F_AUTO"), std::string(row.mode) == "AUTO" ? 1.0F : 0.0F);
  }
}

// A controller with the integral held at its limit leaves the limit as soon
// as the error turns, without first unwinding what it would have piled up.
TEST_F(BlocksTest, IntegralHeldAtALimitLeavesItAtOnce) {
  ASSERT_EQ(LoadPid(";F_TI=1;F_OUTHI=60"), 1) << error_;
  FixdbSetText("N", "LIC1", "A_AUTO", "AUTO");
  FixdbSetFloat("N", "LT1", "F_CV", -20.0F);
  for (int i = 0; i < 5; ++i) {
    FixdbScan(1.0);
  }
  FixdbSetFloat("N", "LT1", "F_CV", 3.0F);  // the error turns to -1: -10 % proportional, -10 % integral
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 20.0F);  // from the integral of 40 it had at the limit, not 1140
}

// Turning the action round in AUTO flips the error's sign: the output goes on
// from where it stands.
TEST_F(BlocksTest, ChangingTheActionInAutoDoesNotBump) {
  ASSERT_EQ(LoadPid(";F_TI=0"), 1) << error_;
  FixdbSetText("N", "LIC1", "A_AUTO", "AUTO");
  FixdbSetFloat("N", "LT1", "F_CV", 1.5F);
  FixdbScan(1.0);
  ASSERT_EQ(Value("LIC1", "F_CV"), 45.0F);
  EXPECT_EQ(WritePoint("A_ACTION", 0.0F, "DIRECT"), 0);
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 45.0F);
  FixdbSetFloat("N", "LT1", "F_CV", 1.0F);  // the input falls: a direct-acting output falls too
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 40.0F);
}

struct LoadRefusal {
  const char* gain;
  const char* fields;
  const char* message;
};

const LoadRefusal LoadRefusals[] = {
    {"10", ";F_OUTLO=60;F_OUTHI=40",
     "db.csv:3: F_OUTLO must be below F_OUTHI, the output's limits in percent, not 60 and 40"},
    {"10", ";F_OUTLO=50;F_OUTHI=50",
     "db.csv:3: F_OUTLO must be below F_OUTHI, the output's limits in percent, not 50 and 50"},
    {"10", ";F_OUTHI=-5", "db.csv:3: F_OUTLO must be below F_OUTHI, the output's limits in percent, not 0 and -5"},
    {"10", ";F_OUTLO=-inf", "db.csv:3: value of F_OUTLO is beyond what FIX can hold"},
    {"10", ";A_ACTION=INVERSE", "db.csv:3: A_ACTION must be DIRECT or REVERSE, not 'INVERSE'"},
    {"-2", "", "db.csv:3: F_KP is the gain in percent per unit, 0 or more, not '-2': A_ACTION=DIRECT or REVERSE "
               "sets which way the output moves"},
    {"nan", "", "db.csv:3: value of F_KP is beyond what FIX can hold"},
    {"10", ";F_TI=-1", "db.csv:3: F_TI is the integral time in seconds: 0 for none, or more, not '-1'"},
    {"10", ";F_TI=inf", "db.csv:3: value of F_TI is beyond what FIX can hold"},
};

TEST_F(BlocksTest, NonsenseTuningsAreRefusedAtLoad) {
  for (const LoadRefusal& row : LoadRefusals) {
    SCOPED_TRACE(std::string(row.gain) + row.fields);
    EXPECT_EQ(LoadPid(row.fields, row.gain), 0);
    EXPECT_EQ(std::string(error_).rfind(row.message, 0), 0U) << error_;
  }
  ASSERT_EQ(LoadPid(";F_TI=0;F_OUTLO=-10;F_OUTHI=110;A_ACTION=REVERSE", "0"), 1) << error_;
}

struct WriteRow {
  const char* field;
  float value;
  const char* text;  // null: the float is written
  int16_t error;
};

// Writes as an operator or the driver makes them: a tuning that makes no sense
// is refused with a point error and leaves the field as it was.
const WriteRow WriteRows[] = {
    {"A_ACTION", 0.0F, "DIRECT", 0},
    {"A_ACTION", 0.0F, "SIDEWAYS", FixdbValueNotAllowed},
    {"F_OUTLO", 99.0F, nullptr, 0},
    {"F_OUTLO", 100.0F, nullptr, FixdbValueNotAllowed},
    {"F_OUTHI", 0.0F, nullptr, FixdbValueNotAllowed},
    {"F_KP", 0.0F, nullptr, 0},
    {"F_KP", -1.0F, nullptr, FixdbValueNotAllowed},
};

TEST_F(BlocksTest, NonsenseTuningsAreRefusedOnWrite) {
  for (const WriteRow& row : WriteRows) {
    SCOPED_TRACE(std::string(row.field) + " " + (row.text != nullptr ? row.text : std::to_string(row.value)));
    ASSERT_EQ(LoadPid(""), 1) << error_;
    EXPECT_EQ(WritePoint(row.field, row.value, row.text), row.error);
    if (row.text != nullptr) {
      EXPECT_STREQ(FixdbGetText("N", "LIC1", row.field), row.error == 0 ? row.text : "REVERSE");
    } else if (row.error != 0) {
      EXPECT_NE(Value("LIC1", row.field), row.value);
    }
  }
}

}  // namespace
