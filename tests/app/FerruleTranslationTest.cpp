// The installer translated into German by a module beside it, as a user meets it: a copy of the
// program in a folder of its own, its module made and translated through the translation table,
// and the registry naming the language. Also a module made for another build (rebuilt at start
// under a flash message, keeping its translations) and one that was never prepared.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "InstallerTest.h"
#include "Screenshot.h"
#include "UnitRegistry.h"
#include "VynForms.h"
#include "VynLXDataSet.h"
#include "VynLXFlashMsg.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxDfmUtils.h"
#include "VynTrxLangs.h"
#include "VynTrxResourceUtils.h"
#include "VynTrxTable.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

using namespace std::chrono_literals;

namespace {

const std::wstring LocalesKey = L"Software\\Vyn\\Locales";
constexpr LANGID German = 0x0407;

struct TGermanText {
    const char16_t* Id;
    const char16_t* Text;
};

const TGermanText GermanTexts[] = {
    {u"FerruleForm.Caption", u"DAO 3.60-Einrichtung"},
    {u"FerruleFrm_SInstalling", u"DAO 3.60-Einrichtung - wird installiert..."},
    {u"FerruleFrm_SRegistering", u"DAO 3.60-Einrichtung - wird registriert..."},
    {u"CheckWinInetAndAdo_SRequires", u"Dieses Programm ben\u00F6tigt %s."},
    {u"CheckWinInetAndAdo_SDownloadFrom", u"Sie k\u00F6nnen es hier herunterladen: %s"},
    {u"CheckWinInetAndAdo_SDisplayNameJET", u"Microsoft Jet 4.0-Treiber"},
};
constexpr char16_t CommentedId[] = u"FerruleFrm_SInstalling";
constexpr char16_t GermanComment[] = u"Titelleiste w\u00E4hrend des Kopierens";

// What a run showed: the captions of the main window in order, the flash messages and the
// message boxes (answered with OK).
struct TRunRecord {
    DWORD ExitCode = STILL_ACTIVE;
    std::vector<std::wstring> Captions;
    std::vector<std::wstring> FlashMessages;
    std::vector<std::wstring> MessageBoxes;
    HWND Form = nullptr;
    HWND ErrorDialog = nullptr;
};

void AddIfNew(std::vector<std::wstring>& seen, const std::wstring& text) {
    if (seen.empty() || seen.back() != text)
        seen.push_back(text);
}

class FerruleTranslation : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit,
            &VynLXFlashMsgUnit, &VynLXDataSetUnit, &VynTrxDfmUtilsUnit, &VynTrxUtilsUnit, &VynTrxLangsUnit});
        program_ = folder_.Path() + L"\\Ferrule.exe";
        module_ = folder_.Path() + L"\\Ferrule.DEU";
        ASSERT_TRUE(::CopyFileW(HostPath(FERRULE_PATH).c_str(), program_.c_str(), FALSE));
        WriteRegistryString(HKEY_CURRENT_USER, LocalesKey, program_.c_str(), L"DEU");
    }
    void TearDown() override {
        UniqueRegKey key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, LocalesKey.c_str(), 0, KEY_SET_VALUE, key.Put()) ==
            ERROR_SUCCESS)
            ::RegDeleteValueW(key.get(), program_.c_str());
        units_.reset();
        InstallerTest::TearDown();
    }

    // Makes the German module of program (the copy unless told otherwise) and translates it.
    static WideString MakeGermanModule(const std::wstring& program) {
        const WideString module = CreateTranslationModule(Wide(program), German);
        TVynTransTable table;
        table.LoadFromModule(Wide(program), module);
        for (const TGermanText& text : GermanTexts) {
            EXPECT_TRUE(table.GotoTranID(text.Id)) << Win(text.Id);
            table.Edit();
            table.SetTranValue(text.Text);
            table.SetTranslated(true);
            if (WideString(text.Id) == CommentedId)
                table.SetComment(GermanComment);
            table.Post();
        }
        table.SaveToModule(false);
        return module;
    }

    // Watches the program, answering message boxes, until it ends or shows the exception dialog.
    static TRunRecord Watch(RunningProgram& installer) {
        TRunRecord record;
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while ((record.ExitCode = installer.WaitForExit(5ms)) == STILL_ACTIVE &&
               std::chrono::steady_clock::now() < deadline) {
            for (HWND window : installer.TopLevelWindows()) {
                if (!::IsWindowVisible(window))
                    continue;
                const std::wstring className = ClassNameOf(window);
                if (className == L"TFerruleForm.UnicodeClass") {
                    record.Form = window;
                    AddIfNew(record.Captions, WindowText(window));
                } else if (className.rfind(L"TVynFlashForm", 0) == 0)
                    AddIfNew(record.FlashMessages, WindowText(window));
                else if (className == L"#32770") {
                    record.MessageBoxes.push_back(WindowText(window) + L"|" + MessageBoxText(window));
                    ::SendMessageW(window, WM_COMMAND, IDOK, 0);
                } else if (className == ExceptionDialogClass) {
                    record.ErrorDialog = window;
                    return record;
                }
            }
        }
        return record;
    }

    TVynTransTable& LoadTable(TVynTransTable& table, const std::wstring& module) {
        table.LoadFromModule(Wide(program_), Wide(module));
        return table;
    }

    ScratchFolder folder_{L"FerruleTranslation"};
    std::wstring program_;
    std::wstring module_;
    std::unique_ptr<TUnitStartup> units_;
};

