// .REG files: parsing value lines, writing entries, and loading whole files. The import lives in
// reg_file_import.cpp.
#include "registry/reg_file.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "platform/code_page.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/system_folders.h"
#include "registry/utf16_conversion.h"

namespace tsl {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A hexadecimal number of 1 to 8 digits, blanks around it allowed.
std::optional<std::uint32_t> HexNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// The bytes of a hex form: groups of one or two hex digits separated by `,`, blanks around
// them allowed, one closing `,` tolerated. Anything else (three digits in a row, an empty
// group, a stray character) makes the form malformed.
std::optional<std::string> HexBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() / 3 + 1);
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skip_blanks();
  if (i == text.size()) return bytes;
  for (;;) {
    int high = i < text.size() ? HexDigit(text[i]) : -1;
    if (high < 0) return std::nullopt;
    ++i;
    int value = high;
    if (i < text.size() && HexDigit(text[i]) >= 0) value = high << 4 | HexDigit(text[i++]);
    bytes.push_back(static_cast<char>(value));
    skip_blanks();
    if (i == text.size()) return bytes;
    if (text[i] != ',') return std::nullopt;
    ++i;
    skip_blanks();
    if (i == text.size()) return bytes;  // a closing comma
  }
}

// A quoted text's inside, read left to right: \\ \" \r \n \t stand for their characters; a
// backslash before anything else is kept as it is.
std::string UnescapeText(std::string_view text) {
  static constexpr std::string_view kEscaped = "\\\"rnt", kMeant = "\\\"\r\n\t";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t which = std::string_view::npos;
    if (text[i] == '\\' && i + 1 < text.size()) which = kEscaped.find(text[i + 1]);
    if (which == std::string_view::npos) {
      out += text[i];
    } else {
      out += kMeant[which];
      ++i;
    }
  }
  return out;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view part) {
  return cp::StartsWithIgnoreCase(text, part);
}

// UTF-16LE bytes to the ANSI code page; nothing for an odd byte count.
std::optional<std::string> Utf16BytesToAnsi(const std::string& bytes) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return cp::FromUtf16(units);
}

// The value part of a line (everything after the `=` that ends the name part).
void ParseValuePart(std::string_view value, bool from_utf16, RegValueLine* line) {
  std::string_view trimmed = TrimBlanks(value);
  if (trimmed.empty()) {
    line->kind = RegValueLine::Kind::kDelete;
    return;
  }
  if (trimmed.front() == '"') {
    // A quoted text: stored as the system stores strings, with a terminating zero.
    if (trimmed.size() < 2 || trimmed.back() != '"') {
      line->kind = RegValueLine::Kind::kInvalid;
      return;
    }
    line->kind = RegValueLine::Kind::kSet;
    line->type = reg::type::kString;
    line->data = UnescapeText(trimmed.substr(1, trimmed.size() - 2));
    line->data.push_back('\0');
    return;
  }
  if (StartsWithIgnoreCase(trimmed, "dword:")) {
    std::optional<std::uint32_t> number = HexNumber(trimmed.substr(6));
    if (!number) {
      line->kind = RegValueLine::Kind::kInvalid;
      return;
    }
    line->kind = RegValueLine::Kind::kSet;
    line->type = reg::type::kDword;
    line->data.clear();
    for (int shift = 0; shift < 32; shift += 8) {
      line->data.push_back(static_cast<char>(*number >> shift & 0xFF));
    }
    return;
  }
  std::optional<std::uint32_t> type;
  std::string_view bytes_text;
  if (StartsWithIgnoreCase(trimmed, "hex:")) {
    type = reg::type::kBinary;
    bytes_text = trimmed.substr(4);
  } else if (StartsWithIgnoreCase(trimmed, "hex(")) {
    std::size_t close = trimmed.find("):", 4);
    if (close == std::string_view::npos || !(type = HexNumber(trimmed.substr(4, close - 4)))) {
      line->kind = RegValueLine::Kind::kInvalid;
      return;
    }
    bytes_text = trimmed.substr(close + 2);
  }
  if (type) {
    std::optional<std::string> bytes = HexBytes(bytes_text);
    if (bytes && from_utf16 &&
        (*type == reg::type::kExpandString || *type == reg::type::kLink ||
         *type == reg::type::kMultiString)) {
      bytes = Utf16BytesToAnsi(*bytes);
    }
    if (!bytes) {
      line->kind = RegValueLine::Kind::kInvalid;
      return;
    }
    line->kind = RegValueLine::Kind::kSet;
    line->type = *type;
    line->data = std::move(*bytes);
    return;
  }
  std::size_t quote = trimmed.find('"');
  if (trimmed.find("HKEY_") != std::string_view::npos && quote != std::string_view::npos) {
    // A value reference: KEYPATH"valuename", the closing quote optional.
    line->kind = RegValueLine::Kind::kReference;
    line->reference_key = std::string(trimmed.substr(0, quote));
    std::string_view name = trimmed.substr(quote + 1);
    while (!name.empty() && (IsBlank(name.back()) || name.back() == '\r' || name.back() == '\n')) {
      name.remove_suffix(1);
    }
    if (!name.empty() && name.back() == '"') name.remove_suffix(1);
    line->reference_value = std::string(name);
    return;
  }
  line->kind = RegValueLine::Kind::kDelete;
}

