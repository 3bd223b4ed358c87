// What the installer's file tells Windows and Explorer before it runs: the application manifest
// (elevation, known Windows versions, Common Controls 6), the version resource and the icon; and
// that Wine honours the manifest's Common Controls dependency.
#include <gtest/gtest.h>

#include <windows.h>
// needs the types of windows.h
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "DeviceContexts.h"
#include "ExceptionDialogView.h"
#include "Handles.h"
#include "InstallerTest.h"
#include "Screenshot.h"
#include "TraceFileVersion.h"
#include "VynLXVerUtils.h"
#include "WineTestSupport.h"

using namespace std::chrono_literals;

namespace {

// Running the installer needs the prerequisites its fixture registers.
using FerruleResources = InstallerTest;

void DestroyIconHandle(HICON icon) noexcept {
    ::DestroyIcon(icon);
}
using UniqueIcon = UniqueHandle<HICON, DestroyIconHandle>;

WideString Wide(const std::wstring& text) {
    return WideString(text.begin(), text.end());
}

UniqueModule LoadAsData(const std::wstring& path) {
    UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_TRUE(module) << "cannot load " << std::string(path.begin(), path.end());
    return module;
}

// The bytes of one resource of a module loaded as data; empty when there is none.
std::string ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name) {
    HRSRC found = ::FindResourceW(module, name, type);
    if (found == nullptr)
        return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return {};
    return std::string(static_cast<const char*>(bytes), ::SizeofResource(module, found));
}

using Attributes = std::map<std::string, std::string>;

// The attributes of every element `name` in the text, in order. Enough for the manifest we write
// ourselves: no entities, attribute values in double quotes.
std::vector<Attributes> ElementsNamed(const std::string& xml, const std::string& name) {
    std::vector<Attributes> elements;
    const std::string opening = "<" + name;
    for (size_t at = xml.find(opening); at != std::string::npos; at = xml.find(opening, at + 1)) {
        const size_t end = xml.find('>', at);
        if (end == std::string::npos || !std::isspace(static_cast<unsigned char>(xml[at + opening.size()])))
            continue;
        const std::string tag = xml.substr(at + opening.size(), end - at - opening.size());
        Attributes attributes;
        for (size_t pos = 0;;) {
            const size_t equals = tag.find("=\"", pos);
            if (equals == std::string::npos)
                break;
            const size_t close = tag.find('"', equals + 2);
            if (close == std::string::npos)
                break;
            size_t start = tag.find_last_of(" \t\r\n", equals);
            start = start == std::string::npos ? 0 : start + 1;
            attributes[tag.substr(start, equals - start)] = tag.substr(equals + 2, close - equals - 2);
            pos = close + 1;
        }
        elements.push_back(attributes);
    }
    return elements;
}

std::string ManifestOf(const std::wstring& path) {
    UniqueModule module = LoadAsData(path);
    return module ? ResourceBytes(module.get(), MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1)) : std::string();
}

const std::string ExpectedArchitecture = sizeof(void*) == 8 ? "amd64" : "x86";

