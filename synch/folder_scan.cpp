// The folder scan: the folder walker's walk (depth first, in listing order, a subfolder scanned
// where it is met), turned into file records.
#include "synch/folder_scan.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "platform/version_info.h"
#include "resources/string_table.h"
#include "services/file_filter.h"
#include "services/text_format.h"

namespace tsl {
namespace {

constexpr FileTime kQuarterHour = 15LL * 60 * 10000000;
// The script's filter in the form both jobs share.
FileFilter FilterOf(const SynchSettings& s) {
  FileFilter filter;
  filter.min_date = s.min_date;
  filter.max_date = s.max_date;
  filter.min_size = s.min_size;
  filter.max_size = s.max_size;
  filter.reverse = s.reverse_filters;
  filter.skip_attributes = s.skip_attributes;
  filter.ignored_attributes = s.ignored_attributes;
  return filter;
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
  return cp::CompareIgnoringCase(a.substr(da), b.substr(db));
}

int CompareRelativeFolders(const FileRecord& a, const FileRecord& b) {
  PathStyle style = NativePathStyle();
  std::string_view ra = a.RelativePath(), rb = b.RelativePath();
  std::string_view::size_type sa = LastSeparator(std::string(ra), style);
  std::string_view::size_type sb = LastSeparator(std::string(rb), style);
  std::string_view fa = sa == std::string::npos ? std::string_view() : ra.substr(0, sa + 1);
  std::string_view fb = sb == std::string::npos ? std::string_view() : rb.substr(0, sb + 1);
  if (int c = cp::CompareIgnoringCase(fa, fb); c != 0) return c;
  return cp::CompareIgnoringCase(a.Path(), b.Path());
}

int CompareAscending(const FileRecord& a, const FileRecord& b, int sort_key) {
  switch (sort_key) {
    case 0:
      return cp::CompareIgnoringCase(a.Name(), b.Name());
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

void ShowFound(JobProgress* progress, std::size_t files, int folders, bool subfolders) {
  if (folders > 1 && subfolders) {
    progress->SetText(FormatText(TableText(text_id::kFoundFilesInFolders),
                                 {std::to_string(files), std::to_string(folders)}));
  } else {
    progress->SetText(
        FormatText(TableText(text_id::kFoundFilesInOneFolder), {std::to_string(files)}));
  }
}

void ShowScanProgress(JobProgress* progress, std::size_t files, int folders, bool subfolders) {
  if (progress && files % 10 == 0) ShowFound(progress, files, folders, subfolders);
}

// The scan's walk: the walker's rule, with the odd entries set apart.
WalkOptions ScanWalkOptions(bool subfolders, std::optional<FileIdentity> skip_folder) {
  WalkOptions options;
  options.subfolders = subfolders;
  options.odd_entries_apart = true;
  options.skip_folder = skip_folder;
  return options;
}

void Note(const ScanContext& context, std::string path, LeftAloneReason reason) {
  if (context.left_alone) context.left_alone->push_back(LeftAlone{std::move(path), reason, {}});
}

FileRecord MakeRecord(const FolderWalker& walker, const DirEntry& entry, LocalTimeConverter& local,
                      RecordTexts& texts, const std::optional<std::string>& version) {
  FileRecord record;
  const std::string& path = walker.path();
  std::string_view version_text = version ? std::string_view(*version) : std::string_view();
  record.SetPath(texts, std::string_view(path).substr(0, walker.root_length()), walker.relative(),
                 version ? &version_text : nullptr);
  record.attributes = static_cast<std::uint8_t>(entry.attributes & 0xFF);
  record.modified = local.ToLocal(entry.modified);
  // Times equal to the time written need no second conversion (on POSIX the time made is the
  // time written).
  record.created = entry.created == entry.modified ? record.modified : local.ToLocal(entry.created);
  record.accessed =
      entry.accessed == entry.modified ? record.modified : local.ToLocal(entry.accessed);
  record.modified_utc = entry.modified;
  record.size = entry.size;
  record.link = entry.link;
  return record;
}

}  // namespace

FileTime LocalTimeConverter::ToLocal(FileTime utc) {
  if (utc == 0) return 0;
  FileTime quarter = utc >= 0 ? utc / kQuarterHour : (utc - kQuarterHour + 1) / kQuarterHour;
  if (quarter == last_quarter_) return utc + last_offset_;
  auto found = offsets_.find(quarter);
  if (found != offsets_.end()) {
    last_quarter_ = quarter;
    last_offset_ = found->second;
    return utc + found->second;
  }
  FileTime start = quarter * kQuarterHour;
  FileTime offset = UtcToLocal(start) - start;
  if (UtcToLocal(start + kQuarterHour - 1) - (start + kQuarterHour - 1) != offset) {
    return UtcToLocal(utc);  // an offset that changes inside the quarter: no caching
  }
  offsets_.emplace(quarter, offset);
  last_quarter_ = quarter;
  last_offset_ = offset;
  return utc + offset;
}

bool PassesFilters(FileTime modified_utc, std::uint64_t size, std::uint32_t attributes,
                   const SynchSettings& s) {
  return FilterOf(s).Passes(modified_utc, size, attributes);
}

bool ScanSide(const std::string& folder, const ScanContext& context, RecordTexts* texts,
              FileRecordList* list) {
  list->clear();
  if (folder.empty()) return false;
  const SynchSettings& s = context.settings;
  const FileFilter filter = FilterOf(s);
  bool filters = filter.Applies(), subfolders = s.search_subfolders;
  LocalTimeConverter local;
  WalkOptions options = ScanWalkOptions(subfolders, context.skip_folder);
  options.selector = &context.selector;
  options.cancel = context.cancel;
  FolderWalker walker(folder, std::move(options));
  ScanShared* shared = context.shared;
  int folders = 0;
  while (!(shared && shared->stop.load(std::memory_order_relaxed)) && walker.Next()) {
    const std::string& path = walker.path();
    switch (walker.step()) {
      case WalkStep::kFolder: {
        ++folders;
        if (shared) shared->folders.store(folders, std::memory_order_relaxed);
        // A folder that is missing is empty; one that exists but cannot be listed is noted,
        // because its files are unknown, not absent.
        const SysError& error = walker.error();
        bool missing = error.kind == ErrorKind::kNotFound || error.kind == ErrorKind::kPathNotFound;
        if (error.failed() && !missing && context.left_alone) {
          context.left_alone->push_back(LeftAlone{path, LeftAloneReason::kUnlisted, error});
        }
        continue;
      }
      case WalkStep::kFolderDone:
      case WalkStep::kPassedOver:
        continue;
      case WalkStep::kLinkToFolder:
        Note(context, path, LeftAloneReason::kLinkToFolder);
        continue;
      case WalkStep::kUnusualName:
        Note(context, path, LeftAloneReason::kUnusualName);
        continue;
      case WalkStep::kSpecial:
        Note(context, path, LeftAloneReason::kSpecialFile);
        continue;
      case WalkStep::kFile:
        break;
    }
    const DirEntry& entry = *walker.entry();
    if (filters && !filter.Passes(entry.modified, entry.size, entry.attributes)) continue;
    std::optional<std::string> version;
    if (context.extra.version) version = FileVersionText(path);
    FileRecord record = MakeRecord(walker, entry, local, *texts, version);
    ComputeExtraData(record, context.extra);
    list->push_back(std::move(record));
    if (shared) shared->files.store(list->size(), std::memory_order_relaxed);
    ShowScanProgress(context.progress, list->size(), folders, subfolders);
  }
  return true;
}

SideScan::SideScan(std::string folder, const ScanContext& context, RecordTexts* texts,
                   FileRecordList* list, bool on_helper)
    : folder_(std::move(folder)), context_(context), texts_(texts), list_(list) {
  if (!on_helper) return;
  ScanContext helper = context_;
  helper.progress = nullptr;
  helper.cancel = nullptr;
  helper.shared = &shared_;
  try {
    thread_ = std::thread([this, helper] {
      bool named = ScanSide(folder_, helper, texts_, list_);
      std::lock_guard<std::mutex> lock(mutex_);
      named_ = named;
      done_ = true;
      ended_.notify_one();
    });
  } catch (const std::system_error&) {
    // no helper thread: Finish scans on the calling thread
  }
}

SideScan::~SideScan() {
  shared_.stop = true;
  if (thread_.joinable()) thread_.join();
}

bool SideScan::Finish(JobProgress* progress, const bool* cancel) {
  if (!thread_.joinable()) {
    ScanContext here = context_;
    here.progress = progress;
    here.cancel = cancel;
    return ScanSide(folder_, here, texts_, list_);
  }
  const bool subfolders = context_.settings.search_subfolders;
  auto show = [&] {
    if (progress) {
      ShowFound(progress, shared_.files.load(std::memory_order_relaxed),
                shared_.folders.load(std::memory_order_relaxed), subfolders);
    }
  };
  std::unique_lock<std::mutex> lock(mutex_);
  while (!done_) {
    if (cancel && *cancel) shared_.stop = true;
    if (ended_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) break;
    // The progress window is pumped (and may take a cancel) without the lock held.
    lock.unlock();
    show();
    lock.lock();
  }
  lock.unlock();
  thread_.join();
  show();
  return named_;
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

void SortList(FileRecordList* list, int sort_key, bool ascending) {
  if (sort_key < 0 || sort_key > 6) return;
  std::stable_sort(list->begin(), list->end(), [&](const FileRecord& a, const FileRecord& b) {
    return CompareBySortKey(a, b, sort_key, ascending) < 0;
  });
}

}  // namespace tsl
