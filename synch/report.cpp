// Writing the comparison report.
#include "synch/report.h"

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/locale.h"
#include "resources/string_table.h"
#include "synch/folder_scan.h"
#include "services/text_format.h"

namespace tsl {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kTicksPerDay = 86400 * kTicksPerSecond;
constexpr std::size_t kChunk = 64 * 1024;

std::string ReplaceIgnoringCase(const std::string& text, std::string_view find,
                                const std::string& replacement) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    if (at + find.size() <= text.size() &&
        cp::EqualsIgnoreCase(std::string_view(text).substr(at, find.size()), find)) {
      out += replacement;
      at += find.size();
    } else {
      out += text[at++];
    }
  }
  return out;
}

std::string Title(const SynchSettings& s, const ColumnList& columns, const EscapeCoding& coding) {
  if (!s.output_header.empty()) {
    std::string title = ReplaceIgnoringCase(s.output_header, "<DT_PATH1>", s.source_folder);
    title = ReplaceIgnoringCase(title, "<DT_PATH2>", s.target_folder);
    return ReplaceIgnoringCase(title, "<DT_MASK>", s.mask);
  }
  std::string title;
  const std::string& name = s.output_file;
  if (name.size() >= 3 &&
      cp::EqualsIgnoreCase(std::string_view(name).substr(name.size() - 3), "dto")) {
    title = "Format=" + WriteColumns(columns, coding) + kLineEnd;
  }
  return title + FormatText(TableText(text_id::kComparisonTitle),
                            {s.mask, s.source_folder, s.target_folder});
}

std::string HeaderLine(const HalfColumns& halves) {
  std::string line;
  for (const ColumnList* half : {&halves.source, &halves.target}) {
    for (const Column& column : *half) line += column.text;
  }
  return line + kLineEnd;
}

// The status texts of a pair: identical, else which side is newer, else different.
struct PairStatusTexts {
  std::string identical = TableText(text_id::kIdentical);
  std::string file2_newer = TableText(text_id::kFile2Newer);
  std::string file1_newer = TableText(text_id::kFile1Newer);
  std::string different = TableText(text_id::kDifferent);

  const std::string& Of(const FilePair& pair) const {
    if (pair.identical) return identical;
    if (pair.source.compare_state == kOlder) return file2_newer;
    if (pair.target.compare_state == kOlder) return file1_newer;
    return different;
  }
};

enum class Kind { kSourceOnly, kPair, kTargetOnly };

// The order of the body: grouped, or the three lists merged by the sort order.
class BodyOrder {
 public:
  BodyOrder(const FileLists& lists, const SynchSettings& s)
      : lists_(lists),
        grouped_(s.group_files || s.sort_key == -1),
        key_(s.sort_key),
        ascending_(s.sort_ascending) {}

  bool Next(Kind* kind, std::size_t* index) {
    bool has_s = s_ < lists_.source.size(), has_p = p_ < lists_.pairs.size();
    bool has_t = t_ < lists_.target.size();
    if (!has_s && !has_p && !has_t) return false;
    *kind = grouped_ ? Grouped(has_s, has_p) : Merged(has_s, has_p, has_t);
    std::size_t& cursor = *kind == Kind::kSourceOnly ? s_ : *kind == Kind::kPair ? p_ : t_;
    *index = cursor++;
    return true;
  }

 private:
  static Kind Grouped(bool has_s, bool has_p) {
    return has_s ? Kind::kSourceOnly : has_p ? Kind::kPair : Kind::kTargetOnly;
  }

  int Compare(const FileRecord& a, const FileRecord& b) const {
    return CompareBySortKey(a, b, key_, ascending_);
  }

