// The handle owners: each kind closes exactly what it holds, once, on reset, move-assignment and
// destruction, never on release, and none of these changes the thread's last error.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Handles.h"

namespace {

constexpr DWORD MagicError = 0x2A5A5A5;

std::wstring TemporaryPath() {
    wchar_t folder[MAX_PATH] = {}, path[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"hdl", 0, path);
    return path;
}

bool KernelHandleAlive(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

bool GdiObjectAlive(HGDIOBJ object) {
    return ::GetObjectType(object) != 0;
}

// One kind of handle: how to make one, and whether one is still open. Kinds whose freed handles
// cannot be asked about safely (memory, SIDs, find handles) answer "unknown".
struct KernelKind {
    using Owner = UniqueKernelHandle;
    static HANDLE Make() { return ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    static std::optional<bool> Alive(HANDLE h) { return KernelHandleAlive(h); }
};
struct FileKind {
    using Owner = UniqueFileHandle;
    static HANDLE Make() {
        return ::CreateFileW(TemporaryPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    static std::optional<bool> Alive(HANDLE h) { return KernelHandleAlive(h); }
};
struct FindKind {
    using Owner = UniqueFindHandle;
    static HANDLE Make() {
        WIN32_FIND_DATAW found;
        wchar_t pattern[MAX_PATH] = {};
        ::GetSystemDirectoryW(pattern, MAX_PATH);
        wcscat(pattern, L"\\*");
        return ::FindFirstFileW(pattern, &found);
    }
    static std::optional<bool> Alive(HANDLE) { return std::nullopt; }
};
struct ModuleKind {
    using Owner = UniqueModule;
    // Mapped as a data file, every load of a library the process has not loaded for code is a
    // mapping of its own that FreeLibrary removes (a loaded library would be one counted module):
    // a copy under a name of its own is certainly not loaded.
    static HMODULE Make() {
        static const std::wstring copy = [] {
            wchar_t system[MAX_PATH] = {};
            ::GetSystemDirectoryW(system, MAX_PATH);
            const std::wstring path = TemporaryPath();
            ::CopyFileW((std::wstring(system) + L"\\msimg32.dll").c_str(), path.c_str(), FALSE);
            return path;
        }();
        return ::LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static std::optional<bool> Alive(HMODULE h) {
        // The low bits of a data-file module mark it as such; the mapping starts below them.
        MEMORY_BASIC_INFORMATION region{};
        const auto base =
            reinterpret_cast<const void*>(reinterpret_cast<UINT_PTR>(h) & ~static_cast<UINT_PTR>(3));
        return ::VirtualQuery(base, &region, sizeof region) != 0 && region.State == MEM_COMMIT;
    }
};
struct RegKeyKind {
    using Owner = UniqueRegKey;
    static HKEY Make() {
        HKEY key = nullptr;
        ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
        return key;
    }
    static std::optional<bool> Alive(HKEY h) {
        return ::RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
};
struct WindowKind {
    using Owner = UniqueWindow;
    static HWND Make() {
        return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
    }
    static std::optional<bool> Alive(HWND h) { return ::IsWindow(h) != FALSE; }
};
struct LocalMemoryKind {
    using Owner = UniqueLocalMemory;
    static HLOCAL Make() { return ::LocalAlloc(LMEM_FIXED, 16); }
    static std::optional<bool> Alive(HLOCAL) { return std::nullopt; }
};
struct GlobalMemoryKind {
    using Owner = UniqueGlobalMemory;
    static HGLOBAL Make() { return ::GlobalAlloc(GMEM_MOVEABLE, 16); }
    static std::optional<bool> Alive(HGLOBAL) { return std::nullopt; }
};
struct SidKind {
    using Owner = UniqueSid;
    static PSID Make() {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID sid = nullptr;
        ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid);
        return sid;
    }
    static std::optional<bool> Alive(PSID) { return std::nullopt; }
};
struct BrushKind {
    using Owner = UniqueBrush;
    static HBRUSH Make() { return ::CreateSolidBrush(RGB(1, 2, 3)); }
    static std::optional<bool> Alive(HBRUSH h) { return GdiObjectAlive(h); }
};
struct FontKind {
    using Owner = UniqueFont;
    static HFONT Make() {
        LOGFONTW font{};
        font.lfHeight = -11;
        wcscpy(font.lfFaceName, L"Tahoma");
        return ::CreateFontIndirectW(&font);
    }
    static std::optional<bool> Alive(HFONT h) { return GdiObjectAlive(h); }
};
struct PenKind {
    using Owner = UniquePen;
    static HPEN Make() { return ::CreatePen(PS_SOLID, 1, RGB(4, 5, 6)); }
    static std::optional<bool> Alive(HPEN h) { return GdiObjectAlive(h); }
};
struct BitmapKind {
    using Owner = UniqueBitmap;
    static HBITMAP Make() { return ::CreateBitmap(4, 4, 1, 32, nullptr); }
    static std::optional<bool> Alive(HBITMAP h) { return GdiObjectAlive(h); }
};
struct RegionKind {
    using Owner = UniqueRegion;
    static HRGN Make() { return ::CreateRectRgn(0, 0, 5, 5); }
    static std::optional<bool> Alive(HRGN h) { return GdiObjectAlive(h); }
};
struct GdiObjectKind {
    using Owner = UniqueGdiObject;
    static HGDIOBJ Make() { return ::CreateSolidBrush(RGB(7, 8, 9)); }
    static std::optional<bool> Alive(HGDIOBJ h) { return GdiObjectAlive(h); }
};
struct MemoryDCKind {
    using Owner = UniqueMemoryDC;
    static HDC Make() { return ::CreateCompatibleDC(nullptr); }
    static std::optional<bool> Alive(HDC h) { return GdiObjectAlive(h); }
};

template <class Kind> class HandleOwner : public ::testing::Test {
protected:
    using Owner = typename Kind::Owner;

    auto Make() {
        Owner made(Kind::Make());
        EXPECT_TRUE(made.valid()) << "the test could not make a handle of this kind";
        return made.release();
    }
    // Closed: not alive any more, where the kind can tell.
    template <typename H> static void ExpectClosed(H handle) {
        if (const std::optional<bool> alive = Kind::Alive(handle)) {
            EXPECT_FALSE(*alive);
        }
    }
    template <typename H> static void ExpectOpen(H handle) {
        if (const std::optional<bool> alive = Kind::Alive(handle)) {
            EXPECT_TRUE(*alive);
        }
    }
};

using HandleKinds = ::testing::Types<KernelKind, FileKind, FindKind, ModuleKind, RegKeyKind, WindowKind,
                                     LocalMemoryKind, GlobalMemoryKind, SidKind, BrushKind, FontKind, PenKind,
                                     BitmapKind, RegionKind, GdiObjectKind, MemoryDCKind>;
TYPED_TEST_SUITE(HandleOwner, HandleKinds);

TYPED_TEST(HandleOwner, AnEmptyOwnerHoldsTheKindsInvalidValueAndClosesNothing) {
    typename TestFixture::Owner empty;
    EXPECT_FALSE(empty);
    EXPECT_FALSE(empty.valid());
    ::SetLastError(MagicError);
    empty.reset();
    EXPECT_EQ(::GetLastError(), MagicError);
}

TYPED_TEST(HandleOwner, ConstructionResetAndDestructionCloseOnceAndKeepTheLastError) {
    const auto first = this->Make();
    const auto second = this->Make();
    {
        ::SetLastError(MagicError);
        typename TestFixture::Owner owner(first);
        EXPECT_EQ(::GetLastError(), MagicError) << "construction";
        EXPECT_EQ(owner.get(), first);
        this->ExpectOpen(first);

        ::SetLastError(MagicError);
        owner.reset(second);
        EXPECT_EQ(::GetLastError(), MagicError) << "reset";
        this->ExpectClosed(first);
        this->ExpectOpen(second);
        ::SetLastError(MagicError);
    }
    EXPECT_EQ(::GetLastError(), MagicError) << "destruction";
    this->ExpectClosed(second);
}

TYPED_TEST(HandleOwner, MoveAssignmentClosesTheTargetsHandleAndKeepsTheLastError) {
    const auto kept = this->Make();
    const auto replaced = this->Make();
    typename TestFixture::Owner source(kept);
    typename TestFixture::Owner target(replaced);
    ::SetLastError(MagicError);
    target = std::move(source);
    EXPECT_EQ(::GetLastError(), MagicError);
    EXPECT_FALSE(source);
    EXPECT_EQ(target.get(), kept);
    this->ExpectClosed(replaced);
    this->ExpectOpen(kept);

    typename TestFixture::Owner constructed(std::move(target));
    EXPECT_FALSE(target);
    EXPECT_EQ(constructed.get(), kept);
    this->ExpectOpen(kept);
}

TYPED_TEST(HandleOwner, SelfMoveAssignmentKeepsTheHandleOpen) {
    const auto handle = this->Make();
    typename TestFixture::Owner owner(handle);
    auto& alias = owner;
    owner = std::move(alias);
    EXPECT_EQ(owner.get(), handle);
    this->ExpectOpen(handle);
}

TYPED_TEST(HandleOwner, ReleaseHandsTheHandleOverUnclosed) {
    const auto handle = this->Make();
    typename TestFixture::Owner owner(handle);
    const auto released = owner.release();
    EXPECT_EQ(released, handle);
    EXPECT_FALSE(owner);
    this->ExpectOpen(handle);
    typename TestFixture::Owner(released).reset();
    this->ExpectClosed(handle);
}

TYPED_TEST(HandleOwner, PutClosesWhatIsHeldAndLendsTheEmptySlot) {
    const auto old = this->Make();
    typename TestFixture::Owner owner(old);
    ::SetLastError(MagicError);
    auto* slot = owner.Put();
    EXPECT_EQ(::GetLastError(), MagicError);
    this->ExpectClosed(old);
    EXPECT_FALSE(owner);
    const auto filled = this->Make();
    *slot = filled;
    EXPECT_EQ(owner.get(), filled);
}

// A close function that, like some of the system's, sets the last error even when it succeeds.
int closedCount = 0;
void CloseNoisily(int) noexcept {
    ++closedCount;
    ::SetLastError(ERROR_GEN_FAILURE);
}
using NoisyOwner = UniqueHandle<int, CloseNoisily, -1>;

TEST(HandleOwnerClosing, KeepsTheLastErrorThatTheCloseCallOverwrites) {
    closedCount = 0;
    {
        NoisyOwner owner(1);
        ::SetLastError(MagicError);
        owner.reset(2);
        EXPECT_EQ(::GetLastError(), MagicError) << "reset";
        NoisyOwner other(3);
        ::SetLastError(MagicError);
        owner = std::move(other);
        EXPECT_EQ(::GetLastError(), MagicError) << "move-assignment";
        ::SetLastError(MagicError);
        static_cast<void>(owner.Put());
        EXPECT_EQ(::GetLastError(), MagicError) << "Put";
        owner.reset(4);
        ::SetLastError(MagicError);
    }
    EXPECT_EQ(::GetLastError(), MagicError) << "destruction";
    EXPECT_EQ(closedCount, 4) << "each handle closed once, the invalid value never";
}

TEST(GlobalMemoryLock, LocksForItsScopeAndKeepsTheLastErrorThatUnlockingWouldClear) {
    UniqueGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, 8));
    ASSERT_TRUE(memory);
    {
        const GlobalMemoryLock<char> bytes(memory.get());
        ASSERT_TRUE(bytes);
        bytes.get()[0] = 'x';
        EXPECT_EQ(::GlobalFlags(memory.get()) & GMEM_LOCKCOUNT, 1u);
        ::SetLastError(MagicError);
    }
    EXPECT_EQ(::GetLastError(), MagicError);
    EXPECT_EQ(::GlobalFlags(memory.get()) & GMEM_LOCKCOUNT, 0u);
    const GlobalMemoryLock<const char> again(memory.get());
    EXPECT_EQ(again.get()[0], 'x');
}

} // namespace
