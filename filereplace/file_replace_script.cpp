// Reading a file replace script.
//
// The script is read through a window: the first 32,000 bytes, then more as a block needs them.
// At each block header the bytes before it are let go once the window has moved that far, and a
// block that does not end within the window makes it grow (to twice its size) instead of being
// read again from its start, so a block larger than the window is read whole and the reading
// always moves forward. Every look at the text goes through the window's bounds: a script is
// untrusted input.
#include "filereplace/file_replace_script.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "filereplace/expression.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "script/script_file.h"
#include "services/date_value.h"
#include "services/job_services.h"

namespace tsl {
namespace {

constexpr std::string_view kEndMarker = "[End of Findmend Script]";
constexpr std::size_t kLongestHeaderName = kEndMarker.size();
constexpr std::string_view kLocalHardDrives = "Local Hard Drives";

/// Where the window's bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Up to `size` bytes; `*got` 0 at the end. False when the read failed.
  virtual bool Read(char* buffer, std::size_t size, std::size_t* got) = 0;
};

class FileSource : public ByteSource {
 public:
  explicit FileSource(std::unique_ptr<ReadableFile> file) : file_(std::move(file)) {}
  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    return file_->Read(buffer, size, got).ok();
  }

 private:
  std::unique_ptr<ReadableFile> file_;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view content) : content_(content) {}
  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    *got = std::min(size, content_.size());
    std::copy_n(content_.data(), *got, buffer);
    content_.remove_prefix(*got);
    return true;
  }

 private:
  std::string_view content_;
};

/// The part of the script in memory. Positions are indices into it; they stay valid while the
/// window grows and move back by the dropped count when its start is let go.
class Window {
 public:
  Window(ByteSource& source, std::size_t size) : source_(source), size_(std::max<std::size_t>(size, 1)) {}

  const std::string& bytes() const { return bytes_; }
  bool failed() const { return failed_; }

  /// Appends the next bytes (the first read takes the window's size, each later one as much as
  /// the window holds); false at the end of the script or after a failed read.
  bool More() {
    if (at_end_ || failed_) return false;
    const std::size_t wanted = std::max(size_, bytes_.size());
    const std::size_t old_size = bytes_.size();
    bytes_.resize(old_size + wanted);
    std::size_t total = 0;
    while (total < wanted) {
      std::size_t got = 0;
      if (!source_.Read(bytes_.data() + old_size + total, wanted - total, &got)) {
        failed_ = true;
        break;
      }
      if (got == 0) break;
      total += got;
    }
    bytes_.resize(old_size + total);
    if (total < wanted) at_end_ = true;  // a short read is the end of the script
    return total > 0;
  }

  /// True when the window holds the bytes before `end`, reading more as needed.
  bool Holds(std::size_t end) {
    while (bytes_.size() < end) {
      if (!More()) return false;
    }
    return true;
  }

  /// The first position at or after `from` that holds `c`; npos when the script has none.
  std::size_t Find(std::size_t from, char c) {
    for (;;) {
      if (from < bytes_.size()) {
        const std::size_t at = bytes_.find(c, from);
        if (at != std::string::npos) return at;
        from = bytes_.size();
      }
      if (!More()) return std::string::npos;
    }
  }

  /// Lets go of the bytes before `at` once they are a window's worth; gives `at`'s new index.
  std::size_t Release(std::size_t at) {
    if (at < size_) return at;
    bytes_.erase(0, at);
    return 0;
  }

 private:
  ByteSource& source_;
  const std::size_t size_;
  std::string bytes_;
  bool at_end_ = false;
  bool failed_ = false;
};

struct HeaderFlags {
  bool binary = false, ignore_whitespace = false, ignore_case = false, html = false,
       whole_word = false, regular_expression = false;
};

struct Header {
  HeaderFlags flags;
  std::string rest;
  std::size_t block_start = 0;
};

void ApplyFlags(const HeaderFlags& flags, SearchEntry* entry) {
  if (flags.ignore_whitespace) entry->ignore_whitespace = true;
  if (flags.ignore_case) entry->case_sensitive = false;
  if (flags.html) entry->html_text = true;
  if (flags.whole_word) entry->whole_word = true;
  if (flags.regular_expression) entry->regular_expression = true;
}

