#include "VynSysUtilsPaths.h"

#include <cstring>
#include <new>

#include "Exceptions.h"

namespace {

// Arrays, not strings: nothing is constructed before the program's entry.
constexpr char16_t PathDelimiters[] = u"\\:";
constexpr char16_t ExtensionDelimiters[] = u".\\:";

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Zero-terminated wide buffers

char16_t* WStrEnd(const char16_t* text) {
    while (*text != 0)
        ++text;
    return const_cast<char16_t*>(text);
}

size_t WStrLen(const char16_t* text) { return text == nullptr ? 0 : static_cast<size_t>(WStrEnd(text) - text); }

char16_t* WStrLCopy(char16_t* dest, const char16_t* source, size_t maxLength) {
    size_t count = 0;
    if (source != nullptr) {
        while (count < maxLength && source[count] != 0) {
            dest[count] = source[count];
            ++count;
        }
    }
    dest[count] = 0;
    return dest;
}

char16_t* WStrScan(const char16_t* text, char16_t ch) {
    for (;; ++text) {
        if (*text == ch)
            return const_cast<char16_t*>(text);
        if (*text == 0)
            return nullptr;
    }
}

char16_t* WStrMove(char16_t* dest, const char16_t* source, size_t count) {
    std::memmove(dest, source, count * sizeof(char16_t));
    return dest;
}

char16_t* WStrAlloc(size_t units) {
    if (units > (UINT32_MAX - sizeof(uint32_t)) / sizeof(char16_t))
        throw EOutOfResources("Out of memory");
    const uint32_t size = static_cast<uint32_t>(units * sizeof(char16_t) + sizeof(uint32_t));
    auto* block = static_cast<uint8_t*>(::operator new(size));
    std::memcpy(block, &size, sizeof size);
    return reinterpret_cast<char16_t*>(block + sizeof size);
}

uint32_t WStrBufSize(const char16_t* buffer) {
    uint32_t size = 0;
    std::memcpy(&size, reinterpret_cast<const uint8_t*>(buffer) - sizeof size, sizeof size);
    return size;
}

char16_t* WStrNew(const char16_t* text) {
    if (text == nullptr)
        return nullptr;
    const size_t length = WStrLen(text);
    char16_t* copy = WStrAlloc(length + 1);
    std::memcpy(copy, text, (length + 1) * sizeof(char16_t));
    return copy;
}

void WStrDispose(char16_t* buffer) {
    if (buffer != nullptr)
        ::operator delete(reinterpret_cast<uint8_t*>(buffer) - sizeof(uint32_t));
}

char16_t LastCharWide(const WideString& text) { return text.empty() ? u'\0' : text.back(); }

// ---------------------------------------------------------------------------------------------------------
// Paths

size_t LastDelimiterWide(const WideString& delimiters, const WideString& text) {
    const size_t at = text.find_last_of(delimiters);
    return at == WideString::npos ? 0 : at + 1;
}

WideString ExtractFilePathWide(const WideString& path) {
    return path.substr(0, LastDelimiterWide(PathDelimiters, path));
}

WideString ExtractFileNameWide(const WideString& path) {
    return path.substr(LastDelimiterWide(PathDelimiters, path));
}

WideString ExtractFileDirWide(const WideString& path) {
    size_t at = LastDelimiterWide(PathDelimiters, path);
    // A root ("C:\", "\") keeps its backslash; any other folder loses it.
    if (at > 1 && path[at - 1] == u'\\' && path[at - 2] != u':' && path[at - 2] != u'\\')
        --at;
    return path.substr(0, at);
}

WideString ExtractFileDriveWide(const WideString& path) {
    if (path.size() >= 2 && path[1] == u':')
        return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
        const size_t afterServer = path.find(u'\\', 2);
        if (afterServer == WideString::npos)
            return path;
        return path.substr(0, path.find(u'\\', afterServer + 1));
    }
    return {};
}

WideString ExtractFileExtWide(const WideString& path) {
    const size_t at = LastDelimiterWide(ExtensionDelimiters, path);
    return at > 0 && path[at - 1] == u'.' ? path.substr(at - 1) : WideString();
}

WideString ChangeFileExtWide(const WideString& path, const WideString& extension) {
    const size_t at = LastDelimiterWide(ExtensionDelimiters, path);
    if (at == 0 || path[at - 1] != u'.')
        return path + extension;
    return path.substr(0, at - 1) + extension;
}

WideString ExcludeTrailingBackslashWide(const WideString& path) {
    if (!path.empty() && path.back() == u'\\')
        return path.substr(0, path.size() - 1);
    return path;
}

// ---------------------------------------------------------------------------------------------------------
// Command line

namespace {

// Reads the parameter at text and moves text past it.
WideString NextParam(const char16_t*& text) {
    for (;;) {
        while (*text >= 1 && *text <= 32)
            ++text;
        if (text[0] == u'"' && text[1] == u'"')
            text += 2;
        else
            break;
    }
    WideString param;
    auto take = [&param](char16_t unit) {
        if (param.size() < MaxParamLength)
            param.push_back(unit);
    };
    while (*text > 32) {
        if (*text == u'"') {
            ++text;
            while (*text != 0 && *text != u'"')
                take(*text++);
            if (*text != 0)
                ++text;
        } else {
            take(*text++);
        }
    }
    return param;
}

} // namespace

WideString ParamStrOfCommandLine(const char16_t* commandLine, int index) {
    if (commandLine == nullptr || index < 0)
        return {};
    WideString param;
    for (int i = 0; i <= index; ++i) {
        param = NextParam(commandLine);
        if (param.empty())
            break;
    }
    return param;
}
