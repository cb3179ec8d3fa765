#include "pattern/mask_list.h"

#include <gtest/gtest.h>

#include "pattern/search_pattern.h"
#include "platform/code_page.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Native;

// The root of the enumeration in these tests, in the platform's own form.
std::string Root() { return Native("/jobs/root"); }
std::string Under(const std::string& relative) { return Root() + Native("/" + relative); }

struct Case {
  const char* masks;
  const char* file;  // relative to the root, written with `/`
  bool selected;
};

void ExpectSelection(const Case* cases, std::size_t count, MaskStyle style,
                     const std::string& root) {
  for (std::size_t i = 0; i < count; ++i) {
    const Case& c = cases[i];
    MaskList list(Native(c.masks), style, root);
    EXPECT_EQ(list.Selects(Under(c.file)), c.selected)
        << "masks " << c.masks << " file " << c.file;
  }
}

TEST(MaskListTest, IncludeAndExcludeInListOrder) {
  const Case cases[] = {
      {"*.txt;~a*.txt", "a1.txt", false},
      {"*.txt;~a*.txt", "b1.txt", true},
      {"~a*.txt;*.txt", "a1.txt", true},  // nothing was selected when the exclude came
      {"*.txt;~a*.txt;a1*", "a1.txt", true},
      {"*.lnk;*.url", "Word.LNK", true},
      {"*.lnk;*.url", "Home.url", true},
      {"*.lnk;*.url", "Home.urls", false},
      {";;", "a.txt", false},
      {"~", "a.txt", false},
      {"~*.txt", "a.txt", false},  // excludes alone select nothing
      {"", "a.txt", false},
      {"*.*", "README", true},   // a name without a dot is matched with one appended
      {"*.", "Makefile", true},  // so `*.` selects files without an extension
      {"*.", "Makefile.am", false},
      {"a?c.txt", "abc.TXT", true},
      {"a?c.txt", "ac.txt", false},
      {" *.txt ", "x.txt", true},        // blanks around a mask do not count
      {"caf\xE9.*", "CAF\xC9.doc", true},  // upper-cased through the code page
  };
  ExpectSelection(cases, std::size(cases), MaskStyle::kFileJobs, Root());
}

TEST(MaskListTest, FileJobMasksGetADotOrAStar) {
  const Case file_jobs[] = {
      {"readme", "README", true},
      {"readme", "README.TXT", false},
      {".txt", "X.TXT", true},
  };
  ExpectSelection(file_jobs, std::size(file_jobs), MaskStyle::kFileJobs, Root());
  // The synchronization job takes masks as written.
  const Case synchronization[] = {
      {"readme", "README", false},  // README is matched as README.
      {"readme.", "README", true},
      {".txt", "X.TXT", false},
      {".txt", ".txt", true},
  };
  ExpectSelection(synchronization, std::size(synchronization), MaskStyle::kSynchronization,
                  Root());
}

TEST(MaskListTest, FolderParts) {
  const Case cases[] = {
      {"sub/*.txt", "sub/a.txt", true},
      {"sub/*.txt", "a.txt", false},
      {"sub/*.txt", "x/sub/a.txt", false},
      {"sub/*.txt", "sub/y/a.txt", false},
      {"*/sub/*.txt", "x/sub/a.txt", true},
      {"*/sub/*.txt", "sub/a.txt", true},
      {"*/sub/*.txt", "x/sub/y/a.txt", false},
      {"*/sub/*.txt", "sub/x/sub/a.txt", true},  // a later occurrence ends the folder
      {"sub/*/*.txt", "sub/y/a.txt", true},
      {"sub/*/*.txt", "sub/a.txt", true},
      {"sub/*/*.txt", "x/sub/a.txt", false},
      {"*/sub/*/*.txt", "x/sub/y/z/a.txt", true},
      {"*/sub/*/*.txt", "x/y/a.txt", false},
      {"/*.txt", "a.txt", true},
      {"/*.txt", "sub/a.txt", false},
      {"sub/", "sub/anything.bin", true},
      {"sub/", "sub/deeper/anything.bin", false},
      {"SUB/*.TXT", "Sub/a.txt", true},
      {"sub/*.txt;~sub/b*", "sub/b.txt", false},
  };
  ExpectSelection(cases, std::size(cases), MaskStyle::kFileJobs, Root());
  // A root given with its closing separator works the same.
  ExpectSelection(cases, std::size(cases), MaskStyle::kFileJobs, Root() + Native("/"));
}

TEST(MaskListTest, WithoutARootMasksAreNamePatternsOnly) {
  MaskList list("*.txt", MaskStyle::kFileJobs);
  EXPECT_TRUE(list.Selects(Under("deep/inside/a.txt")));
  EXPECT_FALSE(list.Selects(Under("a.doc")));
}

// `*` and `*.*` select a name without asking the wildcard engine; they must still select exactly
// the names the engine's wildcards match, whatever bytes a name holds.
TEST(MaskListTest, MasksOfEveryNameAgreeWithTheWildcards) {
  PatternOptions options;
  options.case_sensitive = true;
  SearchPattern star("*", std::nullopt, PatternSyntax::kWildcard, options);
  SearchPattern star_dot_star("*.*", std::nullopt, PatternSyntax::kWildcard, options);
  for (const std::string& root : {std::string(), Root()}) {
    MaskList every("*", MaskStyle::kFileJobs, root);
    MaskList every_dotted("*.*", MaskStyle::kFileJobs, root);
    for (int byte = 1; byte < 256; ++byte) {
      std::string b(1, static_cast<char>(byte));
      if (b == "/" || b == "\\") continue;
      for (const std::string& name : {b, "a" + b + "b", "x." + b, b + ".txt"}) {
        std::string dotted = name.find('.') == std::string::npos ? name + "." : name;
        EXPECT_EQ(every.Selects(Under(name)), star.MatchesWhole(cp::ToUpper(dotted))) << byte;
        EXPECT_EQ(every_dotted.Selects(Under(name)),
                  star_dot_star.MatchesWhole(cp::ToUpper(dotted)))
            << byte;
      }
    }
  }
}

TEST(MaskListTest, TheOptionsOfARunningSearchDoNotMatter) {
  PatternOptions options;
  options.case_sensitive = false;
  options.repetition_bound = 3;
  SearchPattern search("+[a]b", std::nullopt, PatternSyntax::kRegex, options);
  MaskList list(Native("*.txt;~*/old/*"), MaskStyle::kFileJobs, Root());
  EXPECT_TRUE(list.Selects(Under("a-rather-long-name.TXT")));
  EXPECT_FALSE(list.Selects(Under("x/old/a.txt")));
  // The search keeps its own: no case, at most three.
  EXPECT_TRUE(search.MatchesWhole("AaAb"));
  EXPECT_FALSE(search.MatchesWhole("aaaab"));
}

}  // namespace
}  // namespace tsl
