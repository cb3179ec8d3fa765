// Randomized differential test of the synchronization operations: TslRun runs every operation
// code on small hostile trees drawn from a seeded generator (names that differ only in case,
// times around the precision, read-only files, links into and out of the trees, nested and
// aliased folders), and the trees afterwards are checked against a small model that says which
// files an operation may change, delete or create. The model is deliberately not a second
// implementation of the job: it only bounds what may happen, so it stays simple enough to trust.
//
// A failure prints the seed, the operation, the settings, the trees, the script and TslRun's log.
// To replay one world: TSL_SYNCH_DIFF_SEED=<seed> (and TSL_SYNCH_DIFF_CODE=<code> for one
// operation); TSL_SYNCH_DIFF_WORLDS=<n> changes how many worlds a run draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

namespace fs = std::filesystem;

constexpr FileTime kSecond = 10000000;
constexpr FileTime kNoon = 132593328000000000LL;  // 2021-03-04 12:00:00 UTC
constexpr int kCodes[] = {0, 1, 2, 3, 4, 5, 7, 8};

#ifdef _WIN32
// Each start of TslRun under Wine costs about half a second, and Windows makes no links here.
constexpr int kDefaultWorlds = 3;
constexpr bool kLinks = false;
constexpr bool kCaseTwins = false;  // names differing only in case are one file there
#elif defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultWorlds = 8;  // TslRun starts slower with the sanitizers
constexpr bool kLinks = true;
constexpr bool kCaseTwins = true;
#else
constexpr int kDefaultWorlds = 25;
constexpr bool kLinks = true;
constexpr bool kCaseTwins = true;
#endif
constexpr std::uint64_t kFirstSeed = 20261208;

// ---------------------------------------------------------------------------------------------
// The world: what the generator lays out, as a replayable plan.

enum class Layout { kSeparate, kTargetInSource, kSourceInTarget, kSameFolder };

struct Item {
  enum Kind { kFile, kFileLink, kFolderLink } kind = kFile;
  std::string path;  // relative to the world folder, with `/`
  std::string content;
  std::int64_t seconds = 0;  // modified time, seconds after kNoon
  bool read_only = false;
  std::string link_to;  // a link's target, relative to the world folder
};

Item FileItem(const std::string& path, const std::string& content, std::int64_t seconds,
              bool read_only) {
  Item item;
  item.path = path;
  item.content = content;
  item.seconds = seconds;
  item.read_only = read_only;
  return item;
}

Item LinkItem(Item::Kind kind, const std::string& path, const std::string& link_to) {
  Item item;
  item.kind = kind;
  item.path = path;
  item.link_to = link_to;
  return item;
}

struct Settings {
  int check_same_size = 0;
  int older_overwrite = 1;
  int newer_overwrite = 0;
  int precision = 3;
};

struct World {
  std::uint64_t seed = 0;
  Layout layout = Layout::kSeparate;
  Settings settings;
  std::vector<Item> items;
};

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  // Own reduction rather than a std distribution, so that a seed means the same world with
  // every standard library.
  int Below(int n) { return static_cast<int>(engine_() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[Below(static_cast<int>(from.size()))];
  }

 private:
  std::mt19937_64 engine_;
};

const std::vector<std::string> kFileNames = {"a.txt", "A.txt", "A.TXT", "b", "B", "c.dat"};
const std::vector<std::string> kFolderNames = {"", "", "sub/", "SUB/", "d/", "sub/d/"};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && Upper(a) == Upper(b);
}

std::string SourceBase(Layout layout) {
  return layout == Layout::kSourceInTarget ? "dst/sub/" : "src/";
}
std::string TargetBase(Layout layout) {
  switch (layout) {
    case Layout::kTargetInSource:
      return "src/sub/";
    case Layout::kSameFolder:
      return "src/";
    default:
      return "dst/";
  }
}

// A time near `base` as the precision makes interesting: the same, within it (its edge
// included), just beyond it, or far away.
std::int64_t NearTime(Random& random, std::int64_t base, int precision) {
  int sign = random.Chance(50) ? 1 : -1;
  switch (random.Below(5)) {
    case 0:
      return base;
    case 1:
      return base + sign * std::min(precision, 1 + random.Below(std::max(precision, 1)));
    case 2:
      return base + sign * (precision + 1);
    case 3:
      return base + sign * 3600;
    default:
      return base + sign * 86400 * 3;
  }
}

class WorldBuilder {
 public:
  explicit WorldBuilder(std::uint64_t seed) : random_(seed) { world_.seed = seed; }

