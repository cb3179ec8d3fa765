// How a file is read: one 102,400-byte buffer, filled chunk by chunk. A chunk that does not end
// the file reports only the occurrences that start before its last bytes (as many as the longest
// occurrence needs, one more for a whole-word test); those bytes are moved to the front of the
// buffer and begin the next chunk, so an occurrence that crosses a chunk's end is found whole,
// and once. Line breaks are counted exactly once each, up to every occurrence's start and up to
// where the next chunk begins.
#include "filereplace/search_engine.h"

#include <algorithm>
#include <cstring>

#include "filereplace/backup_and_undo.h"
#include "filereplace/entry_preparation.h"
#include "filereplace/expression.h"
#include "filereplace/file_transforms.h"
#include "filereplace/result_output.h"
#include "pattern/text_finder.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "services/file_list.h"
#include "services/job_services.h"
#include "services/settings.h"

namespace tsl {
namespace {

constexpr std::int64_t kDetectionBytes = 1024;

bool IsWordByte(unsigned char c) { return c == '_' || cp::IsAlphaNumeric(c); }

std::string Utf16Bytes(std::string_view ansi) {
  std::u16string wide = cp::ToUtf16(ansi);
  std::string bytes;
  bytes.reserve(wide.size() * 2);
  for (char16_t unit : wide) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string NarrowUtf16(std::string_view bytes) {
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return cp::FromUtf16(wide);
}

// A run that only searches: every replace text just repeats the found text.
bool OnlySearches(const std::vector<SearchEntry>& entries) {
  return std::all_of(entries.begin(), entries.end(), [](const SearchEntry& e) {
    return cp::EqualsIgnoreCase(e.replace_text, kFoundVariable);
  });
}

std::string SearchedLine(std::int64_t files, std::int64_t hits, std::int64_t files_with_hits) {
  return "Searched " + std::to_string(files) + " file(s), found " + std::to_string(hits) +
         " occurrences in " + std::to_string(files_with_hits) + " file(s)";
}

// The text an entry is known by in the results: as written, or its binary block.
const std::string& EntryText(const SearchEntry& entry) {
  if (!entry.saved_search_text.empty()) return entry.saved_search_text;
  return entry.search_text == kBinaryModeText ? entry.binary_search_text : entry.search_text;
}

ResultHeader HeaderFor(const FileReplaceScript& script, const FileReplaceOptions& options) {
  const SearchEntry& first = script.entries().front();
  ResultHeader header;
  header.search =
      first.search_text == kBinaryModeText ? first.binary_search_text : first.search_text;
  header.replace =
      first.replace_text == kBinaryModeText ? first.binary_replace_text : first.replace_text;
  header.folder = script.paths()[0];
  header.mask = script.paths()[1];
  if (options.search_subfolders) header.options.push_back("Search Subdirectories");
  if (first.case_sensitive) header.options.push_back("Case Sensitive");
  if (first.whole_word) header.options.push_back("Whole Word Match");
  if (first.regular_expression) header.options.push_back("Regular Expression");
  if (first.ignore_whitespace) header.options.push_back("Ignore Whitespace");
  return header;
}

}  // namespace

// Where the scan of one entry over one file stands.
struct FileReplaceEngine::FileScan {
  const FileListEntry* file = nullptr;
  VariableFile variables;
  std::string search;   // the text looked for in this file (UTF-16 bytes in a UTF-16 file)
  std::string replace;  // the plain entry's replacement with the file's variables filled in
  SearchPattern* pattern = nullptr;
  bool utf16 = false;
  bool binary = false;

  const char* chunk = nullptr;
  std::int64_t length = 0;  // of the chunk
  std::int64_t base = 0;    // file offset of chunk[0]
  bool ends_file = false;
  // Occurrences starting at or after `limit` are left to the next chunk, which reads them again.
  std::int64_t limit = 0;
  std::int64_t resume = 0;  // file offset after the last occurrence
  // The bytes just before the chunk, for a whole-word test at its start (0: none).
  unsigned char before[2] = {0, 0};

