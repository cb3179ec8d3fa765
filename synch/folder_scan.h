// Scanning one folder of a job into a list of file records: masks, date/size/attribute
// filters, local times, extra data, progress texts; and the sort of the scanned lists.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "services/folder_walker.h"
#include "services/job_services.h"
#include "synch/file_record.h"
#include "synch/matching.h"
#include "synch/synch_settings.h"

namespace tsl {

/// UTC to local time for many file times: the offset is looked up once per quarter hour of UTC
/// (every change of a time zone's offset falls on one), and checked at both ends of it.
class LocalTimeConverter {
 public:
  FileTime ToLocal(FileTime utc);

 private:
  std::unordered_map<FileTime, FileTime> offsets_;  // quarter hour -> offset
  // The quarter hour looked up last, which the next time often shares.
  FileTime last_quarter_ = std::numeric_limits<FileTime>::min();
  FileTime last_offset_ = 0;
};

/// True when the date, size and attribute filters of `settings` keep a file with these UTC
/// modified time, size and attributes.
bool PassesFilters(FileTime modified_utc, std::uint64_t size, std::uint32_t attributes,
                   const SynchSettings& settings);

/// What a scan on a helper thread shares with the thread that waits for it.
struct ScanShared {
  std::atomic<bool> stop{false};      // polled after every entry, as a cancel is
  std::atomic<std::size_t> files{0};  // records made so far
  std::atomic<int> folders{0};        // folders entered so far
};

/// What a scan needs besides the folder.
struct ScanContext {
  const SynchSettings& settings;
  ExtraDataSwitches extra;
  const FileSelector& selector;
  JobProgress* progress = nullptr;   // status texts every tenth file, when open
  const bool* cancel = nullptr;      // polled after every entry
  ScanShared* shared = nullptr;      // for a scan on a helper thread
  /// Receives the entries left out of the comparison (folders that could not be listed, links
  /// to folders, pipes and devices, names with control characters), when given.
  std::vector<LeftAlone>* left_alone = nullptr;
  /// A folder never entered: the other side's folder when it lies inside this one, so that
  /// nothing is compared with, or copied into, itself.
  std::optional<FileIdentity> skip_folder = std::nullopt;
};

/// Scans `folder` (with its closing separator) depth first into `list`, which is emptied first;
/// the records' texts are kept in `texts`.
/// False when the folder text is empty. Folders whose names begin with `.` and links to folders
/// are never entered; pipes, sockets and devices are never opened; names with LF, CR or a byte
/// from 1 to 8 are skipped; the copies' own temporaries are passed over in silence. A folder
/// that cannot be listed adds nothing. What is left out, except the temporaries and a missing
/// folder, is noted in the context's left-alone entries.
bool ScanSide(const std::string& folder, const ScanContext& context, RecordTexts* texts,
              FileRecordList* list);

/// The scan of one side, ScanSide(folder, context, texts, list), on a helper thread while the
/// calling thread scans the other side; or, without `on_helper` or a thread to be had, on the
/// calling thread when Finish is called. The helper shows no progress and never reads the job's
/// cancel flag: Finish shows its counts and passes a cancel on.
class SideScan {
 public:
  /// Starts the scan on a helper thread when `on_helper`, without the context's progress and
  /// cancel. What the context points to must outlive the scan.
  SideScan(std::string folder, const ScanContext& context, RecordTexts* texts, FileRecordList* list,
           bool on_helper);
  ~SideScan();  // stops a scan still running on the helper, and waits for it
  SideScan(const SideScan&) = delete;
  SideScan& operator=(const SideScan&) = delete;

  /// Scans, or waits for the helper's scan to end, showing the files and folders found so far
  /// on `progress` (when open) and stopping the scan once `*cancel` is set. ScanSide's result.
  bool Finish(JobProgress* progress, const bool* cancel);

 private:
  std::string folder_;
  ScanContext context_;
  RecordTexts* texts_;
  FileRecordList* list_;
  ScanShared shared_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;   // guarded by mutex_
  bool named_ = false;  // ScanSide's result, once done_
  std::thread thread_;
};

/// How the two folders of a job lie, by their identities: the same folder however spelt, one
/// inside the other (then `*inner` is the inner folder's identity), or apart. A folder that
/// does not exist lies apart.
FolderRelation RelateFolders(const std::string& source, const std::string& target,
                             std::optional<FileIdentity>* inner);

/// Compares two records by a sort key (0 name, 1 extension, 2 modified, 3 size, 4 relative
/// folder, 5 checksum, 6 CRC-32), reversed when not ascending: <0, 0 or >0.
int CompareBySortKey(const FileRecord& a, const FileRecord& b, int sort_key, bool ascending);

/// Sorts a list by the key; keys outside 0..6 leave it as it is.
void SortList(FileRecordList* list, int sort_key, bool ascending);

}  // namespace tsl
