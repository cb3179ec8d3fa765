// The clipboard and printer services in force, which tests may replace.
#include <utility>

#include "platform/clipboard.h"
#include "platform/printer.h"

namespace tsl {
namespace {

ClipboardService*& ClipboardInForce() {
  static ClipboardService* clipboard = &SystemClipboard();
  return clipboard;
}

PrinterService*& PrintersInForce() {
  static PrinterService* printers = &SystemPrinters();
  return printers;
}

}  // namespace

ClipboardService& Clipboard() { return *ClipboardInForce(); }

ScopedClipboard::ScopedClipboard(ClipboardService& replacement)
    : previous_(std::exchange(ClipboardInForce(), &replacement)) {}

ScopedClipboard::~ScopedClipboard() { ClipboardInForce() = previous_; }

PrinterService& Printers() { return *PrintersInForce(); }

ScopedPrinters::ScopedPrinters(PrinterService& replacement)
    : previous_(std::exchange(PrintersInForce(), &replacement)) {}

ScopedPrinters::~ScopedPrinters() { PrintersInForce() = previous_; }

}  // namespace tsl
