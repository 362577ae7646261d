// The plant tests share this: [[block]] tables written into a small case file
// and read as a case reads them, the model configured for a step length and
// stepped by hand, its variables and external inputs set and read by name.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "case/case.h"
#include "plant/process_model.h"

namespace plant_tests {

// The case's lines before the blocks: [[block]] tables begin on line 6.
inline const std::string CaseHead = "[case]\nsteps = 1\n\n[model]\ntype = \"blocks\"\n";

class PlantTest : public ::testing::Test {
 protected:
  // Loads the blocks and configures the model for steps of dt; the first problem, or empty.
  std::string Build(const std::string& blocks, double dt = 1.0) { return BuildCase(CaseHead + blocks, dt); }
  // The same from a whole case file.
  std::string BuildCase(const std::string& text, double dt = 1.0) {
    std::ofstream(path, std::ios::binary) << text;
    host::Case c;
    std::string error;
    if (!host::LoadCase(path, c, error) || !model.Configure(c.model, dt, log_, error)) {
      return error;
    }
    return std::string();
  }
  std::ostringstream log_;  // what opening an FMU prints
  double At(const std::string& name) const {
    const int index = model.Index(name);
    EXPECT_NE(index, host::ProcessModel::None) << name;
    return index == host::ProcessModel::None ? 0.0 : model.Value(static_cast<size_t>(index));
  }
  // Sets an external input ("X.output") by name.
  void Input(const std::string& name, double value) {
    const auto& inputs = model.ExternalInputs();
    for (size_t k = 0; k < inputs.size(); ++k) {
      if (inputs[k].name == name) {
        model.SetInput(k, value);
        return;
      }
    }
    ADD_FAILURE() << "no external input " << name;
  }
  void Steps(int n, double dt = 1.0) {
    for (int k = 0; k < n; ++k) {
      model.Advance(dt);
    }
  }

  const std::string path = testing::TempDir() + "plant-case.toml";
  host::ProcessModel model;
};

}  // namespace plant_tests
