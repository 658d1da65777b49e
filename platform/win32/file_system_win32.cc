// File-system services on the kernel32 file calls, with ANSI paths passed on
// as they stand.

#include <windows.h>

#include <cstring>

#include "platform/file_system.h"
#include "platform/text.h"

const char kSeparator = '\\';
const char kSeparatorText[] = "\\";
const char kSearchAllSuffix[] = "\\*";
const bool kNamesFoldCase = true;

int error_indicator = 0;

namespace {

// Records the system's code for the call that just failed.
int fail() {
  DWORD code = GetLastError();
  error_indicator = code != ERROR_SUCCESS ? static_cast<int>(code) : ERROR_GEN_FAILURE;
  return -1;
}

int fail_with(DWORD code) {
  error_indicator = static_cast<int>(code);
  return -1;
}

// A search below a file is refused by some systems (Wine among them) as a
// bad name, which would hide that the entry simply is not there. When the
// folder part of the pattern turns out to be a file, say so: a folder was
// asked for and a file stands there.
int search_failure(const char* pattern) {
  DWORD code = GetLastError();
  const char* separator = strrchr(pattern, '\\');
  static char folder[32768];
  if (code == ERROR_INVALID_NAME && separator != nullptr &&
      static_cast<size_t>(separator - pattern) < sizeof folder) {
    size_t length = static_cast<size_t>(separator - pattern);
    memcpy(folder, pattern, length);
    folder[length] = '\0';
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      code = ERROR_DIRECTORY;
    }
  }
  return fail_with(code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE);
}

// The end of a listing is no failure: it leaves error_indicator alone, so
// that a listing broken off by an error can be told from one that ended.
int listing_stopped() {
  if (GetLastError() == ERROR_NO_MORE_FILES) {
    return -1;
  }
  return fail();
}

void fill_record(FindRecord* record, const WIN32_FIND_DATAA& found) {
  record->size = found.nFileSizeLow;
  record->attributes = found.dwFileAttributes;
  record->time = 0;
  record->date = 0;
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) &&
      FileTimeToDosDateTime(&local, &date, &time)) {
    record->time = time;
    record->date = date;
  }
  // cFileName holds MAX_PATH characters, the size of the record's name.
  text_copy(record->name, sizeof record->name, found.cFileName);
}

// Reads on from the entry in `found` to the first one the mask lets through:
// 0 with it in `record`, else non-zero with the system's code recorded.
int next_wanted(HANDLE search, WIN32_FIND_DATAA* found, uint32_t mask, FindRecord* record) {
  while (!mask_admits(found->dwFileAttributes, mask)) {
    if (!FindNextFileA(search, found)) {
      return listing_stopped();
    }
  }
  fill_record(record, *found);
  return 0;
}

// Takes over a search just started, from the entry in `found` on.
int search_started(HANDLE search, WIN32_FIND_DATAA* found, const char* pattern, uint32_t mask,
                   FindRecord* record) {
  if (search == INVALID_HANDLE_VALUE) {
    return search_failure(pattern);
  }
  record->search_state = search;
  if (next_wanted(search, found, mask, record) != 0) {
    // Nothing the mask lets through is no entry at all.
    return fail_with(ERROR_FILE_NOT_FOUND);
  }
  return 0;
}

}  // namespace

int find_first(const char* pattern, uint32_t mask, FindRecord* record) {
  record->search_state = nullptr;
  WIN32_FIND_DATAA found;
  return search_started(FindFirstFileA(pattern, &found), &found, pattern, mask, record);
}

