// Result lines of the file replace and shortcut jobs: single-byte text with two-byte in-band
// markers that say what kind of line it is and where a hit (a found or changed value) lies.
#pragma once

#include <string>
#include <string_view>

namespace tsl {

class ReportOutput;

namespace result_marker {
/// At a line's start: a summary line; inside: parts a file line's label from the path.
inline constexpr std::string_view kSummary = "\x01\x01";
inline constexpr std::string_view kHitStart = "\x01\x02";
inline constexpr std::string_view kHitEnd = "\x01\x03";
/// A message line (whole-file modes, counts, the date line).
inline constexpr std::string_view kMessage = "\x01\x02\x01\x03";
}  // namespace result_marker

std::string MessageLine(std::string_view text);
std::string SummaryLine(std::string_view text);
/// "Processing file : ", the summary marker, the path.
std::string FileLine(std::string_view path);
/// `value` between the hit start and hit end markers.
std::string HitText(std::string_view value);

/// Replaces the first `marker` of `text`, if any, by `by`.
void ReplaceFirstMarker(std::string& text, std::string_view marker, std::string_view by);

/// A line as the shortcut job writes it: the first message marker, summary marker, hit start and
/// hit end taken out (in that order), nothing else changed.
std::string UnmarkedLine(std::string_view line);

/// Writes result lines to an output as plain text, each ended with CR LF. Without an output the
/// lines go nowhere.
class ResultLineWriter {
 public:
  explicit ResultLineWriter(ReportOutput* output) : output_(output) {}
  void Write(std::string_view line);

 private:
  ReportOutput* output_;
};

}  // namespace tsl
