// The column list of a comparison report: literal columns and field columns built from the
// output columns text (`<DT_COL=header>` ... `</DT_COL>` with `<DT_FIELD=name>` items), the
// text of each field for a file, and the column syntax written back for the format line.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "synch/file_record.h"

namespace tsl {

enum class Field {
  kName = 0,
  kType,
  kDate,
  kSize,
  kSubdirectory,
  kChecksum,
  kCrc32,
  kRoot,
  kTime,
  kVersion,
  kAttribute,
  kDescription,
  kAccessDate,
  kAccessTime,
  kCreatedDate,
  kCreatedTime,
  kComment,
};

struct ColumnItem {
  bool is_field = false;
  Field field = Field::kName;
  std::string text;  // a literal item's text, or a field's kept value (after its `=`)
  bool has_value = false;
};

struct Column {
  bool is_literal = false;
  std::string text;  // a literal column's text, or a field column's header
  bool right_justify = false;
  std::vector<ColumnItem> items;

  /// True for a field column whose first item is the Description field.
  bool IsDescription() const {
    return !is_literal && !items.empty() && items[0].is_field &&
           items[0].field == Field::kDescription;
  }
};

using ColumnList = std::vector<Column>;

/// Escape coding of column texts: `decode` for what is read, `encode` for what is written back.
struct EscapeCoding {
  std::function<std::string(std::string_view)> decode;
  std::function<std::string(std::string_view)> encode;
};

/// The column list of an output columns text; tags are found ignoring letter case.
ColumnList ParseColumns(std::string_view text, const EscapeCoding& coding);

/// The list written back in the output columns syntax.
std::string WriteColumns(const ColumnList& columns, const EscapeCoding& coding);

/// Description, tab, File Name (subdirectory and name), tab, Size (right-justified), tab,
/// Modified (date, a space, time), tab, Attrib, tab.
ColumnList DefaultColumns();

/// The field's name as scripts write it.
std::string_view FieldName(Field field);

/// True for the date and time fields, whose kept values are written back.
bool IsDateOrTimeField(Field field);

/// Formats local file times in the user's conventions (dates and times of a report repeat
/// often, so implementations may cache).
class TimeFormatter {
 public:
  virtual ~TimeFormatter() = default;
  /// The texts stay valid until the next call.
  virtual const std::string& Date(FileTime local) = 0;
  virtual const std::string& Time(FileTime local) = 0;
};

/// The text of a field for a record; `root` is the scanned folder of the record's side and
/// `status` the line's status text.
std::string FieldText(Field field, const FileRecord& record, const std::string& root,
                      const std::string& status, TimeFormatter& times);

/// The same text appended to `out` (the report's way: no text of its own per field).
void AppendFieldText(std::string* out, Field field, const FileRecord& record,
                     const std::string& root, const std::string& status, TimeFormatter& times);

}  // namespace tsl
