#include "services/file_list.h"

#include <gtest/gtest.h>

#include "platform/drives.h"
#include "services/test_file_system.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::MemoryFileSystem;
using testing::Native;

class FileListTest : public ::testing::Test {
 protected:
  FileListTest() : scoped_(fs_) {
    fs_.AddFile(Native("/d/r/b.txt"), "bb", 300);
    fs_.AddFolder(Native("/d/r/sub"));
    fs_.AddFile(Native("/d/r/sub/c.TXT"), "c", 100);
    fs_.AddFile(Native("/d/r/.hidden/h.txt"), "h");
    fs_.AddFolder(Native("/d/r/link"), attr::kReparsePoint);
    fs_.AddFile(Native("/d/r/link/l.txt"), "l");
    fs_.AddFile(Native("/d/r/sub/deep/e"), "eeee", 200);
    fs_.AddFile(Native("/d/r/a.log"), "aaa", 400);
    fs_.AddSpecial(Native("/d/r/pipe.txt"));
    fs_.AddFile(Native("/d/other/x.txt"), "x");
  }
  // The list's paths below /d/, with `/`.
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < list_.size(); ++i) {
      std::string path = list_[i].path.substr(Native("/d/").size());
      for (char& c : path) {
        if (c == NativeSeparator()) c = '/';
      }
      paths.push_back(path);
    }
    return paths;
  }
  MemoryFileSystem fs_;
  ScopedFileSystem scoped_;
  testing::TestServices services_;
  FileList list_{services_};
};

TEST_F(FileListTest, EachFolderOwnFilesComeBeforeItsSubfoldersAndTheWalkerRulesHold) {
  FileListOptions options;
  options.subfolders = true;
  bool cancel = false;
  std::unique_ptr<JobProgress> progress = services_.OpenProgress(0, &cancel, "");
  options.progress = progress.get();
  EXPECT_EQ(list_.BuildOne(Native("/d/r"), "*.*", options), 4u);
  // The listing meets sub/ before a.log; dot folders, links to folders and pipes stay out.
  EXPECT_EQ(Paths(), (std::vector<std::string>{"r/b.txt", "r/a.log", "r/sub/c.TXT",
                                               "r/sub/deep/e"}));
  EXPECT_EQ(list_[1].size, 3u);
  EXPECT_EQ(list_[1].modified, 400);
  EXPECT_EQ(list_.files_found(), 4);
  EXPECT_EQ(list_.folders_walked(), 2);
  EXPECT_EQ(services_.progress_log[2], "text Found 2 files in 1 directories");
  EXPECT_EQ(services_.progress_log.back(), "text Found 4 files in 2 directories");

  options.subfolders = false;
  options.progress = nullptr;
  EXPECT_EQ(list_.BuildOne(Native("/d/r"), "*.txt", options), 1u);
  EXPECT_EQ(Paths(), std::vector<std::string>{"r/b.txt"});
  EXPECT_EQ(list_.folders_walked(), 0);
}

TEST_F(FileListTest, PairsListsFiltersAndCancel) {
  FileListOptions options;
  options.subfolders = true;
  std::vector<std::size_t> ends;
  // A `;` list is trimmed and its empty pieces dropped; a missing folder gives nothing.
  EXPECT_EQ(list_.Build({Native("/d/r/sub/deep"), "*.*",
                         " " + Native("/d/other") + " ;;" + Native("/d/none") + "; ", "*.txt"},
                        options, &ends),
            2u);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"r/sub/deep/e", "other/x.txt"}));
  EXPECT_EQ(ends, (std::vector<std::size_t>{1, 2}));
  EXPECT_TRUE(list_.notes().empty());

  FileFilter filter;
  filter.min_size = 2;
  options.filter = &filter;
  list_.BuildOne(Native("/d/r"), "*.*", options);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"r/b.txt", "r/a.log", "r/sub/deep/e"}));

  // An empty folder is not the file system's root.
  EXPECT_EQ(list_.Build({"", "*.*"}, options, &ends), 0u);
  EXPECT_EQ(ends, std::vector<std::size_t>{0});

  bool cancel = true;
  options.cancel = &cancel;
  EXPECT_EQ(list_.Build({Native("/d/r"), "*.*", Native("/d/other"), "*.*"}, options, &ends),
            0u);
  EXPECT_EQ(ends, (std::vector<std::size_t>{0, 0}));
}

