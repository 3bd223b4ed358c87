// Call sites of a module's code for the accuracy check and the benchmark: the address of every
// call instruction in objdump's disassembly (what a stack walk reports as the caller address),
// sampled evenly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The addresses of the call instructions in `objdump -d --no-show-raw-insn` output, ascending.
std::vector<uint64_t> CallSitesInDisassembly(std::string_view disassembly);

// `count` addresses spread evenly over the list (all of them when it holds fewer; a list shorter
// than `count` is repeated when `repeat` is set, for a benchmark that needs that many lookups).
std::vector<uint64_t> EvenSample(const std::vector<uint64_t>& addresses, size_t count, bool repeat = false);
