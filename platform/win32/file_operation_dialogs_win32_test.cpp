// The file operation dialogs in the program's resources: present, with the controls the code
// fills in, where a window can be made (under Wine without a display it cannot).
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/file_operation_dialogs.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::string TextOf(HWND window) {
  char buffer[256] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

TEST(FileOperationDialogsTest, ReplaceConfirmationAndErrorListAreInTheResources) {
  for (int id : {TSL_DIALOG_REPLACE, TSL_DIALOG_ERRORS}) {
    HRSRC found = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), RT_DIALOG);
    ASSERT_NE(found, nullptr) << id;
    EXPECT_GT(SizeofResource(GetModuleHandleA(nullptr), found), 0u) << id;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND replace = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TSL_DIALOG_REPLACE),
                                    nullptr, Quiet, 0);
  if (!replace) GTEST_SKIP() << "no window can be made here";
  EXPECT_EQ(TextOf(replace), "Replace Confirmation");
  EXPECT_EQ(TextOf(GetDlgItem(replace, TSL_REPLACE_HEADER)), "Do you want to overwrite the file:");
  const std::pair<int, const char*> buttons[] = {{IDYES, "&Yes"},
                                                 {TSL_REPLACE_YES_TO_ALL, "Yes to &All"},
                                                 {IDNO, "&No"},
                                                 {TSL_REPLACE_NO_TO_ALL, "N&o to All"},
                                                 {IDCANCEL, "Cancel"}};
  for (const auto& [id, label] : buttons) EXPECT_EQ(TextOf(GetDlgItem(replace, id)), label);
  EXPECT_NE(GetDlgItem(replace, TSL_REPLACE_EXISTING), nullptr);
  EXPECT_NE(GetDlgItem(replace, TSL_REPLACE_REPLACEMENT), nullptr);
  DestroyWindow(replace);
  HWND errors = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TSL_DIALOG_ERRORS),
                                   nullptr, Quiet, 0);
  ASSERT_NE(errors, nullptr);
  EXPECT_NE(GetDlgItem(errors, TSL_ERRORS_LIST), nullptr);
  EXPECT_EQ(TextOf(GetDlgItem(errors, IDOK)), "OK");
  DestroyWindow(errors);
}

// Waits for a top-level window with the caption, checks it and presses a button, from a thread
// of its own while the dialog runs on this one.
class Clicker {
 public:
  Clicker(std::string caption, int button, std::function<void(HWND)> check)
      : thread_([this, caption, button, check] {
          auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
          while (std::chrono::steady_clock::now() < end) {
            HWND window = FindWindowA(nullptr, caption.c_str());
            if (window && IsWindowVisible(window)) {  // shown: its texts are in
              check(window);
              PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
              return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
        }) {}
  ~Clicker() { thread_.join(); }

 private:
  std::thread thread_;
};

TEST(FileOperationDialogsTest, TheButtonsGiveTheAnswers) {
  HWND probe =
      CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe) GTEST_SKIP() << "no window can be made here";
  DestroyWindow(probe);
  std::string shown;
  {
    Clicker click("Replace Confirmation", TSL_REPLACE_NO_TO_ALL,
                  [&](HWND w) { shown = TextOf(GetDlgItem(w, TSL_REPLACE_EXISTING)); });
    EXPECT_EQ(ShowReplaceConfirmation("Header", "C:\\a.txt (3 bytes)", "with:\nC:\\b.txt?"), 3);
  }
  EXPECT_EQ(shown, "C:\\a.txt (3 bytes)");
  std::atomic<long> rows{-1};
  {
    Clicker click("File Operations Errors", IDOK, [&](HWND w) {
      rows = static_cast<long>(SendDlgItemMessageA(w, TSL_ERRORS_LIST, LVM_GETITEMCOUNT, 0, 0));
    });
    ShowFileOperationErrors("File Operations Errors", {"Error one", "Error two"});
  }
  EXPECT_EQ(rows, 2);
}

}  // namespace
}  // namespace tsl
