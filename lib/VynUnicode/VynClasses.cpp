#include "VynClasses.h"

#include <algorithm>
#include <climits>

#include "Format.h"
#include "TextConversion.h"

#ifdef _WIN32
#include "VynWindows.h"

WideString AnsiToWideCP(const AnsiString& text, uint32_t codePage) {
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

TVynFileStream::TVynFileStream(const WideString& fileName, uint16_t mode) : THandleStream(INVALID_HANDLE_VALUE) {
    const TFileHandle handle = mode == fmCreate ? FileCreateWide(fileName) : FileOpenWide(fileName, mode);
    if (handle < 0) {
        if (mode == fmCreate)
            throw EFCreateError(WideToAnsi(WideFormat(u"Cannot create file %s", {fileName})));
        throw EFOpenError(WideToAnsi(WideFormat(u"Cannot open file %s", {fileName})));
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
        throw EResNotFound(WideToAnsi(WideFormat(u"Resource %s not found", {name})));
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
