// The Windows clipboard and default printer, as far as the machine running the tests has them
// (under Wine without a display there may be neither).
#include <gtest/gtest.h>

#include "services/output_destination.h"
#include "platform/clipboard.h"
#include "platform/file_error.h"
#include "platform/printer.h"

namespace tsl {
namespace {

TEST(ClipboardWin32Test, TextGoesBothWays) {
  const std::string text = "caf\xE9 line 1\r\nline\t2";
  if (SystemClipboard().WriteText(text, nullptr).failed()) {
    GTEST_SKIP() << "no clipboard on this machine";
  }
  std::string read;
  bool has_text = false;
  ASSERT_TRUE(SystemClipboard().ReadText(&read, &has_text, nullptr).ok());
  EXPECT_TRUE(has_text);
  EXPECT_EQ(read, text);

  // The same through an output destination: append keeps the old text.
  OutputDestination out;
  out.Open("Clipboard", true);
  out.Write("\r\nmore");
  ASSERT_TRUE(out.Close());
  ASSERT_TRUE(SystemClipboard().ReadText(&read, &has_text, nullptr).ok());
  EXPECT_EQ(read, text + "\r\nmore");
}

TEST(PrinterWin32Test, NoDefaultPrinterFailsAtOpen) {
  std::string name;
  if (SystemPrinters().FindDefaultPrinter(&name, nullptr).ok()) {
    GTEST_SKIP() << "this machine has a default printer (" << name << "); nothing is printed";
  }
  OutputDestination out;
  EXPECT_EQ(StandardFileErrorText(out.Open("Default Printer", false)), "Default Printer was not found.");
  EXPECT_FALSE(out.is_open());
}

}  // namespace
}  // namespace tsl
