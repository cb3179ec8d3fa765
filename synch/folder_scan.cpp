// The folder scan: a depth-first walk with an explicit stack (folder trees may be deep), in the
// order the file system lists entries, a subfolder scanned where it is met.
#include "synch/folder_scan.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "resources/string_table.h"
#include "services/text_format.h"

namespace tsl {
namespace {

constexpr FileTime kQuarterHour = 15LL * 60 * 10000000;
constexpr std::uint32_t kFilterBits =
    attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kDirectory | attr::kArchive;  // 55

// Whether a value lies outside the range of the normal filters (a limit of 0 is not set).
bool RejectedByRange(std::int64_t value, std::int64_t minimum, std::int64_t maximum,
                     bool reversed) {
  if (!reversed) {
    return (minimum != 0 && value < minimum) || (maximum != 0 && value > maximum);
  }
  if (minimum != 0) return value > minimum && (maximum == 0 || value < maximum);
  return maximum != 0 && value < maximum;
}

bool RejectedByAttributes(std::uint32_t attributes, const SynchSettings& s) {
  std::uint32_t ignored = static_cast<std::uint32_t>(s.ignored_attributes);
  if ((ignored & kFilterBits) == kFilterBits) return false;
  std::uint32_t a = attributes & ~ignored & kFilterBits;
  std::uint32_t skip = static_cast<std::uint32_t>(s.skip_attributes);
  switch (s.reverse_filters) {
    case 1:
      return a != skip;
    case 2:
      return (a & skip) != 0;
    case 3:
      return (a & skip) == 0;
    default:
      return a == skip;
  }
}

bool FiltersApply(const SynchSettings& s) {
  return s.min_date != 0 || s.max_date != 0 || s.min_size != 0 || s.max_size != 0 ||
         s.ignored_attributes != 55;
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = cp::ToUpper(static_cast<unsigned char>(a[i]));
    unsigned char y = cp::ToUpper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

template <typename T>
int CompareValues(T a, T b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

// A name's extension from its last `.`; a name without one sorts first.
int CompareExtensions(std::string_view a, std::string_view b) {
  std::string_view::size_type da = a.rfind('.'), db = b.rfind('.');
  if (da == std::string_view::npos || db == std::string_view::npos) {
    return CompareValues(da != std::string_view::npos, db != std::string_view::npos);
  }
  return CompareIgnoringCase(a.substr(da), b.substr(db));
}

int CompareRelativeFolders(const FileRecord& a, const FileRecord& b) {
  PathStyle style = NativePathStyle();
  std::string_view ra = a.RelativePath(), rb = b.RelativePath();
  std::string_view::size_type sa = LastSeparator(std::string(ra), style);
  std::string_view::size_type sb = LastSeparator(std::string(rb), style);
  std::string_view fa = sa == std::string::npos ? std::string_view() : ra.substr(0, sa + 1);
  std::string_view fb = sb == std::string::npos ? std::string_view() : rb.substr(0, sb + 1);
  if (int c = CompareIgnoringCase(fa, fb); c != 0) return c;
  return CompareIgnoringCase(a.path, b.path);
}

int CompareAscending(const FileRecord& a, const FileRecord& b, int sort_key) {
  switch (sort_key) {
    case 0:
      return CompareIgnoringCase(a.Name(), b.Name());
    case 1:
      return CompareExtensions(a.Name(), b.Name());
    case 2:
      return CompareValues(a.modified, b.modified);
    case 3:
      return CompareValues(a.size, b.size);
    case 4:
      return CompareRelativeFolders(a, b);
    case 5:
      return CompareValues(a.checksum, b.checksum);
    case 6:
      return CompareValues(a.crc32, b.crc32);
    default:
      return 0;
  }
}

void ShowScanProgress(JobProgress* progress, std::size_t files, int folders, bool subfolders) {
  if (!progress || files % 10 != 0) return;
  if (folders > 1 && subfolders) {
    progress->SetText(FormatText(TableText(text_id::kFoundFilesInFolders),
                                 {std::to_string(files), std::to_string(folders)}));
  } else {
    progress->SetText(
        FormatText(TableText(text_id::kFoundFilesInOneFolder), {std::to_string(files)}));
  }
}

// One folder being walked. The folder's path is the first `folder_length` characters of the
// walk's one path text, so deep trees cost memory in proportion to their depth only.
struct Frame {
  std::size_t folder_length = 0;
  std::vector<DirEntry> entries;
  std::size_t next = 0;
};

// A folder that is missing is empty; one that exists but cannot be listed is noted, because its
// files are unknown, not absent.
Frame OpenFolder(const std::string& folder, const ScanContext& context) {
  Frame frame;
  frame.folder_length = folder.size();
  SysError error;
  if (!context.prefetch || !context.prefetch->Take(folder, &frame.entries, &error)) {
    error = Files().ListFolder(folder, &frame.entries);
  }
  if (error.failed()) {
    frame.entries.clear();
    bool missing = error.kind == ErrorKind::kNotFound || error.kind == ErrorKind::kPathNotFound;
    if (!missing && context.left_alone) {
      context.left_alone->push_back(LeftAlone{folder, LeftAloneReason::kUnlisted, error});
    }
  }
  return frame;
}

// What a walk does with one listing entry. ScanSide and TreePrefetch::Walk both follow it, so
// that the listings taken ahead are the ones the scan asks for.
enum class Step { kFile, kEnter, kPassOver, kLinkToFolder, kSpecial, kUnusualName };

// LF and CR would split a log line; bytes 1 to 8 are not names anyone means.
bool HasUnusualByte(std::string_view name) {
  for (char c : name) {
    if (c == '\n' || c == '\r' || (c >= 1 && c <= 8)) return true;
  }
  return false;
}

// Folders whose names begin with `.` are never entered, nor links to folders (no loops, and
// nothing written through them).
Step StepFor(const DirEntry& entry, bool subfolders) {
  if (entry.is_folder()) {
    if (!subfolders || entry.name.empty() || entry.name[0] == '.') return Step::kPassOver;
    if (HasUnusualByte(entry.name)) return Step::kUnusualName;
    if (entry.link || (entry.attributes & attr::kReparsePoint)) return Step::kLinkToFolder;
    return Step::kEnter;
  }
  if (HasUnusualByte(entry.name)) return Step::kUnusualName;
  if (IsCopyTemporaryName(entry.name)) return Step::kPassOver;
  if (entry.special) return Step::kSpecial;
  return Step::kFile;
}

// Only asked when one side's folder lies inside the other's, so a plain scan pays nothing.
bool IsSkipped(const std::string& folder, const std::optional<FileIdentity>& skip_folder) {
  return skip_folder && HasIdentity(folder, *skip_folder);
}

void Note(const ScanContext& context, std::string path, LeftAloneReason reason) {
  if (context.left_alone) context.left_alone->push_back(LeftAlone{std::move(path), reason, {}});
}

FileRecord MakeRecord(const std::string& path, std::size_t root_length, const DirEntry& entry,
                      LocalTimeConverter& local) {
  FileRecord record;
  record.path = path;
  record.root_length = root_length;
  record.attributes = static_cast<std::uint8_t>(entry.attributes & 0xFF);
  record.created = local.ToLocal(entry.created);
  record.accessed = local.ToLocal(entry.accessed);
  record.modified = local.ToLocal(entry.modified);
  record.modified_utc = entry.modified;
  record.size = entry.size;
  record.link = entry.link;
  return record;
}

}  // namespace

FileTime LocalTimeConverter::ToLocal(FileTime utc) {
  if (utc == 0) return 0;
  FileTime quarter = utc >= 0 ? utc / kQuarterHour : (utc - kQuarterHour + 1) / kQuarterHour;
  auto found = offsets_.find(quarter);
  if (found != offsets_.end()) return utc + found->second;
  FileTime start = quarter * kQuarterHour;
  FileTime offset = UtcToLocal(start) - start;
  if (UtcToLocal(start + kQuarterHour - 1) - (start + kQuarterHour - 1) != offset) {
    return UtcToLocal(utc);  // an offset that changes inside the quarter: no caching
  }
  offsets_.emplace(quarter, offset);
  return utc + offset;
}

bool PassesFilters(FileTime modified_utc, std::uint64_t size, std::uint32_t attributes,
                   const SynchSettings& s) {
  bool reversed = s.reverse_filters != 0;
  if (RejectedByRange(modified_utc, s.min_date, s.max_date, reversed)) return false;
  std::int64_t signed_size = static_cast<std::int64_t>(size);
  if (RejectedByRange(signed_size, s.min_size, s.max_size, reversed)) return false;
  return !RejectedByAttributes(attributes, s);
}

bool ScanSide(const std::string& folder, const ScanContext& context,
              std::vector<FileRecord>* list) {
  list->clear();
  if (folder.empty()) return false;
  const SynchSettings& s = context.settings;
  bool filters = FiltersApply(s), subfolders = s.search_subfolders != 0;
  LocalTimeConverter local;
  std::vector<Frame> stack;
  std::string root = WithClosingSeparator(folder, NativePathStyle());
  const char separator = NativeSeparator();
  std::string current = root;  // the folder of the frame on top, then an entry's path
  stack.push_back(OpenFolder(current, context));
  int folders = 1;
  while (!stack.empty() && !(context.cancel && *context.cancel)) {
    Frame& top = stack.back();
    if (top.next >= top.entries.size()) {
      stack.pop_back();
      continue;
    }
    const DirEntry& entry = top.entries[top.next++];
    current.resize(top.folder_length);
    current += entry.name;
    Step step = StepFor(entry, subfolders);
    if (entry.is_folder() && step != Step::kPassOver) current += separator;
    switch (step) {
      case Step::kPassOver:
        continue;
      case Step::kEnter:
        if (IsSkipped(current, context.skip_folder)) continue;
        stack.push_back(OpenFolder(current, context));
        ++folders;
        continue;
      case Step::kLinkToFolder:
        Note(context, current, LeftAloneReason::kLinkToFolder);
        continue;
      case Step::kUnusualName:
        Note(context, current, LeftAloneReason::kUnusualName);
        continue;
      case Step::kSpecial:
        if (context.selector.Selects(current))
          Note(context, current, LeftAloneReason::kSpecialFile);
        continue;
      case Step::kFile:
        break;
    }
    if (!context.selector.Selects(current)) continue;
    if (filters && !PassesFilters(entry.modified, entry.size, entry.attributes, s)) continue;
    FileRecord record = MakeRecord(current, root.size(), entry, local);
    ComputeExtraData(record, context.extra);
    list->push_back(std::move(record));
    ShowScanProgress(context.progress, list->size(), folders, subfolders);
  }
  return true;
}

struct TreePrefetch::Listing {
  std::string folder;
  std::vector<DirEntry> entries;
  SysError error;
};

struct TreePrefetch::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Listing> listings;
  bool done = false;
  std::atomic<bool> stop{false};
};

TreePrefetch::TreePrefetch(const std::string& root, bool subfolders,
                           std::optional<FileIdentity> skip_folder)
    : shared_(std::make_shared<Shared>()) {
  try {
    thread_ = std::thread(&TreePrefetch::Walk, this, WithClosingSeparator(root, NativePathStyle()),
                          subfolders, skip_folder);
  } catch (const std::system_error&) {
    shared_->done = true;  // no helper thread: the scan lists every folder itself
  }
}

TreePrefetch::~TreePrefetch() {
  shared_->stop = true;
  if (thread_.joinable()) thread_.join();
}

// The same walk as ScanSide's, listing folders only; each listing is handed over as soon as it
// is taken, and the walk goes on from a copy of its entries.
void TreePrefetch::Walk(std::string root, bool subfolders,
                        std::optional<FileIdentity> skip_folder) {
  Shared& shared = *shared_;
  struct Folder {
    std::string path;
    std::vector<DirEntry> entries;
    std::size_t next = 0;
  };
  auto list = [&shared](std::string path) {
    Listing listing;
    listing.folder = std::move(path);
    listing.error = Files().ListFolder(listing.folder, &listing.entries);
    Folder folder{listing.folder, listing.entries, 0};
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.listings.push_back(std::move(listing));
    shared.changed.notify_one();
    return folder;
  };
  std::vector<Folder> stack;
  stack.push_back(list(std::move(root)));
  while (!stack.empty() && !shared.stop) {
    Folder& top = stack.back();
    if (top.next >= top.entries.size()) {
      stack.pop_back();
      continue;
    }
    const DirEntry& entry = top.entries[top.next++];
    if (StepFor(entry, subfolders) != Step::kEnter) continue;
    std::string child = top.path + entry.name + NativeSeparator();
    if (IsSkipped(child, skip_folder)) continue;
    stack.push_back(list(std::move(child)));
  }
  std::lock_guard<std::mutex> lock(shared.mutex);
  shared.done = true;
  shared.changed.notify_one();
}

bool TreePrefetch::Take(const std::string& folder, std::vector<DirEntry>* entries,
                        SysError* error) {
  Shared& shared = *shared_;
  std::unique_lock<std::mutex> lock(shared.mutex);
  shared.changed.wait(lock, [&] { return !shared.listings.empty() || shared.done; });
  if (shared.listings.empty()) return false;
  Listing listing = std::move(shared.listings.front());
  shared.listings.pop_front();
  if (listing.folder != folder) {
    // Out of step (should not happen): the scan lists the rest itself.
    shared.stop = true;
    shared.listings.clear();
    return false;
  }
  *entries = std::move(listing.entries);
  *error = listing.error;
  return true;
}

FolderRelation RelateFolders(const std::string& source, const std::string& target,
                             std::optional<FileIdentity>* inner) {
  inner->reset();
  std::vector<FileIdentity> source_up, target_up;
  if (source.empty() || target.empty() || FolderAncestry(source, &source_up).failed() ||
      FolderAncestry(target, &target_up).failed() || source_up.empty() || target_up.empty()) {
    return FolderRelation::kApart;
  }
  auto holds = [](const std::vector<FileIdentity>& ancestry, const FileIdentity& folder) {
    return std::find(ancestry.begin() + 1, ancestry.end(), folder) != ancestry.end();
  };
  if (source_up[0] == target_up[0]) return FolderRelation::kSame;
  if (holds(target_up, source_up[0])) {
    *inner = target_up[0];
    return FolderRelation::kTargetInsideSource;
  }
  if (holds(source_up, target_up[0])) {
    *inner = source_up[0];
    return FolderRelation::kSourceInsideTarget;
  }
  return FolderRelation::kApart;
}

int CompareBySortKey(const FileRecord& a, const FileRecord& b, int sort_key, bool ascending) {
  return ascending ? CompareAscending(a, b, sort_key) : CompareAscending(b, a, sort_key);
}

void SortList(std::vector<FileRecord>* list, int sort_key, bool ascending) {
  if (sort_key < 0 || sort_key > 6) return;
  std::stable_sort(list->begin(), list->end(), [&](const FileRecord& a, const FileRecord& b) {
    return CompareBySortKey(a, b, sort_key, ascending) < 0;
  });
}

}  // namespace tsl
