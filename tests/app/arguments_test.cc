#include "app/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/workspace.h"

namespace {

struct Assembled {
  int count;
  std::vector<std::string> slots;  // the stored words that were counted
  const char* too_long;
};

// The words must outlive the result: too_long points into them.
Assembled assemble(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (auto& word : words) {
    pointers.push_back(word.data());
  }
  const char* too_long = assemble_arguments(static_cast<int>(pointers.size()), pointers.data());
  Assembled result{arg_count, {}, too_long};
  for (int slot = 1; slot < arg_count && slot < kArgSlotCount; ++slot) {
    result.slots.push_back(arg_slots[slot]);
  }
  return result;
}

using Slots = std::vector<std::string>;

}  // namespace

TEST(AssembleArguments, StoresPlainWordsAndJoinsQuotedOnes) {
  struct Case {
    std::vector<std::string> words;  // after the program's own path
    int count;
    Slots slots;
  } cases[] = {
      {{"c:\\src", "d:\\src"}, 3, {"c:\\src", "d:\\src"}},
      {{"c:\\src", "d:\\src", "restore"}, 4, {"c:\\src", "d:\\src", "restore"}},
      {{}, 1, {}},
      // "c:\my docs" typed as \"c:\my docs\": joined without a blank between.
      {{"\"c:\\my", "docs\"", "d:\\bak"}, 3, {"c:\\mydocs", "d:\\bak"}},
      {{"\"a", "b", "c\"", "d", "e"}, 4, {"abc", "d", "e"}},
      // Nothing closes the joined argument: it is not counted.
      {{"c:\\src", "\"d:\\x", "y"}, 2, {"c:\\src"}},
      // The opening word is not examined for its own closing quote.
      {{"\"c:\\src\"", "d:\\bak"}, 1, {}},
      {{"\"c:\\src\"", "", "d"}, 3, {"c:\\src", "d"}},
      {{"\"", "\"", "x"}, 3, {"", "x"}},
      {{"a", "\"b", "c\"", "\"d", "e\""}, 4, {"a", "bc", "de"}},
      // Past the eighth slot words are only counted.
      {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       11,
       {"1", "2", "3", "4", "5", "6", "7"}},
      {{"1", "2", "3", "4", "5", "6", "7", "\"8", "9\"", "10"},
       10,
       {"1", "2", "3", "4", "5", "6", "7"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words = {"/usr/bin/velk"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    Assembled result = assemble(words);
    EXPECT_EQ(result.count, c.count) << testing::PrintToString(c.words);
    EXPECT_EQ(result.slots, c.slots) << testing::PrintToString(c.words);
    EXPECT_EQ(result.too_long, nullptr);
    EXPECT_STREQ(arg_slots[0], "/usr/bin/velk");
  }
}

TEST(AssembleArguments, NamesTheWordThatDoesNotFitItsSlot) {
  std::string fits(kArgSlotSize - 1, 'a');
  std::string too_long(kArgSlotSize, 'b');
  std::vector<std::string> words = {"velk", fits, too_long};
  Assembled result = assemble(words);
  EXPECT_EQ(result.count, 3);
  EXPECT_EQ(std::string(result.too_long), too_long);

  std::string half(kArgSlotSize / 2, 'c');
  words = {"velk", "\"" + half, half + "\"", "d"};
  result = assemble(words);
  EXPECT_EQ(result.count, 3);
  ASSERT_NE(result.too_long, nullptr);
  EXPECT_EQ(std::string(result.too_long), "\"" + half);
}
