#include "services/result_lines.h"

#include "services/job_services.h"

namespace tsl {

std::string MessageLine(std::string_view text) {
  return std::string(text) + std::string(result_marker::kMessage);
}

std::string SummaryLine(std::string_view text) {
  return std::string(result_marker::kSummary) + std::string(text);
}

std::string FileLine(std::string_view path) {
  return "Processing file : " + std::string(result_marker::kSummary) + std::string(path);
}

std::string HitText(std::string_view value) {
  return std::string(result_marker::kHitStart) + std::string(value) +
         std::string(result_marker::kHitEnd);
}

void ReplaceFirstMarker(std::string& text, std::string_view marker, std::string_view by) {
  std::string::size_type at = text.find(marker);
  if (at != std::string::npos) text.replace(at, marker.size(), by);
}

std::string UnmarkedLine(std::string_view line) {
  std::string text(line);
  for (std::string_view marker : {result_marker::kMessage, result_marker::kSummary,
                                  result_marker::kHitStart, result_marker::kHitEnd}) {
    ReplaceFirstMarker(text, marker, "");
  }
  return text;
}

void ResultLineWriter::Write(std::string_view line) {
  if (output_ == nullptr) return;
  output_->Write(UnmarkedLine(line) + "\r\n");
}

}  // namespace tsl
