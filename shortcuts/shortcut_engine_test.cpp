#include "shortcuts/shortcut_engine.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/process_services.h"
#include "services/test_job_services.h"
#include "shortcuts/shell_link.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// The output of a run: each shortcut's lines after its "Processing file : " line, by file name,
// and the summary (the walk order is the system's).
struct Results {
  std::map<std::string, std::vector<std::string>> blocks;
  std::string summary;
};

Results Parse(const std::string& text) {
  Results results;
  std::vector<std::string>* block = nullptr;
  std::string::size_type at = 0;
  while (at < text.size()) {
    std::string::size_type end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
    if (end == std::string::npos) break;
    std::string line = text.substr(at, end - at);
    at = end + 2;
    if (line.starts_with("Processing file : ")) {
      std::string path = line.substr(18);
      block = &results.blocks[path.substr(path.find_last_of("/\\") + 1)];
    } else if (line.starts_with("Found ") && line.find(" files in ") != std::string::npos) {
      results.summary = line;
    } else if (block) {
      block->push_back(line);
    }
  }
  return results;
}

class ShortcutEngineTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& relative) { return dir_ / relative; }
  void Write(const std::string& relative, const std::string& content) {
    testing::MakeFolders(FolderPart(Path(relative), NativePathStyle()));
    WriteFile(Path(relative), content);
  }
  void Link(const std::string& name, const std::string& target, const std::string& folder = "",
            const std::string& arguments = "", const std::string& icon = "", int index = 0) {
    ShellLink link = ShellLink::Empty(true);
    link.SetPath(target);
    link.SetWorkingFolder(folder);
    link.SetArguments(arguments);
    if (!icon.empty()) link.SetIconLocation(icon, index);
    testing::MakeFolders(FolderPart(Path("links/" + name), NativePathStyle()));
    ASSERT_TRUE(SaveShellLink(Path("links/" + name), link).ok());
  }
  ShellLink Read(const std::string& name) {
    ShellLink link;
    EXPECT_EQ(LoadShellLink(Path("links/" + name), &link), LinkError::kNone);
    return link;
  }
  Results Run(ShortcutAction action) {
    action.folder = Path("links");
    action.output = "out";
    services_.outputs.clear();
    RunShortcutAction(action, services_, environment_);
    return Parse(services_.outputs["out"]);
  }

  ProcessServices process_;  // on Windows the links go through the shell's link object
  testing::ScopedTempDir dir_;
  testing::TestServices services_;
  ShortcutEnvironment environment_;
  testing::ScriptedQuestions questions_{dir_ / "transcript.txt"};
};

TEST(ShortcutFieldTest, ReplacesIgnoringCaseWithTheTextAsWritten) {
  auto replaced = [](std::string field, const std::string& search, const std::string& with) {
    int count = ShortcutEngine::ReplaceInField(&field, search, with);
    return std::to_string(count) + ":" + field;
  };
  EXPECT_EQ(replaced("C:\\Old\\Bin\\old.exe", "C:\\OLD\\", "c:\\New\\"), "1:c:\\New\\Bin\\old.exe");
  EXPECT_EQ(replaced("aXbxc", "X", "xx"), "2:axxbxxc");  // scanning on after the inserted text
  EXPECT_EQ(replaced("C:\\Old", "C:\\OLD\\", "C:\\New\\"), "1:C:\\New");
  EXPECT_EQ(replaced("C:\\Older", "C:\\OLD\\", "C:\\New\\"), "0:C:\\Older");
  EXPECT_EQ(replaced("abc", "", "x"), "0:abc");
}

