#include "ExceptionDialogView.h"

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM list) -> BOOL CALLBACK {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

int TopOf(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect.top;
}

} // namespace

std::wstring ControlText(HWND window) {
    const LRESULT length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    return text;
}

ExceptionDialogView ExceptionDialogView::Of(HWND dialog) {
    ExceptionDialogView view;
    view.Dialog = dialog;
    std::vector<HWND> memos;
    for (HWND child : ChildWindows(dialog)) {
        const std::wstring className = ClassNameOf(child);
        const std::wstring text = ControlText(child);
        if (className.find(L"Memo") != std::wstring::npos)
            memos.push_back(child);
        else if (text == L"OK" || text == L"&OK")
            view.OkButton = child;
        else if (text.find(L"&Details") != std::wstring::npos)
            view.DetailsButton = child;
        else if (text == L"Copy to Clipboard")
            view.ClipboardButton = child;
        else if (text == L"Send Email")
            view.EmailButton = child;
    }
    std::sort(memos.begin(), memos.end(), [](HWND a, HWND b) { return TopOf(a) < TopOf(b); });
    if (memos.size() == 2) {
        view.Message = memos[0];
        view.Details = memos[1];
    }
    return view;
}

std::wstring ExceptionDialogView::MessageText() const {
    return ControlText(Message);
}
std::wstring ExceptionDialogView::DetailsText() const {
    return ControlText(Details);
}

std::vector<std::wstring> ExceptionDialogView::DetailLines() const {
    const std::wstring text = DetailsText();
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool ExceptionDialogView::WaitForDetails(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        if (DetailsText().find(L"\r\nSystem   : ") != std::wstring::npos && ::IsWindowEnabled(OkButton))
            return true;
        std::this_thread::sleep_for(50ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void ExceptionDialogView::Click(HWND button) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
    std::this_thread::sleep_for(300ms);
}

bool ExceptionDialogView::Close(std::chrono::milliseconds timeout) const {
    ::PostMessageW(OkButton, BM_CLICK, 0, 0);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (::IsWindow(Dialog) && ::IsWindowVisible(Dialog) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    return !::IsWindow(Dialog) || !::IsWindowVisible(Dialog);
}

int ExceptionDialogView::Height() const {
    RECT rect{};
    ::GetWindowRect(Dialog, &rect);
    return rect.bottom - rect.top;
}

HWND WaitForExceptionDialog(const RunningProgram& program, std::chrono::milliseconds timeout) {
    return program.WaitForWindow(ExceptionDialogClass, timeout);
}
