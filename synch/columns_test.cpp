#include "synch/columns.h"

#include <gtest/gtest.h>

#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::Native;

EscapeCoding Coding() {
  static testing::TestServices services;
  return EscapeCoding{[](std::string_view t) { return services.DecodeEscapes(t); },
                      [](std::string_view t) { return services.EncodeControls(t); }};
}

// A column list in a compact form: L"text" for literal columns, F"header"[R]{items} for field
// columns, items as field names or 'literal'.
std::string Shape(const ColumnList& columns) {
  std::string out;
  for (const Column& c : columns) {
    if (c.is_literal) {
      out += "L\"" + c.text + "\" ";
      continue;
    }
    out += "F\"" + c.text + "\"" + (c.right_justify ? "R" : "") + "{";
    for (const ColumnItem& item : c.items) {
      out += item.is_field ? std::string(FieldName(item.field)) : "'" + item.text + "'";
      if (item.is_field && item.has_value) out += "=" + item.text;
      out += ",";
    }
    out += "} ";
  }
  return out;
}

TEST(ColumnsTest, ParsesTheOutputColumnsSyntax) {
  struct Case {
    const char* text;
    const char* shape;
  } cases[] = {
      {"<DT_COL=File><DT_FIELD=Subdirectory><DT_FIELD=Name></DT_COL>\\t"
       "<DT_COL=Bytes><DT_RIGHT_JUST><DT_FIELD=Size></DT_COL>",
       "F\"File\"{Subdirectory,Name,} L\"\t\" F\"Bytes\"R{Size,} "},
      {"<dt_col=n><dt_field=name></dt_field></dt_col>", "F\"n\"{Name,} "},
      {"|<DT_COL=N><DT_FIELD=Name></DT_COL>|", "L\"|\" F\"N\"{Name,} L\"|\" "},
      {"<DT_COL=When><DT_FIELD=Date=dd.MM.yy> at <DT_FIELD=Time=HH:mm></DT_COL>",
       "F\"When\"{Date=dd.MM.yy,' at ',Time=HH:mm,} "},
      {"<DT_COL=X><DT_FIELD=Nothing=fixed><DT_FIELD=Bogus></DT_COL>", "F\"X\"{'fixed','',} "},
      {"<DT_COL=Open><DT_FIELD=CRC32>", "F\"Open\"{CRC32,} "},
      {"just text", "L\"just text\" "},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Shape(ParseColumns(c.text, Coding())), c.shape) << c.text;
}

TEST(ColumnsTest, WritesTheSyntaxBack) {
  EXPECT_EQ(WriteColumns(DefaultColumns(), Coding()),
            "<DT_COL=Description><DT_FIELD=Description></DT_FIELD></DT_COL>\\t"
            "<DT_COL=File Name><DT_FIELD=Subdirectory></DT_FIELD><DT_FIELD=Name></DT_FIELD>"
            "</DT_COL>\\t<DT_COL=Size><DT_RIGHT_JUST><DT_FIELD=Size></DT_FIELD></DT_COL>\\t"
            "<DT_COL=Modified><DT_FIELD=Date></DT_FIELD> <DT_FIELD=Time></DT_FIELD></DT_COL>\\t"
            "<DT_COL=Attrib><DT_FIELD=Attribute></DT_FIELD></DT_COL>\\t");
  // Kept values of date and time fields are written back; of other fields not.
  EXPECT_EQ(WriteColumns(
                ParseColumns("<DT_COL=W><DT_FIELD=date=d.M><DT_FIELD=Size=9></DT_COL>", Coding()),
                Coding()),
            "<DT_COL=W><DT_FIELD=Date=d.M></DT_FIELD><DT_FIELD=Size></DT_FIELD></DT_COL>");
}

class FixedTimes : public TimeFormatter {
 public:
  const std::string& Date(FileTime t) override { return text_ = t ? "D" + std::to_string(t) : ""; }
  const std::string& Time(FileTime t) override { return text_ = t ? "T" + std::to_string(t) : ""; }

 private:
  std::string text_;
};

TEST(ColumnsTest, FieldTexts) {
  RecordTexts texts;
  FileRecord r;
  std::string_view version = "1.2";
  r.SetPath(texts, Native("/root/"), Native("sub/dir/File.Name.TXT"), &version);
  r.size = 1234;
  r.modified = 5;
  r.accessed = 6;
  r.created = 0;
  r.checksum = 0xABC;
  r.attributes = attr::kReadOnly | attr::kArchive | attr::kSystem;
  FixedTimes times;
  struct Case {
    Field field;
    std::string text;
  } cases[] = {
      {Field::kName, "File.Name.TXT"},
      {Field::kType, ".TXT"},
      {Field::kDate, "D5"},
      {Field::kSize, "1234"},
      {Field::kSubdirectory, Native("sub/dir/")},
      {Field::kChecksum, "abc"},
      {Field::kCrc32, ""},
      {Field::kRoot, "ROOT"},
      {Field::kTime, "T5"},
      {Field::kVersion, "1.2"},
      {Field::kAttribute, "ra s"},
      {Field::kDescription, "status"},
      {Field::kAccessDate, "D6"},
      {Field::kAccessTime, "T6"},
      {Field::kCreatedDate, ""},
      {Field::kCreatedTime, ""},
      {Field::kComment, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FieldText(c.field, r, "ROOT", "status", times), c.text) << FieldName(c.field);
  }
  r.SetPath(texts, Native("/root/"), "noext");
  EXPECT_EQ(FieldText(Field::kType, r, "", "", times), "");
  EXPECT_EQ(FieldText(Field::kSubdirectory, r, "", "", times), "");
  r.attributes = attr::kHidden;
  EXPECT_EQ(FieldText(Field::kAttribute, r, "", "", times), "  h ");
}

}  // namespace
}  // namespace tsl
