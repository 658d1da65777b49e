#pragma once

// Records a failed call's code in error_indicator (never 0, so the failure
// always shows) and returns the failure value -1.
int record_failure(int code);
