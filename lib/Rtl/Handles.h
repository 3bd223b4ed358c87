// Owning wrappers for Windows handles: one move-only type per kind of handle. The invalid value
// is part of the type because NULL and INVALID_HANDLE_VALUE are not interchangeable.
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

// Restores the thread's last error when it goes out of scope. Every closing call of the owners
// and guards runs under one: an owner that goes out of scope between a failing call and its
// report (or is reset there) must not overwrite the code being reported.
class LastErrorKeeper {
public:
    LastErrorKeeper() noexcept : saved_(::GetLastError()) {}
    ~LastErrorKeeper() { ::SetLastError(saved_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

private:
    DWORD saved_;
};

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
    // The caller (or the system) owns the handle from here on.
    [[nodiscard]] T release() noexcept { return std::exchange(handle_, invalid()); }
    void reset(T handle = invalid()) noexcept {
        const T old = std::exchange(handle_, handle);
        if (old != invalid()) {
            const LastErrorKeeper keeper;
            Close(old);
        }
    }
    // For out-parameters: closes what is held and lends the slot, so nothing is held raw between
    // the call that fills it and the owner.
    T* Put() noexcept {
        reset();
        return &handle_;
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
template <typename GdiHandle>
void DeleteGdiObject(GdiHandle h) noexcept {
    ::DeleteObject(h);
}
inline void DeleteMemoryDC(HDC h) noexcept { ::DeleteDC(h); }
inline void DestroyWindowHandle(HWND h) noexcept { ::DestroyWindow(h); }
inline void CloseFind(HANDLE h) noexcept { ::FindClose(h); }
inline void CloseLocalMemory(HLOCAL h) noexcept { ::LocalFree(h); }
inline void CloseGlobalMemory(HGLOBAL h) noexcept { ::GlobalFree(h); }
inline void CloseSid(PSID h) noexcept { ::FreeSid(h); }
inline void UnmapView(void* view) noexcept { ::UnmapViewOfFile(view); }
inline void DiscardResourceUpdate(HANDLE h) noexcept { ::EndUpdateResourceW(h, TRUE); }
inline void DeregisterEventSourceHandle(HANDLE h) noexcept {
    ::DeregisterEventSource(h);
}
constexpr intptr_t InvalidHandleValue = -1;
} // namespace HandleDetail

// File handles are invalid as INVALID_HANDLE_VALUE; most other kernel handles as NULL.
using UniqueFileHandle = UniqueHandle<HANDLE, HandleDetail::CloseKernelObject, HandleDetail::InvalidHandleValue>;
using UniqueKernelHandle = UniqueHandle<HANDLE, HandleDetail::CloseKernelObject>;
using UniqueFindHandle = UniqueHandle<HANDLE, HandleDetail::CloseFind, HandleDetail::InvalidHandleValue>;
using UniqueModule = UniqueHandle<HMODULE, HandleDetail::CloseModule>;
using UniqueRegKey = UniqueHandle<HKEY, HandleDetail::CloseRegKey>;
using UniqueWindow = UniqueHandle<HWND, HandleDetail::DestroyWindowHandle>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, HandleDetail::CloseLocalMemory>;
using UniqueGlobalMemory = UniqueHandle<HGLOBAL, HandleDetail::CloseGlobalMemory>;
// A view of a file mapping (MapViewOfFile).
using UniqueMappedView = UniqueHandle<void*, HandleDetail::UnmapView>;
// An event source of the system's event log (RegisterEventSource); deregistered on release.
using UniqueEventSource = UniqueHandle<HANDLE, HandleDetail::DeregisterEventSourceHandle>;
// A resource update begun by BeginUpdateResourceW; going out of scope discards it, so committing is
// EndUpdateResourceW(update.release(), FALSE).
using UniqueResourceUpdate = UniqueHandle<HANDLE, HandleDetail::DiscardResourceUpdate>;
// A SID the system allocated (AllocateAndInitializeSid); FreeSid releases it.
using UniqueSid = UniqueHandle<PSID, HandleDetail::CloseSid>;
// GDI objects, typed so that get() needs no cast.
using UniqueGdiObject = UniqueHandle<HGDIOBJ, HandleDetail::DeleteGdiObject<HGDIOBJ>>;
using UniqueBrush = UniqueHandle<HBRUSH, HandleDetail::DeleteGdiObject<HBRUSH>>;
using UniqueFont = UniqueHandle<HFONT, HandleDetail::DeleteGdiObject<HFONT>>;
using UniquePen = UniqueHandle<HPEN, HandleDetail::DeleteGdiObject<HPEN>>;
using UniqueBitmap = UniqueHandle<HBITMAP, HandleDetail::DeleteGdiObject<HBITMAP>>;
using UniqueRegion = UniqueHandle<HRGN, HandleDetail::DeleteGdiObject<HRGN>>;
// A device context made by CreateCompatibleDC/CreateDC (not one lent by GetDC: see DeviceContexts.h).
using UniqueMemoryDC = UniqueHandle<HDC, HandleDetail::DeleteMemoryDC>;

// GlobalLock ... GlobalUnlock. GlobalUnlock sets the last error even when it succeeds.
template <typename T = void>
class GlobalMemoryLock {
public:
    explicit GlobalMemoryLock(HGLOBAL memory) noexcept : memory_(memory), data_(static_cast<T*>(::GlobalLock(memory))) {}
    ~GlobalMemoryLock() {
        if (data_ != nullptr) {
            const LastErrorKeeper keeper;
            ::GlobalUnlock(memory_);
        }
    }
    GlobalMemoryLock(const GlobalMemoryLock&) = delete;
    GlobalMemoryLock& operator=(const GlobalMemoryLock&) = delete;

    T* get() const noexcept { return data_; }
    explicit operator bool() const noexcept { return data_ != nullptr; }

private:
    HGLOBAL memory_;
    T* data_;
};
