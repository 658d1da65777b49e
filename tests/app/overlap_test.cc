#include "app/overlap.h"

#include <gtest/gtest.h>

TEST(PathsOverlap, SameFolderOrOneInsideTheOther) {
  struct Case {
    const char* first;
    const char* second;
    char separator;
    bool fold_case;
    bool overlap;
  } cases[] = {
      {"/src", "/src", '/', false, true},
      {"/src", "/src/bak", '/', false, true},
      {"/src/bak", "/src", '/', false, true},
      {"/src", "/src2", '/', false, false},
      {"/src2", "/src", '/', false, false},
      {"/", "/bak", '/', false, true},
      {"/a/b", "/a/c", '/', false, false},
      {"/Src", "/src", '/', false, false},
      {"C:\\Src", "c:\\src\\bak", '\\', true, true},
      {"c:\\", "d:\\bak", '\\', true, false},
      {"c:\\", "C:\\bak", '\\', true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(paths_overlap(c.first, c.second, c.separator, c.fold_case), c.overlap)
        << c.first << " " << c.second;
  }
}
