#include "resources/string_table.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

TEST(StringTableTest, LooksTextsUpByNumber) {
  EXPECT_EQ(TableText(text_id::kUsage),
            "Please use TslRun \"<synch script path>|<shortcut script>|<registry script>|<file "
            "replace script>\"");
  EXPECT_EQ(TableText(text_id::kLogCopyError), "Error \"%s\" copying file: %s to %s\r\n");
  EXPECT_EQ(TableText(text_id::kLogHeaderSynchronize + 3),
            "Update target operation performed at %s using mask (%s)\r\nSource: %s\tTarget: "
            "%s\r\n");
  EXPECT_EQ(TableText(text_id::kBinaryCompare), "Binary Compare Files");
  EXPECT_EQ(TableText(1), "");
  EXPECT_EQ(TableText(2168), "");
}

}  // namespace
}  // namespace tsl