TEST_F(ShortcutEngineTest, ReplaceRunChangesOnlyWhatExistsWithShowAll) {
  Write("new/app.exe", "x");
  const std::string old_app = Path("old/app.exe"), new_app = Path("new/app.exe");
  // Icons of their own, so that no icon extractor's choice comes into play.
  Link("a.lnk", old_app, Path("old/sub"), "-f " + Path("old/cfg"), Path("icons/a.ico"));
  Link("b.lnk", Path("old/gone.exe"), "", "", Path("icons/b.ico"));
  Link("c.lnk", Path("other.exe"));
  Write("links/d.url", "[InternetShortcut]\r\nURL=http://x/\r\n");
  Write("links/e.lnk", "damaged");
  // An ID list whose one item runs past the list: refused before the system's reader sees it.
  std::string id_damaged = ShellLink::Empty(false).Serialize();
  id_damaged[20] = static_cast<char>(id_damaged[20] | link_flag::kHasIdList);
  id_damaged.insert(kLinkHeaderSize, std::string("\x04\x00\x00\x01\x00\x00", 6));
  Write("links/f.lnk", id_damaged);
  const std::string b_before = ReadFile(Path("links/b.lnk"));
  ShortcutAction action;
  action.search = Path("OLD");  // letter case is ignored, the replacement kept as written
  action.replace = Path("new");
  action.prompt = false;
  action.show_all = true;
  Results results = Run(action);
  EXPECT_EQ(results.blocks["a.lnk"],
            (std::vector<std::string>{"", "Changed arguments: -f " + Path("new/cfg"),
                                      "Changed target: " + new_app}));
  EXPECT_EQ(results.blocks["b.lnk"], std::vector<std::string>{"No occurrences found!"});
  EXPECT_EQ(results.blocks["c.lnk"], std::vector<std::string>{"No occurrences found!"});
  EXPECT_EQ(results.blocks["d.url"], std::vector<std::string>{"No occurrences found!"});
  EXPECT_EQ(results.blocks["e.lnk"], (std::vector<std::string>{"", "Failed to load shortcut."}));
  EXPECT_EQ(results.blocks["f.lnk"], (std::vector<std::string>{"", "Failed to load shortcut."}));
  EXPECT_EQ(results.summary, "Found 6 files in 0 directories");
  ShellLink a = Read("a.lnk");
  EXPECT_EQ(a.Path(), new_app);
  EXPECT_EQ(a.Arguments(), "-f " + Path("new/cfg"));
  EXPECT_EQ(a.WorkingFolder(), Path("old/sub"));  // the new folder does not exist
  EXPECT_EQ(ReadFile(Path("links/b.lnk")), b_before);
  EXPECT_EQ(ReadFile(Path("links/e.lnk")), "damaged");

  action.check_before_replace = false;  // now the missing target is put in too
  action.show_all = false;
  results = Run(action);
  EXPECT_EQ(results.blocks["b.lnk"],
            (std::vector<std::string>{"", "Changed target: " + Path("new/gone.exe")}));
  EXPECT_EQ(results.blocks.count("c.lnk"), 0u);

  action.search = "";  // an empty search text is refused, not looped over
  results = Run(action);
  EXPECT_TRUE(results.blocks.empty());
  EXPECT_NE(services_.outputs["out"].find("The search text is empty"), std::string::npos);
}

TEST_F(ShortcutEngineTest, IgnoreListAndIconLocation) {
  Write("new/app.exe", "x");
  Write("new/icons.ico", std::string("\0\0\1\0\1\0", 6) + std::string(16, '\0'));
  Link("a.lnk", Path("old/app.exe"), "", "", Path("old/icons.ico"), 3);
  Link("skip/b.lnk", Path("old/app.exe"));
  ShortcutAction action;
  action.search = Path("old");
  action.replace = Path("new");
  action.prompt = false;
  action.subfolders = true;
  action.ignore_list = "|" + Path("LINKS/SKIP") + "|";  // empty pieces match nothing
  Results results = Run(action);
  EXPECT_EQ(results.blocks["a.lnk"],
            (std::vector<std::string>{"", "Changed icon location:" + Path("new/icons.ico"),
                                      "Changed target: " + Path("new/app.exe")}));
  EXPECT_EQ(Read("a.lnk").IconIndex(), 0);  // an .ico file offers one icon
  EXPECT_EQ(results.summary, "Found 2 files in 1 directories");

  action.ignore_list = "skip|" + Path("OLD");
  Link("c.lnk", Path("old/app.exe"));
  results = Run(action);
  EXPECT_EQ(results.blocks["c.lnk"],
            (std::vector<std::string>{
                "", "Did not change target. New target not found: " + Path("old/app.exe")}));
  EXPECT_EQ(Read("c.lnk").Path(), Path("old/app.exe"));
}

