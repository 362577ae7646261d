// The times of DCSSimulate calls as a fixed-size histogram on a logarithmic
// scale (20 buckets per decade from 10 ns to 100 s), so that the median and
// the 99th percentile need no memory that grows with the number of steps.
// A percentile is the geometric middle of its bucket: within 6 % of the time.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace host {

class StepTimes {
 public:
  void Add(double micros) {
    const double position = (std::log10(std::fmax(micros, Lowest)) - std::log10(Lowest)) * PerDecade;
    const size_t bucket = position >= static_cast<double>(Buckets - 1) ? Buckets - 1 : static_cast<size_t>(position);
    ++counts_[bucket];
    ++total_;
  }
  // The time below which the fraction of calls took; 0 before any call.
  double Percentile(double fraction) const {
    if (total_ == 0) {
      return 0.0;
    }
    const auto rank = static_cast<uint64_t>(fraction * static_cast<double>(total_ - 1));
    uint64_t seen = 0;
    for (size_t bucket = 0; bucket < Buckets; ++bucket) {
      seen += counts_[bucket];
      if (seen > rank) {
        return Lowest * std::pow(10.0, (static_cast<double>(bucket) + 0.5) / PerDecade);
      }
    }
    return Lowest * std::pow(10.0, static_cast<double>(Buckets) / PerDecade);
  }

 private:
  static constexpr double Lowest = 0.01;  // microseconds
  static constexpr double PerDecade = 20.0;
  static constexpr size_t Buckets = 200;  // ten decades
  std::array<uint64_t, Buckets> counts_{};
  uint64_t total_ = 0;
};

}  // namespace host
