#include "filereplace/file_transforms.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "filereplace/entry_preparation.h"
#include "script/escapes.h"
#include "services/test_job_services.h"

namespace tsl::testing {
namespace {

using namespace std::string_literals;

// Reformats `text` fed in pieces whose sizes `next_piece` picks.
std::string Reformat(int width, std::string_view text,
                     const std::function<std::size_t()>& next_piece = {}) {
  std::string out;
  Reformatter reformatter(width, [&out](const char* data, std::size_t size) {
    out.append(data, size);
    return true;
  });
  while (!text.empty()) {
    const std::size_t piece = next_piece ? std::min(next_piece(), text.size()) : text.size();
    EXPECT_TRUE(reformatter.Feed(text.data(), piece));
    text.remove_prefix(piece);
  }
  EXPECT_TRUE(reformatter.Finish());
  return out;
}

TEST(ReformatTest, ParagraphsIndentsAndLineEnds) {
  EXPECT_EQ(Reformat(10, "aa bb\tcc  dd\r\nee\rff\n\n \t\nnext"),
            "aa bb cc\r\ndd ee ff\r\n\r\n\r\nnext\r\n");
  // The first line's indent starts every line of its paragraph and counts toward the width.
  EXPECT_EQ(Reformat(8, "  one two\n      three four\r\n\r\n\tx"),
            "  one\r\n  two\r\n  three\r\n  four\r\n\r\n\tx\r\n");
  // A word longer than the room gets a line of its own, after the indent.
  EXPECT_EQ(Reformat(6, "ab  abcdefgh cd\n"), "ab\r\nabcdefgh\r\ncd\r\n");
  EXPECT_EQ(Reformat(6, " a abcdefgh"), " a\r\n abcdefgh\r\n");
  EXPECT_EQ(Reformat(0, "a b\ncd"), "a\r\nb\r\ncd\r\n");
  EXPECT_EQ(Reformat(-5, "  a b"), "  a\r\n  b\r\n");
  EXPECT_EQ(Reformat(5, ""), "");
  EXPECT_EQ(Reformat(5, "\r\n"), "\r\n");
  EXPECT_EQ(Reformat(5, "x\n  "), "x\r\n\r\n");
}

// Random text of words, blanks and every kind of line end, with a few words longer than any
// output piece; every output line either fits the width or holds the indent and one word, no
// line could have taken the next word, and the words come out in order.
TEST(ReformatTest, AnyPiecesGiveTheSameWrappedText) {
  std::mt19937 random(20240611);
  const std::string_view separators[] = {" ", "  ", "\t", "\n", "\r\n", "\r", "\n\n", "\r\r\n "};
  std::string text;
  std::vector<std::string> words;
  for (int i = 0; i < 3000; ++i) {
    const std::size_t length = i % 1000 == 999 ? 70000 : 1 + random() % 12;
    words.push_back(std::string(length, static_cast<char>('a' + random() % 26)));
    text += words.back();
    text += separators[random() % std::size(separators)];
  }
  const std::string whole = Reformat(30, text);
  EXPECT_EQ(Reformat(30, text, [] { return 1; }), whole);
  EXPECT_EQ(Reformat(30, text, [&random] { return 1 + random() % 5000; }), whole);

  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < whole.size(); at = end + 2) {
    end = whole.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(whole.substr(at, end - at));
  }
  // Paragraphs start with an indent of spaces only (one after "\r\r\n ").
  auto body = [](const std::string& line) { return line.substr(line.find_first_not_of(' ')); };
  std::vector<std::string> out_words;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    EXPECT_EQ(line.find_first_of("\t\r\n"), std::string::npos);
    if (line.empty()) continue;
    EXPECT_TRUE(line.size() <= 30 || body(line).find(' ') == std::string::npos) << line.size();
    if (i + 1 < lines.size() && !lines[i + 1].empty()) {  // the next word was too long
      const std::string next = body(lines[i + 1]);
      EXPECT_GT(line.size() + 1 + std::min(next.find(' '), next.size()), 30u);
    }
    for (std::size_t at = line.find_first_not_of(' '), end; at < line.size(); at = end + 1) {
      end = std::min(line.find(' ', at), line.size());
      out_words.push_back(line.substr(at, end - at));
    }
  }
  EXPECT_EQ(out_words, words);
}