  World Build() {
    Settings& s = world_.settings;
    s.check_same_size = random_.Below(2);
    s.older_overwrite = random_.Chance(80) ? 1 : 0;
    s.newer_overwrite = random_.Chance(25) ? 1 : 0;
    s.precision = std::vector<int>{0, 2, 3, 3, 3, 5}[random_.Below(6)];
    int layout = random_.Below(100);
    world_.layout = layout < 70   ? Layout::kSeparate
                    : layout < 80 ? Layout::kTargetInSource
                    : layout < 90 ? Layout::kSourceInTarget
                                  : Layout::kSameFolder;
    Add(FileItem("outside/o1.txt", "outside one", 0, false));
    Add(FileItem("outside/od/o2.txt", "outside two", -50, true));
    std::string src = SourceBase(world_.layout), dst = TargetBase(world_.layout);
    int sources = 2 + random_.Below(4);
    std::vector<Item> source_files;
    for (int i = 0; i < sources; ++i) {
      Item item =
          FileItem(src + RandomName(), Content(6 + random_.Below(10)),
                   std::vector<std::int64_t>{0, 100, -5000}[random_.Below(3)], random_.Chance(15));
      if (Add(item)) source_files.push_back(item);
    }
    for (const Item& from : source_files) {
      if (!random_.Chance(65)) continue;
      AddPartner(from, src, dst);
    }
    for (int i = random_.Below(3); i > 0; --i) {
      Add(FileItem(dst + RandomName(), Content(6 + random_.Below(10)), random_.Below(3) * 700 - 700,
                   random_.Chance(15)));
    }
    if (kLinks) AddLinks(src, dst);
    return world_;
  }

 private:
  std::string RandomName() { return random_.Pick(kFolderNames) + random_.Pick(kFileNames); }

  std::string Content(int size) {
    std::string text = "#" + std::to_string(++contents_) + ":";
    while (static_cast<int>(text.size()) < size) text += static_cast<char>('a' + random_.Below(26));
    return text;
  }

  // The target's counterpart of a source file: maybe spelt in another case, with equal,
  // same-size or other contents, and a time around the source's.
  void AddPartner(const Item& from, const std::string& src, const std::string& dst) {
    std::string relative = from.path.substr(src.size());
    if (kCaseTwins && random_.Chance(30)) {
      relative = random_.Chance(50) ? Upper(relative) : relative;
      std::string name = random_.Pick(kFileNames);
      if (SameIgnoringCase(name, fs::path(relative).filename().string())) {
        relative = fs::path(relative).parent_path().generic_string();
        relative = (relative.empty() ? "" : relative + "/") + name;
      }
    }
    std::string content = from.content;
    switch (random_.Below(3)) {
      case 0:
        break;
      case 1:
        content.back() = content.back() == 'x' ? 'y' : 'x';
        break;
      default:
        content = Content(static_cast<int>(from.content.size()) + 1 + random_.Below(4));
    }
    Add(FileItem(dst + relative, content,
                 NearTime(random_, from.seconds, world_.settings.precision), random_.Chance(15)));
  }

  void AddLinks(const std::string& src, const std::string& dst) {
    std::vector<std::string> files;
    for (const Item& item : world_.items) {
      if (item.kind == Item::kFile && item.path.rfind("outside/", 0) != 0)
        files.push_back(item.path);
    }
    for (int i = random_.Below(4); i > 0; --i) {
      std::string base = random_.Chance(50) ? src : dst;
      std::string name = random_.Chance(50) ? random_.Pick(kFileNames) : "ln" + std::to_string(i);
      switch (random_.Below(4)) {
        case 0:
          Add(LinkItem(Item::kFileLink, base + name, "outside/o1.txt"));
          break;
        case 1:
          if (!files.empty()) Add(LinkItem(Item::kFileLink, base + name, random_.Pick(files)));
          break;
        case 2:
          Add(LinkItem(Item::kFolderLink, base + "lnd" + std::to_string(i), "outside/od"));
          break;
        default:
          Add(LinkItem(Item::kFolderLink, base + "lnd" + std::to_string(i),
                       random_.Chance(50) ? "src" : "dst"));
      }
    }
  }

  // Adds an item unless its place is taken (ignoring case where the file system does).
  bool Add(const Item& item) {
    std::string key = kCaseTwins ? item.path : Upper(item.path);
    for (const std::string& taken : taken_) {
      // Neither the same path nor a file where a folder is wanted, or the reverse.
      if (taken == key || key.rfind(taken + "/", 0) == 0 || taken.rfind(key + "/", 0) == 0) {
        return false;
      }
    }
    taken_.push_back(key);
    world_.items.push_back(item);
    return true;
  }

