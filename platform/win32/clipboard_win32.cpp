// The Windows clipboard's plain text (CF_TEXT, the ANSI code page).
#include <windows.h>

#include <cstring>

#include "platform/clipboard.h"

namespace tsl {
namespace {

// The failure of the call just made (some calls fail without saying why).
SysError SystemFailure() {
  SysError e = NativeError(static_cast<int>(GetLastError()));
  return e.failed() ? e : ErrorOfKind(ErrorKind::kOther);
}

// The clipboard, opened for this thread while the object lives. Another program may hold it for
// a moment: opening is tried a few times.
class OpenedClipboard {
 public:
  OpenedClipboard() {
    for (int attempt = 0; attempt < 10 && !opened_; ++attempt) {
      opened_ = OpenClipboard(nullptr) != 0;
      if (!opened_) {
        error_ = SystemFailure();
        Sleep(20);
      }
    }
    if (!opened_ && error_.ok()) error_ = ErrorOfKind(ErrorKind::kAccessDenied);
  }
  ~OpenedClipboard() {
    if (opened_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;

  bool opened() const { return opened_; }
  SysError error() const { return error_; }

 private:
  bool opened_ = false;
  SysError error_;
};

class Win32Clipboard : public ClipboardService {
 public:
  SysError ReadText(std::string* text, bool* has_text, std::string*) override {
    text->clear();
    *has_text = false;
    OpenedClipboard clipboard;
    if (!clipboard.opened()) return clipboard.error();
    if (!IsClipboardFormatAvailable(CF_TEXT)) return {};
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data) return SystemFailure();
    const char* bytes = static_cast<const char*>(GlobalLock(data));
    if (!bytes) return SystemFailure();
    std::size_t size = GlobalSize(data);
    const void* end = std::memchr(bytes, '\0', size);
    text->assign(bytes, end ? static_cast<const char*>(end) - bytes : size);
    GlobalUnlock(data);
    *has_text = true;
    return {};
  }

  SysError WriteText(const std::string& text, std::string*) override {
    OpenedClipboard clipboard;
    if (!clipboard.opened()) return clipboard.error();
    if (!EmptyClipboard()) return SystemFailure();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!memory) return SystemFailure();
    char* bytes = static_cast<char*>(GlobalLock(memory));
    if (!bytes) {
      SysError e = SystemFailure();
      GlobalFree(memory);
      return e;
    }
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_TEXT, memory)) {
      SysError e = SystemFailure();
      GlobalFree(memory);  // still ours: the clipboard did not take it
      return e;
    }
    return {};
  }
};

}  // namespace

ClipboardService& SystemClipboard() {
  static Win32Clipboard clipboard;
  return clipboard;
}

}  // namespace tsl
