// The file replacement's two questions on Windows, where a window can be made: the texts shown,
// the answer of a button pressed, and the answer of Esc or of closing the window.
#include <windows.h>
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "platform/win32/window_test_support.h"
#include "resources/dialog_ids.h"

namespace tsl {
namespace {

using testing::PressButton;
using testing::TextOf;
using testing::WindowActor;

const std::vector<std::string> kReplaceButtons = {
    "&Replace This",      "S&kip This",         "Repl. Re&st In File",  "Skip Rest of &File",
    "Repl. Rest In &Dir", "Skip Res&t in Dir.", "Repl. &All Remaining", "&Cancel Remaining"};
const std::vector<std::string> kConfirmationButtons = {"&Yes", "Yes to &All", "&No", "Cancel"};

constexpr const char* kReplaceCaption = "Replace - C:\\data\\notes.txt";

std::vector<std::string> ListRows(HWND list) {
  std::vector<std::string> rows;
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char row[512] = {};
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row));
    rows.push_back(row);
  }
  return rows;
}

TEST(DialogsWin32Test, ReplaceConfirmationShowsTheLineAndPathAndAnswersWithTheButtonsIndex) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  std::vector<std::string> rows;
  std::string path, first_label, fifth_label, last_label;
  int answer;
  {
    WindowActor act(kReplaceCaption, [&](HWND w) {
      rows = ListRows(GetDlgItem(w, TSL_REPLACE_CONFIRMATION_LINE));
      path = TextOf(GetDlgItem(w, TSL_REPLACE_CONFIRMATION_PATH));
      first_label = TextOf(GetDlgItem(w, TSL_REPLACE_CONFIRMATION_FIRST_BUTTON));
      fifth_label = TextOf(GetDlgItem(w, TSL_REPLACE_CONFIRMATION_FIRST_BUTTON + 4));
      last_label = TextOf(GetDlgItem(w, IDCANCEL));
      PressButton(w, TSL_REPLACE_CONFIRMATION_FIRST_BUTTON + 4);
    });
    answer = SystemAsk(DialogStyle::kReplaceConfirmation, kReplaceCaption,
                       "notes.txt(12): the old & the new", kReplaceButtons);
  }
  EXPECT_EQ(rows, std::vector<std::string>{"notes.txt(12): the old & the new"});
  EXPECT_EQ(path, "C:\\data\\notes.txt");
  EXPECT_EQ(first_label, "&Replace This");
  EXPECT_EQ(fifth_label, "Repl. Rest In &Dir");
  EXPECT_EQ(last_label, "&Cancel Remaining");
  EXPECT_EQ(answer, 4);
}

TEST(DialogsWin32Test, EscapeOnTheReplaceConfirmationCancelsTheRemaining) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  int answer;
  {
    WindowActor act(kReplaceCaption, [](HWND w) {
      PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);  // as the dialog's message loop gets it
    });
    answer = SystemAsk(DialogStyle::kReplaceConfirmation, kReplaceCaption, "x", kReplaceButtons);
  }
  EXPECT_EQ(answer, 7);
}

TEST(DialogsWin32Test, ConfirmationRequiredShowsTheQuestionAndAnswersYesToAllOrCancel) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  const std::string question = "C:\\data\\notes.txt\nis read-only.\nReplace it anyway?";
  std::string shown, yes_to_all_label;
  int answer;
  {
    WindowActor act("Confirmation Required", [&](HWND w) {
      shown = TextOf(GetDlgItem(w, TSL_CONFIRMATION_QUESTION));
      yes_to_all_label = TextOf(GetDlgItem(w, TSL_CONFIRMATION_YES_TO_ALL));
      PressButton(w, TSL_CONFIRMATION_YES_TO_ALL);
    });
    answer = SystemAsk(DialogStyle::kConfirmationRequired, "Confirmation Required", question,
                       kConfirmationButtons);
  }
  EXPECT_EQ(shown, question);
  EXPECT_EQ(yes_to_all_label, "Yes to &All");
  EXPECT_EQ(answer, 1);

  {
    WindowActor act("Confirmation Required", [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); });
    answer = SystemAsk(DialogStyle::kConfirmationRequired, "Confirmation Required", question,
                       kConfirmationButtons);
  }
  EXPECT_EQ(answer, 3);
}

TEST(DialogsWin32Test, OtherButtonsThanTheWindowsGetAWindowOfTheirOwn) {
  if (!testing::WindowsCanBeMade()) GTEST_SKIP() << "no window can be made here";
  std::string yes_label;
  int answer;
  {
    WindowActor act("Confirmation Required", [&](HWND w) {
      yes_label = TextOf(GetDlgItem(w, 100));  // the in-memory window numbers its buttons from 100
      PressButton(w, 102);
    });
    answer = SystemAsk(DialogStyle::kConfirmationRequired, "Confirmation Required", "q",
                       {"&Yes", "&No", "&Later"});
  }
  EXPECT_EQ(yes_label, "&Yes");
  EXPECT_EQ(answer, 2);
}

}  // namespace
}  // namespace tsl
