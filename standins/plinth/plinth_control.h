// Control API of the plinth stand-in (the host services library), for tests
// and the host program: inspect the heap accounting, inject allocation
// failures, read the message journal and the math-error calls.
#pragma once

#include <cstddef>

extern "C" {
// Heap accounting. Every Plinth_* block is tracked with the function that
// allocated it and its size.
size_t PlinthLiveBlocks(void);
size_t PlinthLiveBytes(void);
// Live blocks allocated by one function: "malloc", "calloc", "realloc",
// "strdup" or "new".
size_t PlinthLiveBlocksFrom(const char* function);
// Calls made to one function, by its name without prefix ("malloc", "free",
// "new", "delete", "calloc", "realloc", "msize", "strdup").
unsigned long PlinthCallCount(const char* function);
// Allocation requests of every kind since the start (failed ones included).
unsigned long PlinthAllocationCount(void);
// Fails the nth allocation request from now (1 = the next one); with
// persistent, every request from the nth on fails. 0 disables.
void PlinthFailAllocation(unsigned long nth, int persistent);
unsigned long PlinthFailedAllocations(void);
// Misuse found by the allocator: a block freed with the wrong function, or a
// pointer it never handed out. Such a free is refused and recorded.
size_t PlinthMisuseCount(void);
const char* PlinthMisuse(size_t index);

// Message journal of ErrorMsg: key, decoded arguments (texts quoted, integers
// plain, comma separated) and the catalog's text with the arguments put in.
size_t PlinthMessageCount(void);
const char* PlinthMessageKey(size_t index);
const char* PlinthMessageArgs(size_t index);
const char* PlinthMessageText(size_t index);
void PlinthClearMessages(void);
// Messages are printed to stderr unless echo is off.
void PlinthSetEcho(int on);
// The catalog's text for a key and its argument kinds ("s" text, "i"
// integer), or null for a key the catalog does not know.
const char* PlinthCatalogText(const char* key);
const char* PlinthCatalogArgs(const char* key);

// Text objects alive now.
long PlinthLiveTexts(void);
// Text objects constructed since the start.
unsigned long PlinthTextConstructions(void);

// Math-error hook calls: count, and the last one as "module|name|type|arg1".
unsigned long PlinthMathErrorCount(void);
const char* PlinthLastMathError(void);
void PlinthSetMathErrorResult(int result);
}
