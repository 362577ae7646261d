// Block behaviour of the simulated database: the PID's two mode views, its
// output protected in AUTO, its computation at each scan within its limits and
// in its action, its shedding to MANL on a bad input, and its tunings checked;
// the strategies: a cascade, a ratio station and a split range; an analog
// input's alarms; the logic of a unit's trips.
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
  int16_t WritePoint(const char* field, float value, const char* text, const char* tag = "LIC1") {
    const int32_t group = EdaCreateGroup(1, 0);
    EdaDefinePoint(group, "N", tag, field, 0);
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

// A level-to-flow cascade (LIC1 over FIC1, FT1 ranged 0..200), a ratio
// station (FFY2: 0.5 x FT2 + 5) setting FIC3's target, and PIC4's output
// split over PV4A (0..40 %) and PV4B (60..100 %), with a gap between.
const char* const Strategies =
    "NODE,TAG,TYPE,VALUES\n"
    "N,LT1,AI,F_CV=2;F_ELO=0;F_EHI=4\n"
    "N,FT1,AI,F_CV=50;F_ELO=0;F_EHI=200\n"
    "N,LIC1,PID,F_CV=40;F_TV1=2;A_AUTO=AUTO;F_KP=10;F_TI=0;INPUT=LT1\n"
    "N,FIC1,PID,F_CV=30;F_TV1=50;A_AUTO=AUTO;F_KP=1;F_TI=0;INPUT=FT1;REMOTE=LIC1;A_CASCBRK=MANL\n"
    "N,FT2,AI,F_CV=100\n"
    "N,FFY2,RATIO,F_RATIO=0.5;F_BIAS=5;INPUT=FT2\n"
    "N,FT3,AI,F_CV=55\n"
    "N,FIC3,PID,F_CV=40;F_TV1=55;A_AUTO=AUTO;F_KP=1;F_TI=0;INPUT=FT3;REMOTE=FFY2;A_CASC=YES\n"
    "N,PT4,AI,F_CV=5\n"
    "N,PIC4,PID,F_CV=25;F_TV1=5;INPUT=PT4\n"
    "N,PV4A,AO,SOURCE=PIC4;F_SPLO=0;F_SPHI=40\n"
    "N,PV4B,AO,SOURCE=PIC4;F_SPLO=60;F_SPHI=100\n";

class StrategiesTest : public BlocksTest {
 protected:
  void SetUp() override {
    BlocksTest::SetUp();
    ASSERT_EQ(FixdbLoadText(Strategies, "db.csv", error_, sizeof error_), 1) << error_;
  }
};

// Out of cascade the master tracks its slave's target (25 % of FT1's range
// for 50): no windup, and the switch into cascade moves nothing. In cascade
// the slave's target is the master's output scaled into that range.
TEST_F(StrategiesTest, ACascadeTakesItsMastersOutputAndTheMasterTracksOutOfIt) {
  FixdbSetFloat("N", "LT1", "F_CV", 1.0F);  // far below target: a master on its own would wind up
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 25.0F);
  EXPECT_STREQ(FixdbGetText("N", "FIC1", "A_CASC"), "NO");
  FixdbSetFloat("N", "LT1", "F_CV", 2.0F);
  FixdbSetText("N", "FIC1", "A_CASC", "YES");
  EXPECT_EQ(Value("FIC1", "F_CASC"), 1.0F);
  FixdbScan(1.0);
  EXPECT_EQ(Value("FIC1", "F_TV1"), 50.0F);  // bumpless
  FixdbSetFloat("N", "LIC1", "F_TV1", 3.0F);  // an error of 1: the master's output up by 10 %
  FixdbScan(1.0);
  EXPECT_EQ(Value("LIC1", "F_CV"), 35.0F);
  EXPECT_EQ(Value("FIC1", "F_TV1"), 70.0F);
}