// The whole-file modes of a binary search text; the short markers become the texts they stand for,
// so that the preparation of the run, which looks at the texts alone, selects the same modes.
void NoteWholeFileModes(SearchEntry* entry) {
  std::string& text = entry->binary_search_text;
  if (cp::EqualsIgnoreCase(text, kAppendMarker)) text = kAppendSearchText;
  if (cp::EqualsIgnoreCase(text, kPrependMarker)) text = kPrependSearchText;
  entry->append_mode = text == kAppendSearchText;
  entry->prepend_mode = text == kPrependSearchText;
  if (cp::StartsWithIgnoreCase(text, kReformatPrefix)) {
    entry->reformat_width = static_cast<int>(static_cast<std::uint32_t>(
        ScriptInteger(std::string_view(text).substr(kReformatPrefix.size()))));
  }
}

std::string_view LineWithoutCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::int32_t OptionInt(std::string_view value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ScriptInteger(value)));
}

bool OptionSwitch(std::string_view value) { return OptionInt(value) != 0; }

// A date filter: "0" sets none, and a text that is no date leaves the filter as it was after
// the date reader has said why.
void OptionDate(std::string_view value, bool end_of_day, JobServices& services, FileTime* field) {
  if (value == "0") return;
  if (std::optional<FileTime> time = ReadScriptDate(services, std::string(value), end_of_day)) {
    *field = *time;
  }
}

// One line of the options block: the first key the line begins with, in this order, takes the
// value after the one character that follows the key.
void ReadOptionLine(std::string_view line, JobServices& services, FileReplaceOptions* o) {
  std::string_view v;
  auto key = [&line, &v](std::string_view name) {
    if (!cp::StartsWithIgnoreCase(line, name)) return false;
    v = line.substr(std::min(name.size() + 1, line.size()));
    return true;
  };
  if (key("Search_subdir")) o->search_subfolders = OptionSwitch(v);
  else if (key("Prompt_flag")) o->prompt = OptionInt(v);
  else if (key("Max Display Chars")) o->max_display_chars = OptionInt(v);
  else if (key("Output_File")) o->output_file = v;
  else if (key("Show_Files")) o->show_files = OptionSwitch(v);
  else if (key("Backup Path")) o->backup_path = v;
  else if (key("Before Hit")) o->before_hit = v;
  else if (key("After Hit")) o->after_hit = v;
  else if (key("Max Reg Expr")) o->max_reg_expr = OptionInt(v);
  else if (key("Write to Backup Dir")) o->write_to_backup_dir = OptionSwitch(v);
  else if (key("Unzip Dir")) o->unzip_dir = v;
  else if (key("Show Files Without Hits")) o->show_files_without_hits = OptionSwitch(v);
  else if (key("Display Replace String")) o->display_replace_string = OptionSwitch(v);
  else if (key("Display File Stats")) o->display_file_stats = OptionSwitch(v);
  else if (key("Show File Date and Size")) o->show_file_date_and_size = OptionSwitch(v);
  else if (key("Show Progress Dialog")) o->show_progress_dialog = OptionSwitch(v);
  else if (key("Reverse Filters")) o->filter.reverse = OptionInt(v);
  else if (key("Min Size Filter")) o->filter.min_size = ScriptInteger(v);
  else if (key("Max Size Filter")) o->filter.max_size = ScriptInteger(v);
  else if (key("Min Date Filter")) OptionDate(v, false, services, &o->filter.min_date);
  else if (key("Max Date Filter")) OptionDate(v, true, services, &o->filter.max_date);
  else if (key("Skip Files Mask")) o->filter.skip_attributes = OptionInt(v);
  else if (key("Ignore Attributes")) o->filter.ignored_attributes = OptionInt(v);
  else if (key("Keep file time stamp")) o->keep_file_time_stamp = OptionSwitch(v);
  else if (key("One hit")) o->one_hit = OptionSwitch(v);
  else if (key("Sort File Names")) o->sort_file_names = OptionInt(v);
  else if (key("Sort Ascending")) o->sort_ascending = OptionSwitch(v);
  else if (key("Append to output file")) o->append_to_output_file = OptionSwitch(v);
  else if (key("Script Loop")) o->script_loop = OptionInt(v);
}

