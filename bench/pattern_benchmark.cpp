// Throughput of SearchPattern::Find over 64 MB of generated English-like text, against RE2 and
// std::regex on equivalent expressions, in one run. Each engine scans the whole text the way the
// file replace engine does: find a match, take it, go on at its end. The table at the end gives
// MB/s and the ratios to the peers.
//
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTSL_BUILD_BENCH=ON
//   cmake --build build/bench --target pattern_benchmark && build/bench/pattern_benchmark
#include <benchmark/benchmark.h>
#include <re2/re2.h>

#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "pattern/search_pattern.h"

namespace {

constexpr std::size_t kTextBytes = 64 << 20;
// std::regex is slow enough that it scans only the first part of the text; its MB/s is
// computed over what it scanned.
constexpr std::size_t kStdRegexBytes = 8 << 20;

/// English-like text: words drawn with Zipf-like frequencies, some numbers (a few glued to an
/// `x`), lines of 40 to 100 characters, a few lines starting with `abc`.
std::string MakeText() {
  static const char* const kWords[] = {
      "the",      "of",       "and",      "to",     "a",      "in",      "is",          "it",
      "you",      "that",     "he",       "was",    "for",    "on",      "are",         "with",
      "as",       "his",      "they",     "be",     "at",     "one",     "have",        "this",
      "from",     "or",       "had",      "by",     "word",   "but",     "what",        "some",
      "we",       "can",      "out",      "other",  "were",   "all",     "there",       "when",
      "up",       "use",      "your",     "how",    "said",   "an",      "each",        "she",
      "which",    "do",       "their",    "time",   "if",     "will",    "way",         "about",
      "many",     "then",     "them",     "write",  "would",  "like",    "so",          "these",
      "her",      "long",     "make",     "thing",  "see",    "him",     "two",         "has",
      "look",     "more",     "day",      "could",  "go",     "come",    "did",         "number",
      "sound",    "no",       "most",     "people", "my",     "over",    "know",        "water",
      "than",     "call",     "first",    "who",    "may",    "down",    "side",        "been",
      "now",      "find",     "category", "dogma",  "cat",    "dog",     "concatenate", "hotdog",
      "error",    "warning",  "system",   "file",   "disk",   "extra",   "box",         "next",
      "Mountain", "mountain", "valley",   "river",  "forest", "example", "expert",
  };
  const int n = static_cast<int>(std::size(kWords));
  std::vector<double> weights;
  for (int i = 0; i < n; ++i) weights.push_back(1.0 / (i + 1));
  std::mt19937 rng(12345);
  std::discrete_distribution<int> word(weights.begin(), weights.end());
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<int> line_length(40, 100);
  std::string text;
  text.reserve(kTextBytes + 200);
  std::size_t line_start = 0;
  int target = line_length(rng);
  while (text.size() < kTextBytes) {
    if (text.size() == line_start && percent(rng) == 0) text += "abc ";
    int roll = percent(rng);
    if (roll < 2) {
      text += std::to_string(std::uniform_int_distribution<int>(0, 9999)(rng));
      if (roll == 0) text += "x";
    } else {
      text += kWords[word(rng)];
    }
    if (static_cast<int>(text.size() - line_start) >= target) {
      text += ".\n";
      line_start = text.size();
      target = line_length(rng);
    } else {
      text += ' ';
    }
  }
  return text;
}

const std::string& Text() {
  static const std::string text = MakeText();
  return text;
}

std::map<std::string, double>& Throughputs() {
  static std::map<std::string, double> results;
  return results;
}

void Report(benchmark::State& state, const std::string& name, std::size_t bytes,
            std::int64_t matches) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["matches"] = static_cast<double>(matches);
  state.SetLabel(name);
}

void Tessaline(benchmark::State& state, std::string name, std::string expression,
               bool case_insensitive) {
  tsl::PatternOptions options;
  options.case_sensitive = !case_insensitive;
  options.repetition_bound = 300;
  tsl::SearchPattern pattern(expression, std::nullopt, tsl::PatternSyntax::kRegex, options);
  const std::string& text = Text();
  const auto length = static_cast<std::int64_t>(text.size());
  std::int64_t matches = 0;
  for (auto _ : state) {
    matches = 0;
    std::int64_t last_line_break = 0;
    std::int64_t line_count = 0;
    std::int64_t pos = 0;
    while (pos < length) {
      std::int64_t end =
          pattern.Find(text.data() + pos, length - pos, 0, 0, pos, &last_line_break, &line_count);
      if (end < 0) break;
      ++matches;
      pos += end > 0 ? end : 1;
    }
    benchmark::DoNotOptimize(line_count);
  }
  Report(state, name, text.size(), matches);
}