TEST_F(FileListTest, SortKeysOrderEachPairOnItsOwn) {
  fs_.AddFile(Native("/d/r/sub/noext"), "n", 50);
  struct Case {
    int key;
    bool ascending;
    std::vector<std::string> paths;
  } cases[] = {
      {kSortName, true, {"r/a.log", "r/b.txt", "r/sub/c.TXT", "r/sub/deep/e", "r/sub/noext"}},
      {kSortExtension, true, {"r/sub/noext", "r/sub/deep/e", "r/a.log", "r/b.txt", "r/sub/c.TXT"}},
      {kSortModified, true, {"r/sub/noext", "r/sub/c.TXT", "r/sub/deep/e", "r/b.txt", "r/a.log"}},
      {kSortSize, false, {"r/sub/deep/e", "r/a.log", "r/b.txt", "r/sub/c.TXT", "r/sub/noext"}},
      {kSortFolder, true, {"r/sub/deep/e", "r/sub/c.TXT", "r/sub/noext", "r/a.log", "r/b.txt"}},
      {kSortFolder, false, {"r/b.txt", "r/a.log", "r/sub/noext", "r/sub/c.TXT", "r/sub/deep/e"}},
  };
  for (const Case& c : cases) {
    FileListOptions options;
    options.subfolders = true;
    options.sort_key = c.key;
    options.ascending = c.ascending;
    std::vector<std::size_t> ends;
    list_.Build({Native("/d/r"), "*.*", Native("/d/other"), "*.*"}, options, &ends);
    std::vector<std::string> expected = c.paths;
    expected.push_back("other/x.txt");  // its own pair, after the first pair's files
    EXPECT_EQ(Paths(), expected) << "key " << c.key;
    EXPECT_EQ(ends, (std::vector<std::size_t>{5, 6}));
  }
}

TEST(FolderTextTest, ExpansionAndFolderIndex) {
  const char s = NativeSeparator();
  EXPECT_FALSE(ExpandFolders(Native("/d/r")).has_value());
  EXPECT_EQ(ExpandFolders(Native(" /a ; ;/b/")),
            (std::vector<std::string>{Native("/a/"), "*.*", Native("/b/"), "*.*"}));
  std::vector<std::string> drives;
  for (const std::string& root : LocalHardDriveRoots()) {
    EXPECT_EQ(root.back(), s);
    drives.insert(drives.end(), {root, "*.*"});
  }
  EXPECT_EQ(ExpandFolders("local HARD drives"), drives);
  // As a script's [Path block gives it, with a closing separator.
  EXPECT_EQ(ExpandFolders(std::string("Local Hard Drives") + s), drives);

  std::vector<std::string> list = {Native("/Data/dir"), "*.txt", Native("/data/directory/"),
                                   "*.*", Native("/data/"), "*.*"};
  EXPECT_EQ(FindFolderIndex(Native("/data/directory/x.txt"), list, 0), 2);
  EXPECT_EQ(FindFolderIndex(Native("/DATA/DIR/x.txt"), list, 0), 0);
  EXPECT_EQ(FindFolderIndex(Native("/DATA/DIR/x.txt"), list, 2), 4);
  EXPECT_EQ(FindFolderIndex(Native("/elsewhere/x.txt"), list, 0), -1);
}

// A server whose shares cannot be listed (any server on Linux, an unknown one on Windows) gives
// nothing, and the results are told why.
TEST_F(FileListTest, AServerWithoutSharesGivesANote) {
  const std::string separators(2, NativeSeparator());
  const std::string server = separators + "tsl-no-such-server";
  EXPECT_EQ(ExpandFolders(server + NativeSeparator()), std::vector<std::string>{});
  EXPECT_EQ(list_.BuildOne(server, "*.*", {}), 0u);
  ASSERT_EQ(list_.notes().size(), 1u);
  EXPECT_NE(list_.notes()[0].find(server), std::string::npos);
  if (NativePathStyle() == PathStyle::kPosix) {
    EXPECT_EQ(list_.notes()[0],
              "No shared folders can be listed for //tsl-no-such-server on this system");
  }
}

}  // namespace
}  // namespace tsl
