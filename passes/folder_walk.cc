#include "passes/folder_walk.h"

#include <cstring>

#include "app/workspace.h"
#include "passes/outcome.h"
#include "passes/probes.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace {

// Moves the listing on. One that breaks off with an error, rather than
// ending, has left entries unseen: that is named, as an unlistable folder is.
bool listing_goes_on(FindRecord* record, const char* listed) {
  error_indicator = 0;
  if (find_next(record) == 0) {
    return true;
  }
  if (error_indicator != 0) {
    print_err("velk: cannot list %s: %s\n", listed, error_text(error_indicator));
    note_failure();
  }
  return false;
}

}  // namespace

void walk_folder(char* listed, char* other, EntryHandler handle) {
  const char* pattern = scratch_concat(listed, kSearchAllSuffix);
  if (pattern == nullptr) {
    report_too_long(listed, nullptr);
    return;
  }
  // The passes read only each entry's name and attributes, so the listing
  // need not learn the rest.
  FindRecord record;
  if (find_first_basic(pattern, kSearchMask, &record) != 0) {
    // A folder that is not there holds nothing; one that is there but cannot
    // be read is a failure worth naming.
    if (!error_is_not_found(error_indicator)) {
      print_err("velk: cannot list %s: %s\n", listed, error_text(error_indicator));
      note_failure();
    }
    find_close(&record);
    return;
  }
  do {
    const char* name = record.name;
    if (same_name(name, ".") || same_name(name, "..")) {
      continue;
    }
    size_t listed_end = strlen(listed);
    size_t other_end = strlen(other);
    if (lengthen_path(listed, name) && lengthen_path(other, name)) {
      handle(listed, other, record.attributes);
    } else {
      listed[listed_end] = '\0';
      report_too_long(listed, name);
    }
    listed[listed_end] = '\0';
    other[other_end] = '\0';
  } while (listing_goes_on(&record, listed));
  find_close(&record);
}
