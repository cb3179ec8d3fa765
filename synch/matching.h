// Pairing the files of the two folders and classifying each pair as identical or different.
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "services/job_services.h"
#include "synch/file_record.h"
#include "synch/synch_settings.h"

namespace tsl {

/// A source record and the target record it was paired with.
struct FilePair {
  FileRecord source;
  FileRecord target;
  bool identical = false;  // the classification's result
};

/// The pairs of a comparison, in blocks like the record lists.
using FilePairList = std::deque<FilePair>;

/// Why an entry of a scanned tree is left out of the comparison.
enum class LeftAloneReason {
  kUnlisted,      // a folder that exists but could not be listed, or its entries not examined
  kLinkToFolder,  // never entered
  kSpecialFile,   // a pipe, socket or device: never opened
  kUnusualName,   // a name holding LF, CR or a byte from 1 to 8
};

/// An entry of a scanned tree that the comparison left out. What it holds is unknown, not
/// absent: nothing of the other side is copied over its place, nor deleted in its name.
struct LeftAlone {
  std::string path;  // a folder's with its closing separator
  LeftAloneReason reason = LeftAloneReason::kUnlisted;
  SysError error;  // why a folder could not be listed
};

/// The log line (without its line end) that says why an entry was left alone.
std::string LeftAloneLine(const LeftAlone& entry);

/// How the two folders of a job lie, judged by the folders' identities, not their texts.
enum class FolderRelation {
  kApart,
  kSame,                // one folder, spelt twice (or reached through a link)
  kTargetInsideSource,  // the target lies below the source
  kSourceInsideTarget,
};

/// The three lists of a comparison: files found on one side only, and pairs; the entries of
/// each side that the comparison left alone; and how the two folders lie.
struct FileLists {
  // The texts of the records below, one store for each side: the sides are scanned on two
  // threads at once.
  RecordTexts source_texts;
  RecordTexts target_texts;
  FileRecordList source;
  FileRecordList target;
  FilePairList pairs;
  std::vector<LeftAlone> left_source;
  std::vector<LeftAlone> left_target;
  FolderRelation relation = FolderRelation::kApart;
  /// The inner folder's identity when one folder lies inside the other: the walks of the outer
  /// tree never enter it.
  std::optional<FileIdentity> inner_folder;

  void Clear() {
    source.clear();
    target.clear();
    pairs.clear();
    left_source.clear();
    left_target.clear();
    relation = FolderRelation::kApart;
    inner_folder.reset();
    source_texts.Clear();
    target_texts.Clear();
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
