#include "VynClasses.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>

#include "Format.h"
#include "FormLoader.h"
#include "VynFormatStrUtils.h"
#include "FormWriter.h"
#include "TextConversion.h"
#include "WideCompare.h"

#ifdef _WIN32
#include "OSError.h"
#include "VynWindows.h"
#else
uint32_t DefaultCodePage = 0;
#endif

namespace {

// ---------------------------------------------------------------------------------------------
// UTF-7

constexpr char Base64Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Characters written as themselves: RFC 2152 Set D, space, tab, CR, LF and the optional Set O.
// '+', '\' and '~' are not among them.
bool IsDirectUtf7(char16_t unit) {
    if (unit >= 0x80)
        return false;
    if ((unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z') || (unit >= '0' && unit <= '9'))
        return true;
    static constexpr char Others[] = "'(),-./:? \t\r\n!\"#$%&*;<=>@[]^_`{|}";
    return std::strchr(Others, static_cast<char>(unit)) != nullptr && unit != 0;
}

[[noreturn]] void BufferOverflow() { throw EVynInternalError("Buffer overflow"); }

[[noreturn]] void InvalidUtf7() { throw EVynGeneralError("Invalid UTF7"); }

// A result sized once, up front; writing beyond it is a broken invariant, never a reallocation.
template <class Text>
class TFixedOutput {
public:
    explicit TFixedOutput(size_t capacity) : text_(capacity, typename Text::value_type{}) {}
    void Put(typename Text::value_type unit) {
        if (length_ >= text_.size())
            BufferOverflow();
        text_[length_++] = unit;
    }
    Text Take() {
        text_.resize(length_);
        return std::move(text_);
    }

private:
    Text text_;
    size_t length_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Byte transfers of any length through the stream's 32-bit counts

constexpr int32_t TransferChunk = 1 << 30;

AnsiString ReadBytes(TStream& stream, int64_t count) {
    if (count <= 0)
        return {};
    if (static_cast<uint64_t>(count) > AnsiString().max_size())
        throw EReadError("Stream too large to read");
    AnsiString bytes(static_cast<size_t>(count), '\0');
    for (size_t done = 0; done < bytes.size();) {
        const auto chunk = static_cast<int32_t>(std::min<size_t>(bytes.size() - done, TransferChunk));
        stream.ReadBuffer(bytes.data() + done, chunk);
        done += static_cast<size_t>(chunk);
    }
    return bytes;
}

void WriteBytes(TStream& stream, const char* bytes, size_t count) {
    for (size_t done = 0; done < count;) {
        const auto chunk = static_cast<int32_t>(std::min<size_t>(count - done, TransferChunk));
        stream.WriteBuffer(bytes + done, chunk);
        done += static_cast<size_t>(chunk);
    }
}

int64_t RemainingBytes(TStream& stream) {
    const int64_t position = stream.Position();
    const int64_t size = stream.Size();
    return size > position ? size - position : 0;
}

} // namespace

AnsiString Utf7Encode(const WideString& text) {
    if (text.empty())
        return {};
    // The most one unit can take is five bytes: a run of its own ('+', two letters, the letter with
    // its last bits, and the '-' a following base64 letter needs). The output is zeroed up front,
    // so a loose bound would cost as much as the encoding.
    constexpr size_t MostBytesPerUnit = 5;
    if (text.size() > AnsiString().max_size() / MostBytesPerUnit)
        BufferOverflow();
    TFixedOutput<AnsiString> out(text.size() * MostBytesPerUnit);
    bool inRun = false;
    // Bits not yet written; at most 5 remain between units, so 21 bits are the most held.
    uint32_t bits = 0;
    int bitCount = 0;
    auto flushBits = [&] {
        while (bitCount >= 6) {
            bitCount -= 6;
            out.Put(Base64Letters[(bits >> bitCount) & 0x3F]);
        }
        bits &= (1u << bitCount) - 1;
    };
    for (const char16_t unit : text) {
        const bool direct = IsDirectUtf7(unit);
        if (inRun && !direct) {
            bits = (bits << 16) | unit;
            bitCount += 16;
            flushBits();
            continue;
        }
        if (inRun) {
            if (bitCount > 0)
                out.Put(Base64Letters[(bits << (6 - bitCount)) & 0x3F]);
            bits = 0;
            bitCount = 0;
            inRun = false;
            // Without the '-', a base64 letter (or a '-') here would be read as part of the run.
            if (Base64Value(static_cast<unsigned char>(unit)) >= 0 || unit == u'-')
                out.Put('-');
        }
        if (direct) {
            out.Put(static_cast<char>(unit));
        } else if (unit == u'+') {
            out.Put('+');
            out.Put('-');
        } else {
            out.Put('+');
            inRun = true;
            bits = unit;
            bitCount = 16;
            flushBits();
        }
    }
    if (inRun && bitCount > 0)
        out.Put(Base64Letters[(bits << (6 - bitCount)) & 0x3F]);
    return out.Take();
}

WideString Utf7Decode(const AnsiString& text) {
    TFixedOutput<WideString> out(text.size());
    const size_t length = text.size();
    size_t i = 0;
    while (i < length) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80)
            InvalidUtf7();
        ++i;
        if (c != '+') {
            out.Put(c);
            continue;
        }
        if (i < length && text[i] == '-') {
            out.Put(u'+');
            ++i;
            continue;
        }
        uint32_t bits = 0;
        int bitCount = 0;
        bool wroteUnit = false;
        for (int value; i < length && (value = Base64Value(static_cast<unsigned char>(text[i]))) >= 0; ++i) {
            bits = (bits << 6) | static_cast<uint32_t>(value);
            bitCount += 6;
            if (bitCount >= 16) {
                bitCount -= 16;
                out.Put(static_cast<char16_t>((bits >> bitCount) & 0xFFFF));
                wroteUnit = true;
            }
            bits &= (1u << bitCount) - 1;
        }
        if (!wroteUnit || bits != 0)
            InvalidUtf7();
        if (i < length && text[i] == '-')
            ++i;
    }
    return out.Take();
}

AnsiString Utf8Encode(const WideString& text) {
    AnsiString out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t codePoint = text[i];
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        if (codePoint < 0x80) {
            out.push_back(static_cast<char>(codePoint));
        } else if (codePoint < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        } else if (codePoint < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        }
    }
    return out;
}

