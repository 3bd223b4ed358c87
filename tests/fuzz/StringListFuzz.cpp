// Text files and streams read into lists: the encoding is told by a byte-order mark, the text is
// split into entries; the ANSI lists read their text in a code page (UTF-7 and UTF-8 included).
#include <cstdint>
#include <cstdlib>

#include "FuzzInput.h"
#include "StringLists.h"
#include "Streams.h"
#include "VynClasses.h"
#include "VynSysUtilsPaths.h"

namespace {

void Fill(TMemoryStream& stream, const uint8_t* data, size_t size) {
    if (size > 0)
        stream.Write(data, static_cast<int32_t>(size));
    stream.SetPosition(0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20)
        return 0; // the stream takes a 32-bit count; inputs stay far below it
    TMemoryStream stream;
    Fill(stream, data, size);
    static_cast<void>(DetectStreamCharSet(stream));

    for (const bool detect : {true, false}) {
        stream.SetPosition(0);
        TVynStringList list;
        list.ReadFromStream(stream, detect);
        TMemoryStream written;
        list.WriteToStream(written, true);
        written.SetPosition(0);
        // Written text reads back as the same entries.
        TVynStringList again;
        again.ReadFromStream(written, true);
        if (again.AllText() != list.AllText())
            std::abort();
    }

    for (const uint32_t codePage : {0u, 1252u, CodePageUtf8, CodePageUtf7}) {
        stream.SetPosition(0);
        TVynStringList list;
        TAnsiStringsForWideStringsAdapter adapter(list);
        try {
            adapter.ReadFromStreamInCodePage(stream, codePage);
        } catch (const EVynGeneralError&) {
            // Invalid UTF-7
        }
    }

    TStringList plain;
    plain.SetText(fuzz::AsAnsi(data, size));
    static_cast<void>(plain.Text());
    return 0;
}