  std::int64_t counted_to = 0;  // file offset up to which line breaks are counted
  std::int64_t line_count = 0;
  std::int64_t last_break = 0;
  std::int64_t hits = 0;
  bool stop = false;
  bool failed = false;

  // Replacing: the pass's output and the file offset up to which the input has gone to it.
  WritableFile* output = nullptr;
  std::int64_t written = 0;
  std::int64_t replacements = 0;
  // How the chunks of a replace pass are handled: scanned for occurrences, or passed on whole,
  // as they are or through a whole-file mode.
  enum class Mode { kScan, kCopy, kReformat, kConvert } mode = Mode::kScan;
  std::unique_ptr<Reformatter> reformatter;

  // Counts the line breaks up to chunk position `to`.
  void CountLinesTo(std::int64_t to) {
    if (binary || base + to <= counted_to) return;
    CountLineBreaks(chunk, length, counted_to - base, to, base, utf16, ends_file, &last_break,
                    &line_count);
    counted_to = base + to;
  }
};

FileReplaceEngine::FileReplaceEngine(JobServices& services)
    : services_(services), results_(std::make_unique<ResultOutput>(services)) {}

FileReplaceEngine::~FileReplaceEngine() { RemoveTemporaryFiles(); }

void FileReplaceEngine::Run(FileReplaceScript& script) {
  std::vector<SearchEntry>& entries = script.entries();
  const std::vector<std::string>& pairs = script.paths();
  if (entries.empty() || pairs.size() < 2) return;
  pairs_ = &pairs;
  cancel_ = false;
  totals_ = Totals{};
  bytes_read_ = 0;
  answers_ = Answers{};
  backed_up_.clear();
  replaced_.clear();
  undo_lines_.clear();
  replacements_ = 0;
  for (SearchEntry& entry : entries) {
    entry.file_hits = entry.file_replacements = 0;
    entry.total_hits = entry.total_replacements = entry.files_with_hits = 0;
  }

  if (const FileReplaceOptions* options = script.options()) {
    options_ = *options;
    repetition_bound_ = options_.max_reg_expr;
  }
  replace_run_ = !OnlySearches(entries);
  expression_.reset();
  if (!script.expression().empty()) {
    ParsedExpression parsed = ParseExpression(script.expression());
    if (parsed.ok()) expression_ = std::make_unique<ExpressionTree>(std::move(parsed.tree));
  }
  conversion_run_ =
      replace_run_ && cp::StartsWithIgnoreCase(script.description(), "Character conversion");
  conversion_.reset();
  if (conversion_run_) {
    conversion_ = std::make_unique<CharacterMap>(CharacterMapPairs(
        entries, [this](std::string_view text) { return services_.DecodeEscapes(text); }));
  }

  FileList files(services_);
  FileListOptions list_options;
  list_options.subfolders = options_.search_subfolders;
  list_options.filter = &options_.filter;
  list_options.sort_key = options_.sort_file_names;
  list_options.ascending = options_.sort_ascending;
  list_options.cancel = &cancel_;
  files.Build(pairs, list_options, &pair_ends_);
  if (cancel_) return;

  results_ = std::make_unique<ResultOutput>(services_);
  results_->Open(options_.output_file, options_.append_to_output_file, options_.before_hit,
                 options_.after_hit);
  if (pairs.size() == 2) results_->WriteHeader(HeaderFor(script, options_));
  for (const std::string& note : files.notes()) results_->AddLine(note);

  if (replace_run_ && !CreateTemporaryFiles(entries.size())) {
    services_.ShowMessage("Error opening temp file");
    results_->Close();
    return;
  }

  PatternOptions pattern_options;
  pattern_options.repetition_bound = repetition_bound_;
  pattern_options.operator_order = ConfiguredOperatorOrder();
  for (SearchEntry& entry : entries) {
    if (!PrepareEntry(entry, pattern_options, services_)) {
      FinishRun(entries, /*prepared=*/false);
      return;
    }
  }
  // A search run's expression weighs occurrences; a replace run's weighs replacements.
  if (expression_) {
    for (std::size_t k = 0; k < entries.size(); ++k) {
      std::int64_t* count = replace_run_ ? &entries[k].file_replacements : &entries[k].file_hits;
      BindVariable(*expression_, static_cast<std::int64_t>(k + 1), count);
    }
  }
  hold_lines_ = expression_ != nullptr;
  undo_.reset();
  backup_paths_.reset();
  if (replace_run_ && !options_.backup_path.empty()) {
    backup_paths_ = std::make_unique<BackupPaths>(options_.backup_path, pairs);
    std::string folder = WorkFolder();
    if (!folder.empty()) undo_ = std::make_unique<UndoScript>(folder);
  }

  std::int64_t total_bytes = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    total_bytes += static_cast<std::int64_t>(files[i].size);
  }
  total_bytes *= static_cast<std::int64_t>(entries.size());
  if (options_.show_progress_dialog) {
    progress_ = services_.OpenProgress(total_bytes, &cancel_, "");
  }
  buffer_.resize(static_cast<std::size_t>(kChunkBytes) + 2);

