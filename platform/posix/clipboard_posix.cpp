// The clipboard on Linux, through the tools of the session: wl-copy and wl-paste on Wayland
// ($WAYLAND_DISPLAY), xclip on X11 ($DISPLAY). The program's ANSI text is UTF-8 on the clipboard.
#include <string>
#include <vector>

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

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  std::u16string wide = cp::ToUtf16(ansi);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// UTF-8 to ANSI; a malformed sequence counts as one unknown character.
std::string Utf8ToAnsi(const std::string& utf8) {
  std::u16string wide;
  for (std::size_t i = 0; i < utf8.size();) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    int extra = byte < 0x80 ? 0 : byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
    char32_t c = extra == 0 ? byte : extra == 1 ? byte & 0x1F : extra == 2 ? byte & 0x0F : byte & 7;
    bool ok = extra >= 0 && i + extra < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      auto next = static_cast<unsigned char>(utf8[i + k]);
      ok = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!ok || c > 0x10FFFF) {
      wide += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      wide += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<char16_t>(c);
    }
    i += extra + 1;
  }
  return cp::FromUtf16(wide);
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
      *text = Utf8ToAnsi(result.output);
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
    SysError e = WriteUtf8File(path, AnsiToUtf8(text));
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
    return e;
  }

 private:
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
