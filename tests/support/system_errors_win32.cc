#include <windows.h>

#include "platform/file_system.h"
#include "tests/support/system_errors.h"

std::string access_denied_text() {
  return error_text(ERROR_ACCESS_DENIED);
}