// The slave's measurement failed: it sheds to MANL and leaves cascade, and
// the master tracks. The master's failed: the slave breaks as A_CASCBRK says.
TEST_F(StrategiesTest, ACascadeBreaksOnAFailedMeasurement) {
  struct Row {
    const char* failed;
    const char* breakTo;  // FIC1's A_CASCBRK
    const char* slaveMode;
  };
  const Row rows[] = {{"FT1", "LOCAL", "MANL"}, {"LT1", "LOCAL", "AUTO"}, {"LT1", "MANL", "MANL"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.failed) + " " + row.breakTo);
    ASSERT_EQ(FixdbLoadText(Strategies, "db.csv", error_, sizeof error_), 1) << error_;
    FixdbSetText("N", "FIC1", "A_CASCBRK", row.breakTo);
    FixdbSetText("N", "FIC1", "A_CASC", "YES");
    FixdbScan(1.0);
    FixdbSetTransmitterFailed("N", row.failed, "F_CV", 1);
    FixdbScan(1.0);
    FixdbScan(1.0);
    EXPECT_STREQ(FixdbGetText("N", "FIC1", "A_CASC"), "NO");
    EXPECT_EQ(Value("FIC1", "F_CASC"), 0.0F);
    EXPECT_STREQ(FixdbGetText("N", "FIC1", "A_AUTO"), row.slaveMode);
    EXPECT_EQ(Value("LIC1", "F_CV"), Value("FIC1", "F_TV1") / 2.0F);  // the master follows the slave's target
    FixdbSetTransmitterFailed("N", row.failed, "F_CV", 0);
  }
}

// A ratio station's output is ratio x wild flow + bias, the target of the
// controller in cascade under it; the operator changes the ratio, never the output.
TEST_F(StrategiesTest, ARatioStationSetsItsControllersTarget) {
  FixdbScan(1.0);
  EXPECT_EQ(Value("FFY2", "F_CV"), 55.0F);
  EXPECT_EQ(Value("FIC3", "F_TV1"), 55.0F);
  FixdbSetFloat("N", "FFY2", "F_RATIO", 0.6F);
  FixdbSetFloat("N", "FT2", "F_CV", 150.0F);
  FixdbScan(1.0);
  EXPECT_EQ(Value("FIC3", "F_TV1"), 95.0F);
  const int32_t group = EdaCreateGroup(1, 0);
  EdaDefinePoint(group, "N", "FFY2", "F_CV", 0);
  EdaResolveGroup(group);
  EdaWaitGroup(group);
  float value = 1.0F;
  EdaSetFloat(group, 1, &value);
  EdaWriteGroup(group);
  EdaWaitGroup(group);
  EXPECT_EQ(EdaPointError(group, 1), FixdbOutputProtected);
  EdaDeleteGroup(group);
}

// One output over two valves, each over its part, with a gap between them.
TEST_F(StrategiesTest, ASplitRangeMapsTheOutputOntoEachValvesPart) {
  const float rows[][3] = {{0, 0, 0}, {20, 50, 0}, {40, 100, 0}, {50, 100, 0}, {80, 100, 50}, {100, 100, 100}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0]);
    FixdbSetFloat("N", "PIC4", "F_CV", row[0]);
    FixdbScan(1.0);
    EXPECT_EQ(Value("PV4A", "F_CV"), row[1]);
    EXPECT_EQ(Value("PV4B", "F_CV"), row[2]);
  }
}

TEST_F(StrategiesTest, ASavedDatabaseKeepsItsStrategies) {
  std::string saved(FixdbSaveText(nullptr, 0), '\0');
  FixdbSaveText(saved.data(), saved.size());
  for (const char* link : {";REMOTE=LIC1", ";REMOTE=FFY2", ";SOURCE=PIC4", "A_CASC=YES", "A_CASCBRK=MANL"}) {
    EXPECT_NE(saved.find(link), std::string::npos) << link;
  }
  ASSERT_EQ(FixdbLoadText(saved.c_str(), "saved.csv", error_, sizeof error_), 1) << error_;
  FixdbScan(1.0);
  EXPECT_EQ(Value("FIC3", "F_TV1"), 55.0F);
}

