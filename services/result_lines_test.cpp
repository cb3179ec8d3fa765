#include "services/result_lines.h"

#include <gtest/gtest.h>

#include "services/job_services.h"

namespace tsl {
namespace {

class CollectingOutput : public ReportOutput {
 public:
  void Write(std::string_view text) override { text_ += text; }
  void Close() override {}
  std::string text_;
};

TEST(ResultLinesTest, WriterTakesOutTheFirstOfEachMarkerOnly) {
  CollectingOutput out;
  ResultLineWriter writer(&out);
  writer.Write(FileLine("C:\\Links\\a.lnk"));
  writer.Write("Changed target: " + HitText("C:\\NEW\\APP.EXE"));
  writer.Write(SummaryLine("Found 1 files in 0 directories"));
  writer.Write(MessageLine("x") + HitText("y"));  // the message marker goes first
  writer.Write(
      "a\x01\x02"
      "b\x01\x02"
      "c");  // a second hit start stays
  EXPECT_EQ(out.text_,
            "Processing file : C:\\Links\\a.lnk\r\n"
            "Changed target: C:\\NEW\\APP.EXE\r\n"
            "Found 1 files in 0 directories\r\n"
            "xy\r\n"
            "ab\x01\x02"
            "c\r\n");
  ResultLineWriter nowhere(nullptr);
  nowhere.Write("ignored");  // no output: no crash, nothing written
}

}  // namespace
}  // namespace tsl
