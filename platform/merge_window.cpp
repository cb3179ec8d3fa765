#include "platform/merge_window.h"

#include <algorithm>
#include <istream>
#include <optional>
#include <ostream>
#include <utility>

#include "platform/code_page.h"

namespace tsl {

std::string OneLineText(const std::string& text, std::size_t limit) {
  std::string shown;
  for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      shown += '^';
      shown += static_cast<char>(c ^ 0x40);  // ^@ ^A ... ^_ and ^? for 127
    } else {
      shown += static_cast<char>(c);
    }
  }
  if (text.size() > limit) shown += "...";
  return shown;
}

MergeList::MergeList(std::vector<MergeRow> rows, const CompareOptions& options)
    : rows_(std::move(rows)), deleted_(rows_.size(), false), options_(options) {
  Relist();
}

void MergeList::SetOptions(const CompareOptions& options) {
  options_ = options;
  Relist();
}

MergeRowKind MergeList::KindOf(std::size_t index) const {
  const MergeRow& row = rows_[index];
  if (row.deletes) return MergeRowKind::kOnlyInRegistry;
  if (!row.in_registry) return MergeRowKind::kOnlyInFile;
  bool same = options_.case_sensitive ? row.reg_data == row.registry_data
                                      : cp::EqualsIgnoreCase(row.reg_data, row.registry_data);
  return same ? MergeRowKind::kSame : MergeRowKind::kDifferent;
}

std::size_t MergeList::hidden() const {
  std::size_t kept = static_cast<std::size_t>(std::count(deleted_.begin(), deleted_.end(), false));
  return kept - listed_.size();
}

bool MergeList::Delete(std::size_t number) {
  if (number < 1 || number > listed_.size()) return false;
  deleted_[listed_[number - 1]] = true;
  listed_.erase(listed_.begin() + static_cast<std::ptrdiff_t>(number - 1));
  return true;
}

std::vector<std::size_t> MergeList::Kept() const {
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!deleted_[i]) kept.push_back(i);
  }
  return kept;
}

void MergeList::Relist() {
  listed_.clear();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (deleted_[i]) continue;
    bool shown = false;
    switch (KindOf(i)) {
      case MergeRowKind::kOnlyInFile:
        shown = options_.show_only_in_file;
        break;
      case MergeRowKind::kOnlyInRegistry:
        shown = options_.show_only_in_registry;
        break;
      case MergeRowKind::kSame:
        shown = options_.show_same;
        break;
      case MergeRowKind::kDifferent:
        shown = options_.show_different;
        break;
    }
    if (shown) listed_.push_back(i);
  }
}

namespace {

// Data longer than this is shortened on the terminal.
constexpr std::size_t kShownData = 200;

void ListRows(const std::string& reg_file, const MergeList& list, std::ostream& out) {
  out << "Reg File to Registry Compare and Merge: " << reg_file << "\n";
  const std::vector<std::size_t>& listed = list.listed();
  for (std::size_t n = 0; n < listed.size(); ++n) {
    const MergeRow& row = list.row(listed[n]);
    std::string number = std::to_string(n + 1);
    if (number.size() < 4) number.insert(0, 4 - number.size(), ' ');
    out << number << "  Key Path:      " << OneLineText(row.key_path, kShownData) << "\n"
        << "      Value Name:    " << OneLineText(row.value_name, kShownData) << "\n"
        << "      .REG Data:     " << OneLineText(row.reg_data, kShownData) << "\n"
        << "      Registry Data: " << OneLineText(row.registry_data, kShownData) << "\n";
  }
  if (listed.empty()) out << "  (no lines listed)\n";
  if (std::size_t hidden = list.hidden()) {
    out << "  " << hidden << " more line(s) hidden by the options; they are merged too.\n";
  }
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\t')) {
    text.pop_back();
  }
  std::size_t first = text.find_first_not_of(" \t");
  return first == std::string::npos ? "" : text.substr(first);
}