void ReadOptions(std::string_view block, JobServices& services, FileReplaceOptions* options) {
  while (!block.empty()) {
    const std::size_t end = std::min(block.find('\n'), block.size());
    ReadOptionLine(LineWithoutCr(block.substr(0, end)), services, options);
    block.remove_prefix(std::min(end + 1, block.size()));
  }
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool StartsWithDrive(std::string_view text) {
  return text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == ':';
}

// A folder written without its start: on Windows the drive of the current folder (or its
// network root) goes before a text that starts with one backslash, and a drive alone means the
// current folder when that is on the drive, else the drive's root.
std::string CompleteFolder(std::string folder, PathStyle style, const std::string& current,
                           const std::function<bool(const std::string&)>& is_folder) {
  const char separator = SeparatorOf(style);
  std::string_view bare = folder;
  if (!bare.empty() && bare.back() == separator) bare.remove_suffix(1);
  if (cp::EqualsIgnoreCase(bare, kLocalHardDrives)) return WithClosingSeparator(folder, style);
  if (style == PathStyle::kWindows) {
    const std::string current_root = FolderRoot(current, style);
    if (folder.size() == 2 && StartsWithDrive(folder)) {
      folder = cp::StartsWithIgnoreCase(current, folder) ? current : folder + "\\";
    } else if (folder.size() >= 2 && folder[0] == '\\' && folder[1] == '\\') {
      // a network folder, as written
    } else if (!folder.empty() && folder[0] == '\\') {
      if (!current_root.empty()) folder = current_root.substr(0, current_root.size() - 1) + folder;
    } else if (!StartsWithDrive(folder)) {
      folder = FolderChain(JoinPath(current, folder, style), current, style).front();
      if (!is_folder(folder)) return {};
    }
  } else if (folder.empty() || folder[0] != '/') {
    folder = FolderChain(JoinPath(current, folder, style), current, style).front();
    if (!is_folder(folder)) return {};
  }
  return WithClosingSeparator(folder, style);
}

}  // namespace

PathBlockParts SplitPathBlock(std::string_view text, PathStyle style,
                              const std::string& current_folder,
                              const std::function<bool(const std::string&)>& is_folder) {
  const char separator = SeparatorOf(style);
  std::size_t at = text.find(';');
  if (at == std::string_view::npos) at = text.find('*');
  if (at == std::string_view::npos) at = text.find('?');
  if (at == std::string_view::npos) at = text.rfind('.');
  if (at == std::string_view::npos) at = text.rfind(separator);
  const std::size_t cut =
      at == std::string_view::npos ? std::string_view::npos : text.rfind(separator, at);
  PathBlockParts parts;
  if (cut != std::string_view::npos) {
    parts.folder = std::string(text.substr(0, cut + 1));
    parts.mask = std::string(text.substr(cut + 1));
  } else if (style == PathStyle::kWindows && StartsWithDrive(text) &&
             text.find(separator) == std::string_view::npos) {
    parts.folder = std::string(text.substr(0, 2));  // "C:*.txt": masks in that drive's folder
    parts.mask = std::string(text.substr(2));
  } else {
    parts.folder = current_folder;
    parts.mask = std::string(text);
  }
  parts.folder = CompleteFolder(std::move(parts.folder), style, current_folder, is_folder);
  if (!parts.mask.empty() && parts.mask[0] == ';') parts.mask.erase(0, 1);
  return parts;
}

/// Parses the script from the window into the members of the script.
class FileReplaceScript::Reader {
 public:
  Reader(Window& window, JobServices& services, FileReplaceScript& script)
      : w_(window), services_(services), script_(script) {}

  void Run() {
    std::size_t pos = 0;
    if (!Preamble(&pos)) return;
    MainLoop(pos);
  }

 private:
  const std::string& bytes() const { return w_.bytes(); }

  bool At(std::size_t p, std::string_view name) {
    w_.Holds(p + name.size());
    return cp::StartsWithIgnoreCase(std::string_view(bytes()).substr(std::min(p, bytes().size())),
                                  name);
  }

  // A `[` that is not escaped and begins a header name.
  bool IsHeader(std::size_t p) {
    if (p > 0 && bytes()[p - 1] == '\\') return false;
    w_.Holds(p + kLongestHeaderName);
    if (At(p, "[Search")) {
      return p + 7 < bytes().size() && (bytes()[p + 7] == ' ' || bytes()[p + 7] == ']');
    }
    return At(p, "[Replace") || At(p, "[Path") || At(p, "[Options]") || At(p, "[Expression]") ||
           At(p, kEndMarker);
  }

