// FMUs through their whole life, with the test FMUs built for this target: a
// first-order plant stepped against its closed form, its state saved and
// restored, a discarded step, a tank that cannot save its state, and each
// kind of bad FMU refused with what is wrong and where.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plant/fmu_unit.h"
#include "system/temp_folder.h"
#include "system/zip_writer.h"

namespace {

const std::string Fmus = FIXDCS_FMU_DIR;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// The first-order FMU opened and started with its parameters, stepping u and
// hold in, y and steps out.
class FirstOrder : public ::testing::Test {
 protected:
  void Open(const std::vector<std::pair<std::string, double>>& starts) {
    std::string error;
    unit_ = host::FmuUnit::Open(Fmus + "/first_order.fmu", "FO1", log_, error);
    ASSERT_TRUE(unit_) << error;
    const host::ModelDescription& md = unit_->description();
    unit_->Bind({md.Find("u"), md.Find("hold")}, {md.Find("y"), md.Find("steps")});
    std::vector<std::pair<const host::FmuVariable*, double>> set;
    for (const auto& [name, value] : starts) {
      set.emplace_back(md.Find(name), value);
    }
    ASSERT_TRUE(unit_->Start(0.0, set, error)) << error;
  }
  bool Step(double u, bool hold, std::string& error) {
    const double in[] = {u, hold ? 1.0 : 0.0};
    const bool ok = unit_->Step(now_, 1.0, in, out_, error) == host::FmuStep::Done;
    now_ += 1.0;
    return ok;
  }
  std::ostringstream log_;
  std::unique_ptr<host::FmuUnit> unit_;
  double now_ = 0.0;
  double out_[2] = {};
};

TEST_F(FirstOrder, StepsAsItsClosedFormAndHoldsOnABoolean) {
  Open({{"k", 2.0}, {"T", 10.0}, {"y0", 1.0}});
  EXPECT_NE(log_.str().find("first_order.fmu (first_order): SHA-256 "), std::string::npos) << log_.str();
  std::string error;
  for (int s = 1; s <= 10; ++s) {
    ASSERT_TRUE(Step(1.0, false, error)) << error;
    EXPECT_NEAR(out_[0], 2.0 + (1.0 - 2.0) * std::exp(-s / 10.0), 1e-12) << s;
    EXPECT_EQ(out_[1], s);
  }
  const double held = out_[0];
  ASSERT_TRUE(Step(1.0, true, error)) << error;
  EXPECT_EQ(out_[0], held);
}

// After a call the FMU failed with fmi2Error it is freed without
// fmi2Terminate, which would draw a second error; after a good run it is
// terminated. A discarded step of an FMU that ended the simulation is no failure.
TEST(FmuUnit, IsTerminatedOnlyWhenNoCallFailed) {
  for (const double from : {0.0, 5.0}) {  // a step from 5 s, where its time is 0 s, is an error
    std::ostringstream log;
    std::string error;
    auto unit = host::FmuUnit::Open(Fmus + "/first_order.fmu", "FO1", log, error);
    ASSERT_TRUE(unit) << error;
    unit->LogDebug({});
    unit->Bind({}, {unit->description().Find("y")});
    ASSERT_TRUE(unit->Start(0.0, {}, error)) << error;
    double y = 0.0;
    EXPECT_EQ(unit->Step(from, 1.0, nullptr, &y, error), from == 0.0 ? host::FmuStep::Done : host::FmuStep::Failed);
    unit.reset();
    EXPECT_EQ(log.str().find("[logAll] OK: terminated") != std::string::npos, from == 0.0) << log.str();
  }
  std::ostringstream log;
  std::string error;
  auto ends = host::FmuUnit::Open(Fmus + "/terminates.fmu", "T1", log, error);
  ASSERT_TRUE(ends) << error;
  ends->Bind({}, {ends->description().Find("steps")});
  ASSERT_TRUE(ends->Start(0.0, {{ends->description().Find("discard_at"), 1.5}}, error)) << error;
  double steps = 0.0;
  EXPECT_EQ(ends->Step(0.0, 1.0, nullptr, &steps, error), host::FmuStep::Done);
  EXPECT_EQ(ends->Step(1.0, 1.0, nullptr, &steps, error), host::FmuStep::Ended) << error;
  EXPECT_EQ(steps, 2.0);  // the ending step's own output
  EXPECT_EQ(ends->endedAt(), 2.0);
}

TEST_F(FirstOrder, ASavedStateGoesOnAsTheUnbrokenRun) {
  Open({{"T", 5.0}});
  std::string error;
  for (int s = 0; s < 5; ++s) {
    ASSERT_TRUE(Step(1.0, false, error)) << error;
  }
  std::vector<unsigned char> state;
  ASSERT_TRUE(unit_->SaveState(state, error)) << error;
  std::vector<double> unbroken;
  for (int s = 0; s < 5; ++s) {
    ASSERT_TRUE(Step(1.0, false, error)) << error;
    unbroken.push_back(out_[0]);
  }
  ASSERT_TRUE(unit_->RestoreState(state, error)) << error;
  now_ = 5.0;
  for (int s = 0; s < 5; ++s) {
    ASSERT_TRUE(Step(1.0, false, error)) << error;
    EXPECT_EQ(out_[0], unbroken[static_cast<size_t>(s)]) << s;
  }
}

TEST_F(FirstOrder, ADiscardedStepStopsWithTheFmusOwnWords) {
  Open({{"discard_at", 3.0}});
  std::string error;
  for (int s = 0; s < 3; ++s) {
    ASSERT_TRUE(Step(1.0, false, error)) << error;
  }
  EXPECT_FALSE(Step(1.0, false, error));
  EXPECT_NE(error.find("FMU FO1 (" + Fmus +
                       "/first_order.fmu): fmi2DoStep returned discard: the model cannot go "
                       "on beyond 3 s"),
            std::string::npos)
      << error;
  EXPECT_NE(log_.str().find("FMU FO1 [logStatusDiscard] discard: the model cannot go on beyond 3 s"), std::string::npos)
      << log_.str();
}

// An FMU whose state cannot be saved says so when it is opened, before any
// run: by its model description, or by the state function its binary lacks.
TEST(FmuUnit, AnFmuThatCannotSaveItsStateSaysSoBeforeItRuns) {
  const std::pair<const char*, const char*> rows[] = {
      {"/tank.fmu", "its model description does not offer canGetAndSetFMUstate"},
      {"/no_getstate.fmu", "its model description offers it, but its binary has no fmi2GetFMUstate"},
  };
  for (const auto& [file, reason] : rows) {
    std::ostringstream log;
    std::string error;
    const auto unit = host::FmuUnit::Open(Fmus + file, "U", log, error);
    ASSERT_TRUE(unit) << error;
    EXPECT_FALSE(unit->CanSaveState(error));
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

// Bad FMUs, made from the test FMU's own parts: each refused when opened or
// started, with its reason.
TEST(FmuUnit, BadFmusAreRefusedWithTheirReason) {
  std::string error;
  const auto folder = host::TempFolder::Make("fmu-test-", error);
  ASSERT_TRUE(folder) << error;
  const std::string platform = host::FmuPlatform();
  const std::string library = std::string("first_order") + (platform[0] == 'w' ? ".dll" : ".so");
  const std::string binary = ReadFile(Fmus + "/first_order/binaries/" + platform + "/" + library);
  const std::string md = ReadFile(Fmus + "/first_order/modelDescription.xml");
  ASSERT_FALSE(binary.empty() || md.empty());
  const auto with = [&md](const std::string& from, const std::string& to) {
    std::string changed = md;
    changed.replace(changed.find(from), from.size(), to);
    return changed;
  };
  const std::string ours = "binaries/" + platform + "/" + library;
  const std::string good = zip_writer::Zip({{"modelDescription.xml", md}, {ours, binary}});
  struct Row {
    const char* what;
    std::string bytes;  // the .fmu file, or empty to open `path` as it is
    std::string path;
    const char* message;
  };
  const Row rows[] = {
      {"not a zip", "<fmiModelDescription/>", "", "not a zip file"},
      {"cut short", good.substr(0, good.size() - 30), "", "not a zip file"},
      {"no model description", zip_writer::Zip({{ours, binary}}), "", "no modelDescription.xml: not an FMU"},
      {"FMI 1.0", zip_writer::Zip({{"modelDescription.xml", with("fmiVersion=\"2.0\"", "fmiVersion=\"1.0\"")}}), "",
       "not an FMI 2.0 model description"},
      {"model exchange", zip_writer::Zip({{"modelDescription.xml", with("<CoSimulation", "<ModelExchange")}}), "",
       "offers no co-simulation"},
      {"other platforms",
       zip_writer::Zip({{"modelDescription.xml", md},
                        {"binaries/win64/first_order.dll", "x"},
                        {"binaries/darwin64/first_order.dylib", "x"}}),
       "", "carries binaries for "},
      {"a path out", zip_writer::Zip({{"modelDescription.xml", md}, {"../../first_order.so", binary}}), "",
       "would leave the folder"},
      {"a model identifier that climbs out",
       zip_writer::Zip(
           {{"modelDescription.xml", with("modelIdentifier=\"first_order\"", "modelIdentifier=\"../../first_order\"")},
            {ours, binary}}),
       "", "modelIdentifier '../../first_order' is not a bare file name"},
      {"no fmi2DoStep", "", Fmus + "/no_dostep.fmu", "its binary has no function fmi2DoStep"},
      {"another guid", zip_writer::Zip({{"modelDescription.xml", with("{8c4e810f", "{00000000")}, {ours, binary}}), "",
       "fmi2Instantiate failed for guid {00000000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string path = row.path;
    if (path.empty()) {
      path = folder->path() + "/bad.fmu";
      std::ofstream(path, std::ios::binary) << row.bytes;
    }
    std::ostringstream log;
    std::string message;
    const auto unit = host::FmuUnit::Open(path, "BAD", log, message);
    if (unit) {
      unit->Bind({}, {});
      EXPECT_FALSE(unit->Start(0.0, {}, message));
    }
    EXPECT_NE(message.find(row.message), std::string::npos) << message;
  }
  // The platforms an FMU carries are named beside the one this dcshost needs.
  std::string message;
  std::ostringstream log;
  std::ofstream(folder->path() + "/other.fmu", std::ios::binary) << zip_writer::Zip(
      {{"modelDescription.xml", md}, {"binaries/win64/first_order.dll", "x"}, {"binaries/darwin64/x.dylib", "x"}});
  EXPECT_FALSE(host::FmuUnit::Open(folder->path() + "/other.fmu", "BAD", log, message));
  EXPECT_NE(message.find("this dcshost is " + std::string(host::FmuPlatformWords()) + " and needs binaries/" +
                         platform + "/" + library),
            std::string::npos)
      << message;
}

}  // namespace
