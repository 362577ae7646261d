// The host's services library (plinth), as the driver calls it: the heap,
// message reporting by key, the Text class, the module name and the
// math-error hook. The plinth stand-in implements exactly these declarations.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include <math.h>  // struct _exception, the C runtime's math exception record
#else
// The C runtime's math exception record, where the platform has none.
struct _exception {  // NOLINT(bugprone-reserved-identifier): the runtime's own name
  int type;
  char* name;
  double arg1;
  double arg2;
  double retval;
};
#endif

extern "C" {
void* Plinth_malloc(size_t size);
void* Plinth_calloc(size_t count, size_t size);
void* Plinth_realloc(void* block, size_t size);
void Plinth_free(void* block);
size_t Plinth__msize(void* block);  // NOLINT(bugprone-reserved-identifier)
char* Plinth_strdup(const char* text);
void* Plinth_new(size_t size);
void Plinth_delete(void* block);
// Integers pass as int32_t, texts as const char*.
void ErrorMsg(const char* key, ...);
const char* GetModuleName(void);
int Kvmatherr(const char* module, struct _exception* record);
}

// The host's text value class. Two words: the library's own, then the
// characters, which callers read directly through the inline c_str().
class Text {
 public:
  Text();
  Text(const char* text);  // NOLINT(google-explicit-constructor): the host's interface
  Text& operator=(const Text& other);
  ~Text();
  Text(const Text&) = delete;
  const char* c_str() const { return chars_; }

 private:
  void* own_;
  char* chars_;
};
