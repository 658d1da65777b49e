// The console in text mode: every line feed goes out as carriage return and
// line feed, as Windows programs write their lines.

#include <windows.h>

#include "platform/console.h"
#include "platform/process.h"

namespace {

HANDLE stream_handle(int stream) {
  return GetStdHandle(stream == kStandardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

bool write_all(HANDLE handle, const char* data, size_t length) {
  while (length > 0) {
    DWORD written = 0;
    DWORD part = length < 0x10000 ? static_cast<DWORD>(length) : 0x10000;
    if (!WriteFile(handle, data, part, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    length -= written;
  }
  return true;
}

}  // namespace

bool console_write(int stream, const char* data, size_t length) {
  HANDLE handle = stream_handle(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  // Text between line feeds goes out as it stands, each line feed as CR LF.
  size_t start = 0;
  for (size_t at = 0; at < length; ++at) {
    if (data[at] == '\n') {
      if (!write_all(handle, data + start, at - start) || !write_all(handle, "\r\n", 2)) {
        return false;
      }
      start = at + 1;
    }
  }
  return write_all(handle, data + start, length - start);
}

bool console_is_terminal(int stream) {
  HANDLE handle = stream_handle(stream);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetFileType(handle) == FILE_TYPE_CHAR;
}
