#include "synch/synch_settings.h"

#include <gtest/gtest.h>

#include "platform/environment.h"

namespace tsl {
namespace {

ScriptFile Script(const std::string& text) {
  ScriptFile script;
  script.Parse(text);
  return script;
}

// Dates read as "<text>|<end of day>" coded into a number, so that tests see what was asked.
SettingsReaders TestReaders(std::vector<std::string>* dates = nullptr) {
  return SettingsReaders{
      [dates](const std::string& text, bool end_of_day) -> std::optional<FileTime> {
        if (dates) dates->push_back(text + (end_of_day ? " end" : " start"));
        if (text == "bad") return std::nullopt;
        return static_cast<FileTime>(text.size()) * 10 + (end_of_day ? 1 : 0);
      },
      [](const std::string& text) { return "<" + text + ">"; }};
}

TEST(SynchSettingsTest, DefaultsAreThoseOfTheScriptFormat) {
  SynchSettings s;
  EXPECT_EQ(s.mask, "*.*");
  EXPECT_EQ(s.operation, -1);
  EXPECT_EQ(s.time_precision, 3);
  EXPECT_EQ(s.ignored_attributes, 55);
  EXPECT_EQ(s.sort_key, -1);
  EXPECT_TRUE(s.search_subfolders && s.show_different && s.show_identical &&
              s.show_files_in_one_folder && s.confirm_updates && s.older_overwrite &&
              s.sort_ascending && s.show_progress && s.allow_cancel);
  EXPECT_FALSE(s.newer_overwrite || s.match_in_subfolders || s.display_error_messages ||
               s.use_system_operations || s.check_same_size_files);
}

TEST(SynchSettingsTest, ActionsStartFromTheDefaultSectionAndRunInNumberOrder) {
  ScriptFile script = Script(
      "[Action3]\nMask=*.doc\nPath1=c3\n"
      "[Default]\nMask=*.txt\nPath1=a\nPath2=b\nOperation=6\n"
      "[Action1]\nOutput File=r1.txt\n");
  std::vector<SynchSettings> actions = ReadActionList(script, TestReaders());
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].mask, "*.txt");
  EXPECT_EQ(actions[0].source_folder, "a");
  EXPECT_EQ(actions[0].output_file, "r1.txt");
  EXPECT_EQ(actions[1].mask, "*.doc");
  EXPECT_EQ(actions[1].source_folder, "c3");
  EXPECT_EQ(actions[1].target_folder, "b");
  EXPECT_EQ(actions[1].operation, 6);
  EXPECT_TRUE(actions[1].output_file.empty());

  EXPECT_TRUE(ReadActionList(Script("[Default]\nMask=*.txt\n"), TestReaders()).empty());
}

TEST(SynchSettingsTest, ActionKeysReachTheirFields) {
  std::vector<std::string> dates;
  ScriptFile script = Script(
      "[Action1]\nAdd Seconds To Second Dir=-3600\nMin Size Filter=10000000000\n"
      "Max Size Filter=20\nMin Date Filter=1/2/2003\nMax Date Filter=bad\n"
      "Output Header=H\\tx\nOutput Footer=F\nShow progress=0\nSkip Files Mask=1\n"
      "Ignore Attributes=54\nReverse Filters=2\nDestination Path=%X%\nBitmap File=b.bmp\n"
      "Custom Message=Hello\nUse OS Operations=1\nSearch_subdir=yes\n");
  std::vector<SynchSettings> actions = ReadActionList(script, TestReaders(&dates));
  ASSERT_EQ(actions.size(), 1u);
  const SynchSettings& s = actions[0];
  EXPECT_EQ(s.second_folder_offset, 3600);
  EXPECT_EQ(s.min_size, 10000000000LL);
  EXPECT_EQ(s.max_size, 20);
  EXPECT_EQ(s.min_date, 80);  // "1/2/2003" at the start of its day
  EXPECT_EQ(s.max_date, 0);   // rejected: the filter stays unset
  EXPECT_EQ(dates, (std::vector<std::string>{"1/2/2003 start", "bad end"}));
  EXPECT_EQ(s.output_header, "<H\\tx>");
  EXPECT_EQ(s.output_footer, "<F>");
  EXPECT_EQ(s.show_progress, 0);
  EXPECT_EQ(s.skip_attributes, 1);
  EXPECT_EQ(s.ignored_attributes, 54);
  EXPECT_EQ(s.reverse_filters, 2);
  EXPECT_EQ(s.destination_folder, "%X%");
  EXPECT_EQ(s.bitmap_file, "b.bmp");
  EXPECT_EQ(s.custom_message, "Hello");
  EXPECT_EQ(s.use_system_operations, 1);
  EXPECT_EQ(s.search_subfolders, 0);

  // The most negative offset has no positive counterpart: it becomes the largest one.
  actions =
      ReadActionList(Script("[Action1]\nAdd Seconds To Second Dir=-2147483648\n"), TestReaders());
  EXPECT_EQ(actions.at(0).second_folder_offset, 2147483647);
}

