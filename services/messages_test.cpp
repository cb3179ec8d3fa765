#include "services/messages.h"

#include <gtest/gtest.h>

#include "platform/environment.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

class MessagesTest : public ::testing::Test {
 protected:
  void Use(const std::string& answers) {
    SetEnvironmentValue("TESSALINE_ANSWERS", answers);
    SetEnvironmentValue("TESSALINE_TRANSCRIPT", dir_ / "t.txt");
    ReloadMessageSettings();
  }
  void TearDown() override {
    SetEnvironmentValue("TESSALINE_ANSWERS", "");
    UnsetEnvironmentValue("TESSALINE_TRANSCRIPT");
    ReloadMessageSettings();
  }
  std::vector<std::string> Transcript() { return testing::SplitLines(testing::ReadFile(dir_ / "t.txt")); }
  testing::ScopedTempDir dir_;
};

const std::vector<std::string> kReplaceButtons = {"&Yes", "Yes to &All", "&No", "N&o to All",
                                                  "Cancel"};

TEST_F(MessagesTest, ScriptedAnswersAreTakenInOrder) {
  Use("yes; No ;YES TO ALL;n&o to all;Maybe;OK");
  EXPECT_EQ(ShowMessage("q1", MessageButtons::kYesNo), Answer::kYes);
  EXPECT_EQ(ShowMessage("q2", MessageButtons::kYesNoCancel), Answer::kNo);
  EXPECT_EQ(AskQuestion("Replace Confirmation", "a\nb", kReplaceButtons), 1);
  // An answer with a stray mark or naming no button gets the closing answer.
  EXPECT_EQ(AskQuestion("Replace Confirmation", "c", kReplaceButtons), 4);
  EXPECT_EQ(ShowMessage("q5", MessageButtons::kOkCancel), Answer::kCancel);
  EXPECT_EQ(ShowMessage("q6", MessageButtons::kOkCancel), Answer::kOk);
  // The list is used up: closing answers from now on.
  EXPECT_EQ(ShowMessage("q7", MessageButtons::kYesNo), Answer::kNo);
  EXPECT_EQ(ShowMessage("q8", MessageButtons::kYesNoCancel), Answer::kCancel);
  EXPECT_EQ(ShowMessage("info"), Answer::kOk);
  EXPECT_EQ(Transcript(), (std::vector<std::string>{
                              "MessageBox: q1 -> Yes",
                              "MessageBox: q2 -> No",
                              "Question: Replace Confirmation: a\\nb -> Yes to All",
                              "Question: Replace Confirmation: c -> Cancel",
                              "MessageBox: q5 -> Cancel",
                              "MessageBox: q6 -> OK",
                              "MessageBox: q7 -> No",
                              "MessageBox: q8 -> Cancel",
                              "MessageBox: info -> OK",
                          }));
}

TEST_F(MessagesTest, TheFileReplacementsWindowsAreRecordedAsQuestions) {
  Use("Repl. Rest In Dir;yes to all");
  const std::vector<std::string> replace_buttons = {
      "&Replace This",      "S&kip This",         "Repl. Re&st In File",  "Skip Rest of &File",
      "Repl. Rest In &Dir", "Skip Res&t in Dir.", "Repl. &All Remaining", "&Cancel Remaining"};
  EXPECT_EQ(AskQuestion("Replace - /d/a.txt", "a.txt(3): x", replace_buttons,
                        DialogStyle::kReplaceConfirmation),
            4);
  EXPECT_EQ(AskQuestion("Confirmation Required", "a.txt\nhidden",
                        {"&Yes", "Yes to &All", "&No", "Cancel"},
                        DialogStyle::kConfirmationRequired),
            1);
  // Used up: closing either window cancels.
  EXPECT_EQ(AskQuestion("Replace - /d/a.txt", "y", replace_buttons,
                        DialogStyle::kReplaceConfirmation),
            7);
  EXPECT_EQ(Transcript(), (std::vector<std::string>{
                              "Question: Replace - /d/a.txt: a.txt(3): x -> Repl. Rest In Dir",
                              "Question: Confirmation Required: a.txt\\nhidden -> Yes to All",
                              "Question: Replace - /d/a.txt: y -> Cancel Remaining",
                          }));
}

TEST_F(MessagesTest, TranscriptEscapesControlCharacters) {
  Use("");
  ShowMessage("C:\\dir\r\n\tx");
  EXPECT_EQ(Transcript(), std::vector<std::string>{"MessageBox: C:\\\\dir\\r\\n\\tx -> OK"});
}

TEST(ClosingAnswerTest, PrefersCancelThenNoThenOk) {
  EXPECT_EQ(ClosingAnswer({"&Yes", "&No", "Cancel"}), 2);
  EXPECT_EQ(ClosingAnswer({"&Yes", "&No"}), 1);
  EXPECT_EQ(ClosingAnswer({"OK"}), 0);
  EXPECT_EQ(ClosingAnswer({"&Retry", "&Ignore"}), 1);
  EXPECT_EQ(PlainLabel("N&o to All"), "No to All");
}

}  // namespace
}  // namespace tsl