// Strategies that cannot be, refused at the line that states them.
TEST_F(StrategiesTest, InconsistentStrategiesAreRefusedAtTheirLine) {
  struct Row {
    const char* lines;  // after the strategies' database
    const char* message;
  };
  const Row rows[] = {
      {"N,X,PID,INPUT=LT1;REMOTE=NONE\n", "db.csv:14: REMOTE names N:NONE, which is not a PID or RATIO block"},
      {"N,X,PID,INPUT=LT1;REMOTE=FT1\n", "db.csv:14: REMOTE names N:FT1, which is not a PID or RATIO block"},
      {"N,X,PID,INPUT=LT1;REMOTE=LIC1\n",
       "db.csv:14: REMOTE names N:LIC1, whose output is already the target of another PID: a master feeds one slave"},
      {"N,X,PID,INPUT=LT1;REMOTE=Y\nN,Y,PID,INPUT=LT1;REMOTE=X\n", "db.csv:14: REMOTE makes a loop of cascades: X -> Y -> X"},
      {"N,X,PID,INPUT=LT1;A_CASC=YES\n", "db.csv:14: A_CASC needs REMOTE=TAG"},
      {"N,X,PID,INPUT=LT1;REMOTE=PIC4;A_CASC=MAYBE\n", "db.csv:14: A_CASC must be YES or NO, not 'MAYBE'"},
      {"N,X,PID,INPUT=LT1;REMOTE=PIC4;A_CASCBRK=OFF\n", "db.csv:14: A_CASCBRK must be LOCAL or MANL"},
      {"N,X,AO,F_SPLO=10\n", "db.csv:14: F_SPLO needs SOURCE=TAG"},
      {"N,X,AO,SOURCE=PIC4;F_SPLO=50;F_SPHI=50\n", "db.csv:14: F_SPLO and F_SPHI are the part of the controller's output"},
      {"N,X,AO,SOURCE=FT1\n", "db.csv:14: SOURCE names N:FT1, which is not a PID block"},
      {"N,X,AO,SOURCE=PIC4;F_SPLO=30;F_SPHI=70\n",
       "db.csv:14: the split range of N:PIC4 over PV4A (0 to 40 %) and X (30 to 70 %) overlap"},
      {"N,X,RATIO,F_RATIO=2\n", "db.csv:14: a RATIO block needs INPUT=TAG, the wild flow"},
      {"N,X,PID,INPUT=LT1;SOURCE=PIC4\n", "db.csv:14: 'SOURCE' is not a field of a PID block"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lines);
    const std::string text = std::string(Strategies) + row.lines;
    EXPECT_EQ(FixdbLoadText(text.c_str(), "db.csv", error_, sizeof error_), 0);
    EXPECT_EQ(std::string(error_).rfind(row.message, 0), 0U) << error_;
  }
}

// An analog input's alarms: each limit after its delay (2 s), cleared past
// the deadband (0.5), the worst active the state, a worse one asking for an
// acknowledgement; a failed transmitter's alarms hold.
TEST_F(BlocksTest, AnAnalogInputAlarmsAtItsLimitsAfterItsDelayAndClearsPastItsDeadband) {
  ASSERT_EQ(FixdbLoadText("NODE,TAG,TYPE,VALUES\n"
                          "N,PT1,AI,F_CV=5;F_HIHI=9;F_HI=8;F_LO=2;F_LOLO=1;F_ALMDB=0.5;F_ALMDLY=2\n",
                          "db.csv", error_, sizeof error_),
            1)
      << error_;
  EXPECT_STREQ(FixdbGetText("N", "PT1", "A_ALMST"), "OK");
  struct Row {
    float value;
    const char* operatorAck;  // written before the scan, or null
    const char* state;
    float stateValue;
    const char* ack;
  };
  const Row rows[] = {
      {8.0F, nullptr, "OK", 0.0F, "YES"},   // at the limit for 1 s of its 2
      {8.0F, nullptr, "HI", 1.0F, "NO"},    // 2 s: alarmed, to be acknowledged
      {7.6F, "YES", "HI", 1.0F, "YES"},     // within the deadband: still alarmed
      {7.4F, nullptr, "OK", 0.0F, "YES"},   // past it: cleared
      {9.5F, nullptr, "OK", 0.0F, "YES"},   // HI and HIHI each start their delay
      {9.5F, nullptr, "HIHI", 2.0F, "NO"},  // the worst is the state
      {8.4F, "YES", "HI", 1.0F, "YES"},     // HIHI cleared, HI not: no new acknowledgement
      {1.5F, nullptr, "OK", 0.0F, "YES"},
      {0.5F, nullptr, "LO", -1.0F, "NO"},   // LO's 2 s, LOLO's first
      {0.5F, "YES", "LOLO", -2.0F, "NO"},   // worse again
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    FixdbSetFloat("N", "PT1", "F_CV", row.value);
    if (row.operatorAck != nullptr) {
      FixdbSetText("N", "PT1", "A_ALMACK", row.operatorAck);
    }
    FixdbScan(1.0);
    EXPECT_STREQ(FixdbGetText("N", "PT1", "A_ALMST"), row.state);
    EXPECT_EQ(Value("PT1", "F_ALMST"), row.stateValue);
    EXPECT_STREQ(FixdbGetText("N", "PT1", "A_ALMACK"), row.ack);
  }
  FixdbSetTransmitterFailed("N", "PT1", "F_CV", 1);
  FixdbSetFloat("N", "PT1", "F_CV", 5.0F);
  FixdbScan(1.0);
  EXPECT_STREQ(FixdbGetText("N", "PT1", "A_ALMST"), "LOLO");
  // A saved database goes on from its alarm state, without a new delay.
  FixdbSetTransmitterFailed("N", "PT1", "F_CV", 0);
  std::string saved(FixdbSaveText(nullptr, 0), '\0');
  FixdbSaveText(saved.data(), saved.size());
  ASSERT_EQ(FixdbLoadText(saved.c_str(), "saved.csv", error_, sizeof error_), 1) << error_;
  FixdbSetFloat("N", "PT1", "F_CV", 0.5F);
  FixdbScan(1.0);
  EXPECT_STREQ(FixdbGetText("N", "PT1", "A_ALMST"), "LOLO");
}

