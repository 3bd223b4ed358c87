#include "HandleStream.h"

#include "OSError.h"

int32_t THandleStream::Read(void* buffer, int32_t count) {
    DWORD done = 0;
    if (count <= 0 || !::ReadFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return static_cast<int32_t>(done);
}

int32_t THandleStream::Write(const void* buffer, int32_t count) {
    DWORD done = 0;
    if (count <= 0 || !::WriteFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return static_cast<int32_t>(done);
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!::SetFilePointerEx(handle_, distance, &result, static_cast<DWORD>(origin)))
        return -1;
    return result.QuadPart;
}

void THandleStream::SetSize(int64_t newSize) {
    Seek(newSize, TSeekOrigin::soBeginning);
    if (!::SetEndOfFile(handle_))
        RaiseLastOSError("SetEndOfFile");
}