  Kind Merged(bool has_s, bool has_p, bool has_t) const {
    const FileRecord* S = has_s ? &lists_.source[s_] : nullptr;
    const FileRecord* P = has_p ? &lists_.pairs[p_].source : nullptr;
    const FileRecord* T = has_t ? &lists_.target[t_] : nullptr;
    if (S && P && T) {
      int f = Compare(*S, *P), g = Compare(*P, *T);
      if (f < 0 && g > 0) return Compare(*S, *T) <= 0 ? Kind::kSourceOnly : Kind::kTargetOnly;
      if (f == 0 && g == 0) return Kind::kSourceOnly;
      if (f < 0) return Kind::kSourceOnly;
      if (g > 0) return Kind::kTargetOnly;
      return Kind::kPair;
    }
    if (S && P) return Compare(*S, *P) < 0 ? Kind::kSourceOnly : Kind::kPair;
    if (S && T) return Compare(*S, *T) <= 0 ? Kind::kSourceOnly : Kind::kTargetOnly;
    if (P && T) return Compare(*P, *T) > 0 ? Kind::kTargetOnly : Kind::kPair;
    return S ? Kind::kSourceOnly : P ? Kind::kPair : Kind::kTargetOnly;
  }

  const FileLists& lists_;
  bool grouped_;
  int key_;
  bool ascending_;
  std::size_t s_ = 0, p_ = 0, t_ = 0;
};

void WriteBody(const FileLists& lists, const ReportContext& c, const HalfColumns& halves,
               std::string* buffer, ReportOutput& out) {
  const SynchSettings& s = c.settings;
  std::size_t total = lists.source.size() + lists.pairs.size() + lists.target.size();
  std::unique_ptr<JobProgress> progress;
  if (s.show_progress) {
    progress = c.services.OpenProgress(
        static_cast<std::int64_t>(total), c.cancel,
        s.custom_message.empty() ? TableText(text_id::kCreatingReport) : s.custom_message);
  }
  const std::string only_in_1 = TableText(text_id::kOnlyInDir1);
  const std::string only_in_2 = TableText(text_id::kOnlyInDir2);
  const PairStatusTexts pair_status;
  BodyOrder order(lists, s);
  Kind kind;
  std::size_t index = 0, line = 0;
  while (order.Next(&kind, &index)) {
    if (progress) progress->SetPosition(static_cast<std::int64_t>(line++));
    if (c.cancel && *c.cancel) break;
    if (kind == Kind::kSourceOnly) {
      WriteHalfLine(buffer, halves.source, &lists.source[index], s.source_folder, only_in_1,
                    c.times);
      WriteHalfLine(buffer, halves.target, nullptr, s.target_folder, "", c.times);
    } else if (kind == Kind::kPair) {
      const FilePair& pair = lists.pairs[index];
      WriteHalfLine(buffer, halves.source, &pair.source, s.source_folder, pair_status.Of(pair),
                    c.times);
      WriteHalfLine(buffer, halves.target, &pair.target, s.target_folder, "", c.times);
    } else {
      WriteHalfLine(buffer, halves.source, nullptr, s.source_folder, only_in_2, c.times);
      WriteHalfLine(buffer, halves.target, &lists.target[index], s.target_folder, "", c.times);
    }
    *buffer += kLineEnd;
    if (buffer->size() >= kChunk) {
      out.Write(*buffer);
      buffer->clear();
    }
  }
  if (progress) progress->Close();
}

}  // namespace

HalfColumns SplitHalves(const ColumnList& columns) {
  HalfColumns halves{columns, columns};
  if (columns.size() < 2 || !columns.front().is_literal || !columns.back().is_literal) {
    return halves;
  }
  // The last run of field columns, then the nearest literal column before it.
  std::size_t i = columns.size();
  while (i > 0 && columns[i - 1].is_literal) --i;
  if (i == 0) return halves;  // no field column at all
  while (i > 0 && !columns[i - 1].is_literal) --i;
  if (i == 0) return halves;
  halves.source.back().text = columns[i - 1].text;
  halves.target.front().text.clear();
  return halves;
}

void WriteHalfLine(std::string* out, const ColumnList& columns, const FileRecord* record,
                   const std::string& root, const std::string& status, TimeFormatter& times) {
  for (const Column& column : columns) {
    if (column.is_literal) {
      *out += column.text;
    } else if (column.IsDescription()) {
      *out += status;
    } else if (record) {
      for (const ColumnItem& item : column.items) {
        if (item.is_field) {
          AppendFieldText(out, item.field, *record, root, status, times);
        } else {
          *out += item.text;
        }
      }
    }
  }
}