  RunPasses(entries, files);
  FinishRun(entries, /*prepared=*/true);
}

// One pass over the list; a replace run whose pass replaced something goes over it again, up to
// Script Loop passes (-1: as long as a pass replaces).
void FileReplaceEngine::RunPasses(std::vector<SearchEntry>& entries, const FileList& files) {
  for (int pass = 1;; ++pass) {
    pass_replacements_ = 0;
    std::size_t pair = 0;
    for (std::size_t i = 0; i < files.size() && !cancel_; ++i) {
      while (pair + 1 < pair_ends_.size() && i >= pair_ends_[pair]) ++pair;
      if (progress_) {
        std::int64_t left = static_cast<std::int64_t>(files.size() - i);
        std::int64_t done =
            static_cast<std::int64_t>(i) * 100 / static_cast<std::int64_t>(files.size());
        progress_->SetText(std::to_string(left) + " files to process (" + std::to_string(done) +
                           "% done) - " + files[i].path);
        if (cancel_) break;
      }
      SearchFile(entries, files[i], pair);
    }
    bool again = replace_run_ && !cancel_ && pass_replacements_ > 0 &&
                 (options_.script_loop < 0 || pass < options_.script_loop);
    if (!again) return;
    totals_ = Totals{};
    bytes_read_ = 0;
    for (SearchEntry& entry : entries) {
      entry.total_hits = entry.files_with_hits = 0;
      if (entry.matcher) entry.matcher->ResetPerFile(false);
      if (entry.wide_matcher) entry.wide_matcher->ResetPerFile(false);
    }
    if (progress_) progress_->SetPosition(0);
  }
}

void FileReplaceEngine::Line(std::string line) {
  if (hold_lines_) {
    held_lines_.push_back(std::move(line));
  } else {
    results_->AddLine(line);
  }
}

void FileReplaceEngine::SearchFile(std::vector<SearchEntry>& entries, const FileListEntry& file,
                                   std::size_t pair_index) {
  if (replace_run_) {
    StartFileAnswers(file.path);
    if (answers_.folder == Answers::Folder::kSkip) return;
  }
  std::string date_line;
  if (options_.show_file_date_and_size) {
    date_line = DateLine(file.modified == 0 ? 0 : UtcToLocal(file.modified), file.size, services_);
  }
  results_->BeginFile(file.path, date_line);
  held_lines_.clear();
  change_ = FileChange{};

  std::int64_t file_hits = 0;
  bool failed = false;
  for (SearchEntry& entry : entries) {
    entry.file_hits = 0;
    entry.file_replacements = 0;
  }
  // A character conversion handles every entry in its one pass.
  std::size_t passes = conversion_run_ ? 1 : entries.size();
  for (std::size_t k = 0; k < passes; ++k) {
    if (cancel_) break;
    SearchEntry& entry = entries[k];
    std::int64_t hits = SearchEntryInFile(entry, file, k);
    if (hits < 0) {
      failed = true;
      break;
    }
    entry.file_hits = hits;
    file_hits += hits;
  }
  // A cancelled replace run leaves the file it was in unchanged.
  if (replace_run_ && cancel_) failed = true;
  bool counts = !failed && (!expression_ || Evaluate(*expression_) != 0);
  if (!counts) {
    file_hits = 0;
    // A file the expression turns down shows none of its occurrences.
    if (!failed) held_lines_.clear();
  }
  if (counts) {
    for (SearchEntry& entry : entries) {
      entry.total_hits += entry.file_hits;
      if (entry.file_hits > 0) ++entry.files_with_hits;
    }
  }
  ++totals_.files;
  totals_.hits += file_hits;
  if (file_hits > 0) ++totals_.files_with_hits;

  if (hold_lines_) {
    for (const std::string& line : held_lines_) results_->AddLine(line);
    held_lines_.clear();
  }
  if (counts && replace_run_ && change_.replacements > 0) {
    std::int64_t before = replacements_;
    CommitFile(file, pair_index);
    if (replacements_ > before) {
      for (SearchEntry& entry : entries) entry.total_replacements += entry.file_replacements;
    }
  }
  if (!failed) {
    if (file_hits > 0 && options_.display_file_stats) {
      results_->AddLine(MessageLine("Found " + std::to_string(file_hits) + " occurrences."));
    } else if (file_hits == 0 && options_.show_files_without_hits) {
      results_->AddLine(MessageLine("No occurrences found!"));
    }
  }
  results_->EndFile();
}

std::int64_t FileReplaceEngine::SearchEntryInFile(SearchEntry& entry, const FileListEntry& file,
                                                  std::size_t pass) {
  PathStyle style = NativePathStyle();
  const std::string name = NamePart(file.path, style);
  FileScan scan;
  scan.file = &file;
  scan.variables = VariableFile{file.path, true, file.modified, file.size};
  if (entry.regular_expression) {
    scan.pattern = entry.matcher.get();
  } else {
    scan.search = ExpandVariables(entry.search_text, scan.variables, services_);
    scan.replace = ExpandVariables(entry.replace_text, scan.variables, services_);
  }

  // Every entry of a search, and the first pass of a replace run, read the searched file; a
  // later pass reads the output of the pass before.
  const bool reads_file = pass == 0 || !replace_run_;
  std::unique_ptr<ReadableFile> input;
  SysError opened = reads_file ? Files().OpenListedForReading(file.path, file.size, &input)
                               : Files().OpenForReading(temporary_[(pass - 1) % 2], &input);
  if (opened.failed()) {
    // The message text, a space and the file's name.
    Line(reads_file ? "Error opening  " + name : "Error seeking in file " + name);
    return -1;
  }
  std::unique_ptr<WritableFile> output;
  if (replace_run_) {
    if (Files().OpenForWriting(temporary_[pass % 2], WriteMode::kReplace, &output).failed()) {
      Line("Error writing to temp file " + name);
      return -1;
    }
    scan.output = output.get();
    change_.last_output = static_cast<int>(pass % 2);
  }
  // The size the listing gave (or, on some systems, the size when the file was opened); a file
  // that says 0 (some system files do) is read to its end.
  const std::int64_t file_size = static_cast<std::int64_t>(input->Size());
  char* buffer = buffer_.data();
  bool first = true;
  std::int64_t kept = 0;  // bytes at the buffer's start that the last chunk left to this one
  while (!cancel_) {
    std::int64_t got = kept;
    while (got < kChunkBytes) {
      std::int64_t want = kChunkBytes - got;
      if (file_size > 0) want = std::min(want, file_size - (scan.base + got));
      if (want <= 0) break;
      std::size_t part = 0;
      if (input->Read(buffer + got, static_cast<std::size_t>(want), &part).failed()) {
        Line("Error reading file " + name);
        return -1;
      }
      if (part == 0) break;
      got += static_cast<std::int64_t>(part);
    }
    buffer[got] = 0;
    buffer[got + 1] = 0;
    scan.chunk = buffer;
    scan.length = got;
    scan.ends_file = got < kChunkBytes || (file_size > 0 && scan.base + got >= file_size);
    bytes_read_ += got - kept;
    if (progress_) progress_->SetPosition(bytes_read_);

    if (first) {
      first = false;
      const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
      scan.utf16 = scan.length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
      for (std::int64_t i = 0; i < std::min(scan.length, kDetectionBytes); ++i) {
        if (bytes[i] >= 9) continue;
        scan.binary = !(bytes[i] == 0 && scan.utf16);
        break;
      }
      if (scan.binary) scan.utf16 = false;
      if (pass == 0) change_.binary = scan.binary;
      if (scan.utf16) {
        if (entry.regular_expression) {
          if (!entry.wide_matcher) {
            entry.wide_matcher =
                std::make_unique<SearchPattern>(entry.search_text, entry.replace_text,
                                                PatternSyntax::kRegex, entry.matcher->options());
            entry.wide_matcher->Widen();
          }
          scan.pattern = entry.wide_matcher.get();
        } else {
          scan.search = Utf16Bytes(scan.search);
        }
      }
      if (scan.pattern) scan.pattern->ResetPerFile(false);
      if (replace_run_ && !StartWholeFileMode(entry, scan)) return -1;
    }

    if (scan.mode == FileScan::Mode::kScan) {
      ScanChunk(entry, scan);
      scan.CountLinesTo(scan.limit);
    } else if (!TransformChunk(scan)) {
      return -1;
    }
    if (scan.output &&
        !WritePending(scan, scan.base + (scan.ends_file ? scan.length : scan.limit))) {
      return -1;
    }
    // A replace pass reads on to the end, to pass the rest of the file on.
    if (scan.ends_file || scan.failed || (scan.stop && !scan.output)) break;
    // The bytes after the limit begin the next chunk, so that an occurrence that crosses this
    // chunk's end is found whole there.
    scan.before[0] = static_cast<unsigned char>(buffer[scan.limit - 1]);
    scan.before[1] = scan.limit >= 2 ? static_cast<unsigned char>(buffer[scan.limit - 2]) : 0;
    kept = scan.length - scan.limit;
    std::memmove(buffer, buffer + scan.limit, static_cast<std::size_t>(kept));
    scan.base += scan.limit;
  }
  if (scan.output) {
    if (cancel_ || scan.failed) return -1;
    if (!FinishWholeFileMode(entry, scan)) return -1;
    if (output->Close().failed()) {
      Line("Error writing to temp file " + name);
      return -1;
    }
  }
  entry.file_replacements = scan.replacements;
  return scan.hits;
}

void FileReplaceEngine::ScanChunk(const SearchEntry& entry, FileScan& scan) {
  // How far back the next chunk starts, so that an occurrence crossing this chunk's end is
  // found whole in the next one (and one byte more for the whole-word test after it).
  std::int64_t overlap = 0;
  if (!scan.ends_file) {
    if (scan.pattern) {
      overlap = scan.pattern->SpanEstimate();
    } else {
      overlap = static_cast<std::int64_t>(scan.search.size()) - (entry.whole_word ? 0 : 1);
    }
    overlap = std::clamp<std::int64_t>(overlap, 0, scan.length / 2);
  }
  scan.limit = scan.length - overlap;
  if (scan.pattern) {
    ScanPattern(entry, scan);
  } else {
    ScanPlain(entry, scan);
  }
}

void FileReplaceEngine::ScanPlain(const SearchEntry& entry, FileScan& scan) {
  const std::int64_t length = static_cast<std::int64_t>(scan.search.size());
  if (length == 0) return;
  if (!finder_ || finder_text_ != scan.search || finder_case_sensitive_ != entry.case_sensitive) {
    finder_ = std::make_unique<TextFinder>(scan.search, entry.case_sensitive);
    finder_text_ = scan.search;
    finder_case_sensitive_ = entry.case_sensitive;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(scan.chunk);
  const std::int64_t step = scan.utf16 ? 2 : 1;
  const std::int64_t last_start = std::min(scan.limit - 1, scan.length - length);
  std::int64_t p = std::max<std::int64_t>(0, scan.resume - scan.base);
  while (p <= last_start && !cancel_) {
    std::int64_t s = finder_->Find(scan.chunk, scan.length, p, last_start);
    if (s < 0) break;
    p = s + 1;
    // In UTF-16 text a character starts at an even offset.
    if (scan.utf16 && (scan.base + s) % 2 != 0) continue;
    if (entry.whole_word) {
      unsigned char before = 0;
      if (s >= step) {
        before = bytes[s - step];
      } else if (scan.base > 0) {
        before = scan.before[step - 1 - s];
      }
      if (IsWordByte(before)) continue;
      if (s + length < scan.length && IsWordByte(bytes[s + length])) continue;
    }
    ReportOccurrence(scan, s, length,
                     std::string(scan.chunk + s, static_cast<std::size_t>(length)));
    p = s + length;
    if (scan.stop) break;
  }
}

void FileReplaceEngine::ScanPattern(const SearchEntry& entry, FileScan& scan) {
  SearchPattern& pattern = *scan.pattern;
  const bool html = entry.html_text;
  std::int64_t p = std::max<std::int64_t>(0, scan.resume - scan.base);
  const std::int64_t block = scan.ends_file ? 0 : kFullBlockBytes;
  while (p < scan.limit && !cancel_) {
    // The matcher's own line count is not used: lines are counted up to each occurrence's start,
    // so that breaks the matcher passes beyond it are not counted twice.
    std::int64_t last_break = 0, line_count = 0;
    std::int64_t end = pattern.Find(scan.chunk + p, scan.length - p, block, scan.base, p,
                                    &last_break, &line_count);
    if (end < 0) break;
    std::string found = pattern.MatchedText();
    std::int64_t length = static_cast<std::int64_t>(found.size());
    std::int64_t s = p + end - length;
    if (s >= scan.limit) break;
    if (length == 0) {
      p = std::max(p + 1, s + 1);
      continue;
    }
    p = s + length;
    if (html) {
      std::string text = DecodeHtmlReferences(scan.utf16 ? NarrowUtf16(found) : found);
      bool same = entry.case_sensitive ? text == entry.saved_search_text
                                       : cp::EqualsIgnoreCase(text, entry.saved_search_text);
      if (!same) continue;
    }
    ReportOccurrence(scan, s, length, found);
    if (scan.stop) break;
  }
}

void FileReplaceEngine::ReportOccurrence(FileScan& scan, std::int64_t start, std::int64_t length,
                                         const std::string& found) {
  ++scan.hits;
  scan.resume = scan.base + start + length;
  scan.CountLinesTo(start);
  std::string hit_line;
  if (options_.show_files || (replace_run_ && WillAsk())) {
    HitLineInput hit;
    hit.chunk = scan.chunk;
    hit.chunk_length = scan.length;
    hit.offset_in_chunk = start;
    hit.found_length = length;
    hit.binary = scan.binary;
    hit.utf16 = scan.utf16;
    hit.file_offset = scan.base + start;
    unsigned char first = static_cast<unsigned char>(scan.chunk[start]);
    hit.line_number = scan.line_count + (first == '\r' || first == '\n' ? 2 : 1);
    hit.max_display_chars = options_.max_display_chars;
    hit_line = FormatHitLine(hit);
    if (options_.show_files) Line(hit_line);
  }
  if (!replace_run_ && !options_.display_replace_string) {
    if (options_.one_hit) scan.stop = true;
    return;
  }
  std::string replacement;
  std::string found_text = scan.utf16 ? NarrowUtf16(found) : found;
  if (scan.pattern) {
    replacement = scan.pattern->BuildReplacement();
    if (scan.utf16) replacement = NarrowUtf16(replacement);
    replacement = ExpandVariables(replacement, scan.variables, services_);
  } else {
    replacement = scan.replace;
  }
  replacement = ReplaceFound(replacement, found_text);
  if (!replace_run_) {
    Line(MessageLine(replacement));
    if (options_.one_hit) scan.stop = true;
    return;
  }
  if (!DecideOccurrence(scan.file->path, hit_line)) return;
  if (!WriteReplacement(scan, start, length, scan.utf16 ? Utf16Bytes(replacement) : replacement)) {
    scan.stop = true;
    return;
  }
  // One hit: the first replacement is the file's last; the rest of it passes on unchanged.
  if (options_.one_hit) {
    scan.stop = true;
    scan.mode = FileScan::Mode::kCopy;
  }
}

// The input up to file offset `to` goes to the output, from where the last write ended.
bool FileReplaceEngine::WritePending(FileScan& scan, std::int64_t to) {
  if (to <= scan.written) return true;
  const char* from = scan.chunk + (scan.written - scan.base);
  if (scan.output->Write(from, static_cast<std::size_t>(to - scan.written)).failed()) {
    Line("Error writing to temp file " + NamePart(scan.file->path, NativePathStyle()));
    scan.failed = true;
    return false;
  }
  scan.written = to;
  return true;
}

bool FileReplaceEngine::WriteReplacement(FileScan& scan, std::int64_t start, std::int64_t length,
                                         const std::string& replacement) {
  if (!WritePending(scan, scan.base + start)) return false;
  if (!replacement.empty() && scan.output->Write(replacement.data(), replacement.size()).failed()) {
    Line("Error writing replace string to temp file " +
         NamePart(scan.file->path, NativePathStyle()));
    scan.failed = true;
    return false;
  }
  scan.written = scan.base + start + length;
  change_.size_change += length - static_cast<std::int64_t>(replacement.size());
  ++change_.replacements;
  ++scan.replacements;
  return true;
}

// The whole-file modes act when the first chunk of a replace pass has been read: prepend writes its
// text, reformat and conversion take over the whole file; each asks first.
bool FileReplaceEngine::StartWholeFileMode(const SearchEntry& entry, FileScan& scan) {
  if (conversion_run_) {
    if (AskWholeFileMode("Do you want to convert the characters using the script?")) {
      scan.mode = FileScan::Mode::kConvert;
    } else {
      scan.mode = FileScan::Mode::kCopy;
    }
    return !cancel_;
  }
  if (entry.prepend_mode) {
    scan.mode = FileScan::Mode::kCopy;
    if (!AskWholeFileMode("Prepend the replace string to file?")) return !cancel_;
    std::string text = ReplaceFound(scan.replace, "");
    if (scan.utf16) {
      // The new text goes after the byte order mark, which stays first.
      if (!WritePending(scan, 2)) return false;
      text = Utf16Bytes(text);
    }
    if (!WriteReplacement(scan, scan.written - scan.base, 0, text)) return false;
    ++scan.hits;
    Line(MessageLine("Replace string prepended to beginning of the file"));
    return true;
  }
  if (entry.append_mode) {
    scan.mode = FileScan::Mode::kCopy;
    return true;
  }
  if (entry.reformat_width != 0) {
    scan.mode = FileScan::Mode::kCopy;
    // The reformatter reads single-byte text lines: a UTF-16 file would come out broken.
    if (scan.utf16) {
      Line("Error reading file " + scan.file->path);
      return true;
    }
    std::string question =
        "Reformat to " + std::to_string(entry.reformat_width) + " columns in file?";
    if (!AskWholeFileMode(question)) return !cancel_;
    scan.mode = FileScan::Mode::kReformat;
    WritableFile* output = scan.output;
    bool* failed = &scan.failed;
    scan.reformatter = std::make_unique<Reformatter>(
        entry.reformat_width, [output, failed](const char* data, std::size_t size) {
          if (output->Write(data, size).failed()) *failed = true;
          return !*failed;
        });
    change_.reformatted = true;
  }
  return true;
}

// A chunk of a pass that does not scan: passed on whole (no overlap), as it is, reformatted or
// converted.
bool FileReplaceEngine::TransformChunk(FileScan& scan) {
  scan.limit = scan.length;
  const std::string name = NamePart(scan.file->path, NativePathStyle());
  switch (scan.mode) {
    case FileScan::Mode::kScan:
    case FileScan::Mode::kCopy:
      return true;  // WritePending passes the chunk on
    case FileScan::Mode::kReformat:
      if (!scan.reformatter->Feed(
              scan.chunk + (scan.written - scan.base),
              static_cast<std::size_t>(scan.base + scan.length - scan.written))) {
        Line("Error writing to temp file " + name);
        return false;
      }
      break;
    case FileScan::Mode::kConvert: {
      // Every mapped byte counts as an occurrence replaced, and its size change is expected.
      converted_.clear();
      std::int64_t growth = 0;
      const char* from = scan.chunk + (scan.written - scan.base);
      auto size = static_cast<std::size_t>(scan.base + scan.length - scan.written);
      std::int64_t mapped = conversion_->Convert(from, size, &converted_, &growth);
      if (scan.output->Write(converted_.data(), converted_.size()).failed()) {
        Line("Error writing to temp file " + name);
        return false;
      }
      scan.hits += mapped;
      scan.replacements += mapped;
      change_.replacements += mapped;
      change_.size_change -= growth;
      break;
    }
  }
  scan.written = scan.base + scan.length;
  return true;
}

// What a whole-file mode does after the file's last chunk: append writes its text, reformat writes
// its last paragraph, and each says what it did.
bool FileReplaceEngine::FinishWholeFileMode(const SearchEntry& entry, FileScan& scan) {
  if (scan.mode == FileScan::Mode::kReformat) {
    if (!scan.reformatter->Finish()) {
      Line("Error writing to temp file " + NamePart(scan.file->path, NativePathStyle()));
      return false;
    }
    ++scan.hits;
    ++scan.replacements;
    ++change_.replacements;
    Line(MessageLine("File was reformatted to a maximum of " +
                     std::to_string(entry.reformat_width) + " columns"));
  } else if (scan.mode == FileScan::Mode::kConvert) {
    if (scan.replacements > 0) Line(MessageLine("File was converted!"));
  } else if (entry.append_mode && !conversion_run_) {
    if (!AskWholeFileMode("Append the replace string to file?")) return !cancel_;
    std::string text = ReplaceFound(scan.replace, "");
    if (scan.utf16) text = Utf16Bytes(text);
    if (!WriteReplacement(scan, scan.written - scan.base, 0, text)) return false;
    ++scan.hits;
    Line(MessageLine("Replace string appended to end of the file"));
  }
  return true;
}

void FileReplaceEngine::FinishRun(const std::vector<SearchEntry>& entries, bool prepared) {
  if (prepared) {
    if (progress_) progress_->Close();
    results_->AddLine(
        SummaryLine(SearchedLine(totals_.files, totals_.hits, totals_.files_with_hits)));
    if (replace_run_) {
      results_->AddLine(SummaryLine("Replaced " + std::to_string(replacements_) +
                                    " occurrences in " + std::to_string(replaced_.size()) +
                                    " file(s)"));
    }
  }
  progress_.reset();
  if (options_.display_file_stats) {
    for (const SearchEntry& entry : entries) {
      results_->AddLine(EntryText(entry) + " - " +
                        SearchedLine(totals_.files, entry.total_hits, entry.files_with_hits));
    }
  }
  if (cancel_) results_->AddLine("Execution interrupted by the user!");
  results_->Close();
  hold_lines_ = false;
  undo_.reset();
  RemoveTemporaryFiles();
}

}  // namespace tsl
