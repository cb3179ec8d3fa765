// Printing text on the default printer: Windows' default printer through GDI, or on Linux the
// CUPS default destination through `lpstat -d` and `lp`.
#pragma once

#include <string>

#include "platform/error.h"

namespace tsl {

class PrinterService {
 public:
  virtual ~PrinterService() = default;

  /// The default printer's name, found without asking the user. kNotFound when there is none;
  /// `*why` gets the system's own words when there are some.
  virtual SysError FindDefaultPrinter(std::string* name, std::string* why) = 0;
  /// Prints a text file (8-bit text, lines ended by LF or CR LF) on `printer` as one job
  /// called `job_name`.
  virtual SysError PrintTextFile(const std::string& printer, const std::string& path,
                                 const std::string& job_name, std::string* why) = 0;
};

/// The printer service in force: the system's, unless a test has put another in force.
PrinterService& Printers();
/// The system's printer service.
PrinterService& SystemPrinters();

/// Puts another printer service in force for its lifetime.
class ScopedPrinters {
 public:
  explicit ScopedPrinters(PrinterService& replacement);
  ~ScopedPrinters();
  ScopedPrinters(const ScopedPrinters&) = delete;
  ScopedPrinters& operator=(const ScopedPrinters&) = delete;

 private:
  PrinterService* previous_;
};

}  // namespace tsl
