// Parsing and writing the output columns syntax, and the texts of the fields.
#include "synch/columns.h"

#include <charconv>
#include <cstdio>

#include "platform/code_page.h"
#include "platform/paths.h"
#include "resources/string_table.h"

namespace tsl {
namespace {

constexpr std::string_view kColumnOpen = "<DT_COL=";
constexpr std::string_view kColumnClose = "</DT_COL>";
constexpr std::string_view kRightJustify = "<DT_RIGHT_JUST>";
constexpr std::string_view kFieldOpen = "<DT_FIELD=";
constexpr std::string_view kFieldClose = "</DT_FIELD>";

constexpr std::string_view kFieldNames[] = {
    "Name",        "Type",        "Date",         "Size",         "Subdirectory", "Checksum",
    "CRC32",       "Root",        "Time",         "Version",      "Attribute",    "Description",
    "Access Date", "Access Time", "Created Date", "Created Time", "Comment",
};

std::string_view::size_type FindIgnoringCase(std::string_view text, std::string_view tag,
                                             std::string_view::size_type from) {
  if (tag.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = from; i + tag.size() <= text.size(); ++i) {
    if (cp::EqualsIgnoreCase(text.substr(i, tag.size()), tag)) return i;
  }
  return std::string_view::npos;
}

bool StartsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view tag) {
  return at + tag.size() <= text.size() && cp::EqualsIgnoreCase(text.substr(at, tag.size()), tag);
}

std::string Decode(const EscapeCoding& coding, std::string_view text) {
  return coding.decode ? coding.decode(text) : std::string(text);
}

ColumnItem FieldItem(std::string_view tag_body, const EscapeCoding& coding) {
  std::string_view name = tag_body, value;
  std::string_view::size_type equals = tag_body.find('=');
  if (equals != std::string_view::npos) {
    name = tag_body.substr(0, equals);
    value = tag_body.substr(equals + 1);
  }
  ColumnItem item;
  for (std::size_t f = 0; f < std::size(kFieldNames); ++f) {
    if (cp::EqualsIgnoreCase(name, kFieldNames[f])) {
      item.is_field = true;
      item.field = static_cast<Field>(f);
      item.text = std::string(value);
      item.has_value = equals != std::string_view::npos;
      return item;
    }
  }
  item.text = Decode(coding, value);  // an unknown field stands for its value
  return item;
}

// The items of a field column's content.
std::vector<ColumnItem> ParseItems(std::string_view content, const EscapeCoding& coding) {
  std::vector<ColumnItem> items;
  std::size_t at = 0;
  auto literal = [&](std::string_view text) {
    if (text.empty()) return;
    ColumnItem item;
    item.text = Decode(coding, text);
    items.push_back(std::move(item));
  };
  while (at < content.size()) {
    std::size_t open = FindIgnoringCase(content, kFieldOpen, at);
    std::size_t close = FindIgnoringCase(content, kFieldClose, at);
    std::size_t next = std::min(open, close);
    if (next == std::string_view::npos) {
      literal(content.substr(at));
      break;
    }
    literal(content.substr(at, next - at));
    if (next == close) {
      at = close + kFieldClose.size();
      continue;
    }
    std::size_t body = open + kFieldOpen.size();
    std::size_t end = content.find('>', body);
    if (end == std::string_view::npos) end = content.size();
    items.push_back(FieldItem(content.substr(body, end - body), coding));
    at = end + 1;
  }
  return items;
}

Column FieldColumn(std::string header, std::vector<ColumnItem> items, bool right_justify) {
  Column column;
  column.text = std::move(header);
  column.items = std::move(items);
  column.right_justify = right_justify;
  return column;
}

Column LiteralColumn(std::string text) {
  Column column;
  column.is_literal = true;
  column.text = std::move(text);
  return column;
}

ColumnItem Item(Field field) {
  ColumnItem item;
  item.is_field = true;
  item.field = field;
  return item;
}

ColumnItem Literal(std::string text) {
  ColumnItem item;
  item.text = std::move(text);
  return item;
}

std::string Hex(std::uint32_t value) {
  if (value == 0) return "";
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", value);
  return buffer;
}

std::string Attributes(std::uint8_t a) {
  std::string text = "    ";
  if (a & attr::kReadOnly) text[0] = 'r';
  if (a & attr::kArchive) text[1] = 'a';
  if (a & attr::kHidden) text[2] = 'h';
  if (a & attr::kSystem) text[3] = 's';
  return text;
}

}  // namespace

