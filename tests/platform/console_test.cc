#include <gtest/gtest.h>

#include "platform/process.h"

TEST(FormatText, ReplacesEachPercentSWithTheNextText) {
  char buffer[64];
  ASSERT_EQ(format_text(buffer, sizeof buffer, "rmdir \"%s\" /S /Q ", "/b/tmp"), 0);
  EXPECT_STREQ(buffer, "rmdir \"/b/tmp\" /S /Q ");
  ASSERT_EQ(format_text(buffer, sizeof buffer, "%s-%s%%d%", "a", "b"), 0);
  EXPECT_STREQ(buffer, "a-b%%d%");
}

TEST(FormatText, RefusesATextThatDoesNotFitAndLeavesItEmpty) {
  char buffer[8];
  ASSERT_EQ(format_text(buffer, sizeof buffer, "x%sy", "12345"), 0);  // 7 characters
  EXPECT_STREQ(buffer, "x12345y");
  EXPECT_NE(format_text(buffer, sizeof buffer, "x%sy", "123456"), 0);  // 8 characters
  EXPECT_STREQ(buffer, "");
  EXPECT_NE(format_text(buffer, sizeof buffer, "12345678"), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(PrintOut, BuffersUntilFlushedAndKeepsTheTextWhole) {
  std::string long_text(1500, 'x');
  testing::internal::CaptureStdout();
  print_out("rm file: %s \n", long_text.c_str());
  print_out("%s\n", "done");
  flush_output();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "rm file: " + long_text + " \ndone\n");
}
