// The default printer on Linux: the CUPS default destination (`lpstat -d`), printed with `lp`.
#include <string>

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

  SysError PrintTextFile(const std::string& printer, const std::string& path,
                         const std::string& job_name, std::string* why) override {
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
