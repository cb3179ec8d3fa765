// Where logs and reports go: a file (append or replace), or one of two special names whose text
// is collected in a temporary file and delivered when the destination is closed: "Clipboard"
// (the text replaces the clipboard's) and "Default Printer" (the text is printed).
//
// Failures: an Open that fails returns the failure, with the name of what could not be opened, to
// the caller, who decides what follows. A write that fails is remembered; that failure, and any failure to
// finish the file or deliver the text, is reported by Close with a message box, and Close then
// returns false: it never reports success for text that did not arrive. The temporary file is
// deleted in every case.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tsl {

class OutputDestination {
 public:
  enum class Kind { kFile, kClipboard, kPrinter };

  /// The kind a name stands for: the whole name compared ignoring letter case with "Clipboard"
  /// and "Default Printer" (and the string table's words for them); anything else is a file.
  static Kind KindOf(const std::string& name);

  OutputDestination() = default;
  ~OutputDestination();  // closes an open destination
  OutputDestination(const OutputDestination&) = delete;
  OutputDestination& operator=(const OutputDestination&) = delete;

  /// Opens the destination, closing the one open before. With `append`, an existing file is
  /// kept and written after, and the clipboard's text is kept in front of the new text; without
  /// it, the file is emptied. The failure when the destination cannot be opened (no
  /// default printer and no clipboard included), its path the name to show.
  SysError Open(const std::string& name, bool append);

  /// Writes the bytes as given. False when this or an earlier write failed (Close reports it).
  bool Write(const char* text, std::size_t length);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }

  /// Closes the file and delivers the text of the clipboard and printer kinds. True when all of
  /// it reached its destination; a failure is shown in a message box. Closing what is not open
  /// does nothing and returns true.
  bool Close();

  bool is_open() const { return file_ != nullptr; }
  Kind kind() const { return kind_; }
  /// The name given to Open.
  const std::string& name() const { return name_; }
  /// The temporary file of the clipboard and printer kinds while open; empty otherwise.
  const std::string& temporary_path() const { return temporary_path_; }

 private:
  SysError OpenSpecial(Kind kind, bool append);
  SysError CollectClipboardText(bool append);
  std::string Deliver();
  void RemoveTemporaryFile();

  Kind kind_ = Kind::kFile;
  std::string name_;
  std::string path_;  // the file being written
  std::string temporary_path_;
  std::string printer_;
  std::unique_ptr<WritableFile> file_;
  SysError write_error_;
};

}  // namespace tsl
