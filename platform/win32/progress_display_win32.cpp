// The progress display on Windows: the modeless dialog 128 of the resources, with its picture
// (1097), status text (1090), bar (1088, range 0-200) and Cancel button; or the registry job's
// "Searching" window (dialog 132), whose bar a timer moves round while the window is pumped. When
// the dialog cannot be created (no display, or a program without the resources) there is no
// display.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <algorithm>

#include "platform/progress_display.h"
#include "platform/win32/bitmap_win32.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

constexpr int kDialogResource = 128;
constexpr int kPictureControl = 1097;
constexpr int kStatusControl = 1090;
constexpr int kBarControl = 1088;

// The "Searching" window's moving bar: a step every 80 ms, round a range of 0 to 100.
constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT kAnimationMs = 80;
constexpr int kAnimationRange = 100;
constexpr int kAnimationStep = 5;

class Win32ProgressDisplay : public ProgressDisplay {
 public:
  explicit Win32ProgressDisplay(const ProgressDisplaySetup& setup)
      : setup_(setup), searching_(setup.kind == ProgressDisplayKind::kSearching) {}
  ~Win32ProgressDisplay() override { Close(); }

  /// Creates the dialog; false when no window could be created.
  bool Create() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    int resource = searching_ ? TSL_DIALOG_SEARCHING : kDialogResource;
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource), nullptr,
                                 DialogProc, reinterpret_cast<LPARAM>(this));
    if (!dialog_) return false;
    ShowWindow(dialog_, SW_SHOWNORMAL);
    UpdateWindow(dialog_);
    return true;
  }

  void SetBar(std::int64_t value) override {
    if (!dialog_ || searching_) return;
    auto shown = static_cast<WPARAM>(std::clamp<std::int64_t>(value, 0, kBarRange));
    SendDlgItemMessageA(dialog_, kBarControl, PBM_SETPOS, shown, 0);
  }

  void SetText(const std::string& text) override {
    if (dialog_) SetDlgItemTextA(dialog_, StatusControl(), text.c_str());
  }

  bool Pump() override {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));  // keep it for whoever ends the run
        break;
      }
      if (dialog_ && IsDialogMessageA(dialog_, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    bool requested = cancel_requested_;
    cancel_requested_ = false;
    return requested;
  }

  void RefuseCancel() override { MessageBeep(MB_ICONWARNING); }

  void Close() override {
    if (dialog_) {
      if (searching_) KillTimer(dialog_, kAnimationTimer);
      DestroyWindow(dialog_);
    }
    dialog_ = nullptr;
    picture_.Reset();
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(window, DWLP_USER, lparam);
      reinterpret_cast<Win32ProgressDisplay*>(lparam)->Initialize(window);
      return TRUE;
    }
    auto* self = reinterpret_cast<Win32ProgressDisplay*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self) return FALSE;
    if ((message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) || message == WM_CLOSE) {
      self->cancel_requested_ = true;  // the owner decides at the next pump
      return TRUE;
    }
    if (message == WM_TIMER && wparam == kAnimationTimer) {
      self->Animate(window);
      return TRUE;
    }
    return FALSE;
  }

  int StatusControl() const { return searching_ ? TSL_SEARCHING_STATUS : kStatusControl; }

  void Animate(HWND window) {
    animation_ = (animation_ + kAnimationStep) % (kAnimationRange + kAnimationStep);
    SendDlgItemMessageA(window, TSL_SEARCHING_ANIMATION, PBM_SETPOS,
                        static_cast<WPARAM>(animation_), 0);
  }

  void InitializeSearching(HWND window) {
    SetDlgItemTextA(window, TSL_SEARCHING_STATUS, setup_.text.c_str());
    SendDlgItemMessageA(window, TSL_SEARCHING_ANIMATION, PBM_SETRANGE32, 0, kAnimationRange);
    SendDlgItemMessageA(window, TSL_SEARCHING_ANIMATION, PBM_SETPOS, 0, 0);
    SetTimer(window, kAnimationTimer, kAnimationMs, nullptr);
    EnableWindow(GetDlgItem(window, IDCANCEL), setup_.cancel_enabled);
    CenterOnWorkArea(window);
  }

  void Initialize(HWND window) {
    if (searching_) {
      InitializeSearching(window);
      return;
    }
    if (!setup_.bitmap_file.empty()) picture_ = ReadBitmapFile(setup_.bitmap_file);
    if (!picture_) picture_ = BuiltInProgressPicture();
    if (picture_) {
      SendDlgItemMessageA(window, kPictureControl, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(picture_.get()));
    }
    SetDlgItemTextA(window, kStatusControl, setup_.text.c_str());
    SendDlgItemMessageA(window, kBarControl, PBM_SETRANGE32, 0, kBarRange);
    SendDlgItemMessageA(window, kBarControl, PBM_SETPOS, 0, 0);
    EnableWindow(GetDlgItem(window, IDCANCEL), setup_.cancel_enabled);
    CenterOnWorkArea(window);
  }

  static void CenterOnWorkArea(HWND window) {
    RECT area, frame;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) || !GetWindowRect(window, &frame)) {
      return;
    }
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  ProgressDisplaySetup setup_;
  bool searching_;
  int animation_ = 0;
  HWND dialog_ = nullptr;
  OwnedBitmap picture_;
  bool cancel_requested_ = false;
};

}  // namespace

std::unique_ptr<ProgressDisplay> OpenSystemProgressDisplay(const ProgressDisplaySetup& setup) {
  auto display = std::make_unique<Win32ProgressDisplay>(setup);
  if (!display->Create()) return nullptr;
  return display;
}

void EndProgressLineForMessage() {}

}  // namespace tsl
