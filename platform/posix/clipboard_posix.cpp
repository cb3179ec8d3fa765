// The clipboard on Linux, through the tools of the session: wl-copy and wl-paste on Wayland
// ($WAYLAND_DISPLAY), xclip on X11 ($DISPLAY). The program's ANSI text is UTF-8 on the clipboard.
#include <string>
#include <vector>

#include <time.h>

#include "platform/clipboard.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace tsl {
namespace {

enum class Session { kNone, kX11, kWayland };

Session CurrentSession() {
  auto set = [](const char* name) {
    std::optional<std::string> value = GetEnvironmentValue(name);
    return value && !value->empty();
  };
  if (set("WAYLAND_DISPLAY")) return Session::kWayland;
  if (set("DISPLAY")) return Session::kX11;
  return Session::kNone;
}

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// The outcome of a clipboard tool that ran (or could not be started).
SysError ToolFailure(const std::string& tool, const ProcessResult& result, std::string* why) {
  if (result.error.failed()) {
    if (why) *why = tool + " could not be started; is it installed?";
    return result.error.kind == ErrorKind::kNotFound ? result.error
                                                     : ErrorOfKind(ErrorKind::kNotFound);
  }
  if (why) *why = tool + ": " + FirstLine(result.errors);
  return ErrorOfKind(ErrorKind::kOther);
}

// xclip and wl-paste end with an error when the clipboard holds no text; those are not failures.
bool SaysNoText(const std::string& errors) {
  for (const char* sign : {"not available", "Nothing is copied", "No selection", "No suitable type",
                           "no suitable type"}) {
    if (errors.find(sign) != std::string::npos) return true;
  }
  return false;
}

SysError NoSession(std::string* why) {
  if (why) *why = "There is no X11 or Wayland display ($DISPLAY and $WAYLAND_DISPLAY are not set).";
  return ErrorOfKind(ErrorKind::kUnreachable);
}

class PosixClipboard : public ClipboardService {
 public:
  SysError ReadText(std::string* text, bool* has_text, std::string* why) override {
    text->clear();
    *has_text = false;
    Session session = CurrentSession();
    if (session == Session::kNone) return NoSession(why);
    std::string tool = session == Session::kX11 ? "xclip" : "wl-paste";
    std::vector<std::string> arguments =
        session == Session::kX11
            ? std::vector<std::string>{"-selection", "clipboard", "-o", "-t", "UTF8_STRING"}
            : std::vector<std::string>{"--no-newline", "--type", "text"};
    ProcessResult result = RunProcess(tool, arguments);
    if (result.error.ok() && result.exit_code == 0) {
      *text = cp::FromUtf8(result.output);
      *has_text = true;
      return {};
    }
    if (result.error.ok() && SaysNoText(result.errors)) return {};
    return ToolFailure(tool, result, why);
  }

  SysError WriteText(const std::string& text, std::string* why) override {
    Session session = CurrentSession();
    if (session == Session::kNone) return NoSession(why);
    // The tools read the text from a file of its own, in UTF-8.
    FileSystem& fs = RealFileSystem();
    std::string path;
    if (SysError e = fs.CreateTempFile(fs.TempFolder(), "CLP", &path); e.failed()) return e;
    SysError e = WriteUtf8File(path, cp::ToUtf8(text));
    if (e.ok()) {
      std::string tool = session == Session::kX11 ? "xclip" : "wl-copy";
      ProcessOptions options;
      std::vector<std::string> arguments;
      if (session == Session::kX11) {
        arguments = {"-selection", "clipboard", "-i", "-t", "UTF8_STRING", path};
      } else {
        arguments = {"--type", "text/plain;charset=utf-8"};
        options.stdin_file = path;
      }
      ProcessResult result = RunProcess(tool, arguments, options);
      if (result.error.failed() || result.exit_code != 0) e = ToolFailure(tool, result, why);
    }
    fs.RemoveFile(path);
    if (e.ok()) WaitUntilServed(text);
    return e;
  }

 private:
  // The tools hand the text to a process of their own that serves it, and may return before
  // that process has taken the clipboard; a read straight after (the next job appending to the
  // clipboard) would then find the old text. Wait, briefly, until the clipboard gives the text.
  void WaitUntilServed(const std::string& text) {
    for (int attempt = 0; attempt < 200; ++attempt) {
      std::string now;
      bool has_text = false;
      if (ReadText(&now, &has_text, nullptr).ok() && has_text && now == text) return;
      struct timespec pause = {0, 10 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
  }

  static SysError WriteUtf8File(const std::string& path, const std::string& utf8) {
    std::unique_ptr<WritableFile> file;
    SysError e = RealFileSystem().OpenForWriting(path, WriteMode::kReplace, &file);
    if (e.ok()) e = file->Write(utf8.data(), utf8.size());
    SysError closed = file ? file->Close() : SysError{};
    return e.failed() ? e : closed;
  }
};

}  // namespace

ClipboardService& SystemClipboard() {
  static PosixClipboard clipboard;
  return clipboard;
}

}  // namespace tsl
