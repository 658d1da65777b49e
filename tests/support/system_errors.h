#pragma once

#include <string>

// How the system words the reason when it refuses access, as velk reports it.
std::string access_denied_text();