TEST_F(BlocksTest, AlarmsThatCannotBeAreRefused) {
  const std::pair<const char*, const char*> rows[] = {
      {"F_ALMDB=1", "db.csv:2: F_ALMDB needs an alarm limit (F_HIHI, F_HI, F_LO or F_LOLO) to act on"},
      {"F_HI=8;F_ALMDLY=-1", "db.csv:2: F_ALMDLY is the alarms' delay in seconds, 0 or more, not '-1'"},
      {"F_HI=8;A_ALMST=HI;F_ALMST=0", "db.csv:2: A_ALMST and F_ALMST are two views of one alarm state"},
      {"F_HI=8;A_ALMST=LOLO", "db.csv:2: the alarm state LOLO names a limit the block does not have"},
      {"F_HI=8;A_ALMACK=MAYBE", "db.csv:2: A_ALMACK must be YES or NO, not 'MAYBE'"},
  };
  for (const auto& [fields, message] : rows) {
    SCOPED_TRACE(fields);
    const std::string text = std::string("NODE,TAG,TYPE,VALUES\nN,PT1,AI,F_CV=5;") + fields + "\n";
    EXPECT_EQ(FixdbLoadText(text.c_str(), "db.csv", error_, sizeof error_), 0);
    EXPECT_EQ(std::string(error_).rfind(message, 0), 0U) << error_;
  }
}

// A unit's trip: high pressure voted 2oo3 (PSH3 after 2 s) or low
// pressure, latched; the latch closes XV1 and forces FIC1 to MANL at 0 %,
// the trip itself stops P1; a reset clears the latch once the trip has, and
// the plant comes back: the valve open, FIC1 in AUTO as it was.
const char* const Trips =
    "NODE,TAG,TYPE,VALUES\n"
    "N,PT1,AI,F_CV=5\nN,PT2,AI,F_CV=5\nN,PT3,AI,F_CV=5\nN,FT1,AI,F_CV=50\n"
    "N,PSH1,CMP,INPUT=PT1;F_LIMIT=8;F_DB=0.5\n"
    "N,PSH2,CMP,INPUT=PT2;F_LIMIT=8;F_DB=0.5\n"
    "N,PSH3,CMP,INPUT=PT3;F_LIMIT=8;F_DB=0.5;F_DELAY=2\n"
    "N,PSHV,VOTE,INPUTS=PSH1+PSH2+PSH3;A_VOTE=2oo3\n"
    "N,PSL1,CMP,INPUT=PT1;A_COND=BELOW;F_LIMIT=1\n"
    "N,TRIP,OR,INPUTS=PSHV+PSL1\n"
    "N,TRIPL,LATCH,INPUT=TRIP\n"
    "N,XV1,DO,INPUT=TRIPL;A_STATE=OPEN;A_TRIP=CLOSED\n"
    "N,P1,DO,INPUT=TRIP;A_STATE=RUNNING;A_TRIP=STOPPED\n"
    "N,FIC1,PID,F_CV=40;F_TV1=50;A_AUTO=AUTO;F_KP=1;F_TI=0;INPUT=FT1;TRIP=TRIPL;F_TRIPOUT=0\n"
    "N,HIGH2,AND,INPUTS=PSH1+PSH2\nN,CLEAR,NOT,INPUT=TRIP\n";

