// One heap for every thread: the C runtime allocates from the process's heap already.
#include "platform/memory.h"

namespace tsl {

void KeepOneHeap() {}

}  // namespace tsl