TEST_F(FerruleTranslation, TheGermanModuleGivesGermanCaptionsAndTheInstallationSucceeds) {
    ASSERT_EQ(Win(MakeGermanModule(program_)), module_);
    RunningProgram installer(program_);
    const TRunRecord run = Watch(installer);
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(run.MessageBoxes.empty());
    EXPECT_TRUE(run.FlashMessages.empty()) << "a module of this build is used as it is";
    ASSERT_FALSE(run.Captions.empty());
    EXPECT_EQ(run.Captions.front(), L"DAO 3.60-Einrichtung");
    for (const std::wstring& caption : run.Captions)
        EXPECT_EQ(caption.rfind(L"DAO 3.60-Einrichtung", 0), 0u) << Win(Wide(caption));
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
}

TEST_F(FerruleTranslation, TheProgressCaptionsAreTheModulesResourceStrings) {
    MakeGermanModule(program_);
    // A folder where the file should be stops the installation at its first step.
    ::CreateDirectoryW(installFolder_.c_str(), nullptr);
    ASSERT_TRUE(::CreateDirectoryW(installFile_.c_str(), nullptr));
    RunningProgram blocked(program_);
    TRunRecord run = Watch(blocked);
    ASSERT_NE(run.ErrorDialog, nullptr);
    ASSERT_FALSE(run.Captions.empty());
    EXPECT_EQ(run.Captions.back(), L"DAO 3.60-Einrichtung - wird installiert...");
    CloseErrorDialog(run.ErrorDialog);
    ::PostMessageW(run.Form, WM_SYSKEYDOWN, VK_F4, 0);
    ::RemoveDirectoryW(installFile_.c_str());

    // The failing variant stops after its registration, with its own German module.
    const std::wstring failing = folder_.Path() + L"\\Failing\\Ferrule.exe";
    ::CreateDirectoryW((folder_.Path() + L"\\Failing").c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(HostPath(FERRULE_FAILING_PATH).c_str(), failing.c_str(), FALSE));
    WriteRegistryString(HKEY_CURRENT_USER, LocalesKey, failing.c_str(), L"DEU");
    MakeGermanModule(failing);
    RunningProgram failingRun(failing);
    run = Watch(failingRun);
    ASSERT_NE(run.ErrorDialog, nullptr);
    ASSERT_FALSE(run.Captions.empty());
    EXPECT_EQ(run.Captions.back(), L"DAO 3.60-Einrichtung - wird registriert...");
    CloseErrorDialog(run.ErrorDialog);
    // The dialog stood over the window: its caption is drawn again before the picture is taken.
    ::RedrawWindow(run.Form, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(SaveWindowScreenshot(run.Form, HostPath(FERRULE_ARTEFACT_DIR) + L"\\translated-window.png"));
    ::PostMessageW(run.Form, WM_SYSKEYDOWN, VK_F4, 0);
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, LocalesKey.c_str(), 0, KEY_SET_VALUE, key.Put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), failing.c_str());
}

