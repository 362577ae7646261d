// The host's heap, with accounting: every block is tracked with the function
// that allocated it and its size, calls are counted, and the Nth allocation
// can be made to fail. A free through the wrong function, or of a pointer the
// heap never handed out, is refused and recorded, never a crash.
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "plinth_control.h"
#include "platform/host_services_api.h"

namespace {

enum class Kind { Malloc, Calloc, Realloc, Strdup, New };

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Malloc: return "malloc";
    case Kind::Calloc: return "calloc";
    case Kind::Realloc: return "realloc";
    case Kind::Strdup: return "strdup";
    case Kind::New: return "new";
  }
  return "?";
}

// The release function a block must come back through.
bool FreedBy(Kind kind, bool byDelete) { return (kind == Kind::New) == byDelete; }

struct Block {
  size_t size;
  Kind kind;
};

struct Heap {
  std::unordered_map<void*, Block> blocks;
  std::unordered_map<std::string, unsigned long> calls;
  std::vector<std::string> misuse;
  unsigned long allocations = 0;
  unsigned long failed = 0;
  unsigned long failAt = 0;  // absolute request number, 0 = none
  bool failPersistent = false;
  size_t liveBytes = 0;
};

Heap& TheHeap() {
  static Heap heap;
  return heap;
}

// Counts a request and says whether it is to fail.
bool NextRequestFails() {
  Heap& heap = TheHeap();
  const unsigned long n = ++heap.allocations;
  const bool fails = heap.failAt != 0 && (n == heap.failAt || (heap.failPersistent && n > heap.failAt));
  if (fails) {
    ++heap.failed;
  }
  return fails;
}

void* Allocate(const char* function, Kind kind, size_t size, bool zero) {
  Heap& heap = TheHeap();
  ++heap.calls[function];
  if (NextRequestFails()) {
    return nullptr;
  }
  void* block = zero ? std::calloc(size == 0 ? 1 : size, 1) : std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) {
    heap.blocks[block] = Block{size, kind};
    heap.liveBytes += size;
  }
  return block;
}

void Release(const char* function, void* block, bool byDelete) {
  Heap& heap = TheHeap();
  ++heap.calls[function];
  if (block == nullptr) {
    return;
  }
  auto found = heap.blocks.find(block);
  if (found == heap.blocks.end()) {
    heap.misuse.push_back(std::string(function) + " of a pointer the heap never handed out");
    return;
  }
  if (!FreedBy(found->second.kind, byDelete)) {
    heap.misuse.push_back(std::string(function) + " of a block from " + KindName(found->second.kind));
    return;
  }
  heap.liveBytes -= found->second.size;
  heap.blocks.erase(found);
  std::free(block);
}

}  // namespace

extern "C" {

void* Plinth_malloc(size_t size) { return Allocate("malloc", Kind::Malloc, size, false); }

void* Plinth_calloc(size_t count, size_t size) { return Allocate("calloc", Kind::Calloc, count * size, true); }

void* Plinth_realloc(void* block, size_t size) {
  Heap& heap = TheHeap();
  if (block == nullptr) {
    return Allocate("realloc", Kind::Realloc, size, false);
  }
  auto found = heap.blocks.find(block);
  if (found == heap.blocks.end() || found->second.kind == Kind::New) {
    ++heap.calls["realloc"];
    heap.misuse.emplace_back("realloc of a block it cannot resize");
    return nullptr;
  }
  void* fresh = Allocate("realloc", Kind::Realloc, size, false);
  if (fresh == nullptr) {
    return nullptr;
  }
  const size_t old = found->second.size;
  std::memcpy(fresh, block, old < size ? old : size);
  heap.liveBytes -= old;
  heap.blocks.erase(found);
  std::free(block);
  return fresh;
}

void Plinth_free(void* block) { Release("free", block, false); }

size_t Plinth__msize(void* block) {
  Heap& heap = TheHeap();
  ++heap.calls["msize"];
  auto found = heap.blocks.find(block);
  return found == heap.blocks.end() ? 0 : found->second.size;
}

char* Plinth_strdup(const char* text) {
  const size_t length = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(Allocate("strdup", Kind::Strdup, length, false));
  if (copy != nullptr) {
    std::memcpy(copy, text, length);
  }
  return copy;
}

void* Plinth_new(size_t size) { return Allocate("new", Kind::New, size, false); }

void Plinth_delete(void* block) { Release("delete", block, true); }

size_t PlinthLiveBlocks(void) { return TheHeap().blocks.size(); }
size_t PlinthLiveBytes(void) { return TheHeap().liveBytes; }

size_t PlinthLiveBlocksFrom(const char* function) {
  size_t count = 0;
  for (const auto& entry : TheHeap().blocks) {
    if (std::strcmp(KindName(entry.second.kind), function) == 0) {
      ++count;
    }
  }
  return count;
}

unsigned long PlinthCallCount(const char* function) {
  const auto& calls = TheHeap().calls;
  auto found = calls.find(function);
  return found == calls.end() ? 0 : found->second;
}

unsigned long PlinthAllocationCount(void) { return TheHeap().allocations; }

void PlinthFailAllocation(unsigned long nth, int persistent) {
  Heap& heap = TheHeap();
  heap.failAt = nth == 0 ? 0 : heap.allocations + nth;
  heap.failPersistent = persistent != 0;
}

unsigned long PlinthFailedAllocations(void) { return TheHeap().failed; }

size_t PlinthMisuseCount(void) { return TheHeap().misuse.size(); }

const char* PlinthMisuse(size_t index) {
  const auto& misuse = TheHeap().misuse;
  return index < misuse.size() ? misuse[index].c_str() : nullptr;
}

}  // extern "C"
