// Helpers shared by the unit and end-to-end tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"

namespace tsl::testing {

/// A fresh folder under the system's temporary folder, deleted with everything in it when the
/// object goes away.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  /// The folder, without a closing separator.
  const std::string& path() const { return path_; }
  /// The folder joined with a relative path written with `/` (turned into native separators).
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

/// Sets (or, with no value, removes) an environment variable while it lives.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::string& name, const std::optional<std::string>& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

/// Scripted answers for the questions the code under test asks, and their transcript in a file,
/// while it lives; at the end the environment is as before and the message settings are read
/// again.
class ScriptedQuestions {
 public:
  explicit ScriptedQuestions(const std::string& transcript_path);
  ~ScriptedQuestions();
  ScriptedQuestions(const ScriptedQuestions&) = delete;
  ScriptedQuestions& operator=(const ScriptedQuestions&) = delete;

  /// The answers from now on, in order.
  void Answers(const std::string& answers);
  /// The transcript's lines so far; the transcript then starts again empty.
  std::vector<std::string> TakeTranscript();

 private:
  std::string transcript_path_;
  std::optional<ScopedEnvironment> transcript_;
  std::optional<ScopedEnvironment> answers_;
};

/// Native separator of the platform under test.
char Separator();

/// Turns `/` into the native separator.
std::string Native(const std::string& path);

/// Writes (replacing) or reads a whole file; failures fail the current test.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

/// Makes a folder and its missing parents.
void MakeFolders(const std::string& path);

/// Writes a file with the given last write (and access) time, making its missing folders.
void WriteFileAt(const std::string& path, const std::string& content, FileTime modified);

/// A folder tree read back: relative path ("/" style) -> content, `kFolderMark` for a folder.
using FileTree = std::map<std::string, std::string>;
inline constexpr const char kFolderMark[] = "<folder>";
FileTree ReadTree(const std::string& folder);

/// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder);
/// A folder's listing (which must succeed), sorted by name.
std::vector<DirEntry> SortedListing(const std::string& folder);

/// Deletes a folder and everything in it.
void RemoveTree(const std::string& path);

/// Path of a program built beside the tests (a Linux path is turned into Wine's Z: form on
/// Windows).
std::string BuiltProgram(const std::string& linux_path);

/// Path of the TslRun program built beside the tests (a file with a version resource on
/// Windows).
std::string TslRunProgram();

/// Runs TslRun with one argument in `folder`, with the answers and a transcript file; gives
/// the process result and fills `transcript` with the transcript's lines.
ProcessResult RunTslRun(const std::string& argument, const std::string& folder,
                        const std::string& answers, std::vector<std::string>* transcript,
                        const std::vector<std::pair<std::string, std::string>>& environment = {});

/// As RunTslRun, with TslRun started through another program: `wrapper` holds that program and
/// its first arguments (`timeout 60`, `setpriv --reuid=...`), and TslRun's path and argument
/// follow them. For Linux tests.
ProcessResult RunTslRunWrapped(const std::vector<std::string>& wrapper, const std::string& argument,
                               const std::string& folder, const std::string& answers,
                               std::vector<std::string>* transcript,
                               const std::vector<std::pair<std::string, std::string>>& environment);

/// Runs a program of the host system (under Wine: a Unix program, by its Unix path, e.g.
/// "/bin/ln") with arguments; arguments that begin with `@` are paths of this system, given to
/// the program as the host names them. False (with the reason as a test failure) when it fails.
bool RunOnHost(const std::string& program, const std::vector<std::string>& arguments);

/// A symbolic link made by the host system (under Wine, a Unix link that Windows programs see
/// as a reparse point when it leads to a folder, and as the file itself when it leads to a file).
/// False when the host cannot make one (Windows proper).
bool MakeHostLink(const std::string& target, const std::string& link);

/// Writes a file with its time under a name that may differ only in letter case from a file in
/// the same folder (Windows programs would open that file instead under Wine). False when the
/// host cannot (Windows proper).
bool WriteHostFileAt(const std::string& path, const std::string& content, FileTime modified);

/// A text as the transcript writes it: `\` doubled, LF, CR and tab as `\n`, `\r`, `\t`.
std::string TranscriptText(const std::string& text);

/// Splits a text into lines at LF (a CR before it is dropped); no empty last line.
std::vector<std::string> SplitLines(const std::string& text);
/// Joins lines, each ending with CR LF (the line end of scripts and results).
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace tsl::testing
