// The installer's prerequisite check, seen from outside: which message a missing or too old
// component brings, that nothing else happens then, and that new enough components pass.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "Screenshot.h"
#include "VersionResource.h"
#include "WineTestSupport.h"

using namespace std::chrono_literals;

namespace {

const std::wstring JetClassId = L"{F0E1D2C3-0000-4000-8000-00000000004B}";
const std::wstring MdacClassId = L"{F0E1D2C3-0000-4000-8000-00000000004C}";
const std::wstring DownloadFolder = L"http://www.ferrule-setup.org/download/";

// The dialog's class is the form's class name, with a suffix for a Unicode window.
bool IsMessageForm(HWND window) {
    static const std::wstring prefix = L"TVynMessageForm";
    const std::wstring name = ClassNameOf(window);
    return name.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

class FerruleRequirements : public ::testing::Test {
protected:
    void SetUp() override {
        installFile_ = CommonFilesFolder() + L"\\Microsoft Shared\\DAO\\dao360.dll";
        RemoveFile(installFile_);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, L"DAO.TableDef.36");
        DeleteRegistryTree(HKEY_CLASSES_ROOT, L"DAO.TableDef");
    }
    void TearDown() override { RemoveFile(installFile_); }

    // A copy of the stand-in that carries another version.
    std::wstring StandInOfVersion(const std::wstring& name, uint16_t major, uint16_t minor) {
        TVersionResourceShape shape;
        shape.FileVersion[0] = major;
        shape.FileVersion[1] = minor;
        const std::wstring path = folder_.Path() + L"\\" + name;
        CopyWithVersionResource(HostPath(STANDIN_DAO_PATH), path, BuildVersionResource(shape));
        return path;
    }

    // Runs the installer up to its prerequisite message and returns the message's text as the
    // dialog copies it; the installer must then end without a window or a file.
    std::wstring RefusalMessage(const std::wstring& screenshotName) {
        RunningProgram installer(HostPath(FERRULE_PATH));
        HWND dialog = nullptr;
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (dialog == nullptr && std::chrono::steady_clock::now() < deadline &&
               installer.WaitForExit(10ms) == STILL_ACTIVE)
            for (HWND window : installer.TopLevelWindows())
                if (::IsWindowVisible(window) && IsMessageForm(window))
                    dialog = window;
        if (dialog == nullptr) {
            ADD_FAILURE() << "no prerequisite message appeared";
            return {};
        }
        for (HWND window : installer.TopLevelWindows())
            EXPECT_FALSE(::IsWindowVisible(window) && window != dialog)
                << "another window is shown: " << std::string(ClassNameOf(window).begin(), ClassNameOf(window).end());
        EXPECT_EQ(WindowText(dialog), L"Ferrule") << "the caption is the framework's default title";
        EXPECT_EQ(::GetWindowLongW(dialog, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
        PressKeys(dialog, {VK_CONTROL, 'C'});
        const std::wstring copied = ClipboardText();
        // Taken once the dialog has been active for a moment, so that it is painted.
        std::this_thread::sleep_for(1s);
        EXPECT_TRUE(SaveWindowScreenshot(dialog, HostPath(FERRULE_ARTEFACT_DIR) + L"\\" + screenshotName));
        PressKeys(dialog, {VK_RETURN});
        EXPECT_EQ(installer.WaitForExit(30s), 1u) << "a refusal ends with 1";
        EXPECT_FALSE(FileExists(installFile_)) << "nothing may be written after a refusal";
        EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID"), L"");
        return copied;
    }

    static std::wstring CopiedDialog(const std::wstring& message) {
        const std::wstring divider = std::wstring(27, L'-') + L"\r\n";
        return divider + L"Ferrule\r\n" + divider + message + L"\r\n" + divider + L"OK   \r\n" + divider;
    }

    ScratchFolder folder_{L"FerruleRequirements"};
    std::wstring installFile_;
};

TEST_F(FerruleRequirements, WithoutJetTheOneMessageNamesJetAndItsDownload) {
    const std::wstring copied = RefusalMessage(L"prerequisite-message.png");
    EXPECT_EQ(copied, CopiedDialog(L"This program requires Microsoft Jet 4.0 Drivers.\r\n"
                                   L"You can download it from " + DownloadFolder + L"mdac_typ.exe"));
}

TEST_F(FerruleRequirements, MdacTwoPointFiveIsBelowTwoPointFifty) {
    TRegisteredServer jet(L"Microsoft.Jet.OLEDB.4.0", JetClassId, StandInOfVersion(L"jet40.dll", 4, 0));
    TRegisteredServer mdac(L"RowPosition.RowPosition", MdacClassId, StandInOfVersion(L"mdac25.dll", 2, 5));
    const std::wstring copied = RefusalMessage(L"prerequisite-mdac-message.png");
    EXPECT_EQ(copied, CopiedDialog(L"This program requires Microsoft Data Access Components (MDAC) 2.5.\r\n"
                                   L"You can download it from " + DownloadFolder + L"mdac_typ.exe"));
}

TEST_F(FerruleRequirements, JetFourPointOnePassesAlthoughTheTableNamesFourPointZero) {
    TRegisteredServer jet(L"Microsoft.Jet.OLEDB.4.0", JetClassId, StandInOfVersion(L"jet41.dll", 4, 1));
    RunningProgram installer(HostPath(FERRULE_PATH));
    EXPECT_EQ(installer.WaitForExit(60s), 0u);
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
}

} // namespace
