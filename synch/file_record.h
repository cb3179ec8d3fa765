// One scanned file of a synchronization job, with the extra data a report may ask for (version
// text, byte checksum, CRC-32) and the content comparison that pairs use.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

struct FileRecord {
  std::string path;             // the scanned folder (with its separator) plus the name
  std::size_t root_length = 0;  // length of the scanned folder text
  std::uint8_t attributes = 0;  // low byte of the attributes
  FileTime created = 0;         // local times
  FileTime accessed = 0;
  FileTime modified = 0;
  FileTime modified_utc = 0;  // what comparisons use: one scale whatever the date's offset
  std::uint64_t size = 0;
  bool link = false;  // a symbolic link to a file (the rest describes that file)
  int compare_state = kNotDecided;
  std::uint32_t checksum = 0;  // 0: not computed
  std::uint32_t crc32 = 0;     // 0: not computed
  std::optional<std::string> version;

  /// The path below the scanned folder.
  std::string_view RelativePath() const {
    return std::string_view(path).substr(root_length < path.size() ? root_length : path.size());
  }
  /// The text after the last separator.
  std::string_view Name() const;
};

/// Computes the record's extra data as the switches ask: the version text, then the checksum
/// and CRC-32 together in one read of the file (64000-byte blocks). A file that cannot be read
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