void ExpectTheInstallerManifest(const std::wstring& path) {
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    const std::string manifest = ManifestOf(path);
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST resource 1";

    const std::vector<Attributes> levels = ElementsNamed(manifest, "requestedExecutionLevel");
    ASSERT_EQ(levels.size(), 1u);
    EXPECT_EQ(levels[0], (Attributes{{"level", "requireAdministrator"}, {"uiAccess", "false"}}));
    // The execution level is read from the asm.v3 trust block only.
    EXPECT_NE(manifest.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"), std::string::npos);

    std::vector<std::string> systems;
    for (const Attributes& os : ElementsNamed(manifest, "supportedOS"))
        systems.push_back(os.at("Id"));
    EXPECT_EQ(systems, (std::vector<std::string>{
                           "{e2011457-1546-43c5-a5fe-008deee3d3f0}", // Vista
                           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // 7
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
                       }));

    const std::vector<Attributes> identities = ElementsNamed(manifest, "assemblyIdentity");
    ASSERT_EQ(identities.size(), 2u) << "the program's own identity and one dependency";
    EXPECT_EQ(identities[0].at("processorArchitecture"), ExpectedArchitecture);
    const Attributes& controls = identities[1];
    EXPECT_EQ(controls.at("name"), "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(controls.at("version"), "6.0.0.0");
    EXPECT_EQ(controls.at("processorArchitecture"), ExpectedArchitecture);
    EXPECT_EQ(controls.at("publicKeyToken"), "6595b64144ccf1df");
    EXPECT_LT(manifest.find("<dependentAssembly>"), manifest.find("Microsoft.Windows.Common-Controls"));
}

TEST_F(FerruleResources, EveryInstallerBuildCarriesTheElevationManifest) {
    for (const char* path : {FERRULE_PATH, FERRULE_FAILING_PATH, FERRULE_SFALSE_PATH,
                             FERRULE_WITHOUT_REGISTRATION_PATH, FERRULE_NOT_A_LIBRARY_PATH})
        ExpectTheInstallerManifest(HostPath(path));
    EXPECT_EQ(ManifestOf(HostPath(FERRULE_WITHOUT_MANIFEST_PATH)), "")
        << "the comparison build must have none";
}

TEST_F(FerruleResources, TheVersionResourceReadsBackThroughTheLibrarysReaders) {
    const WideString path = Wide(HostPath(FERRULE_PATH));
    const WideString version = u"3.6.0." + Wide(std::to_wstring(FERRULE_BUILD_NUMBER));
    EXPECT_EQ(ReadFileVersion(path), MakeComponentVersion(3, 6, 0, FERRULE_BUILD_NUMBER));
    const VS_FIXEDFILEINFO fixed = GetFixedFileInfo(path);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00030006u);
    EXPECT_EQ(fixed.dwProductVersionLS, static_cast<DWORD>(FERRULE_BUILD_NUMBER));
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed.dwFileFlags & fixed.dwFileFlagsMask, 0u) << "no debug, pre-release or patched flag";
    EXPECT_EQ(GetFileTranslation(path), 0x04B00409u) << "US English, Unicode";

    const std::map<WideString, WideString> expected = {
        {u"FileVersion", version},
        {u"ProductVersion", version},
        {u"FileDescription", u"DAO 3.60 setup"},
        {u"ProductName", u"Ferrule"},
        {u"OriginalFilename", u"Ferrule.exe"},
        {u"CompanyName", u"Ferrule project"},
        {u"LegalCopyright", u"Copyright (C) Ferrule project"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(GetFileVersionString(name, path, 0, 0), value) << std::string(name.begin(), name.end());

    const std::optional<TReportModuleVersion> report = ReadReportModuleVersion(path);
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->FileVersion, (std::array<uint16_t, 4>{3, 6, 0, FERRULE_BUILD_NUMBER}));
    EXPECT_EQ(report->FileVersionText, "3.6.0." + std::to_string(FERRULE_BUILD_NUMBER));
    EXPECT_EQ(report->FileDescription, "DAO 3.60 setup");
    EXPECT_EQ(ReadProductVersionMajorMinor(path), 0x00030006u);
}

// The colour of one pixel of the icon drawn at its own size on black.
COLORREF IconPixel(HICON icon, int edge, int x, int y) {
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    uint32_t* bits = nullptr;
    UniqueBitmap bitmap = NewPixelBitmap(dc.get(), edge, edge, bits);
    if (!bitmap || bits == nullptr)
        return CLR_INVALID;
    SelectedObject selected(dc.get(), bitmap.get());
    ::DrawIconEx(dc.get(), 0, 0, icon, edge, edge, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    return bits[y * edge + x] & 0xFFFFFF;
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE Width, Height, ColorCount, Reserved;
    WORD Planes, BitCount;
    DWORD BytesInRes;
    WORD Id;
};
#pragma pack(pop)

BOOL CALLBACK TakeFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    *reinterpret_cast<std::wstring*>(found) =
        IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(name)) : name;
    return FALSE;
}

