// The translator's .po files: a file reads or raises EPoFileError; entries that were read write
// back to text that reads as the same entries.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Exceptions.h"
#include "PoFile.h"

namespace {

bool SameEntries(const std::vector<TPoEntry>& a, const std::vector<TPoEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].HasContext != b[i].HasContext || a[i].Context != b[i].Context || a[i].MsgId != b[i].MsgId ||
            a[i].MsgStr != b[i].MsgStr || a[i].Flags != b[i].Flags)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view contents(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);
    std::vector<TPoEntry> entries;
    try {
        entries = ReadPoFile("fuzz.po", contents);
    } catch (const EPoFileError&) {
        return 0;
    }
    const TPoEntry* header = FindPoHeader(entries);
    if (header != nullptr)
        static_cast<void>(PoHeaderField(header->MsgStr, u"Content-Type"));
    if (!SameEntries(ReadPoFile("written.po", WritePoFile(entries)), entries))
        std::abort();
    return 0;
}
