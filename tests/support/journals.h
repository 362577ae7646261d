// The stand-ins' journals as vectors of strings, for exact comparisons, and a
// fixture that starts every test from an empty database and journals.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixdb_control.h"
#include "plinth_control.h"
#include "user32_control.h"

namespace testing_support {

inline std::vector<std::string> FixJournal() {
  std::vector<std::string> lines;
  for (size_t i = 0; i < FixdbJournalSize(); ++i) {
    lines.emplace_back(FixdbJournalEntry(i));
  }
  return lines;
}

// Every ErrorMsg as "Key" or "Key(arguments)".
inline std::vector<std::string> Messages() {
  std::vector<std::string> lines;
  for (size_t i = 0; i < PlinthMessageCount(); ++i) {
    const std::string args = PlinthMessageArgs(i);
    lines.push_back(args.empty() ? std::string(PlinthMessageKey(i))
                                 : std::string(PlinthMessageKey(i)) + "(" + args + ")");
  }
  return lines;
}

// Every message box as "Caption|Text".
inline std::vector<std::string> MessageBoxes() {
  std::vector<std::string> lines;
  for (size_t i = 0; i < User32MessageBoxCount(); ++i) {
    lines.push_back(std::string(User32MessageBoxCaption(i)) + "|" + User32MessageBoxText(i));
  }
  return lines;
}

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FixdbReset();
    PlinthClearMessages();
    User32ClearMessageBoxes();
    PlinthFailAllocation(0, 0);
    liveBlocksAtStart_ = PlinthLiveBlocks();
  }
  void TearDown() override { PlinthFailAllocation(0, 0); }
  // Counts leaks from here on. A test that loads the driver library calls it
  // after the load: on Windows the library's C runtime holds one block of the
  // host's heap from attach to detach, which is not the driver's to free.
  void CountLeaksFromHere() { liveBlocksAtStart_ = PlinthLiveBlocks(); }
  // Blocks allocated since the test started (or since CountLeaksFromHere) and still live.
  long LeakedBlocks() const {
    return static_cast<long>(PlinthLiveBlocks()) - static_cast<long>(liveBlocksAtStart_);
  }

 private:
  size_t liveBlocksAtStart_ = 0;
};

}  // namespace testing_support