void Re2(benchmark::State& state, std::string name, std::string expression, bool case_insensitive,
         std::string must_not_contain) {
  RE2::Options options;
  options.set_case_sensitive(!case_insensitive);
  RE2 re(expression, options);
  if (!re.ok()) state.SkipWithError(re.error().c_str());
  const std::string& text = Text();
  std::int64_t matches = 0;
  for (auto _ : state) {
    matches = 0;
    std::size_t pos = 0;
    re2::StringPiece match;
    while (pos < text.size() && re.Match(text, pos, text.size(), RE2::UNANCHORED, &match, 1)) {
      std::size_t end = static_cast<std::size_t>(match.data() - text.data()) + match.size();
      if (must_not_contain.empty() ||
          std::string_view(match.data(), match.size()).find(must_not_contain) ==
              std::string_view::npos) {
        ++matches;
      }
      pos = end > pos ? end : pos + 1;
    }
  }
  Report(state, name, text.size(), matches);
}

void StdRegex(benchmark::State& state, std::string name, std::string expression,
              bool case_insensitive, std::string must_not_contain) {
  auto flags = std::regex::ECMAScript | std::regex::optimize;
  if (case_insensitive) flags |= std::regex::icase;
  std::regex re(expression, flags);
  const std::string& text = Text();
  const char* begin = text.data();
  const char* end = begin + kStdRegexBytes;
  std::int64_t matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (std::cregex_iterator it(begin, end, re, std::regex_constants::match_not_null), last;
         it != last; ++it) {
      if (must_not_contain.empty() || it->str().find(must_not_contain) == std::string::npos) {
        ++matches;
      }
    }
  }
  Report(state, name, kStdRegexBytes, matches);
}

struct Case {
  const char* name;
  const char* tessaline;
  bool case_insensitive;
  const char* re2;
  const char* std_regex;
  const char* must_not_contain;  // peers check the side condition on the match
};

const Case kCases[] = {
    {"literal", "mountain", false, "mountain", "mountain", ""},
    {"literal, any case", "mountain", true, "mountain", "mountain", ""},
    {"*[0-9]x", "*[0-9]x", false, "[0-9]*x", "[0-9]*x", ""},
    {"+2-4[a-z]", "+2-4[a-z]", false, "[a-z]{2,4}", "[a-z]{2,4}", ""},
    {"(cat|dog)", "(cat|dog)", false, "cat|dog", "cat|dog", ""},
    {"^abc", "^abc", false, "(?m)^abc", "(?:^|\\n)abc", ""},
    {"*error*!(warning)", "*error*!(warning)", false, "[^\\r\\n]*error[^\\r\\n]*",
     "[^\\r\\n]*error[^\\r\\n]*", "warning"},
};

/// Collects each run's bytes per second for the table printed after the runs.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) Throughputs()[run.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

double Rate(const std::string& engine, const Case& c) {
  const std::string name = engine + "/" + c.name;
  for (const auto& [run, rate] : Throughputs()) {
    if (run == name || run.rfind(name + "/", 0) == 0) return rate / 1e6;
  }
  return 0;
}

void PrintTable() {
  std::printf("\n%-20s %12s %12s %12s %10s %12s\n", "expression", "Tessaline", "RE2", "std::regex",
              "vs RE2", "vs std::regex");
  for (const Case& c : kCases) {
    double ours = Rate("Tessaline", c);
    double re2 = Rate("RE2", c);
    double std_regex = Rate("std::regex", c);
    std::printf("%-20s %9.0f MB/s %7.0f MB/s %7.1f MB/s %9.2fx %11.0fx\n", c.name, ours, re2,
                std_regex, re2 > 0 ? ours / re2 : 0, std_regex > 0 ? ours / std_regex : 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Text();  // generated once, before any timing
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("Tessaline/") + c.name).c_str(), Tessaline, c.name,
                                 c.tessaline, c.case_insensitive)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("RE2/") + c.name).c_str(), Re2, c.name, c.re2,
                                 c.case_insensitive, c.must_not_contain)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("std::regex/") + c.name).c_str(), StdRegex, c.name,
                                 c.std_regex, c.case_insensitive, c.must_not_contain)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  benchmark::Initialize(&argc, argv);
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintTable();
  benchmark::Shutdown();
  return 0;
}