TEST_F(ShortcutEngineTest, PromptsAnsweredPerChangeFolderAndCancel) {
  Write("new/app.exe", "x");
  Link("a.lnk", Path("old/app.exe"), "", "-x " + Path("old"), Path("icons/a.ico"));
  ShortcutAction action;
  action.search = Path("old");
  action.replace = Path("new");
  questions_.Answers("Skip This;Replace This");
  Results results = Run(action);
  EXPECT_EQ(results.blocks["a.lnk"],
            (std::vector<std::string>{"", "Found arguments: -x " + Path("new"),
                                      "Changed target: " + Path("new/app.exe")}));
  std::vector<std::string> transcript = questions_.TakeTranscript();
  ASSERT_EQ(transcript.size(), 2u);
  // The caption is written as it is, the window's text escaped.
  EXPECT_EQ(transcript[0], "Question: Replace - " + Path("links/a.lnk") + ": " +
                               testing::TranscriptText("Changed arguments: -x " + Path("new") +
                                                       "\nFound arguments: -x " + Path("old")) +
                               " -> Skip This");

  // Skipping the rest of the folder leaves the other link alone, unreported.
  Link("b.lnk", Path("old/app.exe"));
  Link("c.lnk", Path("old/app.exe"));
  std::remove(Path("links/a.lnk").c_str());
  questions_.Answers("Skip Rest in Dir.");
  results = Run(action);
  EXPECT_EQ(results.blocks.size(), 1u);
  EXPECT_EQ(questions_.TakeTranscript().size(), 1u);
  EXPECT_EQ(Read("b.lnk").Path(), Path("old/app.exe"));
  EXPECT_EQ(Read("c.lnk").Path(), Path("old/app.exe"));

  questions_.Answers("Repl. Rest In Dir");  // one question for both links
  results = Run(action);
  EXPECT_EQ(questions_.TakeTranscript().size(), 1u);
  EXPECT_EQ(Read("b.lnk").Path(), Path("new/app.exe"));
  EXPECT_EQ(Read("c.lnk").Path(), Path("new/app.exe"));

  action.search = Path("new");
  action.replace = Path("old");
  action.check_before_replace = false;
  questions_.Answers("Cancel Remaining");  // ends the job after the first link
  results = Run(action);
  EXPECT_EQ(results.blocks.size(), 1u);
  EXPECT_EQ(questions_.TakeTranscript().size(), 1u);
}