// Appends `name` as a quoted value name: `\` and `"` escaped with a backslash.
void AppendQuotedName(const std::string& name, std::string* out) {
  out->push_back('"');
  for (char c : name) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

void AppendHexBytes(const std::string& data, std::string* out) {
  static const char kDigits[] = "0123456789abcdef";
  out->reserve(out->size() + data.size() * 3);
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) out->push_back(',');
    auto byte = static_cast<unsigned char>(data[i]);
    out->push_back(kDigits[byte >> 4]);
    out->push_back(kDigits[byte & 0xF]);
  }
}

// Whether string data reads back byte for byte from a quoted text: the text and one
// terminating zero, no zero before it.
bool IsPlainString(const std::string& data) {
  return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
}

// The white space the loader drops at the start of a continued line.
bool IsReaderWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The position of the `=` that ends the name part of a value line (`@` or a quoted name whose
// `\\` and `\"` are escapes); npos when there is none.
std::size_t NamePartEnd(std::string_view line) {
  std::size_t i = 1;
  if (!line.empty() && line[0] == '"') {
    while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
    ++i;
  }
  return line.find('=', i);
}

}  // namespace

bool RegValueWrittenAsHex(std::uint32_t type, const std::string& data) {
  if (type == reg::type::kString) return !IsPlainString(data);
  if (type == reg::type::kDword) return data.size() != 4;
  return true;
}

RegValueLine ParseRegValue(std::string_view line, bool from_utf16) {
  RegValueLine result;
  result.kind = RegValueLine::Kind::kInvalid;
  std::size_t after_name = 0;
  if (!line.empty() && line.front() == '@') {
    after_name = 1;
  } else if (!line.empty() && line.front() == '"') {
    // The name runs to the first quote that no backslash escapes; `\\` and `\"` inside it stand
    // for `\` and `"`.
    std::size_t i = 1;
    std::string name;
    bool closed = false;
    while (i < line.size()) {
      char c = line[i];
      if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) {
        name.push_back(line[i + 1]);
        i += 2;
        continue;
      }
      ++i;
      if (c == '"') {
        closed = true;
        break;
      }
      name.push_back(c);
    }
    if (!closed) return result;
    result.name = std::move(name);
    after_name = i;
  } else {
    return result;
  }
  std::size_t equals = line.find('=', after_name);
  if (equals == std::string_view::npos) return result;
  ParseValuePart(line.substr(equals + 1), from_utf16, &result);
  if (result.kind != RegValueLine::Kind::kSet) {
    result.type = 0;
    result.data.clear();
  }
  return result;
}

