// The blocks' order of evaluation, sorted once when a case is bound: each
// block after the blocks it reads, a cycle broken where it passes through a
// block whose output is its state, and an algebraic cycle refused with its
// blocks. Nothing here runs during a step.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

#include "plant/block_plant.h"

namespace host {
namespace {

// Whether `to` can be reached from `from` along the edges "is read by".
bool Reaches(const std::vector<std::vector<size_t>>& readBy, size_t from, size_t to) {
  std::vector<bool> seen(readBy.size(), false);
  std::vector<size_t> open = {from};
  seen[from] = true;
  while (!open.empty()) {
    const size_t at = open.back();
    open.pop_back();
    for (const size_t next : readBy[at]) {
      if (next == to) {
        return true;
      }
      if (!seen[next]) {
        seen[next] = true;
        open.push_back(next);
      }
    }
  }
  return false;
}

// A cycle among the blocks left unsorted: each has a kept edge from another of
// them, so walking those edges back from one must come round. The cycle is
// returned in the direction values flow, from the block written first.
std::vector<size_t> CycleAmong(const std::vector<std::vector<size_t>>& kept, const std::vector<bool>& left) {
  size_t at = 0;
  while (!left[at]) {
    ++at;
  }
  std::vector<size_t> walk;
  std::vector<size_t> placeOf(left.size(), SIZE_MAX);
  while (placeOf[at] == SIZE_MAX) {
    placeOf[at] = walk.size();
    walk.push_back(at);
    for (const size_t from : kept[at]) {
      if (left[from]) {
        at = from;
        break;
      }
    }
  }
  std::vector<size_t> cycle(walk.rbegin(), walk.rend() - static_cast<std::ptrdiff_t>(placeOf[at]));
  std::rotate(cycle.begin(), std::min_element(cycle.begin(), cycle.end()), cycle.end());  // the first written first
  return cycle;
}

}  // namespace

bool EvaluationOrder(const std::vector<std::vector<size_t>>& reads, const std::vector<bool>& stateful,
                     std::vector<size_t>& order, std::vector<size_t>& cycle) {
  const size_t n = reads.size();
  std::vector<std::vector<size_t>> readBy(n);
  for (size_t v = 0; v < n; ++v) {
    for (const size_t u : reads[v]) {
      readBy[u].push_back(v);
    }
  }
  // A block whose output is its state reads, within a cycle through it, the value of the step before.
  std::vector<std::vector<size_t>> kept(n);
  std::vector<size_t> waiting(n, 0);
  for (size_t v = 0; v < n; ++v) {
    for (const size_t u : reads[v]) {
      if (!(stateful[v] && (u == v || Reaches(readBy, v, u)))) {
        kept[v].push_back(u);
      }
    }
    waiting[v] = kept[v].size();
  }
  std::vector<std::vector<size_t>> keptBy(n);
  for (size_t v = 0; v < n; ++v) {
    for (const size_t u : kept[v]) {
      keptBy[u].push_back(v);
    }
  }
  // Kahn's sort, the block written first taken first among those ready.
  std::priority_queue<size_t, std::vector<size_t>, std::greater<size_t>> ready;
  for (size_t v = 0; v < n; ++v) {
    if (waiting[v] == 0) {
      ready.push(v);
    }
  }
  order.clear();
  while (!ready.empty()) {
    const size_t u = ready.top();
    ready.pop();
    order.push_back(u);
    for (const size_t v : keptBy[u]) {
      if (--waiting[v] == 0) {
        ready.push(v);
      }
    }
  }
  if (order.size() == n) {
    return true;
  }
  std::vector<bool> left(n, true);
  for (const size_t u : order) {
    left[u] = false;
  }
  cycle = CycleAmong(kept, left);
  return false;
}

}  // namespace host