TEST_F(BlocksTest, TheLogicOfATripVotesLatchesAndDrivesItsEffects) {
  ASSERT_EQ(FixdbLoadText(Trips, "db.csv", error_, sizeof error_), 1) << error_;
  struct Row {
    float pt1, pt2, pt3;
    bool reset;  // the operator's reset before the scan
    float voted, tripped, latched, high2, clear;
    const char* valve;
    const char* pump;
    const char* mode;
  };
  const Row rows[] = {
      {5, 5, 5, false, 0, 0, 0, 0, 1, "OPEN", "RUNNING", "AUTO"},
      {9, 5, 5, false, 0, 0, 0, 0, 1, "OPEN", "RUNNING", "AUTO"},     // one of three
      {9, 5, 9, false, 0, 0, 0, 0, 1, "OPEN", "RUNNING", "AUTO"},     // PSH3 within its delay
      {9, 5, 9, false, 1, 1, 1, 0, 0, "CLOSED", "STOPPED", "MANL"},   // two of three: tripped
      {9, 9, 9, true, 1, 1, 1, 1, 0, "CLOSED", "STOPPED", "MANL"},    // no reset while the trip stands
      {7.6F, 5, 5, false, 0, 0, 1, 0, 1, "CLOSED", "RUNNING", "MANL"},  // cleared past the deadband; latched
      {5, 5, 5, true, 0, 0, 0, 0, 1, "OPEN", "RUNNING", "AUTO"},      // reset: back, the PID in AUTO again
      {0.5F, 5, 5, false, 0, 1, 1, 0, 0, "CLOSED", "STOPPED", "MANL"},  // low pressure
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.pt1 << " " << row.pt2 << " " << row.pt3);
    FixdbSetFloat("N", "PT1", "F_CV", row.pt1);
    FixdbSetFloat("N", "PT2", "F_CV", row.pt2);
    FixdbSetFloat("N", "PT3", "F_CV", row.pt3);
    if (row.reset) {
      FixdbSetText("N", "TRIPL", "A_RESET", "YES");
    }
    FixdbScan(1.0);
    EXPECT_EQ(Value("PSHV", "F_CV"), row.voted);
    EXPECT_EQ(Value("TRIP", "F_CV"), row.tripped);
    EXPECT_EQ(Value("TRIPL", "F_CV"), row.latched);
    EXPECT_EQ(Value("HIGH2", "F_CV"), row.high2);
    EXPECT_EQ(Value("CLEAR", "F_CV"), row.clear);
    EXPECT_STREQ(FixdbGetText("N", "XV1", "A_STATE"), row.valve);
    EXPECT_STREQ(FixdbGetText("N", "P1", "A_STATE"), row.pump);
    EXPECT_STREQ(FixdbGetText("N", "FIC1", "A_AUTO"), row.mode);
    EXPECT_STREQ(FixdbGetText("N", "TRIPL", "A_RESET"), "NO");
  }
  EXPECT_EQ(Value("FIC1", "F_CV"), 0.0F);  // forced to its trip output again
  std::string saved(FixdbSaveText(nullptr, 0), '\0');
  FixdbSaveText(saved.data(), saved.size());
  for (const char* link : {";INPUTS=PSH1+PSH2+PSH3", ";TRIP=TRIPL", "A_VOTE=2oo3", "A_TRIP=CLOSED"}) {
    EXPECT_NE(saved.find(link), std::string::npos) << link;
  }
  ASSERT_EQ(FixdbLoadText(saved.c_str(), "saved.csv", error_, sizeof error_), 1) << error_;
  EXPECT_EQ(Value("TRIPL", "F_CV"), 1.0F);
}

