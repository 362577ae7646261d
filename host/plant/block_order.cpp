// The blocks' order of evaluation, sorted once when a case is bound: each
// block after the blocks it reads, a cycle broken where it passes through a
// block whose output is its state, and an algebraic cycle refused with its
// blocks. Nothing here runs during a step.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

#include "plant/block_plant.h"

namespace host {
namespace {

// Each block's strongly connected component along the edges "is read by":
// two blocks share one exactly when each reaches the other, so a block that
// reads another within its own component reads it within a cycle. Tarjan's
// algorithm, with an explicit stack (a chain of many blocks must not exhaust
// the call stack): linear in the blocks and their inputs.
std::vector<size_t> Components(const std::vector<std::vector<size_t>>& readBy) {
  const size_t n = readBy.size();
  std::vector<size_t> index(n, SIZE_MAX), low(n, 0), component(n, SIZE_MAX), stack;
  std::vector<bool> onStack(n, false);
  std::vector<std::pair<size_t, size_t>> calls;  // a block, and the next of its edges to follow
  size_t next = 0, components = 0;
  for (size_t root = 0; root < n; ++root) {
    if (index[root] != SIZE_MAX) {
      continue;
    }
    calls.emplace_back(root, 0);
    while (!calls.empty()) {
      auto& [v, edge] = calls.back();
      if (edge == 0 && index[v] == SIZE_MAX) {
        index[v] = low[v] = next++;
        stack.push_back(v);
        onStack[v] = true;
      }
      if (edge < readBy[v].size()) {
        const size_t w = readBy[v][edge++];
        if (index[w] == SIZE_MAX) {
          calls.emplace_back(w, 0);
        } else if (onStack[w]) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      const size_t done = v;
      calls.pop_back();
      if (low[done] == index[done]) {
        for (size_t w = SIZE_MAX; w != done;) {
          w = stack.back();
          stack.pop_back();
          onStack[w] = false;
          component[w] = components;
        }
        ++components;
      }
      if (!calls.empty()) {
        const size_t parent = calls.back().first;
        low[parent] = std::min(low[parent], low[done]);
      }
    }
  }
  return component;
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
  const std::vector<size_t> component = Components(readBy);
  std::vector<std::vector<size_t>> kept(n);
  std::vector<size_t> waiting(n, 0);
  for (size_t v = 0; v < n; ++v) {
    for (const size_t u : reads[v]) {
      if (!(stateful[v] && (u == v || component[u] == component[v]))) {
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
