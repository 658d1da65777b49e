#pragma once

#include <cstddef>
#include <cstdint>

// File-system services: a thin layer over the system's own calls. Paths are
// zero-terminated 8-bit texts and are passed on unchanged.

// The one folder separator of this platform, as a character and as a text.
extern const char kSeparator;
extern const char kSeparatorText[];
// What is appended to a folder's path to list everything in it.
extern const char kSearchAllSuffix[];
// Whether this platform's names compare without regard to letter case.
extern const bool kNamesFoldCase;

// Attribute bits of a listed entry, with the values Windows gives them.
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeHidden = 0x02;
constexpr uint32_t kAttributeSystem = 0x04;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;
// A junction or symbolic link: never followed, never descended into.
constexpr uint32_t kAttributeReparsePoint = 0x400;
// Every search asks for all five ordinary bits, so nothing is passed over.
constexpr uint32_t kSearchMask = 0x37;

// Hidden, system and folder entries are listed only when the mask asks for
// them, as the old DOS searches did; the full mask lets everything through.
inline bool mask_admits(uint32_t attributes, uint32_t mask) {
  uint32_t special = attributes & (kAttributeHidden | kAttributeSystem | kAttributeDirectory);
  return (special & ~mask) == 0;
}

constexpr size_t kNameSize = 260;

// One entry of a folder listing. The caller owns it; `search_state` is the
// open search, which only the backend understands.
struct FindRecord {
  void* search_state;
  uint32_t size;  // low half of the entry's size
  uint32_t attributes;
  uint16_t time;  // DOS words of the last write, local time; 0 when it has no stamp
  uint16_t date;
  char name[kNameSize];  // the entry's own name, without its folder
};

// The DOS form of a last-write time in local time: two-second steps, years
// 1980 to 2107.
struct DosStamp {
  uint16_t time;  // bits 0-4 seconds/2, 5-10 minute, 11-15 hour
  uint16_t date;  // bits 0-4 day, 5-8 month, 9-15 years since 1980
};

// An open file, or kNoFile.
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// Set to the system's code by every operation that fails; 0 means no error.
// find_first leaves it untouched when it finds an entry.
extern int error_indicator;

// Starts a search. A pattern whose last component is "*" lists that folder
// ("." and ".." included); any other pattern names a single entry, which is
// reported alone when it exists. Returns 0 with the first entry in `record`,
// else non-zero. find_close must follow, also after a failure.
int find_first(const char* pattern, uint32_t mask, FindRecord* record);
// Starts a search as find_first does, for a caller that reads only each
// entry's name and attributes, as the passes do. The listing may then skip
// what costs extra to learn: on POSIX an entry's kind comes from the folder
// listing itself, without a status call per entry, so `size`, `time` and
// `date` are 0 and the read-only bit is not looked up. Folder, link, hidden
// and ordinary-file bits are the ones find_first gives.
int find_first_basic(const char* pattern, uint32_t mask, FindRecord* record);
// Returns 0 with the next entry in `record`; non-zero at the end, where
// error_indicator is left alone, or on an error, which sets it.
int find_next(FindRecord* record);
void find_close(FindRecord* record);

// Opens a file for reading. A folder cannot be opened.
FileHandle open_read(const char* path);
int close_file(FileHandle file);
// 0 with the last-write stamp; non-zero when it cannot be had or lies outside
// 1980 to 2107.
int file_stamp(FileHandle file, DosStamp* stamp);
// The low 32 bits of the file's size, as a signed value; -1 on failure.
int32_t file_length(FileHandle file);

// Creates one folder. 0, or -1 (the path exists, or its parent is missing).
int make_dir(const char* path);
// Deletes a file. A read-only file or a folder is refused. 0, or -1.
int remove_file(const char* path);
// Removes a link itself, never what it points to. `attributes` are the ones
// its listing gave: a link that carries the folder bit is a folder link.
int remove_link(const char* path, uint32_t attributes);

// Whether a code in error_indicator says that the path names no such entry:
// it does not exist, a folder on its way is missing or is a file, or a file
// was asked for and a folder stands there. Any other failure (access denied,
// sharing, I/O) says nothing about whether the entry exists.
bool error_is_not_found(int code);
// The system's wording for a code, for messages.
const char* error_text(int code);

// Writes the absolute form of an existing path, with links resolved, into
// `out`. 0, or non-zero when the path cannot be resolved or does not fit.
int resolve_path(const char* path, char* out, size_t size);