WideString Utf8Decode(const AnsiString& text) {
    WideString out;
    out.reserve(text.size());
    const size_t length = text.size();
    auto byteAt = [&](size_t index) { return static_cast<unsigned char>(text[index]); };
    size_t i = 0;
    while (i < length) {
        const unsigned char lead = byteAt(i);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        // The sequence length and the range of its second byte (which rules out overlong forms
        // and code points beyond U+10FFFF); three-byte surrogate forms are accepted.
        size_t needed = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            if (lead == 0xE0)
                low = 0xA0;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F;
        }
        uint32_t codePoint = lead & (0x3F >> needed);
        size_t taken = 1;
        bool complete = needed != 0;
        for (; complete && taken <= needed; ++taken) {
            if (i + taken >= length) {
                complete = false;
                break;
            }
            const unsigned char next = byteAt(i + taken);
            const bool inRange = taken == 1 ? (next >= low && next <= high) : (next >= 0x80 && next <= 0xBF);
            if (!inRange) {
                complete = false;
                break;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // An ill-formed sequence is replaced as a whole, up to the first byte that does not fit it.
        i += taken;
        if (!complete) {
            out.push_back(u'\uFFFD');
            continue;
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(codePoint));
        }
    }
    return out;
}

#ifdef _WIN32

WideString AnsiToWideCP(const AnsiString& text, uint32_t codePage) {
    if (codePage == CodePageUtf7)
        return Utf7Decode(text);
    if (codePage == CodePageUtf8)
        return Utf8Decode(text);
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    WideString result(static_cast<size_t>(std::max(needed, 0)), u'\0');
    if (needed > 0)
        ::MultiByteToWideChar(codePage, 0, text.data(), length, reinterpret_cast<WCHAR*>(result.data()), needed);
    return result;
}

AnsiString WideToAnsiCP(const WideString& text, uint32_t codePage) {
    if (codePage == CodePageUtf7)
        return Utf7Encode(text);
    if (codePage == CodePageUtf8)
        return Utf8Encode(text);
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(text.size());
    const auto* source = reinterpret_cast<const WCHAR*>(text.data());
    const int needed = ::WideCharToMultiByte(codePage, 0, source, length, nullptr, 0, nullptr, nullptr);
    AnsiString result(static_cast<size_t>(std::max(needed, 0)), '\0');
    if (needed > 0)
        ::WideCharToMultiByte(codePage, 0, source, length, result.data(), needed, nullptr, nullptr);
    return result;
}

namespace {

using TListFileStream = TVynFileStream;

} // namespace

#else // not _WIN32

namespace {

// Windows code page 1252 where it differs from Latin-1: bytes 0x80-0x9F. Bytes it leaves
// undefined map to the control character of the same value, as the system's tables do.
constexpr std::array<char16_t, 32> Windows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsLatin1CodePage(uint32_t codePage) { return codePage == 0 || codePage == 3 || codePage == 28591; }

// A file by wide name, natively: the name is handed to the system as UTF-8.
class TListFileStream : public TStream {
public:
    TListFileStream(const WideString& fileName, uint16_t mode) {
        const bool create = mode == 0xFFFF;
        file_ = std::fopen(Utf8Encode(fileName).c_str(), create ? "w+b" : ((mode & 3) == 0 ? "rb" : "r+b"));
        if (file_ == nullptr) {
            const AnsiString name = WideToAnsi(fileName);
            if (create)
                throw EFCreateError(Format("Cannot create file %s", {name}));
            throw EFOpenError(Format("Cannot open file %s", {name}));
        }
    }
    ~TListFileStream() override { std::fclose(file_); }
    TListFileStream(const TListFileStream&) = delete;
    TListFileStream& operator=(const TListFileStream&) = delete;

    int32_t Read(void* buffer, int32_t count) override {
        return count <= 0 ? 0
                          : static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
    }
    int32_t Write(const void* buffer, int32_t count) override {
        return count <= 0 ? 0
                          : static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                           : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                              : SEEK_END;
        if (fseeko(file_, static_cast<off_t>(offset), whence) != 0)
            return -1;
        return static_cast<int64_t>(ftello(file_));
    }

private:
    std::FILE* file_ = nullptr;
};

} // namespace

WideString AnsiToWideCP(const AnsiString& text, uint32_t codePage) {
    if (codePage == CodePageUtf7)
        return Utf7Decode(text);
    if (codePage == CodePageUtf8)
        return Utf8Decode(text);
    if (!IsLatin1CodePage(codePage) && codePage != 1252)
        return {};
    WideString result;
    result.reserve(text.size());
    for (const char byte : text) {
        const auto value = static_cast<unsigned char>(byte);
        result.push_back(codePage == 1252 && value >= 0x80 && value <= 0x9F ? Windows1252High[value - 0x80u]
                                                                            : static_cast<char16_t>(value));
    }
    return result;
}

AnsiString WideToAnsiCP(const WideString& text, uint32_t codePage) {
    if (codePage == CodePageUtf7)
        return Utf7Encode(text);
    if (codePage == CodePageUtf8)
        return Utf8Encode(text);
    if (!IsLatin1CodePage(codePage) && codePage != 1252)
        return {};
    AnsiString result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (codePage == 1252 && unit >= 0x80) {
            const auto* found = std::find(Windows1252High.begin(), Windows1252High.end(), unit);
            if (found != Windows1252High.end()) {
                result.push_back(static_cast<char>(0x80 + (found - Windows1252High.begin())));
                continue;
            }
            if (unit >= 0x80 && unit <= 0x9F) {
                result.push_back('?');
                continue;
            }
        }
        if (unit <= 0xFF) {
            result.push_back(static_cast<char>(unit));
            continue;
        }
        // One character, one '?': a surrogate pair is a single character.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i;
        result.push_back('?');
    }
    return result;
}

