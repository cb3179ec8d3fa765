#include "shortcuts/shortcut_script.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

std::vector<ShortcutAction> Read(std::string_view text) {
  ScriptFile script;
  script.LoadText("links.ini", text);
  return ReadShortcutScript(script);
}

TEST(ShortcutScriptTest, DefaultsOverlaidByDefaultAndActionSections) {
  EXPECT_TRUE(Read("[Default]\nPath=C:\\Links\n").empty());
  std::vector<ShortcutAction> actions = Read(
      "[Action2]\nMask=\nShow All=1\n[Default]\nPath=C:\\Links\nPrompt on replace=0\n"
      "[Action1]\nSearch_string=C:\\OLD\\\nReplace_string=C:\\NEW\\\n");
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].folder, "C:\\Links");
  EXPECT_EQ(actions[0].mask, "*.lnk;*.url");
  EXPECT_EQ(actions[0].search, "C:\\OLD\\");
  EXPECT_EQ(actions[0].replace, "C:\\NEW\\");
  EXPECT_FALSE(actions[0].prompt);
  EXPECT_TRUE(actions[0].check_before_replace);
  EXPECT_TRUE(actions[0].unc_left);
  EXPECT_FALSE(actions[0].show_all);
  EXPECT_EQ(ShortcutJobMode(actions[0]), ShortcutMode::kReplace);
  EXPECT_EQ(actions[1].mask, "");  // an empty mask selects nothing
  EXPECT_TRUE(actions[1].show_all);
  EXPECT_EQ(actions[1].search, "");
  EXPECT_EQ(ShortcutJobMode(actions[1]), ShortcutMode::kCheck);
}

TEST(ShortcutScriptTest, JobModes) {
  std::vector<ShortcutAction> actions = Read(
      "[Default]\nMake tracking=1\n[Action1]\nSearch_string=x\n"
      "[Action2]\nMake tracking=0\nMake Non Tracking=2\n[Action3]\nMake Non Tracking=1\n"
      "[Action4]\nMake tracking=0\nReplace_string=y\n");
  ASSERT_EQ(actions.size(), 4u);
  EXPECT_EQ(ShortcutJobMode(actions[0]), ShortcutMode::kTracking);
  EXPECT_EQ(ShortcutJobMode(actions[1]), ShortcutMode::kNonTracking);
  EXPECT_EQ(ShortcutJobMode(actions[2]), ShortcutMode::kTracking);  // both on: tracking
  EXPECT_EQ(ShortcutJobMode(actions[3]), ShortcutMode::kReplace);
}

}  // namespace
}  // namespace tsl
