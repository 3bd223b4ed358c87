// A stream over an operating-system file handle, which it does not own; owning streams
// (such as the wide file stream) derive from it.
#pragma once

#include <windows.h>

#include "Streams.h"

class THandleStream : public TStream {
public:
    explicit THandleStream(HANDLE handle) : handle_(handle) {}
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    HANDLE Handle() const { return handle_; }

protected:
    HANDLE handle_;
};