  Random random_;
  World world_;
  std::vector<std::string> taken_;
  int contents_ = 0;
};

std::string Describe(const World& world) {
  static const char* const kLayouts[] = {"separate folders", "target inside source",
                                         "source inside target", "one folder spelt twice"};
  std::ostringstream out;
  const Settings& s = world.settings;
  out << "seed " << world.seed << " (replay: TSL_SYNCH_DIFF_SEED=" << world.seed << "), "
      << kLayouts[static_cast<int>(world.layout)] << "; Check Same Size Files=" << s.check_same_size
      << " Older Overwrite=" << s.older_overwrite << " Newer Overwrite=" << s.newer_overwrite
      << " Time Check Precision=" << s.precision << "\n";
  for (const Item& item : world.items) {
    out << "  " << item.path;
    if (item.kind == Item::kFile) {
      out << "  \"" << item.content << "\" (" << item.content.size() << " bytes) t"
          << (item.seconds >= 0 ? "+" : "") << item.seconds << "s"
          << (item.read_only ? " read-only" : "");
    } else {
      out << (item.kind == Item::kFileLink ? "  -> file " : "  -> folder ") << item.link_to;
    }
    out << "\n";
  }
  return out.str();
}

void LayOut(const World& world, const std::string& root) {
  MakeFolders(root + "/src");
  MakeFolders(root + "/dst");
  for (const Item& item : world.items) {
    std::string path = root + "/" + item.path;
    if (item.kind == Item::kFile) {
      WriteFileAt(Native(path), item.content, kNoon + item.seconds * kSecond);
      if (item.read_only) RealFileSystem().SetAttributes(Native(path), attr::kReadOnly);
      continue;
    }
    MakeFolders(Native(fs::path(path).parent_path().string()));
    std::error_code error;
    fs::path target = fs::path(root) / item.link_to;
    if (item.kind == Item::kFileLink) {
      fs::create_symlink(target, path, error);
    } else {
      fs::create_directory_symlink(target, path, error);
    }
    ASSERT_FALSE(error) << "cannot make the link " << path << ": " << error.message();
  }
}

// ---------------------------------------------------------------------------------------------
// Snapshots: the world folder entry by entry, and the two trees as the job sees them.

struct Entry {
  enum Kind { kFile, kFolder, kLink, kOther } kind = kOther;
  std::string content;  // a file's bytes
  std::string link_to;  // a link's target text
  FileTime modified = 0;
  int permissions = 0;
  bool operator==(const Entry& o) const {
    return kind == o.kind && content == o.content && link_to == o.link_to;
  }
};

// One file of a tree as the scan sees it: folders whose names begin with `.` and links to
// folders are not entered; a link to a file stands for that file.
struct TreeFile {
  bool source = false;
  std::string relative;  // inside its tree, with `/`
  std::string entry;     // the entry's place in the world folder
  std::string file;      // the place of the file it names, links followed ("" when outside)
  bool via_link = false;
  std::string content;
  FileTime modified = 0;
};

struct Snapshot {
  std::map<std::string, Entry> entries;  // by place in the world folder
  std::vector<TreeFile> files;           // both trees
};

// Whether a link of one tree names a file that the other tree holds under its own name.
bool ReadsTheOtherTree(const Snapshot& snapshot) {
  for (const TreeFile& link : snapshot.files) {
    if (!link.via_link) continue;
    for (const TreeFile& file : snapshot.files) {
      if (!file.via_link && file.source != link.source && file.entry == link.file) return true;
    }
  }
  return false;
}

// How places are compared: as spelt where letter case makes other files, else folded, so that a
// file replaced under another spelling of its name is still the same place.
std::string Key(const std::string& place) { return kCaseTwins ? place : Upper(place); }

// The place of a path in the world folder, or "" when it lies outside it.
std::string PlaceOf(const fs::path& path, const fs::path& world) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(path, error);
  fs::path relative = canonical.lexically_relative(world);
  std::string text = Key(relative.generic_string());
  if (error || text.empty() || text.rfind("..", 0) == 0) return "";
  return text;
}

void ScanTree(const fs::path& top, bool source, const fs::path& world, Snapshot* snapshot) {
  std::vector<std::string> pending{""};
  while (!pending.empty()) {
    std::string relative = pending.back();
    pending.pop_back();
    std::error_code error;
    for (const fs::directory_entry& child : fs::directory_iterator(top / relative, error)) {
      std::string name = child.path().filename().string();
      std::string path = relative + name;
      bool link = child.is_symlink(error);
      if (child.is_directory(error)) {
        if (!link && name[0] != '.') pending.push_back(path + "/");
        continue;
      }
      if (!child.is_regular_file(error)) continue;
      TreeFile file;
      file.source = source;
      file.relative = path;
      file.entry = PlaceOf(child.path().parent_path(), world) + "/" + Key(name);
      file.file = PlaceOf(child.path(), world);
      file.via_link = link;
      RealFileSystem().ReadWholeFile(child.path().string(), &file.content);
      DirEntry listed;
      if (RealFileSystem().GetEntry(child.path().string(), &listed).ok()) {
        file.modified = listed.modified;
      }
      snapshot->files.push_back(file);
    }
  }
}

