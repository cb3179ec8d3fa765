// The registry job's windows on Windows, where a window can be made: the replace question, the
// Searching window and the merge window with its Compare Options, driven as a user would.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/dialogs.h"
#include "platform/merge_window.h"
#include "platform/progress_display.h"
#include "platform/win32/window_test_support.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

using testing::OwnWindow;
using testing::PressButton;
using testing::TextOf;
using testing::WindowActor;

// Waits up to five seconds for `done`.
bool WaitFor(const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST(RegistryWindowsWin32Test, ReplaceQuestionShowsKeyItemOldAndNewAndAnswersWithItsButtons) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  const std::string caption = "Replace - HKEY_CURRENT_USER\\Software\\T";
  const std::vector<std::string> buttons = {"Replace &This", "Replace &Rest", "&Skip This",
                                            "&Cancel Rest"};
  std::string path, item, old_text, new_text, skip_label;
  int answer;
  {
    WindowActor act(caption, [&](HWND w) {
      path = TextOf(GetDlgItem(w, TSL_REGISTRY_REPLACE_PATH));
      item = TextOf(GetDlgItem(w, TSL_REGISTRY_REPLACE_ITEM));
      old_text = TextOf(GetDlgItem(w, TSL_REGISTRY_REPLACE_OLD));
      new_text = TextOf(GetDlgItem(w, TSL_REGISTRY_REPLACE_NEW));
      skip_label = TextOf(GetDlgItem(w, TSL_REGISTRY_REPLACE_SKIP));
      PressButton(w, TSL_REGISTRY_REPLACE_SKIP);
    });
    answer = SystemAsk(DialogStyle::kRegistryReplace, caption,
                       "Data of value Path\nOld: C:\\a & b\nNew: C:\\c", buttons);
  }
  EXPECT_EQ(path, "HKEY_CURRENT_USER\\Software\\T");
  EXPECT_EQ(item, "Data of value Path");
  EXPECT_EQ(old_text, "C:\\a & b");
  EXPECT_EQ(new_text, "C:\\c");
  EXPECT_EQ(skip_label, "&Skip This");
  EXPECT_EQ(answer, 2);

  {
    WindowActor act(caption, [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); });
    answer = SystemAsk(DialogStyle::kRegistryReplace, caption, "Key name\nOld: a\nNew: b", buttons);
  }
  EXPECT_EQ(answer, 3);  // Cancel Rest
}

TEST(RegistryWindowsWin32Test, SearchingWindowMovesItsBarShowsTheStatusAndReportsCancel) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  ProgressDisplaySetup setup;
  setup.kind = ProgressDisplayKind::kSearching;
  std::unique_ptr<ProgressDisplay> display = OpenSystemProgressDisplay(setup);
  ASSERT_NE(display, nullptr);
  HWND window = OwnWindow("Searching");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(TextOf(GetDlgItem(window, TSL_SEARCHING_LABEL)), "Searching...");
  display->SetText("Searched 3 keys, 7 values");
  EXPECT_EQ(TextOf(GetDlgItem(window, TSL_SEARCHING_STATUS)), "Searched 3 keys, 7 values");

  auto position = [&] {
    return SendDlgItemMessageA(window, TSL_SEARCHING_ANIMATION, PBM_GETPOS, 0, 0);
  };
  LRESULT start = position();
  EXPECT_TRUE(WaitFor([&] {
    EXPECT_FALSE(display->Pump());
    return position() != start;
  })) << "the bar moves while the window is pumped";

  PressButton(window, IDCANCEL);
  EXPECT_TRUE(display->Pump());
  display->Close();
  EXPECT_FALSE(IsWindow(window));
}

std::vector<MergeRow> Rows() {
  return {{"HKEY_CURRENT_USER\\T", "Added", "\"new\"", "", false, false},
          {"HKEY_CURRENT_USER\\T", "Gone", "", kMergeDeletionText, true, true},
          {"HKEY_CURRENT_USER\\T", "Path", "\"C:\\\\A\"", "\"c:\\\\a\"", true, false},
          {"HKEY_CURRENT_USER\\T\\Sub", "Text", "\"two\"", "\"x\"", true, false}};
}

LRESULT Count(HWND list) { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }

TEST(RegistryWindowsWin32Test, MergeWindowDeletesSelectedLinesAndHidesByItsOptions) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  MergeList list(Rows());
  std::vector<std::string> answers;
  auto record = [&](std::size_t listed, const std::string& answer) {
    answers.push_back(std::to_string(listed) + ": " + answer);
  };
  std::string file, shown_after;
  bool options_checked = false, deleted = false, hidden = false;
  MergeOutcome outcome;
  {
    WindowActor act("Reg File to Registry Compare and Merge", [&](HWND w) {
      HWND view = GetDlgItem(w, TSL_MERGE_LIST);
      file = TextOf(GetDlgItem(w, TSL_MERGE_FILE));
      LVITEMA select{};
      select.stateMask = LVIS_SELECTED;
      select.state = LVIS_SELECTED;
      SendMessageA(view, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&select));
      PressButton(w, TSL_MERGE_DELETE);
      deleted = WaitFor([&] { return Count(view) == 3; });

      PressButton(w, TSL_MERGE_OPTIONS);
      HWND options = nullptr;
      // Found before it is shown, the dialog may not have set its boxes from the options yet.
      if (WaitFor([&] {
            options = OwnWindow("Compare Options");
            return options && IsWindowVisible(options);
          })) {
        options_checked = IsDlgButtonChecked(options, TSL_COMPARE_ONLY_IN_REGISTRY) == BST_CHECKED;
        SendDlgItemMessageA(options, TSL_COMPARE_ONLY_IN_REGISTRY, BM_SETCHECK, BST_UNCHECKED, 0);
        PressButton(options, IDOK);
      }
      hidden = WaitFor([&] { return Count(view) == 2; });
      shown_after = TextOf(GetDlgItem(w, TSL_MERGE_SHOWN));
      PressButton(w, IDOK);
    });
    outcome = ShowMergeWindow("C:\\out\\preview.reg", &list, record);
  }
  EXPECT_EQ(file, "C:\\out\\preview.reg");
  EXPECT_TRUE(deleted);
  EXPECT_TRUE(options_checked);
  EXPECT_TRUE(hidden);
  EXPECT_EQ(shown_after, "2 line(s) listed, 1 hidden by the options (they are merged too)");
  EXPECT_EQ(outcome, MergeOutcome::kMerge);
  EXPECT_EQ(answers, (std::vector<std::string>{"4: Delete 3", "2: Merge Values"}));
  EXPECT_FALSE(list.options().show_only_in_registry);
  EXPECT_EQ(list.Kept(), (std::vector<std::size_t>{0, 1, 3}));

  // Closing the window cancels.
  MergeList other(Rows());
  answers.clear();
  {
    WindowActor act("Reg File to Registry Compare and Merge",
                    [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); });
    outcome = ShowMergeWindow("a.reg", &other, record);
  }
  EXPECT_EQ(outcome, MergeOutcome::kCancel);
  EXPECT_EQ(answers, std::vector<std::string>{"4: Cancel"});
}

}  // namespace
}  // namespace tsl