TEST_F(FerruleTranslation, WithoutJetThePrerequisiteMessageIsGerman) {
    MakeGermanModule(program_);
    jet_.reset();
    RunningProgram installer(program_);
    HWND dialog = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (dialog == nullptr && std::chrono::steady_clock::now() < deadline &&
           installer.WaitForExit(10ms) == STILL_ACTIVE)
        for (HWND window : installer.TopLevelWindows())
            if (::IsWindowVisible(window) && ClassNameOf(window).rfind(L"TVynMessageForm", 0) == 0)
                dialog = window;
    ASSERT_NE(dialog, nullptr) << "no prerequisite message appeared";
    PressKeys(dialog, {VK_CONTROL, 'C'});
    const std::wstring copied = ClipboardText();
    EXPECT_NE(copied.find(L"Dieses Programm ben\u00F6tigt Microsoft Jet 4.0-Treiber.\r\n"
                          L"Sie k\u00F6nnen es hier herunterladen: "
                          L"http://www.ferrule-setup.org/download/mdac_typ.exe"),
              std::wstring::npos)
        << Win(Wide(copied));
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(
        SaveWindowScreenshot(dialog, HostPath(FERRULE_ARTEFACT_DIR) + L"\\translated-prerequisite.png"));
    PressKeys(dialog, {VK_RETURN});
    EXPECT_EQ(installer.WaitForExit(30s), 1u);
    EXPECT_FALSE(FileExists(installFile_));
}

TEST_F(FerruleTranslation, AModuleOfAnotherBuildIsRebuiltAndKeepsItsTranslations) {
    // The module of another variant of the program, moved beside this one and made read-only.
    const std::wstring other = folder_.Path() + L"\\Other\\Ferrule.exe";
    ::CreateDirectoryW((folder_.Path() + L"\\Other").c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(HostPath(FERRULE_FAILING_PATH).c_str(), other.c_str(), FALSE));
    ASSERT_TRUE(::MoveFileW(Win(MakeGermanModule(other)).c_str(), module_.c_str()));
    ASSERT_NE(ModuleGuid(Wide(module_)), ModuleGuid(Wide(program_)));
    ::SetFileAttributesW(module_.c_str(), FILE_ATTRIBUTE_READONLY);

    TRunRecord run;
    {
        RunningProgram installer(program_);
        run = Watch(installer);
    }
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(run.MessageBoxes.empty());
    // The rebuild's notice stays up while the tables read modules under notices of their own.
    const std::wstring updating = L"Updating Translation Resource (" + module_ + L")";
    ASSERT_FALSE(run.FlashMessages.empty());
    EXPECT_EQ(run.FlashMessages.front(), updating);
    for (const std::wstring& message : run.FlashMessages)
        EXPECT_TRUE(message == updating || message.rfind(L"Reading Translation Info for ", 0) == 0)
            << Win(Wide(message));
    ASSERT_FALSE(run.Captions.empty());
    EXPECT_EQ(run.Captions.front(), L"DAO 3.60-Einrichtung");
    EXPECT_EQ(ModuleGuid(Wide(module_)), ModuleGuid(Wide(program_)));
    EXPECT_EQ(::GetFileAttributesW(module_.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    std::vector<std::wstring> files = FilesIn(folder_.Path());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::wstring>{L"Ferrule.DEU", L"Ferrule.exe"}))
        << "no temporary file is left";
    {
        TVynTransTable table;
        LoadTable(table, module_);
        for (const TGermanText& text : GermanTexts) {
            ASSERT_TRUE(table.GotoTranID(text.Id)) << Win(text.Id);
            EXPECT_EQ(table.TranValue(), text.Text);
            EXPECT_TRUE(table.Translated());
        }
        ASSERT_TRUE(table.GotoTranID(CommentedId));
        EXPECT_EQ(table.Comment(), GermanComment);
    }

    const std::vector<char> rebuilt = ReadFileBytes(module_);
    RemoveFile(installFile_);
    RunningProgram again(program_);
    run = Watch(again);
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(run.FlashMessages.empty()) << "the module fits this build now";
    EXPECT_EQ(run.Captions.front(), L"DAO 3.60-Einrichtung");
    EXPECT_EQ(ReadFileBytes(module_), rebuilt);
}

TEST_F(FerruleTranslation, AnUnpreparedModuleIsToldAndTheProgramRunsInEnglish) {
    MakeGermanModule(program_);
    {
        TResourceUpdate update(Wide(module_), false);
        SaveRcText(update.Handle(), TrxGuidResource, TrxPlaceholderGuid);
        update.Commit();
    }
    const std::vector<char> before = ReadFileBytes(module_);
    RunningProgram installer(program_);
    const TRunRecord run = Watch(installer);
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_EQ(run.MessageBoxes,
              std::vector<std::wstring>{L"|The translation resource was not properly prepared.  "
                                        L"The application will run without a translation."});
    ASSERT_FALSE(run.Captions.empty());
    EXPECT_EQ(run.Captions.front(), L"DAO 3.60 setup");
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    EXPECT_EQ(ReadFileBytes(module_), before);
}

} // namespace