Snapshot Take(const std::string& root, const std::string& path1, const std::string& path2) {
  Snapshot snapshot;
  fs::path world = fs::canonical(root);
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(world, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    Entry entry;
    fs::file_status status = it->symlink_status(error);
    if (fs::is_symlink(status)) {
      entry.kind = Entry::kLink;
      entry.link_to = fs::read_symlink(it->path(), error).generic_string();
    } else if (fs::is_directory(status)) {
      entry.kind = Entry::kFolder;
    } else if (fs::is_regular_file(status)) {
      entry.kind = Entry::kFile;
      RealFileSystem().ReadWholeFile(it->path().string(), &entry.content);
      entry.permissions = static_cast<int>(status.permissions());
      DirEntry listed;
      if (RealFileSystem().GetEntry(it->path().string(), &listed).ok()) {
        entry.modified = listed.modified;
      }
    }
    snapshot.entries[Key(it->path().lexically_relative(world).generic_string())] = entry;
  }
  ScanTree(path1, true, world, &snapshot);
  ScanTree(path2, false, world, &snapshot);
  return snapshot;
}

bool IsTemporaryName(const std::string& place) {
  std::string name = fs::path(place).filename().string();
  auto ends_tmp = name.size() > 4 && Upper(name.substr(name.size() - 4)) == ".TMP";
  return ends_tmp && (name.rfind(".tsl-", 0) == 0 || Upper(name).rfind("TSL", 0) == 0);
}

std::string Parent(const std::string& place) {
  return fs::path(place).parent_path().generic_string();
}

// ---------------------------------------------------------------------------------------------
// The model: which changes an operation may make. Every rule is named in the reports it gives.

// The rules of the model, by the name that reports give, each with why it must hold.
namespace rule {
// the job knows only the two trees; what their links point at is not its own.
constexpr char kOutsideUntouched[] = "OutsideUntouched";
// a finished copy leaves no temporary file beside its target.
constexpr char kNoTemporaryFilesLeft[] = "NoTemporaryFilesLeft";
// no other operation has a reason to remove a folder.
constexpr char kFoldersRemovedOnlyByPruneOrDeleteEmpty[] = "FoldersRemovedOnlyByPruneOrDeleteEmpty";
// a link to a folder is never entered, so nothing allows touching it.
constexpr char kFolderLinksUntouched[] = "FolderLinksUntouched";
// only Prune and Remove identical delete, and only target files.
constexpr char kDeleteOnlyPruneOrIdentical[] = "DeleteOnlyPruneOrIdentical";
// a file that is also a source file (nested, aliased, linked) is the data being kept.
constexpr char kSourceFilesNeverDeleted[] = "SourceFilesNeverDeleted";
// Prune deletes a target file only when it has no partner in the source: no source file of its
// exact path, and it is not the one target file that pairs with the one source file whose path
// differs from its own only in letter case.
constexpr char kPruneOnlyOrphans[] = "PruneOnlyOrphans";
// Remove identical deletes only a copy: same path, same bytes, another file.
constexpr char kIdenticalOnlyTrueDuplicates[] = "IdenticalOnlyTrueDuplicates";
// only Synch (both trees), Refresh, Update and Prune (the target) overwrite.
constexpr char kReplaceOnlyByUpdatingCodes[] = "ReplaceOnlyByUpdatingCodes";
// a copy puts a file in place, never a link or a folder.
constexpr char kReplacedOnlyByFiles[] = "ReplacedOnlyByFiles";
// new bytes in a file come from the file at the same path (any case) of the other tree.
constexpr char kCopyOnlyFromPartner[] = "CopyOnlyFromPartner";
// a copy into the folder it was read from overwrites a sibling or itself.
constexpr char kNoCopyIntoOwnFolder[] = "NoCopyIntoOwnFolder";
// an older file replaces a newer one only when Newer Overwrite asks for it.
constexpr char kNeverReplacedByOlder[] = "NeverReplacedByOlder";
// a new file lands at the exact path of the file it copies, in a tree the code adds to.
constexpr char kNewFilesOnlyAtPartnerPath[] = "NewFilesOnlyAtPartnerPath";
// bytes that went against the rules must at least survive in some other file.
constexpr char kNoDataLost[] = "NoDataLost";
// a second run finds nothing left to do: no flip-flop between names, no growth. (Not asked of
// trees where a link of one tree names a file of the other: one file under two names changes
// when either is updated, and a run may then find the other name newer.)
constexpr char kConverges[] = "Converges";
}  // namespace rule

