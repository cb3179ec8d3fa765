// The "Synchronize Directories" dialog on Windows, where a window can be made: the folders and
// the preselection shown, Swap, the option chosen, OK and Cancel.
#include <windows.h>
#include <gtest/gtest.h>

#include "platform/operation_dialog.h"
#include "platform/win32/window_test_support.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

using testing::PressButton;
using testing::TextOf;
using testing::WindowActor;

const std::vector<OperationOption> kOptions = {
    {"S&ynchronize", 0}, {"&Augment", 1}, {"&Refresh", 2}, {"&Update", 3},
    {"&Prune", 4},       {"Remove &Duplicates", 5},       {"Recreate", 7}};

constexpr const char* kCaption = "Synchronize Directories";

TEST(OperationDialogWin32Test, ShowsTheChoiceSwapsAndTakesTheOptionChosen) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  OperationChoice choice{"C:\\left\\", "C:\\right\\", 3};
  std::string source, target;
  bool preselected = false;
  DialogOutcome outcome;
  {
    WindowActor act(kCaption, [&](HWND w) {
      source = TextOf(GetDlgItem(w, TSL_SYNCHRONIZE_SOURCE));
      target = TextOf(GetDlgItem(w, TSL_SYNCHRONIZE_TARGET));
      preselected = IsDlgButtonChecked(w, TSL_SYNCHRONIZE_FIRST_OPTION + 3) == BST_CHECKED;
      CheckRadioButton(w, TSL_SYNCHRONIZE_FIRST_OPTION, TSL_SYNCHRONIZE_FIRST_OPTION + 6,
                       TSL_SYNCHRONIZE_FIRST_OPTION + 6);
      PressButton(w, TSL_SYNCHRONIZE_SWAP);
      PressButton(w, IDOK);
    });
    outcome = ShowOperationDialog(kOptions, &choice);
  }
  EXPECT_EQ(source, "C:\\left\\");
  EXPECT_EQ(target, "C:\\right\\");
  EXPECT_TRUE(preselected);
  EXPECT_EQ(outcome, DialogOutcome::kOk);
  EXPECT_EQ(choice.source, "C:\\right\\");
  EXPECT_EQ(choice.target, "C:\\left\\");
  EXPECT_EQ(choice.code, 7);
}

TEST(OperationDialogWin32Test, CancelLeavesTheChoiceAlone) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  OperationChoice choice{"C:\\left\\", "C:\\right\\", 0};
  DialogOutcome outcome;
  {
    WindowActor act(kCaption, [](HWND w) {
      PressButton(w, TSL_SYNCHRONIZE_SWAP);
      PressButton(w, IDCANCEL);
    });
    outcome = ShowOperationDialog(kOptions, &choice);
  }
  EXPECT_EQ(outcome, DialogOutcome::kCancel);
  EXPECT_EQ(choice.source, "C:\\left\\");
  EXPECT_EQ(choice.target, "C:\\right\\");
  EXPECT_EQ(choice.code, 0);
}

}  // namespace
}  // namespace tsl
