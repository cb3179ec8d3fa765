// Freed memory back to the system: glibc keeps a heap for each thread that allocates, and
// malloc_trim releases the free pages of them all.
#include <cstdlib>  // defines __GLIBC__ on glibc systems

#include "platform/memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tsl {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

}  // namespace tsl
