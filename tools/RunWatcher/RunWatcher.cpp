// Runs the installer the way a user does and reports what it showed and left behind: each
// caption of its window, any message it showed, its exit code, the installed file and the
// registration. Used by `make run`.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "ExceptionDialogView.h"
#include "WineTestSupport.h"

using namespace std::chrono_literals;

namespace {

void Print(const std::wstring& label, const std::wstring& text) {
    std::wstring line = label + text;
    for (wchar_t& c : line)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    std::printf("%ls\n", line.c_str());
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: RunWatcher <installer.exe>\n");
        return 2;
    }
    RunningProgram installer(argv[1]);
    std::wstring lastCaption;
    DWORD exitCode = STILL_ACTIVE;
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while ((exitCode = installer.WaitForExit(5ms)) == STILL_ACTIVE && std::chrono::steady_clock::now() < deadline) {
        for (HWND window : installer.TopLevelWindows()) {
            if (!::IsWindowVisible(window))
                continue;
            const std::wstring className = ClassNameOf(window);
            if (className == L"TFerruleForm.UnicodeClass" && WindowText(window) != lastCaption) {
                lastCaption = WindowText(window);
                Print(L"caption:    ", lastCaption);
            } else if (className.compare(0, 15, L"TVynMessageForm") == 0) {
                // The dialog copies its caption, text and buttons on Ctrl+C, as a user would take them.
                PressKeys(window, {VK_CONTROL, 'C'});
                Print(L"message:    ", ClipboardText());
                PressKeys(window, {VK_RETURN});
            } else if (className == ExceptionDialogClass) {
                const ExceptionDialogView dialog = ExceptionDialogView::Of(window);
                Print(L"error:      ", WindowText(window) + L": " + dialog.MessageText());
                // The report's header and stack: what a user would read first under Details.
                if (dialog.WaitForDetails(60s)) {
                    int separators = 0;
                    for (const std::wstring& line : dialog.DetailLines()) {
                        if (line.size() == 100 && line.find_first_not_of(L'-') == std::wstring::npos) {
                            if (++separators == 2)
                                break;
                            continue;
                        }
                        Print(L"  ", line);
                    }
                }
                dialog.Close(5s);
                if (HWND form = installer.WaitForWindow(L"TFerruleForm.UnicodeClass", 1s))
                    ::PostMessageW(form, WM_SYSKEYDOWN, VK_F4, 0);
            } else if (className == L"#32770") {
                Print(L"message:    ", WindowText(window) + L": " + MessageBoxText(window));
                // Nobody is there to answer it: acknowledge it and close the window, as a user would.
                ::SendMessageW(window, WM_COMMAND, IDOK, 0);
                if (HWND form = installer.WaitForWindow(L"TFerruleForm.UnicodeClass", 1s))
                    ::PostMessageW(form, WM_SYSKEYDOWN, VK_F4, 0);
            }
        }
    }
    Print(L"exit code:  ", exitCode == STILL_ACTIVE ? L"still running after 120 s" : std::to_wstring(exitCode));

    const std::wstring installed = CommonFilesFolder() + L"\\Microsoft Shared\\DAO\\dao360.dll";
    if (FileExists(installed))
        Print(L"installed:  ", installed + L" (" + std::to_wstring(ReadFileBytes(installed).size()) + L" bytes)");
    else
        Print(L"installed:  ", L"nothing at " + installed);
    const std::wstring classId = ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID");
    const std::wstring server =
        classId.empty() ? L"" : ReadRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\InprocServer32");
    Print(L"registered: ", classId.empty() ? L"no DAO.TableDef.36"
                                           : L"DAO.TableDef.36 -> " + classId + L" -> InprocServer32 = " + server);
    return exitCode == 0 ? 0 : 1;
}
