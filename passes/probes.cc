#include "passes/probes.h"

#include "platform/file_system.h"

namespace {

unsigned char upper_ascii(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 0x20) : byte;
}

}  // namespace

int same_name(const char* first, const char* second) {
  while (*first != '\0' && *second != '\0') {
    if (upper_ascii(*first) != upper_ascii(*second)) {
      break;
    }
    ++first;
    ++second;
  }
  return *first == *second ? 1 : 0;
}

int path_exists(const char* path) {
  error_indicator = 0;
  FindRecord record;
  find_first(path, kSearchMask, &record);
  int answer = error_indicator == 0 ? 1 : 0;
  find_close(&record);
  return answer;
}

int file_readable(const char* path) {
  FileHandle file = open_read(path);
  if (file == kNoFile) {
    return 0;
  }
  close_file(file);
  return 1;
}

int files_match(const char* first, const char* second) {
  FileHandle first_file = open_read(first);
  FileHandle second_file = open_read(second);
  int answer = 0;
  DosStamp first_stamp;
  DosStamp second_stamp;
  if (first_file != kNoFile && second_file != kNoFile &&
      file_stamp(first_file, &first_stamp) == 0 && file_stamp(second_file, &second_stamp) == 0 &&
      first_stamp.time == second_stamp.time && first_stamp.date == second_stamp.date) {
    answer = file_length(first_file) == file_length(second_file) ? 1 : 0;
  }
  if (first_file != kNoFile) {
    close_file(first_file);
  }
  if (second_file != kNoFile) {
    close_file(second_file);
  }
  return answer;
}