// The line numbers of an answer such as "3", "2 5" or "2,5"; nothing when it holds anything
// else.
std::optional<std::vector<std::size_t>> LineNumbers(const std::string& answer) {
  std::vector<std::size_t> numbers;
  std::size_t i = 0;
  while (i < answer.size()) {
    if (answer[i] == ' ' || answer[i] == ',' || answer[i] == '\t') {
      ++i;
      continue;
    }
    if (answer[i] < '0' || answer[i] > '9') return std::nullopt;
    std::size_t number = 0;
    for (; i < answer.size() && answer[i] >= '0' && answer[i] <= '9'; ++i) {
      if (number < 1000000000) number = number * 10 + static_cast<std::size_t>(answer[i] - '0');
    }
    numbers.push_back(number);
  }
  if (numbers.empty()) return std::nullopt;
  return numbers;
}

// Asks one option; nothing at the end of the input.
std::optional<bool> AskOption(const char* question, bool current, std::istream& in,
                              std::ostream& out) {
  for (;;) {
    out << "  " << question << " (y/n) [" << (current ? 'y' : 'n') << "]? " << std::flush;
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    line = Trimmed(line);
    if (line.empty()) return current;
    if (line == "y" || line == "Y") return true;
    if (line == "n" || line == "N") return false;
  }
}

bool ChangeOptions(MergeList* list, std::istream& in, std::ostream& out) {
  CompareOptions options = list->options();
  out << "Compare Options (Enter keeps the answer in brackets):\n";
  struct Choice {
    const char* question;
    bool* value;
  } choices[] = {
      {"Show values only in the .REG file", &options.show_only_in_file},
      {"Show values only in the registry", &options.show_only_in_registry},
      {"Show same values", &options.show_same},
      {"Show different values", &options.show_different},
      {"Case sensitive", &options.case_sensitive},
  };
  for (const Choice& choice : choices) {
    std::optional<bool> answer = AskOption(choice.question, *choice.value, in, out);
    if (!answer) return false;
    *choice.value = *answer;
  }
  list->SetOptions(options);
  return true;
}

}  // namespace

MergeOutcome ConverseMerge(const std::string& reg_file, MergeList* list, std::istream& in,
                           std::ostream& out, const MergeAnswerRecorder& record) {
  auto finish = [&](MergeOutcome outcome) {
    record(list->listed().size(), outcome == MergeOutcome::kMerge ? "Merge Values" : "Cancel");
    return outcome;
  };
  ListRows(reg_file, *list, out);
  for (;;) {
    out << "Line numbers to delete, [M]erge Values, [O]ptions, [C]ancel? " << std::flush;
    std::string line;
    if (!std::getline(in, line)) return finish(MergeOutcome::kCancel);
    std::string answer = cp::ToUpper(Trimmed(line));
    if (answer == "M" || answer == "MERGE VALUES") return finish(MergeOutcome::kMerge);
    if (answer == "C" || answer == "CANCEL") return finish(MergeOutcome::kCancel);
    if (answer == "O" || answer == "OPTIONS") {
      if (!ChangeOptions(list, in, out)) return finish(MergeOutcome::kCancel);
      ListRows(reg_file, *list, out);
      continue;
    }
    if (answer.empty()) {
      ListRows(reg_file, *list, out);
      continue;
    }
    std::optional<std::vector<std::size_t>> numbers = LineNumbers(answer);
    if (!numbers) {
      out << "Answer with line numbers, M, O or C.\n";
      continue;
    }
    // All or nothing: a number that names no line is more likely a slip than a wish.
    std::sort(numbers->begin(), numbers->end());
    numbers->erase(std::unique(numbers->begin(), numbers->end()), numbers->end());
    if (numbers->front() < 1 || numbers->back() > list->listed().size()) {
      out << "No line " << (numbers->front() < 1 ? numbers->front() : numbers->back())
          << "; the lines are numbered 1 to " << list->listed().size()
          << ". Nothing was deleted.\n";
      continue;
    }
    for (auto n = numbers->rbegin(); n != numbers->rend(); ++n) {
      std::size_t listed = list->listed().size();
      list->Delete(*n);
      record(listed, "Delete " + std::to_string(*n));
    }
    ListRows(reg_file, *list, out);
  }
}

}  // namespace tsl
