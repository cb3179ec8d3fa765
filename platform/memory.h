// The process's memory as the system sees it.
#pragma once

namespace tsl {

/// Makes every thread allocate from the one heap, so that what one thread frees another can use
/// again: a comparison frees on one thread the records another thread made. Where each thread
/// would otherwise get a heap of its own (glibc), that heap's free pages serve no other thread.
/// For the start of main, before a second thread.
void KeepOneHeap();

}  // namespace tsl