TEST(ReformatTest, LongWordsAreWrittenAsTheyComeAndAFailedSinkStopsTheWork) {
  int calls = 0;
  Reformatter reformatter(20, [&calls](const char*, std::size_t) { return ++calls < 2; });
  const std::string piece(100000, 'w');
  EXPECT_TRUE(reformatter.Feed(piece.data(), piece.size()));
  EXPECT_EQ(calls, 1);  // before the word is whole
  EXPECT_FALSE(reformatter.Feed(piece.data(), piece.size()));
  EXPECT_FALSE(reformatter.Feed(piece.data(), piece.size()));
  EXPECT_FALSE(reformatter.Finish());
  EXPECT_EQ(calls, 2);
}

TEST(CharacterMapTest, SingleAndMultiByteTexts) {
  const CharacterMap single({{'a', "b"}, {'c', "c"}, {0xFF, "x"}, {'a', "A"}});
  EXPECT_TRUE(single.single_bytes());
  std::string out = "keep:";
  std::int64_t growth = -1;
  const std::string in = "abc\xFF\0a"s;
  EXPECT_EQ(single.Convert(in.data(), in.size(), &out, &growth), 4);
  EXPECT_EQ(out, "keep:Abcx\0A"s);
  EXPECT_EQ(growth, 0);

  const CharacterMap multi({{'a', "xyz"}, {'\n', "\r\n"}, {'-', ""}, {'q', "Q"}});
  EXPECT_FALSE(multi.single_bytes());
  out = "<";
  EXPECT_EQ(multi.Convert("a-b\n-q", 6, &out, &growth), 5);
  EXPECT_EQ(out, "<xyzb\r\nQ");
  EXPECT_EQ(growth, 1);
  EXPECT_EQ(multi.Convert("bb", 2, &out), 0);
  EXPECT_EQ(out, "<xyzb\r\nQbb");
}

// Random maps, with texts up to and past the length copied as a fixed block, against a byte-by-
// byte expansion.
TEST(CharacterMapTest, AnyTextLengths) {
  std::mt19937 random(77);
  for (std::size_t longest : {1, 8, 9, 40}) {
    std::vector<std::pair<unsigned char, std::string>> pairs;
    for (int k = 0; k < 60; ++k) {
      pairs.emplace_back(random() % 256, std::string(random() % (longest + 1), 'a' + k % 26));
    }
    std::string in(5000, '\0'), expected = "x";
    for (char& c : in) c = static_cast<char>(random() % 256);
    std::map<unsigned char, std::string> map(pairs.begin(), pairs.end());
    for (auto& [byte, text] : pairs) map[byte] = text;  // the last pair counts
    std::int64_t mapped = 0;
    for (char c : in) {
      const auto found = map.find(static_cast<unsigned char>(c));
      mapped += found != map.end();
      expected += found != map.end() ? found->second : std::string(1, c);
    }
    std::string out = "x";
    std::int64_t growth = 0;
    EXPECT_EQ(CharacterMap(pairs).Convert(in.data(), in.size(), &out, &growth), mapped);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(growth, static_cast<std::int64_t>(expected.size() - 1 - in.size()));
  }
}

TEST(CharacterMapTest, PairsFromEntries) {
  std::vector<SearchEntry> entries(6);
  entries[0].search_text = std::string(kBinaryModeText);  // binary: both texts decoded once
  entries[0].binary_search_text = "\\t";
  entries[0].replace_text = std::string(kBinaryModeText);
  entries[0].binary_replace_text = "\\\\n\\r";
  entries[1].search_text = "\\n";  // plain: as written
  entries[1].replace_text = "\\t";
  entries[2].search_text = "\\n";  // a regular expression: decoded
  entries[2].replace_text = "\\t";
  entries[2].regular_expression = true;
  entries[3].search_text = std::string(kBinaryModeText);  // a binary block with no text
  entries[4].replace_text = "none";                       // no search text
  entries[5].search_text = "ab";
  const auto pairs = CharacterMapPairs(entries, DecodeEscapes);
  const std::vector<std::pair<unsigned char, std::string>> expected = {
      {'\t', "\\n\r"}, {'\\', "\\t"}, {'\n', "\t"}, {'a', ""}};
  EXPECT_EQ(pairs, expected);

  // Preparing a binary entry decodes its own copies, never the binary texts themselves.
  TestServices services;
  entries.resize(1);
  ASSERT_TRUE(PrepareEntry(entries[0], PatternOptions{}, services));
  EXPECT_EQ(CharacterMapPairs(entries, DecodeEscapes)[0], expected[0]);
}

}  // namespace
}  // namespace tsl::testing