#endif // _WIN32

TVynCharSet DetectStreamCharSet(TStream& stream) {
    const int64_t remaining = RemainingBytes(stream);
    if (remaining >= 2) {
        unsigned char mark[2];
        stream.ReadBuffer(mark, 2);
        const unsigned value = mark[0] | (mark[1] << 8u);
        if (value == 0xFEFF)
            return CharSetUtf16LE;
        if (value == 0xFFFE)
            return CharSetUtf16BE;
        stream.Seek(-2, TSeekOrigin::soCurrent);
    }
    if (remaining >= 3) {
        unsigned char mark[3];
        stream.ReadBuffer(mark, 3);
        if (mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
            return CharSetUtf8;
        stream.Seek(-3, TSeekOrigin::soCurrent);
    }
    return CharSetAnsi;
}

// ---------------------------------------------------------------------------------------------
// TVynStrings

const TClassInfo& TVynStrings::StaticClassInfo() {
    static const TClassInfo info{
        "TVynStrings",
        &TPersistent::StaticClassInfo(),
        {[] {
            // Written through the list's own stored forms, never as itself.
            TPropInfo property = ObjectProperty<TVynStrings>("AnsiStrings", &TVynStrings::AnsiStringsObject);
            property.Stored = [](const TPersistent&) { return false; };
            return property;
        }()},
    };
    return info;
}

TVynStrings::TVynStrings() : adapter_(std::make_unique<TAnsiStringsForWideStringsAdapter>(*this, 0)) {}

TVynStrings::~TVynStrings() = default;

void TVynStrings::RaiseListError(const char* message, int32_t value) {
    throw EStringListError(Format(message, {value}));
}

int32_t TVynStrings::Capacity() const { return Count(); }

TObject* TVynStrings::EntryObject(int32_t) const { return nullptr; }

WideString TVynStrings::AllText() const {
    const int32_t count = Count();
    size_t length = 0;
    for (int32_t i = 0; i < count; ++i)
        length += Entry(i).size() + 2;
    WideString result;
    result.reserve(length);
    for (int32_t i = 0; i < count; ++i) {
        result += Entry(i);
        result += u"\r\n";
    }
    return result;
}

void TVynStrings::SetEntry(int32_t index, const WideString& text) {
    TObject* object = EntryObject(index);
    RemoveAt(index);
    InsertWithObject(index, text, object);
}

void TVynStrings::SetEntryObject(int32_t, TObject*) {}

void TVynStrings::SetCapacity(int32_t) {}

void TVynStrings::SetAllText(const WideString& text) {
    TVynUpdateBracket bracket(*this);
    RemoveAll();
    if (text.empty())
        return;
    // c_str() ends in a zero unit, so the scan needs no bound of its own.
    const char16_t* position = text.c_str();
    while (*position != u'\0') {
        const char16_t* lineStart = position;
        while (*position != u'\0' && *position != u'\n' && *position != u'\r' && *position != u'\u2028')
            ++position;
        AppendEntry(WideString(lineStart, position));
        if (*position == u'\r')
            ++position;
        if (*position == u'\n')
            ++position;
        if (*position == u'\u2028')
            ++position;
    }
}

void TVynStrings::UpdateStateChanged(bool) {}

int TVynStrings::CompareEntries(const WideString& a, const WideString& b) const {
    return CompareWideText(a, b, false);
}

int32_t TVynStrings::AppendEntry(const WideString& text) {
    const int32_t index = Count();
    InsertAt(index, text);
    return index;
}

int32_t TVynStrings::AppendWithObject(const WideString& text, TObject* object) {
    const int32_t index = AppendEntry(text);
    SetEntryObject(index, object);
    return index;
}

void TVynStrings::AppendAll(const TVynStrings& other) {
    TVynUpdateBracket bracket(*this);
    const int32_t count = other.Count();
    for (int32_t i = 0; i < count; ++i)
        AppendWithObject(other.Entry(i), other.EntryObject(i));
}

void TVynStrings::SwapEntries(int32_t first, int32_t second) {
    TVynUpdateBracket bracket(*this);
    const WideString firstText = Entry(first);
    TObject* firstObject = EntryObject(first);
    SetEntry(first, Entry(second));
    SetEntryObject(first, EntryObject(second));
    SetEntry(second, firstText);
    SetEntryObject(second, firstObject);
}

std::unique_ptr<char16_t[]> TVynStrings::CopyTextBuffer() const {
    const WideString text = AllText();
    auto buffer = std::make_unique<char16_t[]>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer.get());
    buffer[text.size()] = u'\0';
    return buffer;
}

int32_t TVynStrings::PositionOf(const WideString& text) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (CompareEntries(Entry(i), text) == 0)
            return i;
    return -1;
}

int32_t TVynStrings::FindName(const WideString& name) const {
    const char16_t separator = KeySeparator();
    for (int32_t i = 0; i < Count(); ++i) {
        const WideString entry = Entry(i);
        const size_t position = entry.find(separator);
        if (position != WideString::npos && CompareEntries(entry.substr(0, position), name) == 0)
            return i;
    }
    return -1;
}

int32_t TVynStrings::PositionOfObject(const TObject* object) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (EntryObject(i) == object)
            return i;
    return -1;
}

void TVynStrings::InsertWithObject(int32_t index, const WideString& text, TObject* object) {
    InsertAt(index, text);
    SetEntryObject(index, object);
}

void TVynStrings::LoadFromWideFile(const WideString& fileName) {
    TListFileStream stream(fileName, 0x0020);
    loadedCharSet_ = DetectStreamCharSet(stream);
    stream.SetPosition(0);
    ReadFromStream(stream, true);
}

