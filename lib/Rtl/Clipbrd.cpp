#include "Clipbrd.h"

#include <algorithm>
#include <cstring>

#include "OSError.h"
#include "ResourceModule.h"
#include "WindowsVersion.h"

namespace {

constexpr int OpenAttempts = 10;
constexpr DWORD OpenRetryPause = 20;

// Puts a copy of the bytes on the open clipboard; the system owns the copy once it took it.
void SetClipboardBytes(UINT format, const void* bytes, size_t size) {
    UniqueGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory)
        RaiseLastOSError("GlobalAlloc");
    {
        const GlobalMemoryLock<char> target(memory.get());
        if (!target)
            RaiseLastOSError("GlobalLock");
        std::memcpy(target.get(), bytes, size);
    }
    if (::SetClipboardData(format, memory.get()) == nullptr)
        RaiseLastOSError("SetClipboardData");
    static_cast<void>(memory.release()); // the clipboard owns it now
}

// The units of the clipboard's data in a format, up to the first zero unit and never past the
// end of the block, whatever the data claims.
template <typename Unit> std::basic_string<Unit> ClipboardUnits(UINT format) {
    HANDLE data = ::GetClipboardData(format);
    if (data == nullptr)
        return {};
    const size_t units = ::GlobalSize(data) / sizeof(Unit);
    const GlobalMemoryLock<const Unit> source(data);
    if (!source)
        return {};
    const Unit* begin = source.get();
    return std::basic_string<Unit>(begin, std::find(begin, begin + units, Unit{}));
}

bool SystemHasUnicodeClipboard() {
    return Win32Platform() == VER_PLATFORM_WIN32_NT;
}

} // namespace

// The clipboard, open for one call. Another program may hold it open for a moment: a few brief
// retries before giving up.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(TClipboard& clipboard) {
        HWND owner = clipboard.OwnerWindow();
        for (int attempt = 0; attempt < OpenAttempts; ++attempt) {
            if (::OpenClipboard(owner))
                return;
            ::Sleep(OpenRetryPause);
        }
        throw EClipboardException("Cannot open clipboard");
    }
    ~OpenClipboardScope() {
        const LastErrorKeeper keeper;
        ::CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

HWND TClipboard::OwnerWindow() {
    // EmptyClipboard gives the clipboard to the window that opened it; with none, the system
    // may refuse the data that follows.
    if (!owner_) {
        owner_.reset(::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, MainInstance(),
                                       nullptr));
        if (!owner_)
            RaiseLastOSError("CreateWindowExA", u"STATIC");
    }
    return owner_.get();
}

void TClipboard::SetAsText(const AnsiString& text) {
    const OpenClipboardScope open(*this);
    if (!::EmptyClipboard())
        RaiseLastOSError("EmptyClipboard");
    SetClipboardBytes(CF_TEXT, text.c_str(), text.size() + 1);
}

void TClipboard::SetAsWideText(const WideString& text) {
    if (!SystemHasUnicodeClipboard()) {
        AnsiString ansi;
        if (!text.empty()) {
            const auto* wide = reinterpret_cast<const WCHAR*>(text.c_str());
            const int length = static_cast<int>(text.size());
            const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
            if (size <= 0)
                RaiseLastOSError("WideCharToMultiByte");
            ansi.resize(static_cast<size_t>(size));
            ::WideCharToMultiByte(CP_ACP, 0, wide, length, ansi.data(), size, nullptr, nullptr);
        }
        SetAsText(ansi);
        return;
    }
    const OpenClipboardScope open(*this);
    if (!::EmptyClipboard())
        RaiseLastOSError("EmptyClipboard");
    SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

AnsiString TClipboard::AsText() {
    const OpenClipboardScope open(*this);
    return ClipboardUnits<char>(CF_TEXT);
}

WideString TClipboard::AsWideText() {
    if (SystemHasUnicodeClipboard()) {
        const OpenClipboardScope open(*this);
        return ClipboardUnits<char16_t>(CF_UNICODETEXT);
    }
    const AnsiString ansi = AsText();
    if (ansi.empty())
        return {};
    const int length = static_cast<int>(ansi.size());
    const int size = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (size <= 0)
        RaiseLastOSError("MultiByteToWideChar");
    WideString wide(static_cast<size_t>(size), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, reinterpret_cast<WCHAR*>(wide.data()), size);
    return wide;
}

bool TClipboard::HasFormat(UINT format) const {
    return ::IsClipboardFormatAvailable(format) != FALSE;
}

void TClipboard::Clear() {
    const OpenClipboardScope open(*this);
    if (!::EmptyClipboard())
        RaiseLastOSError("EmptyClipboard");
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}