class Model {
 public:
  Model(int code, const Settings& settings, const Snapshot& before)
      : code_(code), settings_(settings), before_(before) {}

  // Gives one line per broken rule.
  std::vector<std::string> Check(const Snapshot& after) const {
    std::vector<std::string> broken;
    auto report = [&](const std::string& rule, const std::string& what) {
      broken.push_back(rule + ": " + what);
    };
    std::set<std::string> lost_by_fault;  // contents of files that changed against the rules
    for (const auto& [place, was] : before_.entries) {
      auto now = after.entries.find(place);
      bool gone = now == after.entries.end();
      if (!InTrees(place)) {
        // Outside the two trees nothing changes, least of all what links point at.
        if (gone || !(now->second == was) || now->second.modified != was.modified ||
            now->second.permissions != was.permissions) {
          report(rule::kOutsideUntouched, place + (gone ? " is gone" : " changed"));
        }
        continue;
      }
      if (!gone && now->second == was) continue;
      if (was.kind == Entry::kFolder) {
        // Only Prune and Delete Empty remove folders, and never one that stays a folder.
        if (!gone) continue;
        if (code_ != 4 && code_ != 8) report(rule::kFoldersRemovedOnlyByPruneOrDeleteEmpty, place);
        continue;
      }
      if (was.kind == Entry::kLink && IsFolderLink(place)) {
        // A link to a folder is never entered, so the job knows nothing that allows touching it.
        report(rule::kFolderLinksUntouched, place + (gone ? " is gone" : " changed"));
        continue;
      }
      std::string why =
          gone ? WhyNotDeletable(place) : WhyNotReplaceable(place, now->second, after);
      if (!why.empty()) {
        report(why, place + (gone ? " was deleted" : " now holds \"" + now->second.content + "\""));
      }
      if (was.kind == Entry::kFile && !why.empty()) lost_by_fault.insert(was.content);
    }
    std::set<std::string> contents_after;
    for (const auto& [place, entry] : after.entries) {
      if (entry.kind == Entry::kFile) contents_after.insert(entry.content);
    }
    for (const std::string& content : lost_by_fault) {
      // Whatever a file held survives somewhere, unless the rules let it go.
      if (!contents_after.count(content))
        report(rule::kNoDataLost, "\"" + content + "\" exists nowhere now");
    }
    for (const auto& [place, entry] : after.entries) {
      if (before_.entries.count(place)) continue;
      if (IsTemporaryName(place)) {
        report(rule::kNoTemporaryFilesLeft, place);
      } else if (!InTrees(place)) {
        report(rule::kOutsideUntouched, place + " appeared");
      } else if (entry.kind == Entry::kFile) {
        std::string why = WhyNotCreatable(place, entry, after);
        if (!why.empty()) report(why, place + " appeared with \"" + entry.content + "\"");
      } else if (entry.kind != Entry::kFolder) {
        report(rule::kNewFilesOnlyAtPartnerPath, place + " appeared and is not a file");
      }
    }
    return broken;
  }

 private:
  // Where the operation writes: Synch both ways; Augment, Update, Prune and Refresh the target.
  bool MayCreate(bool source) const {
    return source ? code_ == 0 : code_ == 0 || code_ == 1 || code_ == 3 || code_ == 4;
  }
  bool MayReplace(bool source) const {
    return source ? code_ == 0 : code_ == 0 || code_ == 2 || code_ == 3 || code_ == 4;
  }

  bool InTrees(const std::string& place) const {
    return Upper(place).rfind("SRC/", 0) == 0 || Upper(place).rfind("DST/", 0) == 0;
  }

  bool IsFolderLink(const std::string& place) const {
    for (const TreeFile& file : before_.files) {
      if (file.entry == place) return false;
    }
    return true;  // a link the scan did not list as a file: a folder's, or a broken one
  }

  // The tree files that this entry is, by its own name (not through a link elsewhere).
  std::vector<const TreeFile*> RolesOf(const std::string& place) const {
    std::vector<const TreeFile*> roles;
    for (const TreeFile& file : before_.files) {
      if (file.entry == place) roles.push_back(&file);
    }
    return roles;
  }

