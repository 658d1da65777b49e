#pragma once

#include <ctime>

#include "platform/file_system.h"

// Packs a time into the DOS words of its local time. Returns false, with the
// stamp zero, when the time lies outside 1980 to 2107.
bool dos_stamp_of(time_t when, DosStamp* stamp);