  // The position of the header that ends a block starting at `from`; npos when none follows.
  std::size_t BlockEnd(std::size_t from) {
    for (;;) {
      const std::size_t at = w_.Find(from, '[');
      if (at == std::string::npos || IsHeader(at)) return at;
      from = at + 1;
    }
  }

  // The block's text without the line break before the header that ends it.
  std::string BlockText(std::size_t start, std::size_t end) const {
    if (end > start && bytes()[end - 1] == '\n') --end;
    if (end > start && bytes()[end - 1] == '\r') --end;
    return bytes().substr(start, end - start);
  }

  // Reads the header line at `p`: flags between `/` and `]`, what follows `]`, and where the
  // block starts. False when the script ends first.
  bool ReadHeader(std::size_t p, Header* header) {
    std::size_t i = p;
    for (;; ++i) {
      if (!w_.Holds(i + 1)) return false;
      if (bytes()[i] == '/' || bytes()[i] == ']') break;
    }
    for (; bytes()[i] != ']'; ++i) {
      switch (cp::ToUpper(static_cast<unsigned char>(bytes()[i]))) {
        case 'B': header->flags.binary = true; break;
        case 'H': header->flags.ignore_whitespace = true; break;
        case 'I': header->flags.ignore_case = true; break;
        case 'T': header->flags.html = true; break;
        case 'W': header->flags.whole_word = true; break;
        case 'X': header->flags.regular_expression = true; break;
        default: break;
      }
      if (!w_.Holds(i + 2)) return false;
    }
    const std::size_t line_end = w_.Find(i + 1, '\n');
    if (line_end == std::string::npos) return false;
    header->rest = std::string(LineWithoutCr(std::string_view(bytes()).substr(i + 1, line_end - i - 1)));
    header->block_start = line_end + 1;
    return true;
  }

  // The title line, the description, and the [Expression] and [Options] blocks that may follow
  // them directly. False when nothing more is to be read.
  bool Preamble(std::size_t* pos) {
    const std::size_t title_end = w_.Find(0, ']');
    if (title_end == std::string::npos || !w_.Holds(title_end + 3)) return false;
    const std::size_t start = title_end + 3;
    std::size_t end = BlockEnd(start);
    if (end == std::string::npos) return false;
    script_.description_ = BlockText(start, end);
    if (At(end, "[Expression]")) {
      if (!PreambleBlock(&end, &script_.expression_)) return false;
    }
    if (At(end, "[Options]")) {
      std::string block;
      if (!PreambleBlock(&end, &block)) return false;
      script_.options_ = std::make_unique<FileReplaceOptions>();
      script_.options_->unzip_dir = Files().TempFolder();
      ReadOptions(block, services_, script_.options_.get());
    }
    *pos = end;
    return true;
  }

  bool PreambleBlock(std::size_t* at, std::string* text) {
    const std::size_t line_end = w_.Find(*at, '\n');
    if (line_end == std::string::npos) return false;
    const std::size_t end = BlockEnd(line_end + 1);
    if (end == std::string::npos) return false;
    *text = BlockText(line_end + 1, end);
    *at = end;
    return true;
  }

  void AppendPending() {
    if (!pending_) return;
    if (pending_->append_mode || pending_->prepend_mode) pending_->regular_expression = false;
    script_.entries_.push_back(std::move(*pending_));
    pending_.reset();
  }

  // One block: its header and its text; false when the script ends before the block does.
  bool Block(std::size_t p, Header* header, std::string* text, std::size_t* end) {
    if (!ReadHeader(p, header)) return false;
    *end = BlockEnd(header->block_start);
    if (*end == std::string::npos) return false;
    *text = BlockText(header->block_start, *end);
    return true;
  }