  // Is this entry's file, by any name, one of the source's files?
  bool IsSourceFile(const std::string& place) const {
    for (const TreeFile& file : before_.files) {
      if (file.source && (file.file == place || file.entry == place)) return true;
    }
    return false;
  }

  // Pairing is one to one: an exact path first; failing that, a path that differs only in
  // letter case, when it is the only unpaired one on each side.
  bool HasPartner(const TreeFile& target) const {
    auto exact = [&](const TreeFile& f, bool source) {
      return f.source == source &&
             std::any_of(before_.files.begin(), before_.files.end(), [&](const TreeFile& g) {
               return g.source != source && g.relative == f.relative;
             });
    };
    if (exact(target, false)) return true;
    int sources = 0, targets = 0;
    for (const TreeFile& f : before_.files) {
      if (!SameIgnoringCase(f.relative, target.relative) || exact(f, f.source)) continue;
      (f.source ? sources : targets) += 1;
    }
    return sources == 1 && targets == 1;
  }

  std::string WhyNotDeletable(const std::string& place) const {
    // A file goes only by Prune or Remove identical, and only from the target.
    if (code_ != 4 && code_ != 5) return rule::kDeleteOnlyPruneOrIdentical;
    // A source file is never deleted, whatever other name it has in the target.
    if (IsSourceFile(place)) return rule::kSourceFilesNeverDeleted;
    std::string reason = rule::kDeleteOnlyPruneOrIdentical;
    for (const TreeFile* role : RolesOf(place)) {
      if (code_ == 4) {
        reason = rule::kPruneOnlyOrphans;
        if (!HasPartner(*role)) return "";
      } else {
        // Remove identical deletes only a true duplicate: same path, same bytes, another file.
        reason = rule::kIdenticalOnlyTrueDuplicates;
        for (const TreeFile& f : before_.files) {
          if (f.source && SameIgnoringCase(f.relative, role->relative) &&
              f.content == role->content && f.file != role->file) {
            return "";
          }
        }
      }
    }
    return reason;
  }

  // A file that now holds other bytes took them from its partner: the file at the same path
  // (ignoring case) of the other tree, under a code that writes there, from another folder, and
  // not an older file unless the settings ask for that.
  std::string WhyNotReplaceable(const std::string& place, const Entry& now,
                                const Snapshot& after) const {
    if (now.kind != Entry::kFile) return rule::kReplacedOnlyByFiles;
    std::string reason = rule::kReplaceOnlyByUpdatingCodes;
    for (const TreeFile* role : RolesOf(place)) {
      if (!MayReplace(role->source)) continue;
      if (reason == rule::kReplaceOnlyByUpdatingCodes) reason = rule::kCopyOnlyFromPartner;
      for (const TreeFile& from : before_.files) {
        if (from.source == role->source || !SameIgnoringCase(from.relative, role->relative) ||
            !Carries(from, now.content, after)) {
          continue;
        }
        // A copy never goes into the folder it comes from (nested or aliased trees).
        if (Parent(from.entry) == Parent(place)) {
          if (reason == rule::kCopyOnlyFromPartner) reason = rule::kNoCopyIntoOwnFolder;
          continue;
        }
        if (!NewEnough(from.modified, role->modified)) {
          reason = rule::kNeverReplacedByOlder;
          continue;
        }
        return "";
      }
    }
    return reason;
  }

  // A copy carries its partner's bytes as they were, or as an earlier copy of the same batch
  // made them (the partner may itself have been updated first, through another name).
  static bool Carries(const TreeFile& from, const std::string& content, const Snapshot& after) {
    if (from.content == content) return true;
    auto now = after.entries.find(from.file);
    return now != after.entries.end() && now->second.kind == Entry::kFile &&
           now->second.content == content;
  }

  // The newer file (or one of the same time, within the precision) replaces the older one,
  // when Older Overwrite allows it; Newer Overwrite lets any partner replace.
  bool NewEnough(FileTime from, FileTime to) const {
    if (settings_.newer_overwrite) return true;
    return settings_.older_overwrite && from >= to - settings_.precision * kSecond;
  }

  // A new file lands only at the exact path of a file of the other tree with its bytes.
  std::string WhyNotCreatable(const std::string& place, const Entry& now,
                              const Snapshot& after) const {
    std::string reason = rule::kNewFilesOnlyAtPartnerPath;
    for (const TreeFile& role : after.files) {
      if (role.file != place || role.via_link || !MayCreate(role.source)) continue;
      for (const TreeFile& from : before_.files) {
        if (from.source == role.source || from.relative != role.relative ||
            !Carries(from, now.content, after)) {
          continue;
        }
        if (Parent(from.entry) == Parent(place)) {
          reason = rule::kNoCopyIntoOwnFolder;
          continue;
        }
        return "";
      }
    }
    return reason;
  }

