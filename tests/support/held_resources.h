#pragma once

#include <string>

// What this process holds open, in a form that changes when it is left with
// one more file, listing or descriptor than before: compare it before and
// after a call to see that the call gave back everything it opened.
std::string held_resources();
