// Result lines: the hit line's context, the marker conversions to plain text and HTML, and the
// output that receives them.
#include "filereplace/result_output.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/locale.h"

namespace tsl {
namespace {

constexpr std::string_view kHtmlPreamble =
    "<html>\r\n<head><title>Findmend Search Results</title></head>\r\n"
    "<body vlink=\"#ff0080\">\r\n";

bool IsTextByte(unsigned char b) { return b == '\t' || (b >= 32 && b <= 126) || b >= 161; }
bool IsLineBreak(unsigned char b) { return b == '\r' || b == '\n'; }

// Where the context of a hit starts: the start of its line (text), or after the last byte that is
// not text (binary), but at most `most` bytes before it.
std::int64_t ContextStart(const unsigned char* chunk, std::int64_t length, std::int64_t at,
                          const HitLineInput& hit, std::int64_t most) {
  std::int64_t start = at;
  const std::int64_t floor = std::max<std::int64_t>(0, at - most);
  if (hit.binary) {
    while (start > floor && IsTextByte(chunk[start - 1])) --start;
  } else {
    while (start > floor && !IsLineBreak(chunk[start - 1])) --start;
  }
  // A UTF-16 file's byte order mark is no part of its first line.
  if (hit.utf16 && start < 2 && at >= 2 && length >= 2 && chunk[0] == 0xFF && chunk[1] == 0xFE) {
    start = 2;
  }
  return start;
}

// Step 5 for a line without the summary marker.
std::string HtmlHitText(std::string_view line) {
  std::string text(line);
  ReplaceFirstMarker(text, result_marker::kMessage, "");
  std::string out;
  out.reserve(text.size() + 32);
  for (char c : text) {
    unsigned char b = static_cast<unsigned char>(c);
    if ((b >= 35 && b <= 47) || (b >= 58 && b <= 64) || (b >= 91 && b <= 96) ||
        (b >= 123 && b <= 127) || b >= 160) {
      out += "&#" + std::to_string(b) + ";";
    } else {
      out += c;
    }
  }
  ReplaceFirstMarker(out, result_marker::kHitStart, "<B><FONT COLOR=\"#dc3403\">");
  ReplaceFirstMarker(out, result_marker::kHitEnd, "</FONT></B>");
  return "<NOBR>" + out + "</NOBR><BR>";
}

std::string FormatNow(JobServices& services, const CalendarTime& time) {
  return FormatWithPicture(services.ShortDatePicture(), time) + " " +
         FormatWithPicture(services.TimePicture(), time);
}

}  // namespace

std::string FormatHitLine(const HitLineInput& hit) {
  const auto* chunk = reinterpret_cast<const unsigned char*>(hit.chunk);
  const std::int64_t length = chunk ? std::max<std::int64_t>(0, hit.chunk_length) : 0;
  const std::int64_t at = std::clamp<std::int64_t>(hit.offset_in_chunk, 0, length);
  const std::int64_t end = at + std::clamp<std::int64_t>(hit.found_length, 0, length - at);
  const std::int64_t most = std::max(0, hit.max_display_chars);
  char prefix[64];
  if (hit.binary) {
    std::snprintf(prefix, sizeof prefix, "Offset 0x%-6" PRIx64 " - ",
                  static_cast<std::uint64_t>(hit.file_offset));
  } else {
    std::snprintf(prefix, sizeof prefix, "Line %3" PRId64 " - ", hit.line_number);
  }
  std::string out = prefix;
  const std::int64_t limit = std::min(length, end + most);
  bool started = false, ended = false;
  for (std::int64_t i = ContextStart(chunk, length, at, hit, most);; ++i) {
    if (i == at) {
      out += result_marker::kHitStart;
      started = true;
    }
    if (i == end && started && !ended) {
      out += result_marker::kHitEnd;
      ended = true;
    }
    if (i >= limit) break;
    const unsigned char b = chunk[i];
    // Once the occurrence is out, the line ends at the next line break (text) or byte that is
    // not text (binary).
    if (i >= end && (hit.binary ? !IsTextByte(b) : IsLineBreak(b))) break;
    if (hit.utf16 && b == 0) continue;
    out += b == '\t' || !IsTextByte(b) ? ' ' : static_cast<char>(b);
  }
  if (started && !ended) out += result_marker::kHitEnd;
  return out;
}

std::string DateLine(FileTime modified_local, std::uint64_t size, JobServices& services) {
  std::string line(result_marker::kMessage);
  if (std::optional<CalendarTime> time =
          modified_local != 0 ? ToCalendar(modified_local) : std::nullopt) {
    line += FormatNow(services, *time) + ", ";
  }
  // The whole size: its low 32 bits alone would misstate every file of 4 GB or more.
  return line + std::to_string(size) + " bytes";
}

std::string PlainResultText(std::string_view line, std::string_view before_hit,
                            std::string_view after_hit) {
  std::string text(line);
  if (text.find(result_marker::kSummary) != std::string::npos) {
    ReplaceFirstMarker(text, result_marker::kSummary, "");
    return text;
  }
  ReplaceFirstMarker(text, result_marker::kMessage, "");
  ReplaceFirstMarker(text, result_marker::kHitStart, before_hit);
  ReplaceFirstMarker(text, result_marker::kHitEnd, after_hit);
  return text;
}

std::string HtmlResultText(std::string_view line) {
  if (line.starts_with(result_marker::kSummary)) {
    return "<BR><NOBR><B><FONT COLOR=\"#0000ff\">" +
           std::string(line.substr(result_marker::kSummary.size())) + "</FONT></B></NOBR><BR>";
  }
  std::string_view::size_type at = line.find(result_marker::kSummary);
  if (at == std::string_view::npos) return HtmlHitText(line);
  std::string path(line.substr(at + result_marker::kSummary.size()));
  return "<BR><NOBR>" + std::string(line.substr(0, at)) + "<A HREF=\"file://" + path +
         "\"><B><FONT COLOR=\"#0000ff\">" + path + "</FONT></B></A></NOBR><BR>";
}

void ResultOutput::Open(const std::string& name, bool append, std::string before_hit,
                        std::string after_hit) {
  Close();
  before_hit_ = std::move(before_hit);
  after_hit_ = std::move(after_hit);
  html_ = false;
  if (name.empty()) return;
  output_ = services_.OpenOutput(name, append);
  if (!output_) {
    // The user has been shown why; the result list says that the output is missing.
    lines_.push_back("Error writing to output file " + name);
    return;
  }
  html_ = cp::EndsWithIgnoreCase(name, ".htm") || cp::EndsWithIgnoreCase(name, ".html");
  if (html_) output_->Write(kHtmlPreamble);
}

void ResultOutput::WriteHeader(const ResultHeader& header) {
  if (!output_) return;
  std::string block = FormatNow(services_, services_.LocalNow()) + "\r\n";
  block += "Search String: " + header.search + "\r\n";
  block += "Replace String: " + header.replace + "\r\n";
  block += "Path: " + header.folder + "\r\n";
  block += "File Mask: " + header.mask + "\r\n";
  for (std::size_t i = 0; i < header.options.size(); ++i) {
    block += (i ? ", " : "") + header.options[i];
  }
  if (!html_) {
    output_->Write(block + "\r\n");
    return;
  }
  std::string converted = HtmlHitText(block);
  std::string out;
  for (char c : converted) {
    if (c == '\n') {
      out += "</NOBR><BR><NOBR>";
    } else if (c != '\r') {
      out += c;
    }
  }
  output_->Write(out + "\r\n");
}

void ResultOutput::BeginFile(const std::string& path, std::string date_line) {
  pending_file_ = FileLine(path);
  pending_date_ = std::move(date_line);
}

void ResultOutput::EndFile() {
  pending_file_.clear();
  pending_date_.clear();
}

void ResultOutput::AddLine(std::string_view line) {
  if (!pending_file_.empty() && !line.starts_with(result_marker::kSummary)) {
    Emit(pending_file_);
    if (!pending_date_.empty()) Emit(pending_date_);
    EndFile();
  }
  Emit(line);
}

void ResultOutput::Emit(std::string_view line) {
  if (!output_) {
    lines_.emplace_back(line);
    return;
  }
  // A failed write is remembered by the output itself, which writes nothing more and reports
  // the failure when it is closed.
  output_->Write((html_ ? HtmlResultText(line) : PlainResultText(line, before_hit_, after_hit_)) +
                 "\r\n");
}

void ResultOutput::Close() {
  if (!output_) return;
  output_->Close();
  output_.reset();
}

}  // namespace tsl
