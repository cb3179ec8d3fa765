// Pairing the files of the two folders and classifying each pair as identical or different.
#pragma once

#include <vector>

#include "synch/file_record.h"
#include "synch/synch_services.h"
#include "synch/synch_settings.h"

namespace tsl {

/// A source record and the target record it was paired with.
struct FilePair {
  FileRecord source;
  FileRecord target;
  bool identical = false;  // the classification's result
};

/// A folder that exists but could not be listed: what it holds is unknown.
struct UnlistedFolder {
  std::string path;  // with its closing separator
  SysError error;
};

/// The three lists of a comparison: files found on one side only, and pairs; and the folders
/// of each side that could not be listed.
struct FileLists {
  std::vector<FileRecord> source;
  std::vector<FileRecord> target;
  std::vector<FilePair> pairs;
  std::vector<UnlistedFolder> unlisted_source;
  std::vector<UnlistedFolder> unlisted_target;

  void Clear() {
    source.clear();
    target.clear();
    pairs.clear();
    unlisted_source.clear();
    unlisted_target.clear();
  }
};

/// -1 when the source is older, 0 when the times count as the same, 1 when it is newer:
/// `precision` seconds of tolerance, and an `offset` in seconds that may separate the folders'
/// clocks either way.
int CompareTimes(const FileRecord& source, const FileRecord& target, int offset, int precision);

/// Classifies a pair (content, time, size and name steps); true when identical. Sets the
/// records' compare states.
bool ComparePair(FileRecord& source, FileRecord& target, const SynchSettings& settings,
                 const CancelCheck& cancel);

/// What matching and classification need besides the lists.
struct MatchContext {
  const SynchSettings& settings;
  ExtraDataSwitches extra;
  JobProgress* progress = nullptr;  // bar position: the source record being handled
  const bool* cancel = nullptr;
  CancelCheck cancel_check;  // for content comparisons
};

/// Moves pairs out of the source and target lists into the pair list: first by relative path
/// (letter case ignored), then, with match in subfolders, by CRC-32, checksum or name anywhere
/// in the tree. Each source takes the first target, in list order, that the rule allows, found
/// through indexes so that the time is linear in the number of files.
void MatchLists(FileLists* lists, const MatchContext& context);

/// Classifies every pair in order, dropping identical pairs without show identical and
/// different ones without show different; stops at a cancel.
void ClassifyPairs(FileLists* lists, const MatchContext& context);

}  // namespace tsl
