#pragma once

// Adds to a sorted wide string list against std::sort of the same keys; false when over budget.
bool RunStringListBench();