  void MainLoop(std::size_t pos) {
    for (;;) {
      std::size_t p = w_.Find(pos, '[');
      if (p == std::string::npos) return;  // a pending entry is lost with its unfinished block
      p = w_.Release(p);
      Header header;
      std::string text;
      std::size_t end = 0;
      if (At(p, "[Search")) {
        AppendPending();
        pending_.emplace();
        if (!Block(p, &header, &text, &end)) return;
        ApplyFlags(header.flags, &*pending_);
        pending_->search_header_rest = header.rest;
        if (header.flags.binary) {
          pending_->search_text = kBinaryModeText;
          pending_->binary_search_text = std::move(text);
          NoteWholeFileModes(&*pending_);
        } else {
          pending_->search_text = std::move(text);
        }
      } else if (At(p, "[Replace")) {
        if (!Block(p, &header, &text, &end)) return;
        if (pending_) {
          ApplyFlags(header.flags, &*pending_);
          pending_->replace_header_rest = header.rest;
          if (header.flags.binary) {
            pending_->replace_text = kBinaryModeText;
            pending_->binary_replace_text = std::move(text);
          } else {
            pending_->replace_text = std::move(text);
          }
          AppendPending();
        }
      } else if (At(p, "[Path")) {
        AppendPending();
        if (!Block(p, &header, &text, &end)) return;
        PathBlockParts parts =
            SplitPathBlock(text, NativePathStyle(), Files().CurrentFolder(), [](const std::string& f) {
              std::uint32_t attributes = 0;
              return Files().GetAttributes(f, &attributes).ok() &&
                     (attributes & attr::kDirectory) != 0;
            });
        script_.paths_.push_back(std::move(parts.folder));
        script_.paths_.push_back(std::move(parts.mask));
      } else if (At(p, kEndMarker)) {
        AppendPending();
        ChainedScripts(p);
        return;
      } else {
        end = p + 1;
      }
      pos = end;
    }
  }

  // The lines after the end marker's line that name an existing file or folder.
  void ChainedScripts(std::size_t p) {
    std::size_t start = w_.Find(p, '\n');
    while (start != std::string::npos) {
      start = w_.Release(start + 1);
      const std::size_t end = w_.Find(start, '\n');
      const std::string line(LineWithoutCr(std::string_view(bytes()).substr(
          std::min(start, bytes().size()),
          (end == std::string::npos ? bytes().size() : end) - std::min(start, bytes().size()))));
      std::uint32_t attributes = 0;
      if (!line.empty() && line.find('\0') == std::string::npos &&
          Files().GetAttributes(line, &attributes).ok()) {
        script_.chained_scripts_.push_back(line);
      }
      start = end;
    }
  }

  Window& w_;
  JobServices& services_;
  FileReplaceScript& script_;
  std::optional<SearchEntry> pending_;
};

void FileReplaceScript::Clear() {
  path_.clear();
  entries_.clear();
  paths_.clear();
  options_.reset();
  expression_.clear();
  description_.clear();
  chained_scripts_.clear();
}

bool FileReplaceScript::Load(const std::string& path, JobServices& services) {
  Clear();
  std::unique_ptr<ReadableFile> file;
  bool read = Files().OpenForReading(path, &file).ok();
  if (read) {
    FileSource source(std::move(file));
    Window window(source, kScriptWindowSize);
    path_ = path;
    Reader(window, services, *this).Run();
    read = !window.failed();
  }
  if (!read) {
    Clear();
    services.ShowMessage("Cannot read script file\n" + path);
    return false;
  }
  CheckExpression(services);
  return true;
}

void FileReplaceScript::LoadFromMemory(const std::string& path, std::string_view content,
                                       JobServices& services, std::size_t window_size) {
  Clear();
  path_ = path;
  MemorySource source(content);
  Window window(source, window_size);
  Reader(window, services, *this).Run();
  CheckExpression(services);
}

// An expression that only says what the default does (any entry found) is dropped, and so is
// one that does not parse or names an entry the script does not have.
void FileReplaceScript::CheckExpression(JobServices& services) {
  std::string plain = "E1";
  for (std::size_t k = 2; k <= entries_.size(); ++k) plain += " OR E" + std::to_string(k);
  if (expression_ == plain) expression_.clear();
  if (expression_.empty()) return;
  const ParsedExpression parsed = ParseExpression(expression_);
  if (!parsed.ok()) {
    services.ShowMessage(parsed.error);
    expression_.clear();
  } else if (parsed.largest_variable > static_cast<std::int64_t>(entries_.size())) {
    services.ShowMessage("Cannot use variable E" + std::to_string(parsed.largest_variable));
    expression_.clear();
  }
}

}  // namespace tsl
