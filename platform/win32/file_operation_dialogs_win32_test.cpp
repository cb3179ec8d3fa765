// The file operation dialogs in the program's resources: present, with the controls the code
// fills in, where a window can be made (under Wine without a display it cannot).
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/file_operation_dialogs.h"
#include "platform/win32/window_test_support.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

using testing::PressButton;
using testing::TextOf;
using testing::WindowActor;

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

TEST(FileOperationDialogsTest, TheButtonsGiveTheAnswers) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  std::string shown;
  {
    WindowActor click("Replace Confirmation", [&](HWND w) {
      shown = TextOf(GetDlgItem(w, TSL_REPLACE_EXISTING));
      PressButton(w, TSL_REPLACE_NO_TO_ALL);
    });
    EXPECT_EQ(ShowReplaceConfirmation("Header", "C:\\a.txt (3 bytes)", "with:\nC:\\b.txt?"), 3);
  }
  EXPECT_EQ(shown, "C:\\a.txt (3 bytes)");
  std::atomic<long> rows{-1};
  {
    WindowActor click("File Operations Errors", [&](HWND w) {
      rows = static_cast<long>(SendDlgItemMessageA(w, TSL_ERRORS_LIST, LVM_GETITEMCOUNT, 0, 0));
      PressButton(w, IDOK);
    });
    ShowFileOperationErrors("File Operations Errors", {"Error one", "Error two"});
  }
  EXPECT_EQ(rows, 2);
}

}  // namespace
}  // namespace tsl
