#include "platform/posix/command_words.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Words as text, a switch group marked with a leading '!'.
std::vector<std::string> split(const char* text) {
  CommandWords words;
  EXPECT_TRUE(split_command_words(text, &words)) << text;
  std::vector<std::string> out;
  for (int i = 0; i < words.count; ++i) {
    out.push_back((words.is_switch_group[i] ? "!" : "") + std::string(words.word[i]));
  }
  return out;
}

TEST(CommandWords, SplitsAtBlanksAndKeepsQuotedStretchesWhole) {
  struct Case {
    const char* text;
    std::vector<std::string> words;
  } cases[] = {
      {"xcopy \"/s/src\" \"/b/src\" /F /E /D /C /Y    /H/R/K/O/X/G",
       {"xcopy", "/s/src", "/b/src", "!/F", "!/E", "!/D", "!/C", "!/Y", "!/H/R/K/O/X/G"}},
      {"xcopy /I/F/E/C/Y/H/R/K/O/X/G \"/s/src/img\" \"/b/src/img\" ",
       {"xcopy", "!/I/F/E/C/Y/H/R/K/O/X/G", "/s/src/img", "/b/src/img"}},
      {"xcopy /F/E/C/Y/H/R/K/O/X/G \"/s/src/a.txt\" \"/b/src/\"",
       {"xcopy", "!/F/E/C/Y/H/R/K/O/X/G", "/s/src/a.txt", "/b/src/"}},
      {"rmdir \"/b/src/tmp\" /S /Q ", {"rmdir", "/b/src/tmp", "!/S", "!/Q"}},
      {"\txcopy\t\"/a b/c d\"  \"/x\"", {"xcopy", "/a b/c d", "/x"}},
      // Stretches join their word; quotes vanish wherever they stand.
      {"rd a\"b c\"d", {"rd", "ab cd"}},
      {"rd \"\"", {"rd", ""}},
      {"rd \"/open to the end", {"rd", "/open to the end"}},
      // Non-ASCII bytes pass unchanged.
      {"rd \"/b/caf\xc3\xa9 \xff\"", {"rd", "/b/caf\xc3\xa9 \xff"}},
      // Only an unquoted '/' at a word's start makes switches.
      {"rd x/S \"/S\" /S", {"rd", "x/S", "/S", "!/S"}},
      {"   ", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(split(c.text), c.words) << c.text;
  }
}

TEST(CommandWords, RefusesMoreThanFits) {
  CommandWords words;
  std::string many;
  for (int i = 0; i <= kMaxCommandWords; ++i) {
    many += "w ";
  }
  EXPECT_FALSE(split_command_words(many.c_str(), &words));
  EXPECT_EQ(words.count, kMaxCommandWords);
  std::string long_text = "xcopy " + std::string(kCommandTextSize, 'x');
  EXPECT_FALSE(split_command_words(long_text.c_str(), &words));
}

TEST(CommandWords, NamesMatchWithoutCase) {
  EXPECT_TRUE(same_command_name("XCopy", "xcopy"));
  EXPECT_TRUE(same_command_name("RD", "rd"));
  EXPECT_FALSE(same_command_name("xcopy2", "xcopy"));
  EXPECT_FALSE(same_command_name("xcop", "xcopy"));
  EXPECT_FALSE(same_command_name("", "rd"));
}

TEST(CommandWords, ReadsSwitchesAndOperands) {
  constexpr char kXcopy[] = "IFESDCYHRKOXGQ";
  struct Case {
    const char* text;
    int max_operands;
    ArgumentsResult result;
    const char* switches;  // the letters that must be set, and no others
    int operands;
    const char* refused;
  } cases[] = {
      {"xcopy \"/s\" \"/b\" /F /E /D /C /Y    /H/R/K/O/X/G", 2, ArgumentsResult::kParsed,
       "FEDCYHRKOXG", 2, ""},
      {"xcopy /i/f/e \"a\" \"b\"", 2, ArgumentsResult::kParsed, "IFE", 2, ""},
      {"xcopy /Q", 2, ArgumentsResult::kParsed, "Q", 0, ""},
      {"xcopy \"a\"", 2, ArgumentsResult::kParsed, "", 1, ""},
      {"xcopy /F/Z \"a\" \"b\"", 2, ArgumentsResult::kUnknownSwitch, "", 0, "/Z"},
      {"xcopy /FE \"a\" \"b\"", 2, ArgumentsResult::kUnknownSwitch, "", 0, "/FE"},
      {"xcopy /D:1-1-2020 \"a\" \"b\"", 2, ArgumentsResult::kUnknownSwitch, "", 0, "/D:1-1-2020"},
      {"xcopy /F/ \"a\" \"b\"", 2, ArgumentsResult::kUnknownSwitch, "", 0, "/"},
      {"xcopy \"a\" \"b\" \"c\"", 2, ArgumentsResult::kTooManyOperands, "", 2, "c"},
      {"rmdir \"/b/t\" /S /Q ", 1, ArgumentsResult::kParsed, "SQ", 1, ""},
      {"rmdir /s/q \"/b/t\"", 1, ArgumentsResult::kParsed, "SQ", 1, ""},
      {"rmdir \"/b/t\" /F", 1, ArgumentsResult::kUnknownSwitch, "", 1, "/F"},
      {"rmdir \"/b/t\" \"/b/u\"", 1, ArgumentsResult::kTooManyOperands, "", 1, "/b/u"},
  };
  for (const auto& c : cases) {
    CommandWords words;
    ASSERT_TRUE(split_command_words(c.text, &words));
    CommandArguments arguments;
    const char* allowed = c.max_operands == 2 ? kXcopy : "SQ";
    EXPECT_EQ(parse_arguments(words, allowed, c.max_operands, &arguments), c.result) << c.text;
    EXPECT_STREQ(arguments.refused, c.refused) << c.text;
    if (c.result != ArgumentsResult::kParsed) {
      continue;
    }
    uint32_t expected = 0;
    for (const char* letter = c.switches; *letter != '\0'; ++letter) {
      expected |= switch_bit(*letter);
    }
    EXPECT_EQ(arguments.switches, expected) << c.text;
    EXPECT_EQ(arguments.operand_count, c.operands) << c.text;
  }
}

}  // namespace