std::string FormatRegValueLine(const std::string* name, std::uint32_t type,
                               const std::string* data) {
  std::string line;
  if (name == nullptr || name->empty())
    line = "@";
  else
    AppendQuotedName(*name, &line);
  line.push_back('=');
  if (data == nullptr) return line;
  // Quoted text and dword: only when they read back as the same bytes; other data of these
  // types is written as hex bytes of its type, so that an undo file restores it exactly.
  if (!RegValueWrittenAsHex(type, *data) && type == reg::type::kString) {
    line.push_back('"');
    for (std::size_t i = 0; i + 1 < data->size(); ++i) {
      char c = (*data)[i];
      switch (c) {
        case '\\':
          line += "\\\\";
          break;
        case '"':
          line += "\\\"";
          break;
        case '\r':
          line += "\\r";
          break;
        case '\n':
          line += "\\n";
          break;
        case '\t':
          line += "\\t";
          break;
        default:
          line.push_back(c);
          break;
      }
    }
    line.push_back('"');
    return line;
  }
  if (!RegValueWrittenAsHex(type, *data)) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>((*data)[i]);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(value));
    return line + buffer;
  }
  if (type == reg::type::kBinary) {
    line += "hex:";
  } else {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(type));
    line += buffer;
  }
  AppendHexBytes(*data, &line);
  return line;
}

// Lines of at most 80 characters with their CR LF: the first carries at most 79 characters
// before its `\`, each continuation two blanks and at most 77. A cut goes after the last `,` at
// or before position `limit` (78 on the first line, 76 after), but not before position 72;
// with no `,` there the line is cut at position 72 all the same. A name longer than 76
// characters goes first whole, with the `=` and the text up to the first `,`.
//
// The reader drops a continuation's leading white space, so a cut is moved back to where the
// continuation does not start with any (a long value name holding blanks).
std::string WrapRegValueLine(const std::string& line, std::size_t name_length) {
  const std::string whole = line + "\r\n";
  std::string out;
  out.reserve(whole.size() + whole.size() / 25 + 8);
  std::size_t start = 0;  // the rest begins here
  std::size_t limit = 78;
  if (whole.size() <= 80) return whole;
  if (name_length > 76) {
    std::size_t equals = NamePartEnd(line);
    if (equals == std::string::npos) return whole;
    std::size_t comma = line.find(',', equals);
    if (comma == std::string::npos) return whole;
    out.append(whole, 0, comma + 1);
    out += "\\\r\n  ";
    start = comma + 1;
    limit = 76;
  }
  while (whole.size() - start >= 79) {
    std::size_t i = limit;
    while (i > 71 && start + i < whole.size() && whole[start + i] != ',') --i;
    while (IsReaderWhiteSpace(whole[start + i + 1])) {
      if (i == 0) return out + whole.substr(start);
      --i;
    }
    out.append(whole, start, i + 1);
    out += "\\\r\n  ";
    start += i + 1;
    limit = 76;
  }
  out.append(whole, start, std::string::npos);
  return out;
}

// ---------------------------------------------------------------------------------------------
// RegWriter

namespace {

// One entry as WriteEntry got it, kept for the reversed rewrite; `forget` stands for a
// ForgetHeader call.
struct WrittenEntry {
  bool forget = false;
  std::string key_path;
  bool has_name = false;
  std::string name;
  std::uint32_t type = 0;
  bool has_data = false;
  std::string data;
};

std::string HeaderPath(const std::string& key_path) {
  if (!key_path.empty() && key_path.back() == '\\') return key_path.substr(0, key_path.size() - 1);
  return key_path;
}

// The text of one entry; `last_header` is updated.
std::string EntryText(const std::string& key_path, const std::string* name, std::uint32_t type,
                      const std::string* data, std::string* last_header, bool* header_known) {
  std::string text;
  std::string header = HeaderPath(key_path);
  if (!*header_known || header != *last_header) {
    text += "\r\n[" + header + "]\r\n";
    *last_header = header;
    *header_known = true;
  }
  if (name == nullptr && data == nullptr) return text;
  std::string line = FormatRegValueLine(name, type, data);
  if (data != nullptr && RegValueWrittenAsHex(type, *data))
    text += WrapRegValueLine(line, name ? name->size() : 0);
  else
    text += line + "\r\n";
  return text;
}

constexpr std::string_view kFileHeader = "REGEDIT4\r\n";

// Makes `folder` and every missing folder above it.
bool MakeFolderChain(const std::string& folder) {
  FileSystem& fs = Files();
  const PathStyle style = NativePathStyle();
  std::vector<std::string> chain = FolderChain(folder, fs.CurrentFolder(), style);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    std::uint32_t attributes = 0;
    if (fs.GetAttributes(*it, &attributes).ok()) continue;
    SysError made = fs.MakeFolder(*it);
    if (made.failed() && made.kind != ErrorKind::kAlreadyExists) return false;
  }
  return true;
}

}  // namespace