// Seconds that do not fit, or a negative precision, refuse the action (the text names the key);
// an action's own valid value overrides a refusal it inherited from the defaults.
TEST(SynchSettingsTest, SecondsOutOfRangeRefuseTheAction) {
  struct Case {
    const char* script;
    const char* refusal;  // empty: runs
    int precision;
  } cases[] = {
      {"[Action1]\nTime Check Precision=7\n", "", 7},
      {"[Action1]\nTime Check Precision=2147483647\n", "", 2147483647},
      {"[Action1]\nTime Check Precision=-5\n", "Time Check Precision=-5", 3},
      {"[Action1]\nTime Check Precision=2147483648\n", "Time Check Precision=2147483648", 3},
      {"[Action1]\nAdd Seconds To Second Dir=4294970896\n", "Add Seconds To Second Dir=4294970896",
       3},
      {"[Default]\nTime Check Precision=-1\n[Action1]\nTime Check Precision=2\n", "", 2},
      {"[Default]\nTime Check Precision=-1\n[Action1]\nMask=*.txt\n", "Time Check Precision=-1", 3},
      {"[Options]\nTime Check Precision=-9\n[Directory Info]\nSource=a\n",
       "Time Check Precision=-9", 3},
  };
  for (const Case& c : cases) {
    ScriptFile script = Script(c.script);
    SynchSettings s;
    if (!ReadDirectoryInfo(script, TestReaders(), &s))
      s = ReadActionList(script, TestReaders()).at(0);
    std::string expected =
        *c.refusal ? std::string(c.refusal) +
                         " is not a number of seconds from 0 to 2147483647: the action is not run."
                   : "";
    EXPECT_EQ(s.refusal, expected) << c.script;
    EXPECT_EQ(s.time_precision, c.precision) << c.script;
  }
}

TEST(SynchSettingsTest, DirectoryInfoMasksAreAssembledLineByLine) {
  struct Case {
    const char* lines;
    const char* mask;
  } cases[] = {
      {"Include Mask=*.txt\nInclude Mask=*.doc\nInclude Mask=*.ini\nExclude Mask=x*\n",
       "*.txt;*.doc;*.ini;~x*"},
      {"Exclude Mask=x*\nInclude Mask=*.txt\nInclude Mask=*.doc\nInclude Mask=*.ini\n",
       "~x*;*.txt;*.doc;*.ini"},
      {"Source=a\n", "*.*"},
      {"Include Mask=*.txt\nInclude Mask=*.txt;\n", "*.txt"},  // equals the mask so far
      {"Include Mask=*.txt\nInclude Mask=*.txt\n", "*.txt;*.txt"},
      {"Include Mask=*.txt\n", "*.txt"},
      {"Exclude Mask=a*;b*\n", "~a*;b*"},  // only the first mask of the value excludes
  };
  for (const Case& c : cases) {
    SynchSettings s;
    EXPECT_TRUE(
        ReadDirectoryInfo(Script(std::string("[Directory Info]\n") + c.lines), TestReaders(), &s));
    EXPECT_EQ(s.mask, c.mask) << c.lines;
  }
}

