#include "services/output_destination.h"

#include "services/messages.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/printer.h"
#include "resources/string_table.h"

namespace tsl {
namespace {

constexpr const char* kClipboardName = "Clipboard";
constexpr const char* kPrinterName = "Default Printer";
constexpr const char* kTemporaryPrefix = "CLP";

bool Names(const std::string& name, const char* word, int text_id) {
  if (cp::EqualsIgnoreCase(name, word)) return true;
  std::string table_word = TableText(text_id);
  return !table_word.empty() && cp::EqualsIgnoreCase(name, table_word);
}

// A failure's message: the standard text, and the system's own words when there are some.
std::string FailureText(const SysError& error, const std::string& path, const std::string& why) {
  std::string text = StandardFileErrorText(error, path);
  if (!why.empty()) text += "\n" + why;
  return text;
}

// The failure with the name the user knows the destination by, which is what its message shows.
SysError Concerning(SysError error, const char* operation, const std::string& name) {
  error.operation = operation;
  error.path = name;
  return error;
}

SysError WriteWholeFile(const std::string& path, const std::string& content) {
  std::unique_ptr<WritableFile> file;
  SysError e = Files().OpenForWriting(path, WriteMode::kReplace, &file);
  if (e.ok()) e = file->Write(content.data(), content.size());
  if (file) {
    SysError closed = file->Close();
    if (e.ok()) e = closed;
  }
  return e;
}

}  // namespace

OutputDestination::Kind OutputDestination::KindOf(const std::string& name) {
  if (Names(name, kClipboardName, text_id::kClipboard)) return Kind::kClipboard;
  if (Names(name, kPrinterName, text_id::kDefaultPrinter)) return Kind::kPrinter;
  return Kind::kFile;
}

OutputDestination::~OutputDestination() {
  try {
    Close();
  } catch (...) {
    RemoveTemporaryFile();  // a destructor reports nothing more
  }
}

SysError OutputDestination::Open(const std::string& name, bool append) {
  Close();
  name_ = name;
  kind_ = KindOf(name);
  write_error_ = {};
  if (kind_ == Kind::kFile) {
    path_ = name;
  } else {
    if (SysError e = OpenSpecial(kind_, append); e.failed()) return e;
    path_ = temporary_path_;
  }
  SysError e =
      Files().OpenForWriting(path_, append ? WriteMode::kAppend : WriteMode::kReplace, &file_);
  if (e.failed()) {
    file_.reset();
    RemoveTemporaryFile();
    return Concerning(e, "OpenForWriting", path_);
  }
  return {};
}

// The clipboard and printer kinds: the text goes to a temporary file first.
SysError OutputDestination::OpenSpecial(Kind kind, bool append) {
  std::string why;
  if (kind == Kind::kPrinter) {
    SysError e = Printers().FindDefaultPrinter(&printer_, &why);
    if (e.failed()) return Concerning(e, "FindDefaultPrinter", kPrinterName);
  }
  FileSystem& fs = Files();
  std::string folder = fs.TempFolder();
  if (SysError e = fs.CreateTempFile(folder, kTemporaryPrefix, &temporary_path_); e.failed()) {
    temporary_path_.clear();
    return Concerning(e, "CreateTempFile", folder);
  }
  return kind == Kind::kClipboard ? CollectClipboardText(append) : SysError{};
}

// Reads the clipboard (which also tells that there is one) and, for an append, copies its text
// into the temporary file so that the new text follows it.
SysError OutputDestination::CollectClipboardText(bool append) {
  std::string text, why;
  bool has_text = false;
  SysError e = Clipboard().ReadText(&text, &has_text, &why);
  if (e.failed()) {
    RemoveTemporaryFile();
    return Concerning(e, "ReadClipboard", kClipboardName);
  }
  if (!append || !has_text || text.empty()) return {};
  if (e = WriteWholeFile(temporary_path_, text); e.failed()) {
    std::string path = temporary_path_;
    RemoveTemporaryFile();
    return Concerning(e, "WriteWholeFile", path);
  }
  return {};
}

bool OutputDestination::Write(const char* text, std::size_t length) {
  if (!file_ || write_error_.failed()) return false;
  write_error_ = file_->Write(text, length);
  return write_error_.ok();
}

bool OutputDestination::Close() {
  if (!file_) return true;
  SysError closed = file_->Close();
  file_.reset();
  std::string failure;
  if (write_error_.failed() || closed.failed()) {
    failure = StandardFileErrorText(write_error_.failed() ? write_error_ : closed, path_);
  } else if (kind_ != Kind::kFile) {
    failure = Deliver();
  }
  RemoveTemporaryFile();
  if (failure.empty()) return true;
  ShowMessage(failure);
  return false;
}

// Hands the collected text to the clipboard or the printer; the failure's message, or empty.
std::string OutputDestination::Deliver() {
  std::string why;
  if (kind_ == Kind::kPrinter) {
    SysError e = Printers().PrintTextFile(printer_, temporary_path_, temporary_path_, &why);
    return e.ok() ? "" : FailureText(e, kPrinterName, why);
  }
  std::string text;
  if (SysError e = Files().ReadWholeFile(temporary_path_, &text); e.failed()) {
    return StandardFileErrorText(e, temporary_path_);
  }
  SysError e = Clipboard().WriteText(text, &why);
  return e.ok() ? "" : FailureText(e, kClipboardName, why);
}

void OutputDestination::RemoveTemporaryFile() {
  if (temporary_path_.empty()) return;
  // A file still held for a moment by another program (a virus scanner, the print spooler) may
  // refuse the first attempt.
  if (Files().RemoveFile(temporary_path_).failed()) Files().RemoveFile(temporary_path_);
  temporary_path_.clear();
}

}  // namespace tsl