struct RegWriter::State {
  std::unique_ptr<WritableFile> file;
  bool failed = false;
  Order order = Order::kForward;
  std::vector<WrittenEntry> entries;  // kReversed only
  bool header_known = false;
};

RegWriter::RegWriter() = default;

RegWriter::~RegWriter() { Close(); }

bool RegWriter::is_open() const { return state_ != nullptr && state_->file != nullptr; }

bool RegWriter::Open(const std::string& path, Order order) {
  Close();
  if (path == "NUL" || path.empty()) return false;
  std::unique_ptr<WritableFile> file;
  if (Files().OpenForWriting(path, WriteMode::kReplace, &file).failed()) return false;
  if (file->Write(kFileHeader.data(), kFileHeader.size()).failed() || file->Flush().failed()) {
    file->Close();
    return false;
  }
  Begin(std::move(file), path, order);
  return true;
}

void RegWriter::Begin(std::unique_ptr<WritableFile> file, const std::string& path, Order order) {
  state_ = std::make_unique<State>();
  state_->file = std::move(file);
  state_->order = order;
  path_ = path;
  last_header_.clear();
}

bool RegWriter::OpenUndoFile(const std::string& folder, const CalendarTime& now, Order order) {
  Close();
  if (folder.empty()) return false;
  const std::string base = WithClosingSeparator(folder, NativePathStyle());
  if (!MakeFolderChain(base)) return false;
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "RT%04d-%02d-%02d %02d_%02d_%02d", now.year, now.month,
                now.day, now.hour, now.minute, now.second);
  FileSystem& fs = Files();
  for (int n = 1; n <= 1000; ++n) {
    std::string path =
        base + stamp + (n == 1 ? std::string() : " (" + std::to_string(n) + ")") + ".reg";
    std::unique_ptr<WritableFile> file;
    SysError opened = fs.OpenForWriting(path, WriteMode::kCreateNew, &file);
    if (opened.kind == ErrorKind::kAlreadyExists) continue;
    if (opened.failed()) return false;
    if (file->Write(kFileHeader.data(), kFileHeader.size()).failed() || file->Flush().failed()) {
      file->Close();
      fs.RemoveFile(path);
      return false;
    }
    Begin(std::move(file), path, order);
    return true;
  }
  return false;
}

void RegWriter::WriteEntry(const std::string& key_path, const std::string* name, std::uint32_t type,
                           const std::string* data) {
  if (!is_open()) return;
  if (state_->order == Order::kReversed) {
    WrittenEntry entry;
    entry.key_path = key_path;
    entry.has_name = name != nullptr;
    if (name) entry.name = *name;
    entry.type = type;
    entry.has_data = data != nullptr;
    if (data) entry.data = *data;
    state_->entries.push_back(std::move(entry));
  }
  std::string text = EntryText(key_path, name, type, data, &last_header_, &state_->header_known);
  if (text.empty()) return;
  // Each entry reaches the system at once: a process stopped after the next registry change
  // still leaves the record of it.
  if (state_->file->Write(text.data(), text.size()).failed() || state_->file->Flush().failed()) {
    state_->failed = true;
  }
}

void RegWriter::ForgetHeader() {
  last_header_.clear();
  if (!state_) return;
  state_->header_known = false;
  if (state_->order == Order::kReversed && is_open()) {
    WrittenEntry entry;
    entry.forget = true;
    state_->entries.push_back(std::move(entry));
  }
}

