// How dcshost ends, and how it says why: every command returns one of these
// statuses, and every message of its own goes out through Say, so that the
// program's prefix and its statuses are written in one place.
#pragma once

#include <ostream>
#include <string>

namespace host {

enum class ExitStatus : int {
  Ok = 0,
  Failed = 1,   // it ran, and a check failed or the run stopped on the way
  Refused = 2,  // its input or its surroundings were refused before or while it ran
};

// The process's status: the enumerator's, or 128 + N when signal N stopped it.
constexpr int StatusOf(ExitStatus status) { return static_cast<int>(status); }
constexpr int StoppedBySignal(int signal) { return 128 + signal; }

// "dcshost: WHAT" on a line of its own.
inline void Say(std::ostream& out, const std::string& what) { out << "dcshost: " << what << '\n'; }

// Says why and returns the status of a refusal.
inline int Refuse(std::ostream& out, const std::string& why) {
  Say(out, why);
  return StatusOf(ExitStatus::Refused);
}

}  // namespace host
