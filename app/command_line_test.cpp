#include "app/command_line.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

TEST(CommandLineTest, FirstToken) {
  struct Case {
    const char* line;
    const char* token;
  } cases[] = {
      {"", ""},
      {"    ", ""},
      {"sync.ini|||", "sync.ini|||"},
      {"  a|b c|d", "a|b"},
      {"\"C:\\My Jobs\\s.ini|||\" ignored", "C:\\My Jobs\\s.ini|||"},
      {"\"no closing quote|x", "no closing quote|x"},
      {"\"a\\\"b\" c", "a\\\"b"},  // a quote after a backslash does not end the token
      {"\"\"", ""},
      {"a\"b c", "a\"b"},  // a quote inside an unquoted token is ordinary
      {"\tx", "\tx"},      // only blanks are skipped, not tabs
      {"C:\\My Jobs\\s.ini|||", "C:\\My"},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstToken(c.line), c.token) << c.line;
}

struct SplitCase {
  const char* argument;
  const char* synchronization;
  const char* shortcut;
  const char* registry;
  const char* file_replace;
};

void ExpectSplit(const SplitCase& c, const std::string& current, PathStyle style) {
  ScriptPaths p = SplitScriptPaths(c.argument, current, style);
  EXPECT_EQ(p.synchronization, c.synchronization) << c.argument;
  EXPECT_EQ(p.shortcut, c.shortcut) << c.argument;
  EXPECT_EQ(p.registry, c.registry) << c.argument;
  EXPECT_EQ(p.file_replace, c.file_replace) << c.argument;
}

TEST(CommandLineTest, SplitsWindowsArguments) {
  const SplitCase cases[] = {
      {"sync.ini", "", "", "", ""},
      {"C:\\Jobs\\sync.ini|links.ini|reg.ini|repl.txt", "C:\\Jobs\\sync.ini", "C:\\Jobs\\links.ini",
       "C:\\Jobs\\reg.ini", "C:\\Jobs\\repl.txt"},
      {"C:\\Jobs\\|links.ini||", "", "C:\\Jobs\\links.ini", "", ""},
      {"|||D:\\Work\\repl.txt", "", "", "", "D:\\Work\\repl.txt"},
      {"sync.ini|links.ini", "sync.ini", "", "", ""},
      {"sync.ini|||repl.txt|extra", "sync.ini", "", "", "C:\\Cur\\repl.txt"},
      {"|\\\\srv\\share\\l.ini|\\rel\\r.ini|", "", "\\\\srv\\share\\l.ini", "C:\\Cur\\\\rel\\r.ini",
       ""},
      {"Jobs\\s.ini|a.ini|b.ini|c.ini", "Jobs\\s.ini", "Jobs\\a.ini", "Jobs\\b.ini", "Jobs\\c.ini"},
      {"|x||", "", "C:\\Cur\\x", "", ""},
      {"||", "", "", "", ""},
      {"|a|b|c|d|e", "", "C:\\Cur\\a", "C:\\Cur\\b", "C:\\Cur\\c"},
  };
  for (const SplitCase& c : cases) ExpectSplit(c, "C:\\Cur", PathStyle::kWindows);
  // A current folder that already ends with a separator (a drive root) gets no second one.
  ExpectSplit({"|a||", "", "C:\\a", "", ""}, "C:\\", PathStyle::kWindows);
}

TEST(CommandLineTest, SplitsPosixArguments) {
  const SplitCase cases[] = {
      {"/jobs/sync.ini|links.ini|reg.ini|/abs/repl.txt", "/jobs/sync.ini", "/jobs/links.ini",
       "/jobs/reg.ini", "/abs/repl.txt"},
      {"/jobs/|links.ini||", "", "/jobs/links.ini", "", ""},
      {"sync.ini|||repl.txt|extra", "sync.ini", "", "", "/home/u/repl.txt"},
      {"|a:b|C:\\x|", "", "/home/u/a:b", "/home/u/C:\\x", ""},
  };
  for (const SplitCase& c : cases) ExpectSplit(c, "/home/u", PathStyle::kPosix);
}

}  // namespace
}  // namespace tsl
