// The process's memory as the system sees it.
#pragma once

namespace tsl {

/// Gives the pages the process has freed back to the system, in the heap of every thread: for
/// after a helper thread's buffers, freed by another thread, would otherwise stay with the
/// helper's heap.
void ReturnFreedMemory();

}  // namespace tsl
