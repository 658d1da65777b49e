#include "app/overlap.h"

namespace {

char fold(char c, bool fold_case) {
  return fold_case && c >= 'a' && c <= 'z' ? c - 32 : c;
}

// Whether `inner` is `outer` itself or lies below it.
bool lies_within(const char* outer, const char* inner, char separator, bool fold_case) {
  char last = '\0';
  while (*outer != '\0') {
    if (fold(*outer, fold_case) != fold(*inner, fold_case)) {
      return false;
    }
    last = *outer++;
    ++inner;
  }
  // A root such as "/" or "c:\" already ends with the separator.
  return *inner == '\0' || *inner == separator || last == separator;
}

}  // namespace

bool paths_overlap(const char* first, const char* second, char separator, bool fold_case) {
  return lies_within(first, second, separator, fold_case) ||
         lies_within(second, first, separator, fold_case);
}
