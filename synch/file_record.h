// One scanned file of a synchronization job, with the extra data a report may ask for (version
// text, byte checksum, CRC-32) and the content comparison that pairs use.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tsl {

/// Compare states of a record (set by the pair classification).
enum CompareState : int {
  kNotDecided = 0,
  kOlder = 1,      // the older file of a pair whose times differ
  kIdentical = 2,  // identical to its partner
};

/// Which extra data the scan collects per file.
struct ExtraDataSwitches {
  bool version = false;
  bool checksum = false;
  bool crc32 = false;
};

/// Polled by long loops: pumps the progress window's messages and says whether the user
/// cancelled the job.
using CancelCheck = std::function<bool()>;

/// The texts of a comparison's records in large blocks that never move: the scanned folders,
/// and for every file its path below its folder and its version text, if any. A record holds one
/// pointer into its store, so records must not outlive the store they were made with; clearing
/// the store is for when its records are gone.
class RecordTexts {
 public:
  RecordTexts() = default;
  RecordTexts(const RecordTexts&) = delete;
  RecordTexts& operator=(const RecordTexts&) = delete;
  RecordTexts(RecordTexts&&) = default;
  RecordTexts& operator=(RecordTexts&&) = default;

  /// Keeps a file's texts as one entry: the address of its folder's text, then the path below
  /// the folder and the version text, each with a closing zero. Gives the kept path.
  const char* KeepPath(std::string_view root, std::string_view relative,
                       const std::string_view* version);
  void Clear();

 private:
  char* Room(std::size_t size);
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;      // of the last block
  std::size_t capacity_ = 0;  // of the last block
  std::string_view last_root_;  // the folder's text kept last, which the next file often shares
};

/// One scanned file: 64 bytes, its texts in a RecordTexts store.
struct FileRecord {
  FileTime created = 0;  // local times
  FileTime accessed = 0;
  FileTime modified = 0;
  FileTime modified_utc = 0;  // what comparisons use: one scale whatever the date's offset
  std::uint64_t size = 0;
  std::uint32_t checksum = 0;  // 0: not computed
  std::uint32_t crc32 = 0;     // 0: not computed
  std::uint8_t attributes = 0;  // low byte of the attributes
  bool link = false;            // a symbolic link to a file (the rest describes that file)
  std::uint8_t compare_state = kNotDecided;

  /// Sets the path, the scanned folder `root` (with its separator) and the path below it, and
  /// the version text, when given; all kept in `texts`.
  void SetPath(RecordTexts& texts, std::string_view root, std::string_view relative,
               const std::string_view* version = nullptr);

  /// The scanned folder plus the path below it.
  std::string Path() const;
  /// The scanned folder, with its separator.
  std::string_view Root() const;
  /// The path below the scanned folder.
  std::string_view RelativePath() const { return {relative_ ? relative_ : "", relative_length_}; }
  /// The text after the last separator.
  std::string_view Name() const;
  /// The version text; empty when there is none.
  std::string_view Version() const {
    return has_version_ ? relative_ + relative_length_ + 1 : "";
  }

 private:
  bool has_version_ = false;
  std::uint32_t relative_length_ = 0;
  const char* relative_ = nullptr;  // in a RecordTexts entry
};

/// The records of one side of a comparison. Blocks of records, so that a long list grows without
/// moving what it holds and frees its front while it is taken apart.
using FileRecordList = std::deque<FileRecord>;

/// Computes the record's checksum and CRC-32 as the switches ask, together in one read of the
/// file (64000-byte blocks); the version text is the scan's. A file that cannot be read
/// keeps its zeros. Records whose size has its top bit set, or that already have both values,
/// are not read.
void ComputeExtraData(FileRecord& record, const ExtraDataSwitches& switches);

/// True when two files of equal size have the same contents: by their CRC-32 when either has
/// one (the missing one is computed), else by their checksums when either has one, else block
/// by block (32767 bytes), letter case ignored with `ignore_case`. A file that cannot be read,
/// or a cancel, gives false. When the blocks all matched, both records become identical.
bool CompareContents(FileRecord& a, FileRecord& b, bool ignore_case, const CancelCheck& cancel);

/// Whether two files hold the same bytes, read afresh block by block (no checksum stands in for
/// the contents). A file that cannot be read gives its error.
SysError SameBytes(const std::string& a, const std::string& b, bool* same);

/// True when two files are equal as text that skips white space (CR, LF, space, tab);
/// `ignore_case` lets a letter match its other case. Files that cannot be read, or a cancel,
/// give false.
bool CompareTextSkippingWhiteSpace(const std::string& a, const std::string& b, bool ignore_case,
                                   const CancelCheck& cancel);

}  // namespace tsl
