// Flattens nested code ranges (a function, the functions inlined into it, those inlined into
// them) into one procedure per address: the innermost, chosen as addr2line chooses it — the
// smallest range that holds the address, of two equal ones the later entry. Where an inner
// range ends the enclosing procedure resumes, so it gets a start of its own again.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

struct ProcedureSpan {
    uint64_t Low = 0;
    uint64_t High = 0;  // one past the last byte
    uint32_t Order = 0; // breaks ties between equal sizes: the larger wins
    uint32_t Name = 0;  // what the caller names the procedure by
};

struct ProcedureChange {
    static constexpr uint32_t NoProcedure = std::numeric_limits<uint32_t>::max();
    uint64_t Address = 0;
    uint32_t Name = NoProcedure; // from this address on, up to the next change
};

// The changes in ascending order of address; two neighbours never carry the same name. Empty
// spans are ignored.
std::vector<ProcedureChange> InnermostProcedures(const std::vector<ProcedureSpan>& spans);