// A reversed file is first written in full as a journal of the entries in the order they were
// made (so that a stopped process leaves a record of every change), then rewritten here with
// the entries last-first into a new file beside it, which replaces the journal only when it is
// complete. Should anything fail, the journal stays.
bool RegWriter::Close() {
  if (!is_open()) return true;
  State& state = *state_;
  bool ok = !state.failed;
  ok = state.file->Close().ok() && ok;
  state.file.reset();
  last_header_.clear();
  if (state.order != Order::kReversed || state.entries.empty() || !ok) {
    state.entries.clear();
    return ok;
  }
  FileSystem& fs = Files();
  const PathStyle style = NativePathStyle();
  std::string folder = FolderPart(path_, style);
  std::string temporary;
  if (fs.CreateTempFile(folder.empty() ? fs.CurrentFolder() : folder, "rt", &temporary).failed()) {
    state.entries.clear();
    return false;
  }
  std::unique_ptr<WritableFile> file;
  bool written = fs.OpenForWriting(temporary, WriteMode::kReplace, &file).ok();
  if (written) {
    written = file->Write(kFileHeader.data(), kFileHeader.size()).ok();
    std::string last;
    bool known = false;
    std::string text;
    for (auto it = state.entries.rbegin(); it != state.entries.rend() && written; ++it) {
      if (it->forget) {
        known = false;
        continue;
      }
      text = EntryText(it->key_path, it->has_name ? &it->name : nullptr, it->type,
                       it->has_data ? &it->data : nullptr, &last, &known);
      written = file->Write(text.data(), text.size()).ok();
    }
    written = file->Close().ok() && written;
  }
  state.entries.clear();
  if (!written || fs.Rename(temporary, path_, /*replace=*/true).failed()) {
    fs.RemoveFile(temporary);
    return false;
  }
  return true;
}

std::string DefaultUndoFolder() {
  return WithClosingSeparator(DefaultWorkFolder(""), NativePathStyle());
}

// ---------------------------------------------------------------------------------------------
// RegFile

namespace {

// The header of a UTF-16 registry file: byte-order mark, "Windows Registry Editor Version 5.00"
// and a carriage return, all in UTF-16LE.
const std::string& Utf16RegistryHeader() {
  static const std::string header = [] {
    std::string bytes = "\xFF\xFE";
    for (char c : std::string_view("Windows Registry Editor Version 5.00\r")) {
      bytes += c;
      bytes += '\0';
    }
    return bytes;
  }();
  return header;
}

}  // namespace

RegFileRead RegFile::Load(const std::string& path, std::string* error) {
  std::string text;
  SysError e = Files().ReadWholeFile(path, &text);
  if (e.failed()) {
    document_.LoadText(path, "");
    converted_from_utf16_ = false;
    *error = StandardFileErrorText(e, path);
    return RegFileRead::kUnreadable;
  }
  return LoadText(path, text) ? RegFileRead::kLoaded : RegFileRead::kNotRegFile;
}

// A UTF-16 file is converted in memory: no copy of it is ever written.
bool RegFile::LoadText(const std::string& path, std::string_view text) {
  converted_from_utf16_ = false;
  if (cp::StartsWithIgnoreCase(text, "REGEDIT4")) return document_.LoadText(path, text);
  if (text.substr(0, Utf16RegistryHeader().size()) == Utf16RegistryHeader()) {
    std::optional<std::string> converted = ConvertUtf16Text(text);
    if (converted) {
      converted_from_utf16_ = true;
      return document_.LoadText(path, *converted);
    }
  }
  document_.LoadText(path, "");
  return false;
}

std::vector<RegFile::Line> RegFile::ValueLines() const {
  std::vector<Line> lines;
  for (const auto& section : document_.sections()) {
    for (const std::string& line : section->lines()) lines.push_back({section->name(), line});
  }
  return lines;
}

void RegFile::RemoveValueLine(std::size_t index) {
  for (const auto& section : document_.sections()) {
    if (index < section->lines().size()) {
      section->RemoveLine(index);
      return;
    }
    index -= section->lines().size();
  }
}

}  // namespace tsl