TEST_F(ShortcutEngineTest, CheckRunReportsMissingPartsOnly) {
  Write("here/app.exe", "x");
  Link("good.lnk", Path("here/app.exe"), Path("here"));
  Link("bad.lnk", Path("gone/app.exe"), Path("gone"), "", Path("gone/i.ico"));
  Link("skip.lnk", Path("gone/x.exe"));
  Write("links/w.url", "[InternetShortcut]\r\n");
  Write("links/x.lnk", "damaged");
  ShortcutAction action;
  action.ignore_list = "X.EXE";
  Results results = Run(action);
  EXPECT_EQ(results.blocks.size(), 2u);
  EXPECT_EQ(results.blocks["bad.lnk"],
            (std::vector<std::string>{"", "Target not found: " + Path("gone/app.exe"),
                                      "Working Dir not found: " + Path("gone"),
                                      "Icon file not found: " + Path("gone/i.ico")}));
  EXPECT_EQ(results.blocks["x.lnk"], (std::vector<std::string>{"", "Failed to load shortcut."}));

  action.show_all = true;  // never "valid" for what was not checked
  results = Run(action);
  EXPECT_EQ(results.blocks["good.lnk"], std::vector<std::string>{"Shortcut is valid"});
  EXPECT_EQ(results.blocks["w.url"],
            std::vector<std::string>{"Internet Shortcut appears valid.  URL not checked."});
  EXPECT_EQ(results.blocks.count("skip.lnk"), 0u);
  EXPECT_EQ(results.blocks["x.lnk"], (std::vector<std::string>{"", "Failed to load shortcut."}));

  // %NAME% references are expanded for the test; an unmatched % leaves the path as written.
  testing::ScopedEnvironment home("TSL_LINK_HOME", dir_.path());
  testing::ScopedEnvironment none("TSL_LINK_NONE", std::nullopt);
  const std::string app = Path("here/app.exe");
  Link("env.lnk", app, "%TSL_LINK_HOME%" + testing::Native("/here"), "", "*");
  Link("undefined.lnk", app, "%TSL_LINK_NONE%" + Path("here"), "", "*");
  Link("unmatched.lnk", app, Path("here%"), "", "*");
  testing::MakeFolders(Path("here%"));
  Link("odd.lnk", app, Path("%here"), "", "*");
  action.show_all = false;
  results = Run(action);
  EXPECT_EQ(results.blocks.count("env.lnk"), 0u);
  EXPECT_EQ(results.blocks.count("undefined.lnk"), 0u);
  EXPECT_EQ(results.blocks.count("unmatched.lnk"), 0u);
  EXPECT_EQ(results.blocks["odd.lnk"],
            (std::vector<std::string>{"", "Working Dir not found: " + Path("%here")}));
  for (const char* name : {"env.lnk", "undefined.lnk", "unmatched.lnk", "odd.lnk"}) {
    std::remove(Path(std::string("links/") + name).c_str());
  }

  std::remove(Path("links/bad.lnk").c_str());
  std::remove(Path("links/x.lnk").c_str());
  action.show_all = false;
  results = Run(action);
  EXPECT_EQ(results.summary, "Found 3 files in 0 directories - All shortcuts are valid");
}

TEST_F(ShortcutEngineTest, TrackingSwitchesOneBitOfNetworkLinksOnly) {
  Link("net.lnk", "\\\\server\\share\\app.exe");
  Link("local.lnk", Path("app.exe"));
  Write("links/u.url", "[InternetShortcut]\r\nURL=file:\\\\\\\\x\r\n");
  const std::string net = ReadFile(Path("links/net.lnk")),
                    local = ReadFile(Path("links/local.lnk"));
  ShortcutAction action;
  action.make_non_tracking = true;
  Results results = Run(action);
  EXPECT_EQ(results.blocks["net.lnk"], std::vector<std::string>{"Shortcut was made non-tracking"});
  EXPECT_EQ(results.blocks["u.url"], (std::vector<std::string>{"", "Failed to load shortcut."}));
  EXPECT_EQ(results.blocks.count("local.lnk"), 0u);
  std::string expected = net;
  expected[kTrackingByteOffset] = static_cast<char>(expected[kTrackingByteOffset] | 1);
  EXPECT_EQ(ReadFile(Path("links/net.lnk")), expected);
  EXPECT_EQ(ReadFile(Path("links/local.lnk")), local);

  action.show_all = true;  // already non-tracking: not rewritten, not reported as made
  results = Run(action);
  EXPECT_EQ(results.blocks.count("net.lnk"), 0u);
  EXPECT_EQ(results.blocks["local.lnk"], std::vector<std::string>{"Local shortcut was ignored"});

  action.make_tracking = true;  // both switches: tracking
  results = Run(action);
  EXPECT_EQ(results.blocks["net.lnk"], std::vector<std::string>{"Shortcut was made tracking"});
  EXPECT_EQ(ReadFile(Path("links/net.lnk")), net);
}

}  // namespace
}  // namespace tsl
