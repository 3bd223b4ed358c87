#include "FerruleLogLines.h"

#include <cstdio>

#include "VynClasses.h"

namespace {

std::string Stamp(const TLogTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u  ", unsigned{time.Year},
                  unsigned{time.Month}, unsigned{time.Day}, unsigned{time.Hour}, unsigned{time.Minute},
                  unsigned{time.Second}, unsigned{time.Milliseconds});
    return text;
}

} // namespace

std::string LogLines(const TLogTime& time, const WideString& text) {
    const std::string stamp = Stamp(time);
    std::string lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find_first_of(u"\r\n", start);
        lines += stamp;
        lines += Utf8Encode(text.substr(start, end == WideString::npos ? WideString::npos : end - start));
        lines += "\r\n";
        if (end == WideString::npos)
            break;
        start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
        // A line break at the very end closes the last line; it opens no empty one.
        if (start == text.size())
            break;
    }
    return lines;
}
