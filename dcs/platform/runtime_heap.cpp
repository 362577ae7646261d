// Routes every heap request of the driver library's language runtime to the
// host's allocator: the C++ allocation operators and, on Windows, the C
// runtime heap routines linked into the library, so that its import table
// names none of the C runtime's own. Linked into the shared library only.
#include <cstddef>
#include <new>

#include "platform/host_services_api.h"

void* operator new(std::size_t size) { return Plinth_new(size); }
void* operator new[](std::size_t size) { return Plinth_new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Plinth_new(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Plinth_new(size); }
void operator delete(void* block) noexcept { Plinth_delete(block); }
void operator delete[](void* block) noexcept { Plinth_delete(block); }
void operator delete(void* block, std::size_t) noexcept { Plinth_delete(block); }
void operator delete[](void* block, std::size_t) noexcept { Plinth_delete(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Plinth_delete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Plinth_delete(block); }

#if defined(_WIN32)
// The C runtime headers declare these as imports; here they are defined.
#pragma GCC diagnostic ignored "-Wattributes"
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" {
void* malloc(size_t size) { return Plinth_malloc(size); }
void* calloc(size_t count, size_t size) { return Plinth_calloc(count, size); }
void* realloc(void* block, size_t size) { return Plinth_realloc(block, size); }
void free(void* block) { Plinth_free(block); }
size_t _msize(void* block) { return Plinth__msize(block); }
char* _strdup(const char* text) { return Plinth_strdup(text); }
char* strdup(const char* text) { return Plinth_strdup(text); }
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
#endif