void TVynStrings::ReadFromStream(TStream& stream, bool detect) {
    TVynUpdateBracket bracket(*this);
    const TVynCharSet charSet = detect ? DetectStreamCharSet(stream) : CharSetUtf16LE;
    const int64_t remaining = RemainingBytes(stream);
    switch (charSet) {
    case CharSetUtf16LE:
    case CharSetUtf16BE: {
        // An odd last byte belongs to no unit and is dropped.
        const AnsiString bytes = ReadBytes(stream, remaining - remaining % 2);
        WideString text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const auto first = static_cast<unsigned char>(bytes[i]);
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            const auto unit = static_cast<char16_t>(charSet == CharSetUtf16LE ? first | (second << 8)
                                                                              : second | (first << 8));
            if (unit == 0 && charSet == CharSetUtf16BE)
                break;
            text.push_back(unit);
        }
        return SetAllText(text);
    }
    case CharSetUtf8: return SetAllText(Utf8Decode(ReadBytes(stream, remaining)));
    case CharSetAnsi: return SetAllText(AnsiToWideCP(ReadBytes(stream, remaining), DefaultCodePage));
    }
}

void TVynStrings::MoveItem(int32_t from, int32_t to) {
    if (from == to)
        return;
    TVynUpdateBracket bracket(*this);
    const WideString text = Entry(from);
    TObject* object = EntryObject(from);
    // Checked before the entry leaves its place, so that a bad target loses nothing.
    if (to < 0 || to >= Count())
        RaiseListError("List index out of bounds (%d)", to);
    RemoveAt(from);
    InsertWithObject(to, text, object);
}

void TVynStrings::SaveToWideFile(const WideString& fileName) {
    TListFileStream stream(fileName, 0xFFFF);
    WriteToStream(stream, true);
}

void TVynStrings::WriteToStream(TStream& stream, bool withMark) {
    const WideString text = AllText();
    AnsiString bytes;
    bytes.reserve(text.size() * 2 + 2);
    if (withMark)
        bytes += "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    WriteBytes(stream, bytes.data(), bytes.size());
}

void TVynStrings::SetTextBuffer(const char16_t* text) {
    SetAllText(text != nullptr ? WideString(text) : WideString());
}

void TVynStrings::OpenUpdate() {
    if (updateCount_ == 0)
        UpdateStateChanged(true);
    ++updateCount_;
}

void TVynStrings::CloseUpdate() {
    // A close without its open is ignored rather than leaving the list silenced for good.
    if (updateCount_ <= 0)
        return;
    --updateCount_;
    if (updateCount_ == 0)
        UpdateStateChanged(false);
}

WideString TVynStrings::NameAt(int32_t index) const {
    const WideString entry = Entry(index);
    const size_t position = entry.find(KeySeparator());
    return position == WideString::npos ? WideString() : entry.substr(0, position);
}

WideString TVynStrings::ValueAt(int32_t index) const {
    if (index < 0)
        return {};
    const WideString entry = Entry(index);
    const size_t start = NameAt(index).size() + 1;
    return start < entry.size() ? entry.substr(start) : WideString();
}

WideString TVynStrings::ValueOf(const WideString& name) const {
    const int32_t index = FindName(name);
    if (index < 0)
        return {};
    const WideString entry = Entry(index);
    const size_t start = name.size() + 1;
    return start < entry.size() ? entry.substr(start) : WideString();
}

char16_t TVynStrings::KeySeparator() const {
    if (!separatorSet_) {
        keySeparator_ = u'=';
        separatorSet_ = true;
    }
    return keySeparator_;
}

void TVynStrings::SetKeySeparator(char16_t separator) {
    keySeparator_ = separator;
    separatorSet_ = true;
}

TPersistent* TVynStrings::AnsiStringsObject() { return adapter_.get(); }

void TVynStrings::SetAnsiStrings(const TStrings& strings) { adapter_->Assign(&strings); }

void TVynStrings::Assign(const TPersistent* source) {
    if (const auto* wide = dynamic_cast<const TVynStrings*>(source)) {
        // Emptying the list first would leave nothing to copy from itself.
        if (wide == this)
            return;
        TVynUpdateBracket bracket(*this);
        RemoveAll();
        separatorSet_ = wide->separatorSet_;
        keySeparator_ = wide->keySeparator_;
        AppendAll(*wide);
        return;
    }
    if (const auto* strings = dynamic_cast<const TStrings*>(source)) {
        adapter_->Assign(strings);
        return;
    }
    TPersistent::Assign(source);
}

void TVynStrings::AssignTo(TPersistent* destination) const {
    if (auto* strings = dynamic_cast<TStrings*>(destination)) {
        strings->Assign(adapter_.get());
        return;
    }
    TPersistent::AssignTo(destination);
}

bool TVynStrings::ShouldWriteWideStrings(const TFiler& filer) const {
    if (filer.Ancestor() == nullptr)
        return Count() > 0;
    const auto* ancestor = dynamic_cast<const TVynStrings*>(filer.Ancestor());
    if (ancestor == nullptr || ancestor->Count() != Count())
        return true;
    for (int32_t i = 0; i < Count(); ++i)
        if (ancestor->Entry(i) != Entry(i))
            return true;
    return false;
}

bool TVynStrings::NeedsUtf7Form() const {
    for (int32_t i = 0; i < Count(); ++i) {
        const WideString entry = Entry(i);
        if (!entry.empty() && AnsiToWideCP(Utf8Encode(entry), DefaultCodePage) != entry)
            return true;
    }
    return false;
}

void TVynStrings::ReadGeneral(TReader& reader) {
    switch (reader.NextValue()) {
    case TValueType::vaString:
    case TValueType::vaLString: return SetAllText(AnsiToWideCP(reader.ReadString(), DefaultCodePage));
    case TValueType::vaWString:
    case TValueType::vaUTF8String: return SetAllText(reader.ReadWideString());
    default: break;
    }
    TVynUpdateBracket bracket(*this);
    RemoveAll();
    reader.ReadListBegin();
    while (!reader.EndOfList()) {
        const TValueType type = reader.NextValue();
        if (type == TValueType::vaString || type == TValueType::vaLString)
            AppendEntry(AnsiToWideCP(reader.ReadString(), DefaultCodePage));
        else
            AppendEntry(reader.ReadWideString());
    }
    reader.ReadListEnd();
}

