// The CUPS server that the test command starts for the printing tests (tools/test-services.sh):
// its default destination "PDF" is a PDF printer, and it keeps each job's state and document in
// its spool folder, where the tests find their jobs and read what reached the server.
#pragma once

#include <optional>
#include <string>

namespace tsl::testing {

struct PrintServer {
  std::string socket;       // the server's socket, as the host names it (for CUPS_SERVER)
  std::string spool;        // its spool folder, as this system names it
  std::string host_spool;   // the same folder as the host names it
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
/// As WaitForPrintedJob, for the first job whose title (the path of the file it printed) lies in
/// `folder`.
bool WaitForPrintedJobFrom(const PrintServer& server, const std::string& folder, int seconds,
                           PrintedJob* job);

/// Whether the server has a job called `title`, ended or not.
bool HasPrintJob(const PrintServer& server, const std::string& title);

/// The text of a job whose document is PostScript (what Wine's printer driver sends), made into
/// a PDF by the host's Ghostscript as the printer does and read by the host's pdftotext in
/// layout mode: UTF-8, each page ended by a form feed. False (with the reason as a test failure)
/// when it could not be read within `seconds`.
bool ReadPdfText(const PrintServer& server, const PrintedJob& job, int seconds, std::string* text);

}  // namespace tsl::testing