TEST(SynchSettingsTest, DirectoryInfoFoldersAndOptions) {
  std::vector<std::string> dates;
  SynchSettings s;
  ASSERT_TRUE(ReadDirectoryInfo(
      Script("[Options]\nSynch Option=update target\nNo Progress=0\nMessage=first\n"
             "Message=second\nLog File=out.txt\nFilter Max Date=12345\nSearch Subdirectories=0\n"
             "Force Copy=1\nBitmap=pic.bmp\nAllow Cancel=0\nIgnored Attributes Mask=1\n"
             "[directory info]\nSource=src\nTarget=dst\nDestination=third\n"),
      TestReaders(&dates), &s));
  EXPECT_EQ(s.operation, 3);
  EXPECT_EQ(s.show_progress, 1);
  EXPECT_EQ(s.custom_message, "second");  // line-wise keys: the last line wins
  EXPECT_EQ(s.output_file, "out.txt");
  EXPECT_EQ(s.max_date, 50);                                  // Filter Max Date keeps midnight
  EXPECT_EQ(dates, std::vector<std::string>{"12345 start"});  // read once per section
  EXPECT_EQ(s.search_subfolders, 0);
  EXPECT_EQ(s.force_copy, 1);
  EXPECT_EQ(s.bitmap_file, "pic.bmp");
  EXPECT_EQ(s.allow_cancel, 0);
  EXPECT_EQ(s.ignored_attributes, 1);
  EXPECT_EQ(s.source_folder, "src");
  EXPECT_EQ(s.target_folder, "dst");
  EXPECT_EQ(s.destination_folder, "third");
}

TEST(SynchSettingsTest, OnlyAKeyLineMakesADirectoryInfoScript) {
  SynchSettings s;
  EXPECT_FALSE(
      ReadDirectoryInfo(Script("[Directory Info]\n[Default]\nMask=*.txt\n"), TestReaders(), &s));
  EXPECT_FALSE(ReadDirectoryInfo(Script("[Default]\nPath1=a\n"), TestReaders(), &s));
  EXPECT_TRUE(ReadDirectoryInfo(Script("[Directory Info]\nx=1\n"), TestReaders(), &s));
}

TEST(SynchSettingsTest, SynchOptionKeywords) {
  struct Case {
    const char* value;
    int code;  // -1: leaves the operation as it was
  } cases[] = {
      {"Synch", 0},     {"synchronize", 0},   {"Augment", 1},      {"Refresh", 2},
      {"Update", 3},    {"update target", 3}, {"Prune", 4},        {"Identical", 5},
      {"Make dirs", 7}, {"make DIRS now", 7}, {"Delete Empty", 8}, {"Upd", -1},
      {"Make", -1},     {"Delete", -1},       {"xyz", -1},         {"Syn", -1},
  };
  for (const Case& c : cases) {
    std::optional<int> code = SynchOptionCode(c.value);
    EXPECT_EQ(code.value_or(-1), c.code) << c.value;
    SynchSettings s;
    s.operation = -5;
    ReadDirectoryInfo(Script(std::string("[Directory Info]\nSource=a\n[Options]\nSynch Option=") +
                             c.value + "\n"),
                      TestReaders(), &s);
    EXPECT_EQ(s.operation, c.code < 0 ? -5 : c.code) << c.value;
  }
}

TEST(SynchSettingsTest, EnvironmentVariablesExpandFromTheLeft) {
  SetEnvironmentValue("TSL_A", "alpha");
  SetEnvironmentValue("TSL_LOOP", "%TSL_LOOP%");
  UnsetEnvironmentValue("TSL_UNSET");
  struct Case {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"%TSL_A%\\a", "alpha\\a"},
      {"x%TSL_A%y%TSL_A%z", "xalphayalphaz"},
      {"%TSL_UNSET%/b", "/b"},
      {"50% done", "50% done"},
      {"%TSL_A%%", "alpha%"},
      {"%TSL_LOOP%!", "%TSL_LOOP%!"},  // a value holding `%` is not expanded again
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandEnvironment(c.text), c.expanded) << c.text;
  UnsetEnvironmentValue("TSL_A");
  UnsetEnvironmentValue("TSL_LOOP");
}

}  // namespace
}  // namespace tsl
