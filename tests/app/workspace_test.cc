#include "app/workspace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/file_system.h"

TEST(ScratchConcat, HandsOutTheRingSlotsInTurn) {
  // Bring the ring to a known place: the call after slot 99 uses slot 0.
  while (scratch_counter != kScratchSlotCount - 1) {
    scratch_concat("", "");
  }
  char* first = scratch_concat("a", "b");
  EXPECT_EQ(scratch_counter, 0);
  EXPECT_STREQ(first, "ab");
  char* second = scratch_concat("c", "d");
  EXPECT_EQ(scratch_counter, 1);
  EXPECT_NE(first, second);
  for (int call = 2; call < kScratchSlotCount; ++call) {
    scratch_concat("x", "y");
  }
  EXPECT_STREQ(first, "ab");  // unchanged after 99 further calls
  EXPECT_EQ(scratch_concat("e", "f"), first);
  EXPECT_STREQ(first, "ef");  // overwritten by the 100th
}

TEST(ScratchConcat, CopiesEitherTextAloneAndRefusesWhatDoesNotFit) {
  EXPECT_STREQ(scratch_concat("only", ""), "only");
  EXPECT_STREQ(scratch_concat("", "only"), "only");
  std::string folder(kScratchSlotSize - 3, 'a');  // 2045 characters: the pattern just fits
  char* pattern = scratch_concat(folder.c_str(), kSearchAllSuffix);
  ASSERT_NE(pattern, nullptr);
  EXPECT_EQ(std::string(pattern), folder + kSearchAllSuffix);
  folder += 'a';
  EXPECT_EQ(scratch_concat(folder.c_str(), kSearchAllSuffix), nullptr);
}

TEST(LengthenPath, AppendsTheSeparatorAndNameOrRefusesWhole) {
  // (length of the path before, length of the name, whether it fits 2048 bytes)
  struct Case {
    size_t held;
    size_t name;
    bool fits;
  } cases[] = {
      {2045, 1, true},   // 2047 characters: N-1
      {2045, 2, false},  // 2048: N
      {2045, 3, false},  // 2049: N+1
      {0, 2046, true},
  };
  for (const Case& c : cases) {
    char path[kPathSize];
    std::string before(c.held, 'p');
    std::string name(c.name, 'n');
    strcpy(path, before.c_str());
    EXPECT_EQ(lengthen_path(path, name.c_str()), c.fits) << c.held << "+" << c.name;
    EXPECT_EQ(std::string(path), c.fits ? before + kSeparatorText + name : before);
  }
}

TEST(LengthenPath, DoublesTheSeparatorAfterAnOperandThatEndsWithIt) {
  char path[kPathSize];
  strcpy(path, kSeparatorText);
  ASSERT_TRUE(lengthen_path(path, "a.txt"));
  EXPECT_EQ(std::string(path), std::string(kSeparatorText) + kSeparatorText + "a.txt");
}
