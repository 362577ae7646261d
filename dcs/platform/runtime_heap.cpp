// Routes the heap requests of the C runtime linked into the Windows DLL to
// the host's allocator: the runtime's own start-up allocates while the DLL
// attaches, and its import table must name none of the C runtime's heap
// routines. Linked into the Windows DLL only. The driver itself makes no C++
// allocation: on Linux the library links no C++ runtime and refuses undefined
// symbols, so an allocation would not link; on Windows the C++ runtime's
// operator new would come here through malloc.
#include <cstddef>

#include "platform/host_services_api.h"

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