std::string OptionsLine(const SynchSettings& s) {
  std::string line;
  auto add = [&line](const std::string& text) {
    if (!line.empty()) line += ", ";
    line += text;
  };
  if (s.match_in_subfolders) add(TableText(text_id::kMatchDuplicates));
  if (s.show_identical) add(TableText(text_id::kDisplayIdentical));
  if (s.show_different) add(TableText(text_id::kDisplayDifferent));
  if (s.show_files_in_one_folder) add(TableText(text_id::kDisplayOnlyInOne));
  if (s.check_same_size_files) {
    std::string binary = TableText(text_id::kBinaryCompare);
    add(binary.substr(0, binary.find('\n')));
  }
  return line;
}

void WriteReport(const FileLists& lists, const ReportContext& c, ReportOutput& out) {
  const SynchSettings& s = c.settings;
  HalfColumns halves = SplitHalves(c.columns);
  std::string buffer = Title(s, c.columns, c.coding);
  buffer += OptionsLine(s) + kLineEnd;
  buffer += HeaderLine(halves);
  WriteBody(lists, c, halves, &buffer, out);
  buffer += s.output_footer.empty() ? std::string(kLineEnd) : s.output_footer;
  out.Write(buffer);
}

const std::string& CachingTimeFormatter::Date(FileTime local) {
  if (local <= 0) return none_;
  std::int64_t day = local / kTicksPerDay;
  if (day == last_day_) return last_date_;
  auto found = dates_.find(day);
  if (found == dates_.end()) {
    std::optional<CalendarTime> calendar = ToCalendar(local);
    found = dates_.emplace(day, calendar ? FormatWithPicture(date_picture_, *calendar) : "").first;
  }
  last_day_ = day;
  last_date_ = found->second;
  return last_date_;
}

const std::string& CachingTimeFormatter::Time(FileTime local) {
  if (local <= 0) return none_;
  if (times_.needs_date()) {
    std::optional<CalendarTime> calendar = ToCalendar(local);
    time_ = calendar ? FormatWithPicture(times_.picture(), *calendar) : "";
    return time_;
  }
  std::int64_t second = local / kTicksPerSecond % 86400;
  time_.clear();
  times_.Append(&time_, static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60),
                static_cast<int>(second % 60));
  return time_;
}

TimePictureFormatter::TimePictureFormatter(const std::string& picture)
    : picture_(picture), am_(TimeMarker(false)), pm_(TimeMarker(true)) {
  std::size_t i = 0;
  while (i < picture.size()) {
    char letter = picture[i];
    if (letter == '\'') {  // quoted text; '' stands for one quote
      std::string text;
      for (++i; i < picture.size(); ++i) {
        if (picture[i] != '\'') {
          text += picture[i];
        } else if (i + 1 < picture.size() && picture[i + 1] == '\'') {
          text += '\'';
          ++i;
        } else {
          ++i;
          break;
        }
      }
      elements_.push_back({0, 0, text});
      continue;
    }
    int count = 1;
    while (i + count < picture.size() && picture[i + count] == letter) ++count;
    bool known = std::string_view("hHmst").find(letter) != std::string_view::npos;
    if (std::string_view("dMy").find(letter) != std::string_view::npos) needs_date_ = true;
    elements_.push_back({known ? letter : '\0', count, known ? "" : std::string(count, letter)});
    i += count;
  }
}

void TimePictureFormatter::Append(std::string* out, int hour, int minute, int second) const {
  auto number = [out](int value, int count) {
    if (count >= 2 || value >= 10) *out += static_cast<char>('0' + value / 10 % 10);
    *out += static_cast<char>('0' + value % 10);
  };
  for (const Element& e : elements_) {
    switch (e.letter) {
      case 'h':
        number(hour % 12 == 0 ? 12 : hour % 12, e.count);
        break;
      case 'H':
        number(hour, e.count);
        break;
      case 'm':
        number(minute, e.count);
        break;
      case 's':
        number(second, e.count);
        break;
      case 't': {
        const std::string& marker = hour >= 12 ? pm_ : am_;
        *out += e.count == 1 ? marker.substr(0, 1) : marker;
        break;
      }
      default:
        *out += e.text;
    }
  }
}

}  // namespace tsl