ColumnList ParseColumns(std::string_view text, const EscapeCoding& coding) {
  ColumnList columns;
  std::size_t at = 0;
  for (;;) {
    std::size_t open = FindIgnoringCase(text, kColumnOpen, at);
    std::string_view before = text.substr(at, open == std::string_view::npos ? open : open - at);
    if (!before.empty()) columns.push_back(LiteralColumn(Decode(coding, before)));
    if (open == std::string_view::npos) break;
    std::size_t header_at = open + kColumnOpen.size();
    std::size_t header_end = text.find('>', header_at);
    if (header_end == std::string_view::npos) header_end = text.size();
    std::string header = Decode(coding, text.substr(header_at, header_end - header_at));
    std::size_t content = std::min(header_end + 1, text.size());
    bool right = StartsWithIgnoringCase(text, content, kRightJustify);
    if (right) content += kRightJustify.size();
    std::size_t close = FindIgnoringCase(text, kColumnClose, content);
    std::size_t content_end = close == std::string_view::npos ? text.size() : close;
    columns.push_back(FieldColumn(
        std::move(header), ParseItems(text.substr(content, content_end - content), coding), right));
    if (close == std::string_view::npos) break;
    at = close + kColumnClose.size();
  }
  return columns;
}

std::string WriteColumns(const ColumnList& columns, const EscapeCoding& coding) {
  auto encode = [&](const std::string& t) { return coding.encode ? coding.encode(t) : t; };
  std::string out;
  for (const Column& column : columns) {
    if (column.is_literal) {
      out += encode(column.text);
      continue;
    }
    out += std::string(kColumnOpen) + column.text + ">";
    if (column.right_justify) out += kRightJustify;
    for (const ColumnItem& item : column.items) {
      if (!item.is_field) {
        out += encode(item.text);
        continue;
      }
      out += std::string(kFieldOpen) + std::string(FieldName(item.field));
      if (item.has_value && IsDateOrTimeField(item.field)) out += "=" + item.text;
      out += ">" + std::string(kFieldClose);
    }
    out += kColumnClose;
  }
  return out;
}

ColumnList DefaultColumns() {
  return {
      FieldColumn(TableText(text_id::kColumnDescription), {Item(Field::kDescription)}, false),
      LiteralColumn("\t"),
      FieldColumn(TableText(text_id::kColumnFileName),
                  {Item(Field::kSubdirectory), Item(Field::kName)}, false),
      LiteralColumn("\t"),
      FieldColumn(TableText(text_id::kColumnSize), {Item(Field::kSize)}, true),
      LiteralColumn("\t"),
      FieldColumn(TableText(text_id::kColumnModified),
                  {Item(Field::kDate), Literal(" "), Item(Field::kTime)}, false),
      LiteralColumn("\t"),
      FieldColumn(TableText(text_id::kColumnAttrib), {Item(Field::kAttribute)}, false),
      LiteralColumn("\t"),
  };
}

std::string_view FieldName(Field field) { return kFieldNames[static_cast<int>(field)]; }

bool IsDateOrTimeField(Field field) {
  switch (field) {
    case Field::kDate:
    case Field::kTime:
    case Field::kAccessDate:
    case Field::kAccessTime:
    case Field::kCreatedDate:
    case Field::kCreatedTime:
      return true;
    default:
      return false;
  }
}

std::string FieldText(Field field, const FileRecord& record, const std::string& root,
                      const std::string& status, TimeFormatter& times) {
  std::string text;
  AppendFieldText(&text, field, record, root, status, times);
  return text;
}

void AppendFieldText(std::string* out, Field field, const FileRecord& record,
                     const std::string& root, const std::string& status, TimeFormatter& times) {
  switch (field) {
    case Field::kName:
      *out += record.Name();
      break;
    case Field::kType: {
      std::string_view name = record.Name();
      std::string_view::size_type dot = name.rfind('.');
      if (dot != std::string_view::npos) *out += name.substr(dot);
      break;
    }
    case Field::kDate:
      *out += times.Date(record.modified);
      break;
    case Field::kSize: {
      char digits[24];
      auto end = std::to_chars(digits, digits + sizeof digits, record.size).ptr;
      out->append(digits, static_cast<std::size_t>(end - digits));
      break;
    }
    case Field::kSubdirectory: {
      std::string_view relative = record.RelativePath();
      std::string_view::size_type slash = relative.rfind(NativeSeparator());
      if (slash != std::string_view::npos) *out += relative.substr(0, slash + 1);
      break;
    }
    case Field::kChecksum:
      *out += Hex(record.checksum);
      break;
    case Field::kCrc32:
      *out += Hex(record.crc32);
      break;
    case Field::kRoot:
      *out += root;
      break;
    case Field::kTime:
      *out += times.Time(record.modified);
      break;
    case Field::kVersion:
      *out += record.Version();
      break;
    case Field::kAttribute:
      *out += Attributes(record.attributes);
      break;
    case Field::kDescription:
      *out += status;
      break;
    case Field::kAccessDate:
      *out += times.Date(record.accessed);
      break;
    case Field::kAccessTime:
      *out += times.Time(record.accessed);
      break;
    case Field::kCreatedDate:
      *out += times.Date(record.created);
      break;
    case Field::kCreatedTime:
      *out += times.Time(record.created);
      break;
    case Field::kComment:
      break;
  }
}

}  // namespace tsl
