// The clipboard's plain text: the Windows clipboard (CF_TEXT), or on Linux the session's
// clipboard through xclip (X11) or wl-copy/wl-paste (Wayland). Text is the ANSI code page, as
// everywhere in the program; on Linux it is converted to and from UTF-8 at the clipboard.
#pragma once

#include <string>

#include "platform/error.h"

namespace tsl {

class ClipboardService {
 public:
  virtual ~ClipboardService() = default;

  /// The text on the clipboard; `*has_text` is false (and `*text` empty) when it holds none.
  /// Fails when there is no clipboard to read (no display, no clipboard tool); `*why` then gets
  /// the system's own words when there are some.
  virtual SysError ReadText(std::string* text, bool* has_text, std::string* why) = 0;
  /// Puts `text` on the clipboard, replacing what was there.
  virtual SysError WriteText(const std::string& text, std::string* why) = 0;
};

/// The clipboard in force: the system's, unless a test has put another in force.
ClipboardService& Clipboard();
/// The system's clipboard.
ClipboardService& SystemClipboard();

/// Puts another clipboard in force for its lifetime.
class ScopedClipboard {
 public:
  explicit ScopedClipboard(ClipboardService& replacement);
  ~ScopedClipboard();
  ScopedClipboard(const ScopedClipboard&) = delete;
  ScopedClipboard& operator=(const ScopedClipboard&) = delete;

 private:
  ClipboardService* previous_;
};

}  // namespace tsl
