// The calls of operator new in the program that links new_count.cpp, which
// replaces the global operator new and delete to count them. Counts only;
// never changes what is allocated.
#pragma once

namespace bench {

unsigned long NewCount();

}  // namespace bench
