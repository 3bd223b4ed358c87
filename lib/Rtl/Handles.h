// Owning wrappers for Windows handles: one move-only type per kind of handle. The invalid value
// is part of the type because NULL and INVALID_HANDLE_VALUE are not interchangeable.
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

template <typename T, auto Close, auto Invalid = T{}>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(T handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    T get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != invalid(); }
    explicit operator bool() const noexcept { return valid(); }
    T release() noexcept { return std::exchange(handle_, invalid()); }
    void reset(T handle = invalid()) noexcept {
        const T old = std::exchange(handle_, handle);
        if (old != invalid())
            Close(old);
    }

private:
    static T invalid() noexcept {
        if constexpr (std::is_pointer_v<T> && !std::is_same_v<decltype(Invalid), T>)
            return reinterpret_cast<T>(Invalid);
        else
            return static_cast<T>(Invalid);
    }
    T handle_ = invalid();
};

namespace HandleDetail {
inline void CloseKernelObject(HANDLE h) noexcept { ::CloseHandle(h); }
inline void CloseModule(HMODULE h) noexcept { ::FreeLibrary(h); }
inline void CloseRegKey(HKEY h) noexcept { ::RegCloseKey(h); }
inline void CloseGdiObject(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void DestroyWindowHandle(HWND h) noexcept { ::DestroyWindow(h); }
inline void CloseFind(HANDLE h) noexcept { ::FindClose(h); }
inline void CloseLocalMemory(HLOCAL h) noexcept { ::LocalFree(h); }
constexpr intptr_t InvalidHandleValue = -1;
} // namespace HandleDetail

// File handles are invalid as INVALID_HANDLE_VALUE; most other kernel handles as NULL.
using UniqueFileHandle = UniqueHandle<HANDLE, HandleDetail::CloseKernelObject, HandleDetail::InvalidHandleValue>;
using UniqueKernelHandle = UniqueHandle<HANDLE, HandleDetail::CloseKernelObject>;
using UniqueFindHandle = UniqueHandle<HANDLE, HandleDetail::CloseFind, HandleDetail::InvalidHandleValue>;
using UniqueModule = UniqueHandle<HMODULE, HandleDetail::CloseModule>;
using UniqueRegKey = UniqueHandle<HKEY, HandleDetail::CloseRegKey>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, HandleDetail::CloseGdiObject>;
using UniqueWindow = UniqueHandle<HWND, HandleDetail::DestroyWindowHandle>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, HandleDetail::CloseLocalMemory>;
