// One heap for every thread: glibc gives each thread that allocates a heap of its own unless
// told otherwise.
#include <cstdlib>  // defines __GLIBC__ on glibc systems

#include "platform/memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tsl {

void KeepOneHeap() {
#if defined(__GLIBC__)
  ::mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace tsl
