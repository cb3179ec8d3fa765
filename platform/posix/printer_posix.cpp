// The default printer on Linux: the CUPS default destination (`lpstat -d`), printed with `lp`.
#include <string>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/printer.h"
#include "platform/process.h"

namespace tsl {
namespace {

constexpr const char* kDefaultPrefix = "system default destination: ";

std::string Trimmed(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

ProcessOptions PlainLocale() {
  ProcessOptions options;
  options.environment = {{"LC_ALL", "C"}};  // lpstat's words are parsed
  return options;
}

class PosixPrinters : public PrinterService {
 public:
  SysError FindDefaultPrinter(std::string* name, std::string* why) override {
    ProcessResult result = RunProcess("lpstat", {"-d"}, PlainLocale());
    if (result.error.failed()) {
      if (why) *why = "lpstat could not be started; are the CUPS client programs installed?";
      return ErrorOfKind(ErrorKind::kNotFound);
    }
    std::string::size_type at = result.output.find(kDefaultPrefix);
    if (result.exit_code == 0 && at != std::string::npos) {
      *name = Trimmed(result.output.substr(at + std::string(kDefaultPrefix).size()));
      if (!name->empty()) return {};
    }
    if (why) {
      *why = Trimmed(result.output.empty() ? result.errors : result.output);
      if (why->empty()) *why = "lpstat names no default destination";
    }
    return ErrorOfKind(ErrorKind::kNotFound);
  }

  // CUPS takes text in UTF-8: the program's ANSI text goes to it through a converted copy.
  SysError PrintTextFile(const std::string& printer, const std::string& path,
                         const std::string& job_name, std::string* why) override {
    FileSystem& fs = RealFileSystem();
    std::string text, copy;
    if (SysError e = fs.ReadWholeFile(path, &text); e.failed()) return e;
    if (SysError e = fs.CreateTempFile(fs.TempFolder(), "tslprint", &copy); e.failed()) return e;
    SysError written = WriteWhole(copy, cp::ToUtf8(text));
    SysError printed = written.failed() ? written : RunLp(printer, copy, job_name, why);
    fs.RemoveFile(copy);
    return printed;
  }

 private:
  static SysError WriteWhole(const std::string& path, const std::string& content) {
    std::unique_ptr<WritableFile> file;
    SysError e = RealFileSystem().OpenForWriting(path, WriteMode::kReplace, &file);
    if (e.ok()) e = file->Write(content.data(), content.size());
    SysError closed = file ? file->Close() : SysError{};
    return e.failed() ? e : closed;
  }

  static SysError RunLp(const std::string& printer, const std::string& path,
                        const std::string& job_name, std::string* why) {
    ProcessResult result = RunProcess("lp", {"-d", printer, "-t", job_name, path}, PlainLocale());
    if (result.error.failed()) {
      if (why) *why = "lp could not be started; are the CUPS client programs installed?";
      return ErrorOfKind(ErrorKind::kNotFound);
    }
    if (result.exit_code != 0) {
      if (why) {
        *why = Trimmed(result.errors.empty() ? result.output : result.errors);
        if (why->rfind("lp:", 0) != 0) *why = "lp: " + *why;  // CUPS' messages name it already
      }
      return ErrorOfKind(ErrorKind::kOther);
    }
    return {};
  }
};

}  // namespace

PrinterService& SystemPrinters() {
  static PosixPrinters printers;
  return printers;
}

}  // namespace tsl