void TVynStrings::ReadEncodedForm(TReader& reader, bool takeIt, WideString (*decode)(const AnsiString&)) {
    reader.ReadListBegin();
    if (!takeIt) {
        while (!reader.EndOfList())
            reader.ReadString();
        reader.ReadListEnd();
        return;
    }
    TVynUpdateBracket bracket(*this);
    RemoveAll();
    while (!reader.EndOfList())
        AppendEntry(decode(reader.ReadString()));
    reader.ReadListEnd();
}

void TVynStrings::ReadUtf8Form(TReader& reader) {
    ReadEncodedForm(reader, reader.OwnerDesigning() || Count() == 0, Utf8Decode);
}

void TVynStrings::ReadUtf7Form(TReader& reader) { ReadEncodedForm(reader, reader.OwnerDesigning(), Utf7Decode); }

void TVynStrings::DefineProperties(TFiler& filer) {
    const bool writeWide = ShouldWriteWideStrings(filer);
    auto readGeneral = [this](TReader& reader) { ReadGeneral(reader); };
    filer.DefineProperty("Strings", readGeneral, nullptr, false);
    filer.DefineProperty("WideStrings", readGeneral,
                         [this](TWriter& writer) {
                             writer.WriteListBegin();
                             for (int32_t i = 0; i < Count(); ++i)
                                 writer.WriteWideString(Entry(i));
                             writer.WriteListEnd();
                         },
                         writeWide);
    filer.DefineProperty("WideStringsW", [this](TReader& reader) { ReadUtf8Form(reader); }, nullptr, false);
    filer.DefineProperty("WideStrings_UTF7", [this](TReader& reader) { ReadUtf7Form(reader); },
                         [this](TWriter& writer) {
                             writer.WriteListBegin();
                             for (int32_t i = 0; i < Count(); ++i)
                                 writer.WriteString(Utf7Encode(Entry(i)));
                             writer.WriteListEnd();
                         },
                         writeWide && NeedsUtf7Form());
}

TVynUpdateBracket::TVynUpdateBracket(TVynStrings& list)
    : list_(list), uncaughtAtOpening_(std::uncaught_exceptions()) {
    list_.OpenUpdate();
}

TVynUpdateBracket::~TVynUpdateBracket() noexcept(false) {
    if (std::uncaught_exceptions() <= uncaughtAtOpening_) {
        list_.CloseUpdate();
        return;
    }
    // Already unwinding: the first failure is the one reported.
    try {
        list_.CloseUpdate();
    } catch (...) {
    }
}

// ---------------------------------------------------------------------------------------------
// TVynStringList

const TClassInfo& TVynStringList::StaticClassInfo() {
    static const TClassInfo info{"TVynStringList", &TVynStrings::StaticClassInfo()};
    return info;
}

TVynStringList::~TVynStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
}

void TVynStringList::CheckIndex(int32_t index) const {
    if (index < 0 || index >= count_)
        RaiseListError("List index out of bounds (%d)", index);
}

void TVynStringList::CheckNotSorted() const {
    if (sorted_)
        throw EStringListError("Operation not allowed on sorted list");
}

WideString TVynStringList::Entry(int32_t index) const {
    CheckIndex(index);
    return entries_[static_cast<size_t>(index)].Text;
}

TObject* TVynStringList::EntryObject(int32_t index) const {
    CheckIndex(index);
    return entries_[static_cast<size_t>(index)].Object;
}

void TVynStringList::SetEntry(int32_t index, const WideString& text) {
    CheckNotSorted();
    CheckIndex(index);
    NotifyChanging();
    entries_[static_cast<size_t>(index)].Text = text;
    NotifyChanged();
}

void TVynStringList::SetEntryObject(int32_t index, TObject* object) {
    CheckIndex(index);
    NotifyChanging();
    entries_[static_cast<size_t>(index)].Object = object;
    NotifyChanged();
}

void TVynStringList::SetCapacity(int32_t capacity) {
    if (capacity < count_)
        RaiseListError("List capacity out of bounds (%d)", capacity);
    capacity_ = capacity;
}

void TVynStringList::Grow() {
    const int32_t capacity = Capacity();
    const int32_t delta = capacity > 64 ? capacity / 4 : capacity > 8 ? 16 : 4;
    if (capacity > INT32_MAX - delta)
        RaiseListError("List capacity out of bounds (%d)", capacity);
    SetCapacity(capacity + delta);
}

int TVynStringList::CompareEntries(const WideString& a, const WideString& b) const {
    return CompareWideText(a, b, caseSensitive_);
}

int32_t TVynStringList::AppendEntry(const WideString& text) { return AppendWithObject(text, nullptr); }

int32_t TVynStringList::AppendWithObject(const WideString& text, TObject* object) {
    int32_t index = count_;
    if (sorted_ && SearchSorted(text, index)) {
        if (duplicates_ == DupIgnore)
            return index;
        if (duplicates_ == DupError)
            throw EStringListError("String list does not allow duplicates");
    }
    PlaceEntry(index, text, object);
    return index;
}

void TVynStringList::PlaceEntry(int32_t index, const WideString& text, TObject* object) {
    NotifyChanging();
    if (count_ == Capacity())
        Grow();
    entries_.insert(static_cast<size_t>(index), TVynStringItem{text, object});
    ++count_;
    NotifyChanged();
}

void TVynStringList::RemoveAll() {
    if (count_ == 0)
        return;
    NotifyChanging();
    entries_.clear();
    count_ = 0;
    SetCapacity(0);
    NotifyChanged();
}

void TVynStringList::RemoveAt(int32_t index) {
    CheckIndex(index);
    NotifyChanging();
    entries_.erase(static_cast<size_t>(index));
    --count_;
    NotifyChanged();
}

