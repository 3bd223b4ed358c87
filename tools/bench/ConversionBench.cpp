// UTF-8 and UTF-7 encoding and decoding of 10 MB of text, each beside memcpy of the same number
// of bytes. The text mixes ASCII words with Latin, Greek and CJK characters and a few surrogate
// pairs, as translated program text does.
#include "ConversionBench.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "BenchSupport.h"
#include "VynClasses.h"

namespace {

constexpr size_t TextBytes = 10 * 1000 * 1000;
constexpr int Runs = 5;

WideString MixedText() {
    const std::u16string pieces[] = {u"Setup ",         u"copies ",     u"files ",
                                     u"\u00e9t\u00e9 ", u"\u00fcber ",  u"\u03b1\u03b2\u03b3 ",
                                     u"\u65e5\u672c ",  u"\U0001F600 ", u"+ 1-2\r\n",
                                     u"100% "};
    std::mt19937 random(20261209);
    WideString text;
    while (text.size() * sizeof(char16_t) < TextBytes)
        text += pieces[random() % std::size(pieces)];
    text.resize(TextBytes / sizeof(char16_t));
    // Cut in a pair: the last unit would be half a character.
    if (text.back() >= 0xD800 && text.back() <= 0xDBFF)
        text.back() = u'.';
    return text;
}

double CopySeconds(size_t bytes) {
    std::vector<char> from(bytes, 'x');
    std::vector<char> to(bytes);
    return bench::MedianSeconds(Runs, [&] {
        std::memcpy(to.data(), from.data(), bytes);
        bench::KeepAlive(to);
    });
}

} // namespace

void RunConversionBench() {
    std::printf("UTF-8 and UTF-7, %zu bytes of UTF-16 text, median of %d runs\n", TextBytes, Runs);
    const WideString text = MixedText();
    const size_t wideBytes = text.size() * sizeof(char16_t);
    const AnsiString utf8 = Utf8Encode(text);
    const AnsiString utf7 = Utf7Encode(text);
    if (Utf8Decode(utf8) != text || Utf7Decode(utf7) != text) {
        std::printf("a conversion does not give the text back\n");
        return;
    }
    const double wideCopy = CopySeconds(wideBytes);
    bench::ReportThroughput("Utf8Encode (MB of UTF-16 read)", static_cast<double>(wideBytes),
                            bench::MedianSeconds(Runs, [&] { bench::KeepAlive(Utf8Encode(text)); }),
                            wideCopy);
    bench::ReportThroughput("Utf7Encode (MB of UTF-16 read)", static_cast<double>(wideBytes),
                            bench::MedianSeconds(Runs, [&] { bench::KeepAlive(Utf7Encode(text)); }),
                            wideCopy);
    bench::ReportThroughput("Utf8Decode (MB of UTF-8 read)", static_cast<double>(utf8.size()),
                            bench::MedianSeconds(Runs, [&] { bench::KeepAlive(Utf8Decode(utf8)); }),
                            CopySeconds(utf8.size()));
    bench::ReportThroughput("Utf7Decode (MB of UTF-7 read)", static_cast<double>(utf7.size()),
                            bench::MedianSeconds(Runs, [&] { bench::KeepAlive(Utf7Decode(utf7)); }),
                            CopySeconds(utf7.size()));
}
