// .REG text files: the REGEDIT4 layout as the registry job writes and reads it, with its rename
// and copy markers and value references. RegWriter writes output and undo files; RegFile holds a
// loaded file and imports it into the registry, recording what it changes in an undo file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale.h"
#include "script/script_file.h"

namespace tsl {

class RegistryAccess;
class WritableFile;

enum class RegFileRead {
  kLoaded,      // a registry file, parsed
  kNotRegFile,  // readable, but empty or without a registry header (or not convertible)
  kUnreadable,  // cannot be opened or read; the error holds the message for the user
};

/// One value line of a .REG file.
struct RegValueLine {
  // kInvalid: a line that names no value or whose data is malformed (an unterminated quote, a
  // bad hex or dword form); it changes nothing.
  enum class Kind { kSet, kDelete, kReference, kInvalid };
  Kind kind = Kind::kDelete;
  std::string name;             // empty: the key's default value
  std::uint32_t type = 0;       // kSet: the value's type
  std::string data;             // kSet: the value's bytes
  std::string reference_key;    // kReference: the key path and value name whose type and data
  std::string reference_value;  // the line stands for, read when the line is imported
};

/// Parses a `"name"=...` or `@=...` line. `from_utf16`: the file was converted from UTF-16, so
/// the bytes of hex(2), hex(6) and hex(7) are UTF-16LE code units, converted to the ANSI code page.
/// A quoted name or text is read left to right: `\\` and `\"` stand for `\` and `"` (in texts
/// also `\r`, `\n`, `\t`). A quoted text gives type 1 data with its terminating zero, as the
/// system stores strings; dword: gives 4 bytes; hex forms the bytes as written.
RegValueLine ParseRegValue(std::string_view line, bool from_utf16);

/// The value line WriteEntry writes for a value, unwrapped and without its line end: `name`
/// null or empty is the default value `@` (`\` and `"` in a name are escaped); `data` null gives
/// a deletion line. Type 1 is written as quoted text and type 4 as dword: only when that reads
/// back as the same bytes (a text with one terminating zero, four bytes); otherwise in hex.
std::string FormatRegValueLine(const std::string* name, std::uint32_t type,
                               const std::string* data);
/// Whether WriteEntry writes the value in a hex form (wrapped at 80 columns) rather than as
/// quoted text or dword:.
bool RegValueWrittenAsHex(std::uint32_t type, const std::string& data);
/// A value line broken into physical lines of at most 80 characters (CR LF included), each
/// but the last ending in `\`; `name_length` is the length of the value's name. Ends with CR LF.
std::string WrapRegValueLine(const std::string& line, std::size_t name_length);

/// Writes a .REG file entry by entry. A key header is written only when it differs from the one
/// written last, so consecutive entries of one key share it.
class RegWriter {
 public:
  RegWriter();
  ~RegWriter();
  RegWriter(const RegWriter&) = delete;
  RegWriter& operator=(const RegWriter&) = delete;

  /// kForward: the file holds the entries in the order they were written. kReversed (undo files
  /// whose changes must be undone last-first): the entries reach the file in the order written,
  /// as a journal, and Close() rewrites the file with the entries in reverse order, through a
  /// new file that then replaces the journal.
  enum class Order { kForward, kReversed };

  /// Creates `path` (replacing an existing file) and writes "REGEDIT4". False when it cannot,
  /// and for the name "NUL" (no file).
  bool Open(const std::string& path, Order order = Order::kForward);
  /// Creates a new undo file in `folder` (created when missing), named from `now` as
  /// "RT2002-05-17 14_03_59.reg"; a name already taken gets " (2)", " (3)" ... so that no file
  /// is ever replaced. False when no file could be created.
  bool OpenUndoFile(const std::string& folder, const CalendarTime& now,
                    Order order = Order::kForward);

  /// Writes the key header when needed, then: with neither name nor data nothing more; with a
  /// name and no data a deletion line; otherwise the value line (hex lines wrapped at 80
  /// columns). The entry reaches the system before the call returns.
  void WriteEntry(const std::string& key_path, const std::string* name, std::uint32_t type,
                  const std::string* data);
  /// The next entry writes its key header whatever was written before.
  void ForgetHeader();

  /// Closes the file; false when anything could not be written.
  bool Close();
  bool is_open() const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string last_header_;
  // Implementation details (file, blocks) are the writer's own.
  // Takes over an open file that already holds the header.
  void Begin(std::unique_ptr<WritableFile> file, const std::string& path, Order order);

  struct State;
  std::unique_ptr<State> state_;
};

/// The folder of undo files when a script names none: on Windows the program's own folder when
/// it is on a fixed disk, else the temporary folder; on Linux $XDG_STATE_HOME/tessaline/
/// (~/.local/state/tessaline/). Ends with the separator.
std::string DefaultUndoFolder();

/// A loaded .REG file.
class RegFile {
 public:
  RegFile() : document_(/*registry_mode=*/true) {}

  RegFileRead Load(const std::string& path, std::string* error);
  /// Parses a .REG text already in memory (tests, fuzzing); false when it is not one.
  bool LoadText(const std::string& path, std::string_view text);

  bool converted_from_utf16() const { return converted_from_utf16_; }
  const ScriptFile& document() const { return document_; }

  /// The value lines in file order, each with the key path of its section.
  struct Line {
    std::string key_path;
    std::string text;
  };
  std::vector<Line> ValueLines() const;
  /// Removes value line number `index` (as ValueLines lists them at that moment).
  void RemoveValueLine(std::size_t index);

  /// Applies the file to the registry, section by section in file order. With an undo folder,
  /// an undo file is created there first (`undo_path` receives its name; empty when there is
  /// none) whose import restores the registry as it was. Returns the number of entries applied
  /// (value lines and markers, whether setting succeeded or not), or -1 when an undo folder was
  /// given but no undo file could be made there: then nothing is applied.
  ///
  /// The undo file lists its entries last-first, so that importing it undoes the changes in
  /// reverse order; a key the import creates gets an entry that deletes it. A marker whose
  /// target lies below its source, whose target exists (another key) or whose source does not,
  /// an empty RT_Copy_Key target and a target that only environment markers make empty are
  /// refused and change nothing.
  long Import(RegistryAccess& registry, const std::string& undo_folder,
              std::string* undo_path = nullptr);

 private:
  ScriptFile document_;
  bool converted_from_utf16_ = false;
};

}  // namespace tsl
