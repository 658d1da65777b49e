#pragma once

// Whether two resolved folder paths name the same folder or one lies inside
// the other. Names compare without regard to ASCII letter case where the
// platform's do.
bool paths_overlap(const char* first, const char* second, char separator, bool fold_case);
