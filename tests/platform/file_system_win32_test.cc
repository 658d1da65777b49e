// The Windows backend on things only Windows has: the hidden and system
// attributes and the search mask that filters on them.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_tree.h"

namespace {

constexpr uint32_t kKindBits =
    kAttributeReadOnly | kAttributeHidden | kAttributeSystem | kAttributeDirectory;

void add_attributes(const std::string& path, DWORD bits) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << path;
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes | bits)) << path;
}

}  // namespace

TEST(FindFirst, ListsHiddenAndSystemEntriesWithTheirAttributes) {
  TempDir dir;
  write_file(dir.at("plain.txt"), "");
  write_file(dir.at("hidden.txt"), "");
  write_file(dir.at("system.txt"), "");
  write_file(dir.at("locked.txt"), "");
  make_dirs(dir.at("sub"));
  make_dirs(dir.at("hidden_sub"));
  add_attributes(dir.at("hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
  add_attributes(dir.at("system.txt"), FILE_ATTRIBUTE_SYSTEM);
  add_attributes(dir.at("locked.txt"), FILE_ATTRIBUTE_READONLY);
  add_attributes(dir.at("hidden_sub"), FILE_ATTRIBUTE_HIDDEN);

  std::vector<std::pair<std::string, uint32_t>> expected = {
      {".", kAttributeDirectory},         {"..", kAttributeDirectory},
      {"hidden.txt", kAttributeHidden},   {"hidden_sub", kAttributeDirectory | kAttributeHidden},
      {"locked.txt", kAttributeReadOnly}, {"plain.txt", 0},
      {"sub", kAttributeDirectory},       {"system.txt", kAttributeSystem},
  };
  // The basic search reports the very same attributes here.
  for (auto start : {find_first, find_first_basic}) {
    std::vector<std::pair<std::string, uint32_t>> entries;
    FindRecord record;
    ASSERT_EQ(start((dir.path() + kSearchAllSuffix).c_str(), kSearchMask, &record), 0);
    do {
      entries.emplace_back(record.name, record.attributes & kKindBits);
    } while (find_next(&record) == 0);
    find_close(&record);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, expected);
  }
}

TEST(FindFirst, PassesOverEntriesWhoseSpecialBitsTheMaskLacks) {
  TempDir dir;
  write_file(dir.at("plain.txt"), "");
  write_file(dir.at("hidden.txt"), "");
  write_file(dir.at("system.txt"), "");
  make_dirs(dir.at("sub"));
  add_attributes(dir.at("hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
  add_attributes(dir.at("system.txt"), FILE_ATTRIBUTE_SYSTEM);
  struct Case {
    const char* name;
    uint32_t mask;
    bool found;
  } cases[] = {
      {"plain.txt", 0, true},
      {"hidden.txt", 0, false},
      {"hidden.txt", kAttributeHidden, true},
      {"system.txt", kAttributeHidden, false},
      {"system.txt", kAttributeSystem, true},
      {"sub", kAttributeHidden | kAttributeSystem, false},
      {"sub", kAttributeDirectory, true},
  };
  for (const auto& c : cases) {
    error_indicator = 0;
    FindRecord record;
    EXPECT_EQ(find_first(dir.at(c.name).c_str(), c.mask, &record) == 0, c.found)
        << c.name << " " << c.mask;
    EXPECT_EQ(error_is_not_found(error_indicator), !c.found) << c.name << " " << c.mask;
    find_close(&record);
  }
}
