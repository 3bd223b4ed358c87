// Streams opened by wide file and resource names, growable text builders, and conversions
// between wide text and code pages.
#pragma once

#include "Streams.h"
#include "SysTypes.h"

// The streams over files and resources need the operating system; the rest of the unit (text
// builders, conversions, lists) also builds natively.
#ifdef _WIN32
#include <windows.h>

#include "HandleStream.h"
#include "VynSysUtils.h"
#endif

#ifdef _WIN32
WideString AnsiToWideCP(const AnsiString& text, uint32_t codePage);
AnsiString WideToAnsiCP(const WideString& text, uint32_t codePage);

// File-open mode that means "create or truncate".
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareDenyWrite = 0x0020;

// A file opened by wide name; owns its handle.
class TVynFileStream : public THandleStream {
public:
    // Raises EFCreateError "Cannot create file %s" or EFOpenError "Cannot open file %s".
    TVynFileStream(const WideString& fileName, uint16_t mode);
    ~TVynFileStream() override;
    TVynFileStream(const TVynFileStream&) = delete;
    TVynFileStream& operator=(const TVynFileStream&) = delete;
};

class TVynMemoryStream : public TMemoryStream {
public:
    void LoadFromWideFile(const WideString& fileName);
};

// The data of a resource, read only: its memory is the locked resource.
class TVynResourceStream : public TCustomMemoryStream {
public:
    // type is zero-terminated wide text or an integer resource identifier (MAKEINTRESOURCE);
    // raises EResNotFound "Resource %s not found".
    TVynResourceStream(HMODULE module, const WideString& name, const char16_t* type);
    ~TVynResourceStream() override;
    TVynResourceStream(const TVynResourceStream&) = delete;
    TVynResourceStream& operator=(const TVynResourceStream&) = delete;

    // Raises EStreamError: a resource cannot be written.
    int32_t Write(const void* buffer, int32_t count) override;
    // Creates (or truncates) the file and writes the whole resource to it.
    void SaveToWideFile(const WideString& fileName);

private:
    HRSRC resourceInfo_ = nullptr;
    HGLOBAL resourceData_ = nullptr;
};

#endif // _WIN32

// A growable text builder whose buffer is kept across Reset, so reuse allocates rarely.
class TBufferedAnsiString {
public:
    void Reset();
    void AppendChar(char ch);
    void AppendText(const AnsiString& text);
    AnsiString AccumulatedText() const;
    size_t BufferLength() const { return buffer_.size(); }

private:
    AnsiString buffer_;
    int32_t lastWriteIndex_ = 0;
};

class TBufferedWideString {
public:
    void Reset();
    void AppendChar(char16_t ch);
    void AppendText(const WideString& text);
    // Appends the units of text up to its first zero unit, at most maxCount of them.
    void AppendBuffer(const char16_t* text, int32_t maxCount);
    WideString AccumulatedText() const;
    const char16_t* BufferPointer() const { return buffer_.c_str(); }
    size_t BufferLength() const { return buffer_.size(); }

private:
    WideString buffer_;
    int32_t lastWriteIndex_ = 0;
};
