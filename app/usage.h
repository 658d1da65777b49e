#pragma once

// The text shown when the number of operands is wrong: eleven lines, without
// a line feed after the last one.
extern const char usage_text[];