// The basic level leaves out the short 8.3 name, which velk never reads, and
// the large fetch asks the system for the folder's entries in bigger batches.
// Every field of the record is still filled.
int find_first_basic(const char* pattern, uint32_t mask, FindRecord* record) {
  record->search_state = nullptr;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileExA(pattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  return search_started(search, &found, pattern, mask, record);
}

int find_next(FindRecord* record) {
  if (record->search_state == nullptr) {
    return fail_with(ERROR_INVALID_HANDLE);
  }
  HANDLE search = static_cast<HANDLE>(record->search_state);
  WIN32_FIND_DATAA found;
  if (!FindNextFileA(search, &found)) {
    return listing_stopped();
  }
  // Every search velk makes uses the full mask, so the record need not keep it.
  return next_wanted(search, &found, kSearchMask, record);
}

void find_close(FindRecord* record) {
  if (record->search_state != nullptr) {
    FindClose(static_cast<HANDLE>(record->search_state));
    record->search_state = nullptr;
  }
}

FileHandle open_read(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    attributes = 0;
  }
  // A folder would only give "access denied", which says nothing about the
  // entry. Name it for what it is: a file was asked for, a folder stands there.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    fail_with(ERROR_DIRECTORY);
    return kNoFile;
  }
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                            OPEN_EXISTING, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fail();
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(file);
}

int close_file(FileHandle file) {
  return CloseHandle(reinterpret_cast<HANDLE>(file)) ? 0 : fail();
}

int file_stamp(FileHandle file, DosStamp* stamp) {
  FILETIME written;
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!GetFileTime(reinterpret_cast<HANDLE>(file), nullptr, nullptr, &written) ||
      !FileTimeToLocalFileTime(&written, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
    return fail();
  }
  stamp->time = time;
  stamp->date = date;
  return 0;
}

int32_t file_length(FileHandle file) {
  // 0xFFFFFFFF is also the low half of some real sizes; only the error code
  // tells them apart.
  SetLastError(ERROR_SUCCESS);
  DWORD low = GetFileSize(reinterpret_cast<HANDLE>(file), nullptr);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
    fail();
    return -1;
  }
  return static_cast<int32_t>(low);
}

int make_dir(const char* path) {
  return CreateDirectoryA(path, nullptr) ? 0 : fail();
}

int remove_file(const char* path) {
  return DeleteFileA(path) ? 0 : fail();
}

int remove_link(const char* path, uint32_t attributes) {
  // A folder link (a junction, or a symbolic link to a folder) is removed as
  // a folder; the call takes only the link, never what lies behind it.
  if ((attributes & kAttributeDirectory) != 0) {
    return RemoveDirectoryA(path) ? 0 : fail();
  }
  return DeleteFileA(path) ? 0 : fail();
}

bool error_is_not_found(int code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_DIRECTORY;
}

const char* error_text(int code) {
  static char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  if (length == 0) {
    char number[12];
    decimal_text(code, number);
    text[0] = '\0';
    text_append(text, sizeof text, "error ");
    text_append(text, sizeof text, number);
    return text;
  }
  // The system's messages end with a line break, which the caller adds itself.
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) {
    text[--length] = '\0';
  }
  return text;
}

int resolve_path(const char* path, char* out, size_t size) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    return fail();
  }
  static char resolved[32768];
  DWORD length = 0;
  // The final path follows junctions and symbolic links, so that a link to a
  // folder is seen as that folder. Backup semantics let a folder be opened.
  HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    length = GetFinalPathNameByHandleA(handle, resolved, sizeof resolved,
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    if (length >= sizeof resolved) {
      length = 0;
    }
  }
  const char* text = resolved;
  if (length == 0) {
    // Where the final path cannot be had, the absolute form is still better
    // than nothing: it catches every overlap that does not pass a link.
    length = GetFullPathNameA(path, sizeof resolved, resolved, nullptr);
    if (length == 0 || length >= sizeof resolved) {
      return fail();
    }
  } else if (strncmp(resolved, "\\\\?\\UNC\\", 8) == 0) {
    resolved[6] = '\\';  // \\?\UNC\server\share is \\server\share
    text = resolved + 6;
  } else if (strncmp(resolved, "\\\\?\\", 4) == 0) {
    text = resolved + 4;
  }
  return text_copy(out, size, text) ? 0 : fail_with(ERROR_FILENAME_EXCED_RANGE);
}
