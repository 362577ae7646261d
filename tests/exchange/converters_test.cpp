// The PV-import converters, reached through their tables as the exchange
// reaches them: every selection rule, every reader and writer mapping, rows
// without a converter, against the simulated database.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/driver_state.h"
#include "exchange/converters.h"
#include "journals.h"
#include "platform/fix.h"

namespace {

class ConvertersTest : public testing_support::StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    std::memset(&dcs::DriverState, 0, sizeof dcs::DriverState);
  }
  void TearDown() override {
    std::memset(&dcs::DriverState, 0, sizeof dcs::DriverState);
    StandinTest::TearDown();
  }

  // Binds PV-import row 0 to N:T.<field> and selects its converters by field.
  void BindRow(const char* field) {
    if (field[0] == 'A') {
      FixdbSetText("N", "T", field, "");
    } else {
      FixdbSetFloat("N", "T", field, 0.0F);
    }
    const int32_t group = dcs::platform::CreateGroup(1);
    dcs::DriverState.PVImportGroupHandle = group;
    dcs::DriverState.PVImportPoint[0] = dcs::platform::DefinePoint(group, "N", "T", field);
    dcs::SelectImportConverters(0, field);
    dcs::platform::ResolveGroup(group);
    dcs::platform::WaitGroup(group);
    field_ = field;
  }

  float ReadFloat(float fixValue, int16_t& status) {
    FixdbSetFloat("N", "T", field_.c_str(), fixValue);
    return Read(status);
  }
  float ReadText(const char* fixText, int16_t& status) {
    FixdbSetText("N", "T", field_.c_str(), fixText);
    return Read(status);
  }
  float Read(int16_t& status) {
    dcs::platform::ReadGroup(dcs::DriverState.PVImportGroupHandle);
    dcs::platform::WaitGroup(dcs::DriverState.PVImportGroupHandle);
    return dcs::ReadImportValue(0, status);
  }
  // What writing the value sent to FIX: the journal line of the set call.
  std::string Written(float value) {
    FixdbClearJournal();
    dcs::WriteImportRow(0, value);
    const auto journal = testing_support::FixJournal();
    return journal.empty() ? std::string("nothing") : journal.back();
  }

  std::string field_;
};

struct SelectionCase {
  const char* field;
  dcs::ImportReaderKind reader;
  dcs::ImportWriterKind writer;
};

TEST_F(ConvertersTest, SelectionFollowsTheFieldRules) {
  const SelectionCase cases[] = {
      {"F_AUTO", dcs::ImportReaderKind::ModeFromFloat, dcs::ImportWriterKind::ModeToFloat},
      {"A_AUTO", dcs::ImportReaderKind::ModeFromText, dcs::ImportWriterKind::ModeToText},
      {"A_ROUT", dcs::ImportReaderKind::FlagFromText, dcs::ImportWriterKind::FlagToText},
      {"F_CV", dcs::ImportReaderKind::PlainFloat, dcs::ImportWriterKind::PlainFloat},
      {"f_cv", dcs::ImportReaderKind::PlainFloat, dcs::ImportWriterKind::PlainFloat},
      {"f_auto", dcs::ImportReaderKind::PlainFloat, dcs::ImportWriterKind::PlainFloat},
      {"F_AUTO ", dcs::ImportReaderKind::PlainFloat, dcs::ImportWriterKind::PlainFloat},
      {"a_auto", dcs::ImportReaderKind::None, dcs::ImportWriterKind::None},
      {"A_CV", dcs::ImportReaderKind::None, dcs::ImportWriterKind::None},
      {"H_DV", dcs::ImportReaderKind::None, dcs::ImportWriterKind::None},
      {"", dcs::ImportReaderKind::None, dcs::ImportWriterKind::None},
      {nullptr, dcs::ImportReaderKind::None, dcs::ImportWriterKind::None},
  };
  int32_t row = 0;
  for (const SelectionCase& c : cases) {
    SCOPED_TRACE(c.field != nullptr ? c.field : "(missing)");
    dcs::SelectImportConverters(row, c.field);
    EXPECT_EQ(dcs::DriverState.ImportReader[row], c.reader);
    EXPECT_EQ(dcs::DriverState.ImportWriter[row], c.writer);
    ++row;
  }
}