  int code_;
  Settings settings_;
  const Snapshot& before_;
};

// Differences between two snapshots of the world folder, for the convergence check.
std::vector<std::string> Differences(const Snapshot& first, const Snapshot& second) {
  std::vector<std::string> lines;
  for (const auto& [place, entry] : first.entries) {
    auto other = second.entries.find(place);
    if (other == second.entries.end()) {
      lines.push_back(place + " is gone");
    } else if (!(other->second == entry)) {
      lines.push_back(place + " changed to \"" + other->second.content + "\"");
    }
  }
  for (const auto& [place, entry] : second.entries) {
    if (!first.entries.count(place)) lines.push_back(place + " appeared");
  }
  return lines;
}

// ---------------------------------------------------------------------------------------------

std::string Folder(const std::string& root, const std::string& base) {
  std::string folder = root + "/" + base.substr(0, base.size() - 1);
  return Native(folder);
}

// Removes the world's links before the temporary folder goes: once the folder a link points at is
// gone, a listing no longer shows the link, and it would keep its folder alive.
struct WorldRemover {
  std::string root;
  ~WorldRemover() {
    std::error_code ignored;
    fs::remove_all(root, ignored);  // links themselves, never what they point at
  }
};

class SynchDifferentialTest : public ::testing::Test {
 protected:
  // Runs one operation on a fresh copy of the world; gives false when it found faults.
  bool RunCase(const World& world, int code) {
    ScopedTempDir dir;
    std::string root = dir.path() + Separator() + "w";
    WorldRemover remover{root};
    LayOut(world, root);
    if (HasFatalFailure()) return false;
    std::string path1 = Folder(root, SourceBase(world.layout));
    std::string path2 = Folder(root, TargetBase(world.layout));
    if (world.layout == Layout::kSameFolder) path2 += std::string(1, Separator()) + ".";
    const Settings& s = world.settings;
    std::string script =
        "[Default]\r\nPath1=" + path1 + "\r\nPath2=" + path2 +
        "\r\nOutput File=" + dir / "log.txt" +
        "\r\nShow progress=0\r\nConfirm Updates=0\r\nOperation=" + std::to_string(code) +
        "\r\nCheck Same Size Files=" + std::to_string(s.check_same_size) +
        "\r\nOlder Overwrite=" + std::to_string(s.older_overwrite) +
        "\r\nNewer Overwrite=" + std::to_string(s.newer_overwrite) +
        "\r\nTime Check Precision=" + std::to_string(s.precision) + "\r\n[Action1]\r\n";
    WriteFile(dir / "job.ini", script);
    Snapshot before = Take(root, path1, path2);
    std::vector<std::string> broken;
    std::string log;
    Snapshot after;
    for (int run = 1; run <= 2; ++run) {
      RealFileSystem().RemoveFile(dir / "log.txt");
      std::vector<std::string> transcript;
      ProcessResult result = RunTslRun(dir / "job.ini" + "|||", dir.path(), "", &transcript,
                                       {{"TZ", "UTC"}, {"TESSALINE_REGISTRY", dir / "reg.db"}});
      if (result.error.failed() || result.exit_code != 0) {
        broken.push_back("TslRunEnds: run " + std::to_string(run) + " exit code " +
                         std::to_string(result.exit_code) + " " + result.errors);
      }
      std::string text;
      RealFileSystem().ReadWholeFile(dir / "log.txt", &text);
      log += "--- run " + std::to_string(run) + "\n" + text;
      Snapshot now = Take(root, path1, path2);
      if (run == 1) {
        for (const std::string& line : Model(code, s, before).Check(now)) broken.push_back(line);
        after = now;
        // The same trees give the same run: a second one is worth its time only after changes.
        if (Differences(before, now).empty()) break;
      } else if (!ReadsTheOtherTree(before)) {
        // A second run finds nothing more to do: no flip-flop between names, no growth.
        for (const std::string& line : Differences(after, now))
          broken.push_back(std::string(rule::kConverges) + ": " + line);
      }
    }
    if (broken.empty()) return true;
    std::ostringstream message;
    message << "Operation " << code << " on " << Describe(world) << "Broken rules:\n";
    for (std::size_t i = 0; i < broken.size() && i < 12; ++i) message << "  " << broken[i] << "\n";
    if (broken.size() > 12) message << "  (" << broken.size() - 12 << " more)\n";
    message << "Script:\n" << script << "Log:\n" << log;
    ADD_FAILURE() << message.str();
    return false;
  }
};

