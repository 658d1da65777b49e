#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

bool no_lead_bytes(unsigned char) {
  return false;
}
// A stand-in code page in which 0x81 to 0x9F open a double-byte character.
bool test_lead_bytes(unsigned char c) {
  return c >= 0x81 && c <= 0x9F;
}

std::vector<std::string> split(const char* line, bool (*lead)(unsigned char) = no_lead_bytes) {
  std::vector<char> storage(strlen(line) + 1);
  char* words[16];
  int count = split_command_line(line, lead, storage.data(), storage.size(), words, 16);
  EXPECT_GE(count, 0) << line;
  return std::vector<std::string>(words, words + (count < 0 ? 0 : count));
}

using Words = std::vector<std::string>;

}  // namespace

TEST(SplitCommandLine, FollowsTheWindowsRules) {
  struct Case {
    const char* line;
    Words words;
  } cases[] = {
      {"velk.exe c:\\src d:\\src restore", {"c:\\src", "d:\\src", "restore"}},
      {"\"c:\\my tools\\velk.exe\" a", {"a"}},
      {"\"c:\\my tools\\velk.exe\"a b", {"a", "b"}},
      {"velk  \t a\t\tb  ", {"a", "b"}},
      {"velk \"c:\\my dir\" x", {"c:\\my dir", "x"}},
      // The closing quote is escaped, so the stretch runs to the line's end.
      {"velk \"d:\\a b\\\" c:\\x y", {"d:\\a b\" c:\\x y"}},
      {"velk \"\" x", {"", "x"}},
      {"velk a\"\"b", {"ab"}},
      {"velk a\"b c\"d e", {"ab cd", "e"}},
      {"velk \\\"c:\\my d\\\"", {"\"c:\\my", "d\""}},
      {"velk a\\\\b c\\\\\\\\", {"a\\\\b", "c\\\\\\\\"}},
      {"velk a\\\\\"b", {"a\\\"b"}},
      {"velk *.txt ?x", {"*.txt", "?x"}},
      {"velk", {}},
      {"velk \"unclosed stretch", {"unclosed stretch"}},
      {"\"velk", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(split(c.line), c.words) << c.line;
  }
}

TEST(SplitCommandLine, TakesADoubleByteCharacterWhole) {
  // 0x95 0x5C is one character whose second byte is a backslash; the quote
  // after it is a real quote and closes the stretch.
  EXPECT_EQ(split("velk \"a\x95\\\" b", test_lead_bytes), (Words{"a\x95\\", "b"}));
  EXPECT_EQ(split("velk \"a\x95\\\" b"), (Words{"a\x95\" b"}));
  EXPECT_EQ(split("velk x\x95", test_lead_bytes), (Words{"x\x95"}));
}

TEST(SplitCommandLine, CountsEveryWordButPointsOnlyAtThoseThatHaveRoom) {
  const char* line = "velk a b c d";
  std::vector<char> storage(strlen(line) + 1);
  char* words[2];
  EXPECT_EQ(split_command_line(line, no_lead_bytes, storage.data(), storage.size(), words, 2), 4);
  EXPECT_STREQ(words[0], "a");
  EXPECT_STREQ(words[1], "b");
  char tiny[3];
  EXPECT_EQ(split_command_line(line, no_lead_bytes, tiny, sizeof tiny, words, 2), -1);
}
