// The global operator new and delete of a benchmark program, counting each new:
// a benchmark reads the count before and after its loop to show that a step
// allocates nothing. Apart from its own translation unit, so that no caller
// sees new and delete inlined. Never changes what is allocated.
#include "new_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<unsigned long> count{0};

}  // namespace

namespace bench {

unsigned long NewCount() { return count; }

}  // namespace bench

void* operator new(std::size_t size) {
  ++count;
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
