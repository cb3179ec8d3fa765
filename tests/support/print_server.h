// The CUPS server that the test command starts for the printing tests (tools/test-services.sh):
// its default destination "PDF" writes a PDF file, and it keeps each job's state and document in
// its spool folder, where the tests find a job by its title and read what reached the server.
#pragma once

#include <optional>
#include <string>

namespace tsl::testing {

struct PrintServer {
  std::string socket;       // the server's socket, as the host names it (for CUPS_SERVER)
  std::string spool;        // its spool folder, as this system names it
  std::string output;       // the PDF file its printer writes, as this system names it
  std::string host_output;  // the same file as the host names it
};

/// The server the test command started, or nothing with `*why` saying why there is none.
std::optional<PrintServer> FindPrintServer(std::string* why);

/// A job's end as the server recorded it.
struct PrintedJob {
  int id = 0;
  int state = 0;         // IPP job state: 6 stopped, 7 canceled, 8 aborted, 9 completed
  std::string document;  // the document the server received, byte for byte
};

/// Waits, at most `seconds`, until the job called `title` has ended. False (with the reason as
/// a test failure) when no such job ended in time.
bool WaitForPrintedJob(const PrintServer& server, const std::string& title, int seconds,
                       PrintedJob* job);
/// As WaitForPrintedJob, for the first job after job number `after`.
bool WaitForPrintedJobAfter(const PrintServer& server, int after, int seconds, PrintedJob* job);

/// The number of the server's last job (0 before the first).
int LastPrintJob(const PrintServer& server);

/// The text of the PDF file that the server's printer wrote last, as the host's pdftotext reads
/// it in layout mode (UTF-8, each page ended by a form feed). False (with the reason as a test
/// failure) when it could not be read within `seconds`.
bool ReadPdfText(const PrintServer& server, int seconds, std::string* text);

}  // namespace tsl::testing
