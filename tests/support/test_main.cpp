// Entry point of every test program: questions get scripted answers unless a test says
// otherwise, so that no test ever waits for a user.
#include <gtest/gtest.h>

#include "platform/environment.h"

int main(int argc, char** argv) {
  if (!tsl::GetEnvironmentValue("TESSALINE_ANSWERS")) {
    tsl::SetEnvironmentValue("TESSALINE_ANSWERS", "");
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
