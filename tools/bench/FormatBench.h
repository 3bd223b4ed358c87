#pragma once

// FormatWide against snprintf of the same messages; false when a ratio is over its budget.
bool RunFormatBench();
