// The file replace job's engine: runs one loaded script over the files its paths name, reading
// each file in fixed-size chunks, finding each entry's occurrences, counting files, occurrences
// and lines, applying the script's expression and writing the result lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filereplace/file_replace_script.h"
#include "platform/file_system.h"

namespace tsl {

class JobServices;
class JobProgress;
class ResultOutput;
class TextFinder;
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

  void SearchFile(std::vector<SearchEntry>& entries, const FileListEntry& file);
  std::int64_t SearchEntryInFile(SearchEntry& entry, const FileListEntry& file);
  void ScanChunk(const SearchEntry& entry, FileScan& scan);
  void ScanPlain(const SearchEntry& entry, FileScan& scan);
  void ScanPattern(const SearchEntry& entry, FileScan& scan);
  void ReportOccurrence(FileScan& scan, std::int64_t start, std::int64_t length,
                        const std::string& found);
  void Line(std::string line);
  void FinishRun(const std::vector<SearchEntry>& entries, bool prepared);

  JobServices& services_;
  FileReplaceOptions options_;
  int repetition_bound_ = kDefaultRepetitionBound;
  bool replace_run_ = false;
  bool cancel_ = false;
  std::vector<char> buffer_;
  std::unique_ptr<ResultOutput> results_;
  std::unique_ptr<JobProgress> progress_;
  std::unique_ptr<ExpressionTree> expression_;
  std::int64_t bytes_read_ = 0;
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
