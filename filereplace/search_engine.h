// The file replace job's engine: runs one loaded script over the files its paths name, reading
// each file in fixed-size chunks, finding each entry's occurrences, counting files, occurrences
// and lines, applying the script's expression and writing the result lines. A replace run writes
// each entry's pass to a temporary file and gives the searched file its new content only when
// every pass and check succeeded (see replace_commit.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "filereplace/file_replace_script.h"
#include "platform/file_system.h"

namespace tsl {

class JobServices;
class JobProgress;
class ResultOutput;
class TextFinder;
class CharacterMap;
class FileList;
class UndoScript;
class BackupPaths;
struct ExpressionTree;
struct FileListEntry;

/// Bytes read from a file at a time; one buffer of this size serves every file and entry.
inline constexpr std::int64_t kChunkBytes = 102400;

class FileReplaceEngine {
 public:
  explicit FileReplaceEngine(JobServices& services);
  ~FileReplaceEngine();
  FileReplaceEngine(const FileReplaceEngine&) = delete;
  FileReplaceEngine& operator=(const FileReplaceEngine&) = delete;

  /// Runs the loaded script once. The script's [Options] block, when it has one, replaces the
  /// options in force; a script without one runs with those of the run before.
  void Run(FileReplaceScript& script);

  /// The options in force: the defaults, or those of the last run's script.
  FileReplaceOptions& options() { return options_; }
  /// Whether the last run was cancelled.
  bool cancelled() const { return cancel_; }

 private:
  struct FileScan;
  struct Totals {
    std::int64_t files = 0;
    std::int64_t files_with_hits = 0;
    std::int64_t hits = 0;
  };
  // What the user answered in the confirmation windows, and for how long it holds.
  struct Answers {
    bool replace_rest_in_file = false;
    bool skip_rest_of_file = false;
    bool replace_all = false;  // "Repl. All Remaining", or "Yes to All" to a whole-file mode
    bool yes_to_all = false;   // to the read-only and binary questions
    enum class Folder { kNone, kReplace, kSkip } folder = Folder::kNone;
    std::string folder_path;  // the folder a folder-wide answer holds for
  };
  // The searched file's state as a replace pass leaves it.
  struct FileChange {
    std::int64_t size_change = 0;  // found bytes minus replacement bytes, over every pass
    std::int64_t replacements = 0;
    bool reformatted = false;
    bool binary = false;
    int last_output = -1;  // the temporary file holding the new content
  };

  void RunPasses(std::vector<SearchEntry>& entries, const FileList& files);
  void SearchFile(std::vector<SearchEntry>& entries, const FileListEntry& file,
                  std::size_t pair_index);
  std::int64_t SearchEntryInFile(SearchEntry& entry, const FileListEntry& file, std::size_t pass);
  void ScanChunk(const SearchEntry& entry, FileScan& scan);
  void ScanPlain(const SearchEntry& entry, FileScan& scan);
  void ScanPattern(const SearchEntry& entry, FileScan& scan);
  void ReportOccurrence(FileScan& scan, std::int64_t start, std::int64_t length,
                        const std::string& found);
  void Line(std::string line);
  void FinishRun(const std::vector<SearchEntry>& entries, bool prepared);

  // Replacing (replace_commit.cpp).
  bool CreateTemporaryFiles(std::size_t entries);
  void RemoveTemporaryFiles();
  bool WillAsk() const;
  bool DecideOccurrence(const std::string& path, const std::string& hit_line);
  bool AskWholeFileMode(const std::string& question);
  int AskConfirmation(const std::string& question);
  bool WritePending(FileScan& scan, std::int64_t to);
  bool StartWholeFileMode(const SearchEntry& entry, FileScan& scan);
  bool TransformChunk(FileScan& scan);
  bool FinishWholeFileMode(const SearchEntry& entry, FileScan& scan);
  bool WriteReplacement(FileScan& scan, std::int64_t start, std::int64_t length,
                        const std::string& replacement);
  void StartFileAnswers(const std::string& path);
  void CommitFile(const FileListEntry& file, std::size_t pair_index);
  bool AddUndoLine(const std::string& path, const std::string& backup, const std::string& from);
  bool MakeBackup(const FileListEntry& file, const std::string& backup,
                  const std::string& new_content);

  JobServices& services_;
  const std::vector<std::string>* pairs_ = nullptr;
  FileReplaceOptions options_;
  int repetition_bound_ = kDefaultRepetitionBound;
  bool replace_run_ = false;
  bool conversion_run_ = false;
  bool cancel_ = false;
  // Replacing: the temporary files A and B, the file's change and the run's answers.
  std::vector<std::string> temporary_;
  FileChange change_;
  Answers answers_;
  std::unique_ptr<CharacterMap> conversion_;
  std::unique_ptr<UndoScript> undo_;
  std::unique_ptr<BackupPaths> backup_paths_;  // with Backup Path: the pairs' backup folders
  std::string converted_;                      // a converted chunk, one buffer for every file
  std::set<std::string> backed_up_;   // files whose backup this run made (from their original)
  std::set<std::string> replaced_;    // files replaced in any pass of the run
  std::set<std::string> undo_lines_;  // files the undo script has a line for
  std::int64_t replacements_ = 0;
  std::int64_t pass_replacements_ = 0;
  std::vector<char> buffer_;
  std::unique_ptr<ResultOutput> results_;
  std::unique_ptr<JobProgress> progress_;
  std::unique_ptr<ExpressionTree> expression_;
  std::int64_t bytes_read_ = 0;
  std::vector<std::size_t> pair_ends_;  // one past each path pair's last file in the list
  Totals totals_;
  // A file's lines wait here while an expression decides whether the file counts.
  bool hold_lines_ = false;
  std::vector<std::string> held_lines_;
  // The plain scan's finder, kept while the searched text stays the same.
  std::unique_ptr<TextFinder> finder_;
  std::string finder_text_;
  bool finder_case_sensitive_ = true;
};

}  // namespace tsl
