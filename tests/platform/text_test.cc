#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(TextAppend, FitsUpToOneByteBelowTheSizeAndRefusesPastIt) {
  // (text already there, text appended, whether it fits an 8-byte buffer)
  struct Case {
    const char* held;
    const char* added;
    bool fits;
  } cases[] = {
      {"abc", "defg", true},     // 7 characters: N-1
      {"abc", "defgh", false},   // 8 characters: N
      {"abc", "defghi", false},  // 9 characters: N+1
      {"", "1234567", true},    {"1234567", "", true},
  };
  for (const Case& c : cases) {
    char buffer[8];
    strcpy(buffer, c.held);
    EXPECT_EQ(text_append(buffer, sizeof buffer, c.added), c.fits) << c.held << "+" << c.added;
    EXPECT_STREQ(buffer, c.fits ? (std::string(c.held) + c.added).c_str() : c.held);
  }
}

TEST(TextCopy, RefusesWithoutTouchingTheBuffer) {
  char buffer[4] = "ab";
  EXPECT_FALSE(text_copy(buffer, sizeof buffer, "wxyz"));
  EXPECT_STREQ(buffer, "ab");
  EXPECT_TRUE(text_copy(buffer, sizeof buffer, "xyz"));
  EXPECT_STREQ(buffer, "xyz");
}

TEST(DecimalText, WritesSignedValues) {
  char out[12];
  for (int value : {0, 7, -1, 255, -2147483647 - 1, 2147483647}) {
    decimal_text(value, out);
    EXPECT_EQ(std::string(out), std::to_string(value));
  }
}
