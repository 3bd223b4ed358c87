// Compares what the embedded TDBG data answers for an address with addr2line's answer for the
// same address of the unstripped image, on fair terms:
// - names: addr2line prints the linkage name (mangled) where DWARF has one, else the bare
//   DW_AT_name; a mangled name is demangled and compared whole as TDBG stores it
//   ("Qualifier.Name"), a bare one with the last part of the TDBG name. (addr2line's own -C is
//   not used: on i686 it first strips a leading underscore, which DWARF names do not have.)
// - files: both as paths with "." and ".." resolved, relative to the source root when inside it.
// - unknowns: "??" and line "?" are unknown; TDBG answers nothing for an address outside every
//   unit, as the program's lookup does. An unknown agrees only with an unknown. Where addr2line
//   knows neither function nor line (code without DWARF), the file it prints comes from the
//   COFF symbol table's file records, not from the address, and counts as unknown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Addr2LineAnswers.h"
#include "TraceDebugScanner.h"

struct TdbgAnswer {
    std::string Unit;
    std::string Procedure; // "Qualifier.Name" or "Name"
    std::string File;
    int32_t Line = 0;
};

// The reader's answer for an offset from the code start: nothing at all without a unit.
TdbgAnswer TdbgAnswerAt(const TTraceBinDebugScanner& scanner, uint32_t offset);

struct LocationAgreement {
    bool Procedure = false;
    bool File = false;
    bool Line = false;
    bool All() const { return Procedure && File && Line; }
};

LocationAgreement CompareLocations(const Addr2LineAnswer& reference, const TdbgAnswer& answer,
                                   std::string_view sourceRoot);