// What logic computes is its own; a tripped output's state and a tripped
// PID's AUTO are the trip's; an operator's command to an output not tripped
// is the state it goes back to after a trip.
TEST_F(BlocksTest, WritesToLogicAreTakenOrRefusedAsATripRules) {
  ASSERT_EQ(FixdbLoadText(Trips, "db.csv", error_, sizeof error_), 1) << error_;
  struct Row {
    bool tripped;  // PT1 at 0.5 (low pressure) before the write
    const char* tag;
    const char* field;
    const char* text;  // null: a float
    int16_t refused;
  };
  const Row rows[] = {
      {false, "PSHV", "F_CV", nullptr, FixdbOutputProtected},
      {false, "TRIPL", "A_RESET", "MAYBE", FixdbValueNotAllowed},
      {false, "XV1", "A_STATE", "CLOSED", 0},  // an operator closes it: its normal state now
      {true, "XV1", "A_STATE", "OPEN", FixdbOutputProtected},
      {true, "FIC1", "A_AUTO", "AUTO", FixdbOutputProtected},
      {true, "FIC1", "F_AUTO", nullptr, FixdbOutputProtected},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.tag) + "." + row.field);
    FixdbSetFloat("N", "PT1", "F_CV", row.tripped ? 0.5F : 5.0F);
    FixdbScan(1.0);
    EXPECT_EQ(WritePoint(row.field, 1.0F, row.text, row.tag), row.refused);
  }
  FixdbSetFloat("N", "PT1", "F_CV", 5.0F);
  FixdbSetText("N", "TRIPL", "A_RESET", "YES");
  FixdbScan(1.0);
  EXPECT_STREQ(FixdbGetText("N", "XV1", "A_STATE"), "CLOSED");  // back to what the operator commanded
}

TEST_F(BlocksTest, LogicThatCannotBeIsRefusedAtItsLine) {
  const std::pair<const char*, const char*> rows[] = {
      {"N,X,VOTE,INPUTS=PSH1+PSH2;A_VOTE=2oo3", "db.csv:18: A_VOTE must read MooN, M of its N INPUTS (2) true"},
      {"N,X,VOTE,INPUTS=PSH1+PSH2", "db.csv:18: A_VOTE must read MooN"},
      {"N,X,AND,INPUTS=PSH1", "db.csv:18: an AND block needs INPUTS=A+B[+...], two tags or more"},
      {"N,X,OR,INPUTS=PSH1+NONE", "db.csv:18: INPUTS names N:NONE, which has no F_CV"},
      {"N,X,DO,INPUT=TRIP", "db.csv:18: a DO block needs A_TRIP, the state its trip drives"},
      {"N,X,CMP,F_LIMIT=3", "db.csv:18: a CMP block needs INPUT=TAG"},
      {"N,X,CMP,INPUT=PT1;A_COND=OVER", "db.csv:18: A_COND must be ABOVE or BELOW"},
      {"N,X,PID,INPUT=PT1;F_TRIPOUT=5", "db.csv:18: F_TRIPOUT needs TRIP=TAG"},
      {"N,X,PID,INPUT=PT1;TRIP=NONE", "db.csv:18: TRIP names N:NONE, which has no F_CV"},
      {"N,A1,AND,INPUTS=B1+PSH1\nN,B1,OR,INPUTS=A1+PSH2",
       "db.csv:19: the logic comes back to itself without a latch: A1 -> B1 -> A1"},
  };
  for (const auto& [lines, message] : rows) {
    SCOPED_TRACE(lines);
    const std::string text = std::string(Trips) + lines + "\n";
    EXPECT_EQ(FixdbLoadText(text.c_str(), "db.csv", error_, sizeof error_), 0);
    EXPECT_EQ(std::string(error_).rfind(message, 0), 0U) << error_;
  }
  // A seal-in: a latch's output fed back through an OR.
  const std::string sealed = std::string(Trips) + "N,S1,OR,INPUTS=PSH1+L1\nN,L1,LATCH,INPUT=S1\n";
  EXPECT_EQ(FixdbLoadText(sealed.c_str(), "db.csv", error_, sizeof error_), 1) << error_;
}

}  // namespace