TEST_F(FerruleResources, TheMainIconIsTheFirstGroupWithSixteenThirtyTwoAndFortyEightPixels) {
    UniqueModule module = LoadAsData(HostPath(FERRULE_PATH));
    ASSERT_TRUE(module);
    std::wstring first;
    ::EnumResourceNamesW(module.get(), MAKEINTRESOURCEW(14), &TakeFirstName,
                         reinterpret_cast<LONG_PTR>(&first));
    EXPECT_EQ(first, L"MAINICON") << "Explorer shows the first group icon";

    const std::string group = ResourceBytes(module.get(), MAKEINTRESOURCEW(14), L"MAINICON");
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
    std::vector<int> edges;
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof(entry), sizeof(entry));
        edges.push_back(entry.Width);
        EXPECT_EQ(entry.Height, entry.Width);
        EXPECT_EQ(entry.BitCount, 32);
    }
    EXPECT_EQ(edges, (std::vector<int>{16, 32, 48}));

    // Each size is the drawing of app/Ferrule.icon.txt: the arrow's green and a clear corner.
    for (int edge : {16, 32, 48}) {
        SCOPED_TRACE(edge);
        UniqueIcon icon(
            static_cast<HICON>(::LoadImageW(module.get(), L"MAINICON", IMAGE_ICON, edge, edge, 0)));
        ASSERT_TRUE(icon);
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon.get(), &info));
        UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
        BITMAP shape{};
        ::GetObjectW(colour.get(), sizeof(shape), &shape);
        EXPECT_EQ(shape.bmWidth, edge);
        EXPECT_EQ(shape.bmHeight, edge);
        const int scale = edge / 16;
        EXPECT_EQ(IconPixel(icon.get(), edge, 12 * scale, 11 * scale), 0x2EB04Eu);
        EXPECT_EQ(IconPixel(icon.get(), edge, 0, 0), 0u);
    }
}

struct LoadedModule {
    std::wstring Path;
    TComponentVersion FileVersion;
};

// Every comctl32.dll the process has loaded.
std::vector<LoadedModule> LoadedCommonControls(DWORD processId) {
    std::vector<LoadedModule> versions;
    UniqueKernelHandle snapshot(
        ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
    EXPECT_TRUE(snapshot);
    if (!snapshot)
        return versions;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Module32FirstW(snapshot.get(), &entry); more;
         more = ::Module32NextW(snapshot.get(), &entry))
        if (::lstrcmpiW(entry.szModule, L"comctl32.dll") == 0)
            versions.push_back({entry.szExePath, ReadFileVersion(Wide(entry.szExePath))});
    return versions;
}

// Every child window by class and place in the parent's client area, in Z-order: what a change of
// control library could move.
struct ChildPlace {
    std::wstring ClassName;
    RECT Bounds;
    bool operator==(const ChildPlace& other) const {
        return ClassName == other.ClassName && ::EqualRect(&Bounds, &other.Bounds);
    }
};

BOOL CALLBACK AddChildPlace(HWND child, LPARAM places) {
    RECT bounds;
    ::GetWindowRect(child, &bounds);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&bounds), 2);
    reinterpret_cast<std::vector<ChildPlace>*>(places)->push_back({ClassNameOf(child), bounds});
    return TRUE;
}

struct WindowLayout {
    SIZE Client{};
    std::vector<ChildPlace> Children;
};

WindowLayout LayoutOf(HWND window) {
    WindowLayout layout;
    RECT client;
    ::GetClientRect(window, &client);
    layout.Client = {client.right, client.bottom};
    ::EnumChildWindows(window, &AddChildPlace, reinterpret_cast<LPARAM>(&layout.Children));
    return layout;
}

void ExpectSameLayout(const WindowLayout& manifested, const WindowLayout& legacy) {
    EXPECT_EQ(manifested.Client.cx, legacy.Client.cx);
    EXPECT_EQ(manifested.Client.cy, legacy.Client.cy);
    EXPECT_FALSE(manifested.Children.empty());
    EXPECT_TRUE(manifested.Children == legacy.Children) << "the controls moved or changed class";
}

std::wstring Artefact(const std::wstring& name) {
    return HostPath(FERRULE_ARTEFACT_DIR) + L"\\" + name;
}

struct FailingRun {
    std::vector<LoadedModule> CommonControls;
    WindowLayout Dialog;
};