// The model itself, on trees written down by hand: each rule must be able to fail, and a run
// that keeps the rules must pass.
Snapshot HandMade(const std::vector<std::tuple<std::string, std::string, int>>& files) {
  Snapshot snapshot;
  for (const auto& [place, content, seconds] : files) {
    Entry entry;
    entry.kind = Entry::kFile;
    entry.content = content;
    entry.modified = kNoon + seconds * kSecond;
    snapshot.entries[place] = entry;
    if (place.rfind("outside/", 0) == 0) continue;
    TreeFile file;
    file.source = place.rfind("src/", 0) == 0;
    file.relative = place.substr(4);
    file.entry = file.file = place;
    file.content = content;
    file.modified = entry.modified;
    snapshot.files.push_back(file);
  }
  return snapshot;
}

TEST(SynchDifferentialModelTest, EachRuleCanFail) {
  // The world before, and each case as what changed in it (kGone: deleted) with the rule that
  // must break (empty: the run keeps every rule).
  using FileList = std::vector<std::tuple<std::string, std::string, int>>;
  const FileList world = {{"outside/o.txt", "o", 0}, {"src/a.txt", "new", 100},
                       {"src/b", "old", -100},    {"dst/a.txt", "mid", 0},
                       {"dst/B", "other", 0},     {"dst/A.TXT", "twin", 0}};
  const std::string kGone = "<gone>";
  const Snapshot before = HandMade(world);
  Settings settings;
  struct Case {
    int code;
    FileList changes;
    std::string rule;
  } cases[] = {
      {3, {{"dst/a.txt", "new", 100}}, ""},
      {3, {{"outside/o.txt", "x", 0}}, rule::kOutsideUntouched},
      {1, {{"dst/a.txt", "new", 100}}, rule::kReplaceOnlyByUpdatingCodes},
      {3, {{"dst/B", "old", -100}}, rule::kNeverReplacedByOlder},
      // B is the one partner of b: not an orphan (A.TXT, left without one, may go).
      {4, {{"dst/a.txt", "new", 100}, {"dst/B", kGone, 0}}, rule::kPruneOnlyOrphans},
      {5, {{"dst/a.txt", kGone, 0}}, rule::kIdenticalOnlyTrueDuplicates},
      {3, {{"dst/.tsl-0001.tmp", "new", 100}}, rule::kNoTemporaryFilesLeft},
      {3, {{"dst/A.txt", "new", 100}}, rule::kNewFilesOnlyAtPartnerPath},
      {0, {{"dst/B", kGone, 0}}, rule::kDeleteOnlyPruneOrIdentical},
  };
  for (const Case& c : cases) {
    FileList after = world;
    for (const auto& change : c.changes) {
      auto same_place = [&](const auto& file) { return std::get<0>(file) == std::get<0>(change); };
      after.erase(std::remove_if(after.begin(), after.end(), same_place), after.end());
      if (std::get<1>(change) != kGone) after.push_back(change);
    }
    std::vector<std::string> broken = Model(c.code, settings, before).Check(HandMade(after));
    if (c.rule.empty()) {
      EXPECT_TRUE(broken.empty()) << c.code << ": " << (broken.empty() ? "" : broken[0]);
    } else {
      ASSERT_FALSE(broken.empty()) << c.rule;
      EXPECT_EQ(broken[0].substr(0, broken[0].find(':')), c.rule) << broken[0];
    }
  }
}

std::optional<std::uint64_t> EnvironmentNumber(const char* name) {
  std::optional<std::string> value = GetEnvironmentValue(name);
  if (!value || value->empty()) return std::nullopt;
  return std::stoull(*value);
}

TEST_F(SynchDifferentialTest, RandomTreesKeepTheRules) {
  std::optional<std::uint64_t> seed = EnvironmentNumber("TSL_SYNCH_DIFF_SEED");
  std::optional<std::uint64_t> only_code = EnvironmentNumber("TSL_SYNCH_DIFF_CODE");
  std::uint64_t worlds =
      seed ? 1 : EnvironmentNumber("TSL_SYNCH_DIFF_WORLDS").value_or(kDefaultWorlds);
  int cases = 0, failed = 0;
  for (std::uint64_t i = 0; i < worlds; ++i) {
    World world = WorldBuilder(seed ? *seed : kFirstSeed + i).Build();
    for (int code : kCodes) {
      if (only_code && static_cast<int>(*only_code) != code) continue;
      ++cases;
      if (!RunCase(world, code)) ++failed;
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GT(cases, 0);
  std::printf("%d cases, %d broke a rule\n", cases, failed);
}

}  // namespace
}  // namespace tsl::testing
