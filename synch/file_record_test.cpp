#include "synch/file_record.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ScopedTempDir;
using testing::WriteFile;

FileRecord Record(const std::string& path, std::uint64_t size) {
  static RecordTexts texts;
  FileRecord r;
  r.SetPath(texts, "", path);
  r.size = size;
  return r;
}

TEST(FileRecordTest, ExtraDataReadsTheFileOnceForWhatIsAsked) {
  ScopedTempDir dir;
  WriteFile(dir / "a.txt", "123456789");
  FileRecord r = Record(dir / "a.txt", 9);
  ComputeExtraData(r, {false, true, false});
  EXPECT_EQ(r.checksum, 477u);  // '1'..'9' = 49..57
  EXPECT_EQ(r.crc32, 0u);
  ComputeExtraData(r, {false, true, true});
  EXPECT_EQ(r.crc32, 0xCBF43926u);

  // A big file crosses the 64000-byte blocks.
  std::string big(200000, 'x');
  WriteFile(dir / "big.bin", big);
  FileRecord b = Record(dir / "big.bin", big.size());
  ComputeExtraData(b, {false, true, false});
  EXPECT_EQ(b.checksum, 200000u * 'x');

  FileRecord missing = Record(dir / "missing", 5);
  ComputeExtraData(missing, {false, true, true});
  EXPECT_EQ(missing.checksum, 0u);
  EXPECT_EQ(missing.crc32, 0u);
}

TEST(FileRecordTest, ContentComparisonUsesKnownValuesBeforeReadingBlocks) {
  ScopedTempDir dir;
  WriteFile(dir / "a", "same text");
  WriteFile(dir / "b", "same text");
  WriteFile(dir / "c", "same Text");
  {
    FileRecord a = Record(dir / "a", 9), b = Record(dir / "b", 9);
    EXPECT_TRUE(CompareContents(a, b, false, nullptr));
    EXPECT_EQ(a.compare_state, kIdentical);
    EXPECT_EQ(b.compare_state, kIdentical);
  }
  {
    // A CRC-32 known on one side: the other is computed, and the CRCs decide (they differ
    // here although a wrong CRC was given to `a`, so no block comparison took place).
    FileRecord a = Record(dir / "a", 9), b = Record(dir / "b", 9);
    a.crc32 = 12345;
    EXPECT_FALSE(CompareContents(a, b, false, nullptr));
    EXPECT_NE(b.crc32, 0u);
    EXPECT_EQ(a.compare_state, kNotDecided);
  }
  {
    FileRecord a = Record(dir / "a", 9), b = Record(dir / "b", 9);
    a.checksum = 1;
    EXPECT_FALSE(CompareContents(a, b, false, nullptr));
    EXPECT_NE(b.checksum, 0u);
  }
  {
    FileRecord a = Record(dir / "a", 9), c = Record(dir / "c", 9);
    EXPECT_FALSE(CompareContents(a, c, false, nullptr));
    EXPECT_TRUE(CompareContents(a, c, true, nullptr));
  }
  {
    FileRecord a = Record(dir / "a", 9), m = Record(dir / "missing", 9);
    EXPECT_FALSE(CompareContents(a, m, false, nullptr));
  }
}

// Letter case is ignored over every byte of a block, also after a zero byte.
TEST(FileRecordTest, IgnoringCaseStillComparesBytesAfterAZeroByte) {
  ScopedTempDir dir;
  WriteFile(dir / "a", std::string("AB\0xyz", 6));
  WriteFile(dir / "b", std::string("ab\0XYZ", 6));
  WriteFile(dir / "c", std::string("ab\0XYQ", 6));
  FileRecord a = Record(dir / "a", 6), b = Record(dir / "b", 6), c = Record(dir / "c", 6);
  EXPECT_TRUE(CompareContents(a, b, true, nullptr));
  EXPECT_FALSE(CompareContents(a, c, true, nullptr));
}

TEST(FileRecordTest, BlockComparisonStopsAtACancel) {
  ScopedTempDir dir;
  std::string big(100000, 'q');
  WriteFile(dir / "a", big);
  WriteFile(dir / "b", big);
  FileRecord a = Record(dir / "a", big.size()), b = Record(dir / "b", big.size());
  int polls = 0;
  EXPECT_FALSE(CompareContents(a, b, false, [&polls] { return ++polls == 2; }));
  EXPECT_EQ(polls, 2);
  EXPECT_TRUE(CompareContents(a, b, false, [&polls] { return ++polls < 0; }));
}

TEST(FileRecordTest, TextComparisonSkipsWhiteSpace) {
  struct Case {
    const char* a;
    const char* b;
    bool ignore_case;
    bool equal;
  } cases[] = {
      {"a b c", "abc", false, true},
      {"  abc", "abc\r\n", false, true},
      {"line1\r\nline2\r\n", "line1\nline2", false, true},
      {"a\tb", "a  b", false, true},
      {"abc", "abd", false, false},
      {"abc", "ABC", false, false},
      {"abc", "ABC", true, true},
      {"abc", "abcd", false, false},
      {"", "   \n", false, true},
      {"", "", false, true},
      {"1", "!", true, false},
  };
  ScopedTempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / "a", c.a);
    WriteFile(dir / "b", c.b);
    EXPECT_EQ(CompareTextSkippingWhiteSpace(dir / "a", dir / "b", c.ignore_case, nullptr), c.equal)
        << "'" << c.a << "' vs '" << c.b << "'";
  }
  // Across the 32767-byte blocks.
  std::string long_a(70000, 'z'), long_b = long_a;
  long_b.insert(40000, "\r\n  \t");
  WriteFile(dir / "a", long_a);
  WriteFile(dir / "b", long_b);
  EXPECT_TRUE(CompareTextSkippingWhiteSpace(dir / "a", dir / "b", false, nullptr));
  long_b[65000] = 'y';
  WriteFile(dir / "b", long_b);
  EXPECT_FALSE(CompareTextSkippingWhiteSpace(dir / "a", dir / "b", false, nullptr));
  EXPECT_FALSE(CompareTextSkippingWhiteSpace(dir / "a", dir / "missing", false, nullptr));
}

// Records keep pointers into their store: texts made earlier must survive the blocks that later
// ones open, a text longer than a block included, and the records of a folder share its text.
TEST(FileRecordTest, PathsStayWhereTheyWereKept) {
  RecordTexts texts;
  std::vector<FileRecord> records(5000);
  std::string huge(200000, 'h');
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::string version_text = "1.0.0." + std::to_string(i);
    std::string_view version = version_text;
    records[i].SetPath(texts, "/root/",
                       i == 2500 ? huge : testing::Native("sub/file" + std::to_string(i)),
                       i % 7 == 0 ? &version : nullptr);
  }
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::string relative = i == 2500 ? huge : testing::Native("sub/file" + std::to_string(i));
    ASSERT_EQ(records[i].Path(), "/root/" + relative);
    EXPECT_EQ(records[i].Root().data(), records[0].Root().data());
  }
  EXPECT_EQ(records[9].Name(), "file9");
  EXPECT_EQ(records[7].Version(), "1.0.0.7");
  EXPECT_EQ(records[8].Version(), "");
  EXPECT_EQ(FileRecord().Path(), "");
}

}  // namespace
}  // namespace tsl
