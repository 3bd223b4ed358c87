// The fixture of the tests that run the installer: a clean install target and registration, and
// Jet 4.0 (which Wine does not have) registered for the run.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "ExceptionDialogView.h"
#include "WineTestSupport.h"

inline const std::wstring ClassIdKey = L"CLSID\\{00000103-0000-0010-8000-00AA006D2EA4}";
inline const std::wstring JetClassId = L"{F0E1D2C3-0000-4000-8000-00000000004A}";

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        installFolder_ = CommonFilesFolder() + L"\\Microsoft Shared\\DAO";
        installFile_ = installFolder_ + L"\\dao360.dll";
        RemoveFile(installFile_);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, L"DAO.TableDef.36");
        DeleteRegistryTree(HKEY_CLASSES_ROOT, L"DAO.TableDef");
        DeleteRegistryTree(HKEY_CLASSES_ROOT, ClassIdKey);
        DeleteRegistryTree(HKEY_CURRENT_USER, L"Software\\FerruleTests");
        // The installer requires Jet 4.0, which Wine does not have.
        jet_ = std::make_unique<TRegisteredServer>(L"Microsoft.Jet.OLEDB.4.0", JetClassId,
                                                   HostPath(STANDIN_JET_PATH));
    }
    void TearDown() override {
        jet_.reset();
        RemoveFile(installFile_);
        for (const std::wstring& name : FilesIn(installFolder_))
            RemoveFile(installFolder_ + L"\\" + name);
    }

    std::wstring UnloadTrace() const {
        return ReadRegistryString(HKEY_CURRENT_USER, L"Software\\FerruleTests", L"Unloaded");
    }

    // Waits for the exception dialog of a failed installation and returns its window.
    static HWND WaitForErrorDialog(const RunningProgram& program) {
        HWND dialog = WaitForExceptionDialog(program, std::chrono::seconds(60));
        EXPECT_NE(dialog, nullptr) << "no exception dialog appeared";
        return dialog;
    }

    static std::wstring ErrorMessage(HWND dialog) { return ExceptionDialogView::Of(dialog).MessageText(); }

    static void CloseErrorDialog(HWND dialog) {
        EXPECT_TRUE(ExceptionDialogView::Of(dialog).Close(std::chrono::seconds(5)));
    }

    std::wstring installFolder_;
    std::wstring installFile_;
    std::unique_ptr<TRegisteredServer> jet_;
};
