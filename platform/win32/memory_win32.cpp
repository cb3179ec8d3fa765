// Freed memory back to the system: the C runtime's heap releases what it can.
#include <malloc.h>

#include "platform/memory.h"

namespace tsl {

void ReturnFreedMemory() { ::_heapmin(); }

}  // namespace tsl
