// The default printer on Windows: found with GetDefaultPrinter, printed through a printer device
// context with its default font, laid out by print_layout.
#include <windows.h>
// winspool.h needs windows.h first.
#include <winspool.h>

#include <vector>

#include "platform/file_system.h"
#include "platform/print_layout.h"
#include "platform/printer.h"

namespace tsl {
namespace {

SysError SystemFailure() {
  SysError e = NativeError(static_cast<int>(GetLastError()));
  return e.failed() ? e : ErrorOfKind(ErrorKind::kOther);
}

// A printer device context, deleted with its owner; a print job started on it is aborted
// unless it was ended.
class PrinterContext {
 public:
  explicit PrinterContext(const std::string& printer)
      : dc_(CreateDCA("WINSPOOL", printer.c_str(), nullptr, nullptr)) {}
  ~PrinterContext() {
    if (in_job_) AbortDoc(dc_);
    if (dc_) DeleteDC(dc_);
  }
  PrinterContext(const PrinterContext&) = delete;
  PrinterContext& operator=(const PrinterContext&) = delete;

  HDC get() const { return dc_; }
  bool StartJob(const std::string& name) {
    DOCINFOA info{};
    info.cbSize = sizeof info;
    info.lpszDocName = name.c_str();
    in_job_ = StartDocA(dc_, &info) > 0;
    return in_job_;
  }
  bool EndJob() {
    in_job_ = false;
    return EndDoc(dc_) > 0;
  }

 private:
  HDC dc_;
  bool in_job_ = false;
};

int MeasureOn(HDC dc, std::string_view text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

SysError PrintLines(PrinterContext& context, const std::vector<PrintedLine>& lines) {
  HDC dc = context.get();
  int page = -1;
  for (const PrintedLine& line : lines) {
    if (line.page != page) {
      if (page >= 0 && EndPage(dc) <= 0) return SystemFailure();
      if (StartPage(dc) <= 0) return SystemFailure();
      page = line.page;
    }
    for (const PrintedRun& run : line.runs) {
      TextOutA(dc, run.x, line.y, run.text.data(), static_cast<int>(run.text.size()));
    }
  }
  if (page < 0 && StartPage(dc) <= 0) return SystemFailure();  // an empty text: one blank page
  if (EndPage(dc) <= 0) return SystemFailure();
  return {};
}

class Win32Printers : public PrinterService {
 public:
  SysError FindDefaultPrinter(std::string* name, std::string*) override {
    DWORD size = 0;
    GetDefaultPrinterA(nullptr, &size);
    if (size == 0) {
      DWORD code = GetLastError();
      return code == ERROR_INSUFFICIENT_BUFFER || code == 0 ? ErrorOfKind(ErrorKind::kNotFound)
                                                            : NativeError(static_cast<int>(code));
    }
    std::vector<char> buffer(size);
    if (!GetDefaultPrinterA(buffer.data(), &size)) return SystemFailure();
    name->assign(buffer.data());
    if (name->empty()) return ErrorOfKind(ErrorKind::kNotFound);
    return {};
  }

  SysError PrintTextFile(const std::string& printer, const std::string& path,
                         const std::string& job_name, std::string*) override {
    std::string content;
    if (SysError e = Files().ReadWholeFile(path, &content); e.failed()) return e;
    PrinterContext context(printer);
    HDC dc = context.get();
    if (!dc) return SystemFailure();
    TEXTMETRICA metrics{};
    if (!GetTextMetricsA(dc, &metrics)) return SystemFailure();
    PrintPage page;
    page.width = GetDeviceCaps(dc, HORZRES);
    page.height = GetDeviceCaps(dc, VERTRES);
    page.line_height = metrics.tmHeight + metrics.tmExternalLeading;
    std::vector<PrintedLine> lines = LayOutPrintedText(
        content, page, [dc](std::string_view text) { return MeasureOn(dc, text); });
    if (!context.StartJob(job_name)) return SystemFailure();
    if (SysError e = PrintLines(context, lines); e.failed()) return e;
    if (!context.EndJob()) return SystemFailure();
    return {};
  }
};

}  // namespace

PrinterService& SystemPrinters() {
  static Win32Printers printers;
  return printers;
}

}  // namespace tsl