void TVynStringList::SwapEntries(int32_t first, int32_t second) {
    CheckIndex(first);
    CheckIndex(second);
    NotifyChanging();
    std::swap(entries_[static_cast<size_t>(first)], entries_[static_cast<size_t>(second)]);
    NotifyChanged();
}

int32_t TVynStringList::PositionOf(const WideString& text) const {
    if (!sorted_)
        return TVynStrings::PositionOf(text);
    int32_t index = 0;
    return SearchSorted(text, index) ? index : -1;
}

int32_t TVynStringList::FindName(const WideString& name) const {
    if (!sorted_)
        return TVynStrings::FindName(name);
    const WideString key = name + KeySeparator();
    int32_t index = 0;
    SearchSorted(key, index);
    if (index > count_ - 1)
        return -1;
    const WideString& entry = entries_[static_cast<size_t>(index)].Text;
    return CompareEntries(key, entry.substr(0, key.size())) == 0 ? index : -1;
}

void TVynStringList::InsertAt(int32_t index, const WideString& text) {
    InsertWithObject(index, text, nullptr);
}

void TVynStringList::InsertWithObject(int32_t index, const WideString& text, TObject* object) {
    CheckNotSorted();
    if (index < 0 || index > count_)
        RaiseListError("List index out of bounds (%d)", index);
    PlaceEntry(index, text, object);
}

void TVynStringList::MoveItem(int32_t from, int32_t to) {
    // Refused before the entry leaves its place: a sorted list could not take it back.
    if (from != to)
        CheckNotSorted();
    TVynStrings::MoveItem(from, to);
}

bool TVynStringList::SearchSorted(const WideString& text, int32_t& index) const {
    bool found = false;
    int32_t low = 0;
    int32_t high = count_ - 1;
    while (low <= high) {
        const auto middle =
            static_cast<int32_t>((static_cast<uint32_t>(low) + static_cast<uint32_t>(high)) >> 1);
        const int comparison = CompareEntries(entries_[static_cast<size_t>(middle)].Text, text);
        if (comparison < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (comparison == 0) {
                found = true;
                if (duplicates_ != DupAccept)
                    low = middle;
            }
        }
    }
    index = low;
    return found;
}

void TVynStringList::SortAll() {
    SortWith([](TVynStringList& list, int32_t i, int32_t j) {
        return list.CompareEntries(list.entries_[static_cast<size_t>(i)].Text,
                                   list.entries_[static_cast<size_t>(j)].Text);
    });
}

void TVynStringList::SortWith(const TVynStringListSortCompare& compare) {
    if (sorted_ || count_ < 2)
        return;
    NotifyChanging();
    // One block while sorting: the comparison reaches entries by index many times over.
    entries_.Gather();
    QuickSort(0, count_ - 1, compare);
    entries_.Spread();
    NotifyChanged();
}

void TVynStringList::QuickSort(int32_t left, int32_t right, const TVynStringListSortCompare& compare) {
    int32_t i = 0;
    do {
        i = left;
        int32_t j = right;
        int32_t pivot =
            static_cast<int32_t>((static_cast<uint32_t>(left) + static_cast<uint32_t>(right)) >> 1);
        do {
            // The bounds change nothing for a consistent comparison; they keep an inconsistent one
            // inside the array.
            while (i < right && compare(*this, i, pivot) < 0)
                ++i;
            while (j > left && compare(*this, j, pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(entries_[static_cast<size_t>(i)], entries_[static_cast<size_t>(j)]);
                if (pivot == i)
                    pivot = j;
                else if (pivot == j)
                    pivot = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j)
            QuickSort(left, j, compare);
        left = i;
    } while (i < right);
}

void TVynStringList::SetSorted(bool sorted) {
    if (sorted == sorted_)
        return;
    if (sorted)
        SortAll();
    sorted_ = sorted;
}

void TVynStringList::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive == caseSensitive_)
        return;
    caseSensitive_ = caseSensitive;
    if (sorted_) {
        sorted_ = false;
        SortAll();
        sorted_ = true;
    }
}

void TVynStringList::UpdateStateChanged(bool updating) {
    if (updating)
        NotifyChanging();
    else
        NotifyChanged();
}

void TVynStringList::NotifyChanged() {
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}