TEST_F(ConvertersTest, SelectionWithoutAMatchKeepsTheEntriesAsTheyWere) {
  dcs::SelectImportConverters(3, "F_CV");
  dcs::SelectImportConverters(3, "A_OTHER");
  EXPECT_EQ(dcs::DriverState.ImportReader[3], dcs::ImportReaderKind::PlainFloat);
  EXPECT_EQ(dcs::DriverState.ImportWriter[3], dcs::ImportWriterKind::PlainFloat);
  dcs::ClearImportReaders();
  EXPECT_EQ(dcs::DriverState.ImportReader[3], dcs::ImportReaderKind::None);
  EXPECT_EQ(dcs::DriverState.ImportWriter[3], dcs::ImportWriterKind::PlainFloat);
}

TEST_F(ConvertersTest, ModeAsFloatBothWays) {
  BindRow("F_AUTO");
  int16_t status = -1;
  EXPECT_EQ(ReadFloat(0.0F, status), 1.0F);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFloat(1.0F, status), 2.0F);
  EXPECT_EQ(ReadFloat(0.5F, status), 0.5F);
  EXPECT_EQ(Written(1.0F), "EdaSetFloat(1,1,0)=0");
  EXPECT_EQ(Written(2.0F), "EdaSetFloat(1,1,1)=0");
  EXPECT_EQ(Written(3.0F), "EdaSetFloat(1,1,3)=0");
}

TEST_F(ConvertersTest, ModeAsTextBothWays) {
  BindRow("A_AUTO");
  int16_t status = -1;
  // The manual texts, and any other: an automatic one with more after it,
  // in mixed case, or cut short.
  for (const char* manual :
       {"MANL", "manl", "PMAN", "pman", "Manl", "MANL ", "", "XYZ", "AUTO ", "pauto", "Auto", "AUT"}) {
    EXPECT_EQ(ReadText(manual, status), 1.0F) << manual;
  }
  for (const char* automatic : {"AUTO", "auto", "PAUT", "paut"}) {
    EXPECT_EQ(ReadText(automatic, status), 2.0F) << automatic;
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Written(1.0F), "EdaSetAscii(1,1,\"MANL\")=0");
  EXPECT_EQ(Written(2.0F), "EdaSetAscii(1,1,\"AUTO\")=0");
  EXPECT_EQ(Written(0.0F), "EdaSetAscii(1,1,\"UNKNOWN\")=0");
}

TEST_F(ConvertersTest, FlagAsTextBothWays) {
  BindRow("A_ROUT");
  int16_t status = -1;
  EXPECT_EQ(ReadText("YES", status), 0.0F);
  EXPECT_EQ(ReadText("NO", status), 1.0F);
  EXPECT_EQ(ReadText("yes", status), 1.0F);
  EXPECT_EQ(Written(0.0F), "EdaSetAscii(1,1,\"YES\")=0");
  EXPECT_EQ(Written(1.0F), "EdaSetAscii(1,1,\"NO\")=0");
  EXPECT_EQ(Written(5.0F), "EdaSetAscii(1,1,\"NO\")=0");
  EXPECT_EQ(Written(-1.0F), "EdaSetAscii(1,1,\"NO\")=0");
}

TEST_F(ConvertersTest, PlainFloatBothWaysInEitherCase) {
  for (const char* field : {"F_CV", "f_cv"}) {
    FixdbReset();
    BindRow(field);
    int16_t status = -1;
    EXPECT_EQ(ReadFloat(42.5F, status), 42.5F);
    EXPECT_EQ(Written(0.1F), "EdaSetFloat(1,1,0.100000001)=0");
  }
}

TEST_F(ConvertersTest, FailedFetchSetsTheStatusAndStillConverts) {
  BindRow("F_AUTO");
  FixdbInject("EdaGetFloat", 1, 77, 0);
  int16_t status = 0;
  EXPECT_EQ(ReadFloat(1.0F, status), 1.0F);  // the untouched 0.0 read as manual
  EXPECT_EQ(status, 77);
}

TEST_F(ConvertersTest, RowWithoutConvertersReadsZeroAndSendsNothing) {
  BindRow("A_OTHER");
  int16_t status = 1234;
  EXPECT_EQ(ReadText("AUTO", status), 0.0F);
  EXPECT_EQ(status, 1234);
  EXPECT_EQ(Written(2.0F), "nothing");
}

}  // namespace