// The failing payload keeps the installer open on its exception dialog, built from system controls,
// with the installer's window behind it. `prefix` names the pictures.
FailingRun RunFailingInstaller(const char* path, const std::wstring& prefix) {
    FailingRun run;
    RunningProgram installer(HostPath(path));
    HWND dialog = WaitForExceptionDialog(installer, 60s);
    EXPECT_NE(dialog, nullptr) << "no exception dialog appeared";
    if (dialog == nullptr)
        return run;
    run.CommonControls = LoadedCommonControls(installer.ProcessId());
    run.Dialog = LayoutOf(dialog);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(SaveWindowScreenshot(dialog, Artefact(prefix + L"-exception-dialog.png")));
    EXPECT_TRUE(ExceptionDialogView::Of(dialog).Close(5s));
    HWND form = installer.WaitForWindow(L"TFerruleForm.UnicodeClass", 5s);
    EXPECT_NE(form, nullptr);
    if (form != nullptr) {
        ::RedrawWindow(form, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        std::this_thread::sleep_for(500ms);
        EXPECT_TRUE(SaveWindowScreenshot(form, Artefact(prefix + L"-installer-window.png")));
        ::PostMessageW(form, WM_SYSKEYDOWN, VK_F4, 0);
    }
    EXPECT_EQ(installer.WaitForExit(30s), 2u) << "an error was reported: the run failed";
    return run;
}

// Loaded from the side-by-side store's Common Controls 6.0 assembly: file versions do not tell, as
// Wine's copy there carries the version of the system's.
bool FromCommonControlsSix(const LoadedModule& module) {
    std::wstring path = module.Path;
    ::CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
    return path.find(L"\\winsxs\\" + std::wstring(sizeof(void*) == 8 ? L"amd64" : L"x86") +
                     L"_microsoft.windows.common-controls_6595b64144ccf1df_6.0.") != std::wstring::npos;
}

bool AnyOfVersionSix(const std::vector<LoadedModule>& modules) {
    for (const LoadedModule& module : modules)
        if (FromCommonControlsSix(module) || (module.FileVersion >> 48) == 6)
            return true;
    return false;
}

std::string Describe(const std::vector<LoadedModule>& modules) {
    std::string text;
    for (const LoadedModule& module : modules) {
        const WideString version = ComponentVersionToStr(0, module.FileVersion);
        text += std::string(module.Path.begin(), module.Path.end()) + " " +
                std::string(version.begin(), version.end()) + "; ";
    }
    return text.empty() ? "none" : text;
}

TEST_F(FerruleResources, TheManifestBringsCommonControlsSixWithoutMovingAControl) {
    const FailingRun manifested = RunFailingInstaller(FERRULE_FAILING_PATH, L"manifest");
    EXPECT_TRUE(AnyOfVersionSix(manifested.CommonControls))
        << "comctl32 6 is not loaded: " << Describe(manifested.CommonControls);
    // The same program without the manifest is the legacy one: the system's version 5 at most.
    const FailingRun legacy = RunFailingInstaller(FERRULE_WITHOUT_MANIFEST_PATH, L"legacy");
    EXPECT_FALSE(AnyOfVersionSix(legacy.CommonControls)) << Describe(legacy.CommonControls);
    ExpectSameLayout(manifested.Dialog, legacy.Dialog);
}

// The dialog's class is the form's class name, with a suffix for a Unicode window.
bool IsMessageForm(HWND window) {
    static const std::wstring prefix = L"TVynMessageForm";
    const std::wstring name = ClassNameOf(window);
    return name.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

// Without Jet 4.0 the installer stops at its prerequisite message.
WindowLayout PrerequisiteMessage(const char* path, const std::wstring& prefix) {
    RunningProgram installer(HostPath(path));
    HWND message = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (message == nullptr && std::chrono::steady_clock::now() < deadline &&
           installer.WaitForExit(10ms) == STILL_ACTIVE)
        for (HWND window : installer.TopLevelWindows())
            if (::IsWindowVisible(window) && IsMessageForm(window))
                message = window;
    EXPECT_NE(message, nullptr) << "no prerequisite message appeared";
    if (message == nullptr)
        return {};
    const WindowLayout layout = LayoutOf(message);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(SaveWindowScreenshot(message, Artefact(prefix + L"-prerequisite-message.png")));
    PressKeys(message, {VK_RETURN});
    EXPECT_EQ(installer.WaitForExit(30s), 1u) << "a refusal ends with 1";
    return layout;
}

TEST_F(FerruleResources, ThePrerequisiteMessageKeepsItsLayoutUnderTheManifest) {
    jet_.reset();
    const WindowLayout manifested = PrerequisiteMessage(FERRULE_FAILING_PATH, L"manifest");
    const WindowLayout legacy = PrerequisiteMessage(FERRULE_WITHOUT_MANIFEST_PATH, L"legacy");
    ExpectSameLayout(manifested, legacy);
}

} // namespace