void TVynStringList::NotifyChanging() {
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

// ---------------------------------------------------------------------------------------------
// The ANSI view of a wide list

const TClassInfo& TAnsiStrings::StaticClassInfo() {
    static const TClassInfo info{"TAnsiStrings", &TStrings::StaticClassInfo()};
    return info;
}

const TClassInfo& TAnsiStringsForWideStringsAdapter::StaticClassInfo() {
    static const TClassInfo info{"TAnsiStringsForWideStringsAdapter", &TAnsiStrings::StaticClassInfo()};
    return info;
}

TAnsiStringsForWideStringsAdapter::TAnsiStringsForWideStringsAdapter(TVynStrings& wideStrings,
                                                                     int32_t adapterCodePage)
    : wideStrings_(wideStrings), adapterCodePage_(adapterCodePage) {}

uint32_t TAnsiStringsForWideStringsAdapter::ConversionCodePage() const {
    return adapterCodePage_ != 0 ? static_cast<uint32_t>(adapterCodePage_) : DefaultCodePage;
}

int32_t TAnsiStringsForWideStringsAdapter::Count() const { return wideStrings_.Count(); }

AnsiString TAnsiStringsForWideStringsAdapter::Strings(int32_t index) const {
    return WideToAnsiCP(wideStrings_.Entry(index), ConversionCodePage());
}

void TAnsiStringsForWideStringsAdapter::SetStrings(int32_t index, const AnsiString& text) {
    wideStrings_.SetEntry(index, AnsiToWideCP(text, ConversionCodePage()));
}

TObject* TAnsiStringsForWideStringsAdapter::Objects(int32_t index) const {
    return wideStrings_.EntryObject(index);
}

void TAnsiStringsForWideStringsAdapter::SetObjects(int32_t index, TObject* object) {
    wideStrings_.SetEntryObject(index, object);
}

void TAnsiStringsForWideStringsAdapter::Clear() { wideStrings_.RemoveAll(); }

void TAnsiStringsForWideStringsAdapter::Delete(int32_t index) { wideStrings_.RemoveAt(index); }

void TAnsiStringsForWideStringsAdapter::Insert(int32_t index, const AnsiString& text) {
    wideStrings_.InsertAt(index, AnsiToWideCP(text, ConversionCodePage()));
}

void TAnsiStringsForWideStringsAdapter::InsertObject(int32_t index, const AnsiString& text, TObject* object) {
    wideStrings_.InsertWithObject(index, AnsiToWideCP(text, ConversionCodePage()), object);
}

int32_t TAnsiStringsForWideStringsAdapter::Add(const AnsiString& text) {
    return wideStrings_.AppendEntry(AnsiToWideCP(text, ConversionCodePage()));
}

int32_t TAnsiStringsForWideStringsAdapter::AddObject(const AnsiString& text, TObject* object) {
    return wideStrings_.AppendWithObject(AnsiToWideCP(text, ConversionCodePage()), object);
}

void TAnsiStringsForWideStringsAdapter::ReadFromStreamInCodePage(TStream& stream, uint32_t codePage) {
    BeginUpdate();
    try {
        wideStrings_.SetAllText(AnsiToWideCP(ReadBytes(stream, RemainingBytes(stream)), codePage));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TAnsiStringsForWideStringsAdapter::WriteToStreamInCodePage(TStream& stream, uint32_t codePage) {
    const AnsiString bytes = WideToAnsiCP(wideStrings_.AllText(), codePage);
    WriteBytes(stream, bytes.data(), bytes.size());
}

void TAnsiStringsForWideStringsAdapter::SetUpdateState(bool updating) {
    if (updating)
        wideStrings_.OpenUpdate();
    else
        wideStrings_.CloseUpdate();
}

// ---------------------------------------------------------------------------------------------
// Stored forms of wide published properties

namespace {

bool AnsiFormKeeps(const WideString& value) {
    return AnsiToWideCP(Utf8Encode(value), DefaultCodePage) == value;
}

// The ancestor's property of the same name and kind, if the filer has an ancestor with one.
const TPropInfo* AncestorProperty(const TFiler& filer, const TPropInfo& info) {
    if (filer.Ancestor() == nullptr)
        return nullptr;
    const TPropInfo* found = filer.Ancestor()->ClassInfo().FindProperty(info.Name);
    return found != nullptr && found->Kind == info.Kind ? found : nullptr;
}

// Carries one wide-string property to the read and write callbacks of its stored forms.
class TVynWideStringPropertyFiler {
public:
    TVynWideStringPropertyFiler(TPersistent& instance, const TPropInfo& info)
        : instance_(instance), info_(info) {}

    void DefineProperties(TFiler& filer) {
        filer.DefineProperty(info_.Name + "W", [this](TReader& reader) { ReadUtf8(reader); }, nullptr, false);
        filer.DefineProperty(
            info_.Name + "_UTF7", [this](TReader& reader) { ReadUtf7(reader); },
            [this](TWriter& writer) { writer.WriteString(Utf7Encode(info_.GetText(instance_))); },
            HasUtf7Data(filer));
    }

private:
    void ReadUtf8(TReader& reader) {
        const AnsiString value = reader.ReadString();
        if (reader.OwnerDesigning())
            info_.SetText(instance_, Utf8Decode(value));
    }

    void ReadUtf7(TReader& reader) {
        const AnsiString value = reader.ReadString();
        if (reader.OwnerDesigning())
            info_.SetText(instance_, Utf7Decode(value));
    }

    bool HasUtf7Data(const TFiler& filer) const {
        if (!info_.IsStored(instance_))
            return false;
        const WideString value = info_.GetText(instance_);
        const TPropInfo* ancestor = AncestorProperty(filer, info_);
        if (ancestor != nullptr && ancestor->GetText && ancestor->GetText(*filer.Ancestor()) == value)
            return false;
        return !value.empty() && !AnsiFormKeeps(value);
    }

    TPersistent& instance_;
    const TPropInfo& info_;
};

// Carries one wide-character property to the read and write callbacks of its stored forms.
class TVynWideCharPropertyFiler {
public:
    TVynWideCharPropertyFiler(TPersistent& instance, const TPropInfo& info, TWriter* writer)
        : instance_(instance), info_(info), writer_(writer) {}

    void DefineProperties(TFiler& filer) {
        filer.DefineProperty(
            info_.Name + "W", [this](TReader& reader) { ReadWide(reader); },
            [this](TWriter& writer) { writer.WriteWideString(WideString(1, Value())); }, HasData(filer));
        filer.DefineProperty(
            info_.Name + "_UTF7", [this](TReader& reader) { ReadUtf7(reader); }, nullptr, false);
    }

private:
    char16_t Value() const { return static_cast<char16_t>(info_.GetOrdinal(instance_)); }

    void Set(const WideString& text) {
        if (info_.SetOrdinal)
            info_.SetOrdinal(instance_, text.empty() ? 0 : text[0]);
    }

    void ReadWide(TReader& reader) {
        WideString text;
        switch (reader.NextValue()) {
        case TValueType::vaString:
        case TValueType::vaLString: text = AnsiToWideCP(reader.ReadString(), DefaultCodePage); break;
        case TValueType::vaWString:
        case TValueType::vaUTF8String: text = reader.ReadWideString(); break;
        default: throw EReadError("Invalid property value");
        }
        if (text.size() > 1)
            throw EReadError("Invalid property value");
        Set(text);
    }

    void ReadUtf7(TReader& reader) {
        const AnsiString value = reader.ReadString();
        if (reader.OwnerDesigning())
            Set(Utf7Decode(value));
    }

    bool IsDefault() const {
        if (!info_.GetOrdinal || !info_.SetOrdinal)
            return true;
        const int64_t value = info_.GetOrdinal(instance_);
        if (writer_->Ancestor() != nullptr && writer_->RootAncestor() != nullptr &&
            writer_->Root() != nullptr &&
            writer_->Root()->InheritsFrom(writer_->RootAncestor()->ClassInfo())) {
            const TPropInfo* ancestor = AncestorProperty(*writer_, info_);
            return ancestor != nullptr && ancestor->GetOrdinal &&
                   ancestor->GetOrdinal(*writer_->Ancestor()) == value;
        }
        return info_.HasDefault() && value == info_.Default;
    }

    bool HasData(const TFiler& filer) const {
        if (!info_.GetOrdinal || !info_.IsStored(instance_))
            return false;
        const TPropInfo* ancestor = AncestorProperty(filer, info_);
        if (ancestor != nullptr && ancestor->GetOrdinal && ancestor->GetOrdinal(*filer.Ancestor()) == Value())
            return false;
        return writer_ == nullptr || !IsDefault();
    }

    TPersistent& instance_;
    const TPropInfo& info_;
    TWriter* writer_;
};

} // namespace

void DefineWideProperties(TFiler& filer, TPersistent& instance) {
    std::vector<const TClassInfo*> chain;
    for (const TClassInfo* info = &instance.ClassInfo(); info != nullptr; info = info->Parent)
        chain.push_back(info);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        for (const TPropInfo& info : (*it)->Properties) {
            if (info.Kind == TTypeKind::tkWString && info.GetText && info.SetText) {
                TVynWideStringPropertyFiler(instance, info).DefineProperties(filer);
            } else if (info.Kind == TTypeKind::tkWChar && info.GetOrdinal) {
                TVynWideCharPropertyFiler(instance, info, dynamic_cast<TWriter*>(&filer))
                    .DefineProperties(filer);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Streams over files and resources

#ifdef _WIN32

TVynFileStream::TVynFileStream(const WideString& fileName, uint16_t mode) : THandleStream(INVALID_HANDLE_VALUE) {
    const TFileHandle handle = mode == fmCreate ? FileCreateWide(fileName) : FileOpenWide(fileName, mode);
    if (handle < 0) {
        if (mode == fmCreate)
            throw EFCreateError(WideToAnsi(FormatWide(u"Cannot create file %s", {fileName})));
        throw EFOpenError(WideToAnsi(FormatWide(u"Cannot open file %s", {fileName})));
    }
    handle_ = reinterpret_cast<HANDLE>(handle);
}

TVynFileStream::~TVynFileStream() {
    if (handle_ != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle_);
}

void TVynMemoryStream::LoadFromWideFile(const WideString& fileName) {
    TVynFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

TVynResourceStream::TVynResourceStream(HMODULE module, const WideString& name, const char16_t* type) {
    resourceInfo_ = ::FindResourceW(module, WinText(name), WinText(type));
    if (resourceInfo_ != nullptr)
        resourceData_ = ::LoadResource(module, resourceInfo_);
    if (resourceData_ == nullptr)
        throw EResNotFound(WideToAnsi(FormatWide(u"Resource %s not found", {name})));
    SetPointer(::LockResource(resourceData_), ::SizeofResource(module, resourceInfo_));
}

TVynResourceStream::~TVynResourceStream() {
    // Kept for the systems where resource data is a real allocation; a no-op on the NT family.
    ::FreeResource(resourceData_);
}

int32_t TVynResourceStream::Write(const void*, int32_t) {
    throw EStreamError("Can't write to a read-only resource stream");
}

void TVynResourceStream::SaveToWideFile(const WideString& fileName) {
    TVynFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

#endif // _WIN32

void TBufferedAnsiString::Reset() {
    lastWriteIndex_ = 0;
    std::fill(buffer_.begin(), buffer_.end(), '\0');
}

void TBufferedAnsiString::AppendChar(char ch) {
    ++lastWriteIndex_;
    const auto length = static_cast<int32_t>(buffer_.size());
    if (lastWriteIndex_ > length)
        buffer_.resize(buffer_.size() + static_cast<size_t>(std::min(std::max(32, length), 256)), '\0');
    buffer_[static_cast<size_t>(lastWriteIndex_ - 1)] = ch;
}

void TBufferedAnsiString::AppendText(const AnsiString& text) {
    if (text.empty())
        return;
    const auto count = static_cast<int32_t>(text.size());
    const auto length = static_cast<int32_t>(buffer_.size());
    if (length < lastWriteIndex_ + count) {
        // Proportional steps: a long builder grows by half its length at a time.
        const int32_t step = std::max(length / 2, 8);
        buffer_.resize(buffer_.size() + static_cast<size_t>(step) * static_cast<size_t>(count / step + 1), '\0');
    }
    std::copy(text.begin(), text.end(), buffer_.begin() + lastWriteIndex_);
    lastWriteIndex_ += count;
}

AnsiString TBufferedAnsiString::AccumulatedText() const { return AnsiString(buffer_.c_str()); }

void TBufferedWideString::Reset() {
    lastWriteIndex_ = 0;
    std::fill(buffer_.begin(), buffer_.end(), u'\0');
}

void TBufferedWideString::AppendChar(char16_t ch) {
    ++lastWriteIndex_;
    const auto length = static_cast<int32_t>(buffer_.size());
    if (lastWriteIndex_ > length)
        buffer_.resize(buffer_.size() + static_cast<size_t>(std::min(std::max(32, length), 256)), u'\0');
    buffer_[static_cast<size_t>(lastWriteIndex_ - 1)] = ch;
}

void TBufferedWideString::AppendText(const WideString& text) {
    for (char16_t ch : text)
        AppendChar(ch);
}

void TBufferedWideString::AppendBuffer(const char16_t* text, int32_t maxCount) {
    if (text == nullptr)
        return;
    for (int32_t i = 0; i < maxCount && text[i] != u'\0'; ++i)
        AppendChar(text[i]);
}

WideString TBufferedWideString::AccumulatedText() const { return WideString(buffer_.c_str()); }
