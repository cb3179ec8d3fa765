// Helpers for the tests of the Windows windows: read a control's text, and act on a window that
// another call shows (a modal dialog blocks the thread that shows it).
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace tsl::testing {

inline std::string TextOf(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

/// True when this process can make windows (under Wine without a display it cannot).
inline bool WindowsCanBeMade() {
  HWND probe =
      CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

/// A top-level window of this process with the caption (test programs run side by side, and
/// the programs they start show windows of their own).
inline HWND OwnWindow(const std::string& caption) {
  for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, caption.c_str()); window;
       window = FindWindowExA(nullptr, window, nullptr, caption.c_str())) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return window;
  }
  return nullptr;
}

/// Waits, on a thread of its own, for a visible top-level window with the caption and hands it
/// to `act`, which looks at it and presses its buttons (by posting or sending messages). Gives
/// up after ten seconds; the destructor waits for the thread.
class WindowActor {
 public:
  WindowActor(std::string caption, std::function<void(HWND)> act)
      : thread_([caption = std::move(caption), act = std::move(act)] {
          auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
          while (std::chrono::steady_clock::now() < end) {
            HWND window = OwnWindow(caption);
            if (window && IsWindowVisible(window)) {  // shown: its texts are in
              act(window);
              return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
        }) {}
  ~WindowActor() { thread_.join(); }
  WindowActor(const WindowActor&) = delete;
  WindowActor& operator=(const WindowActor&) = delete;

 private:
  std::thread thread_;
};

/// Presses a button of a dialog as a click would.
inline void PressButton(HWND dialog, int button) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

}  // namespace tsl::testing
