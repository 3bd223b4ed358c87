#include "WineTestSupport.h"

#include "Exceptions.h"
#include "Handles.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <thread>

std::wstring HostPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p != '\0'; ++p)
        path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    return path;
}

std::vector<char> ReadFileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read test file");
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::wstring& path, const std::vector<char>& bytes) {
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write test file");
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveFile(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.emplace_back(data.cFileName);
    } while (::FindNextFileW(find.get(), &data));
    return names;
}

std::wstring CommonFilesFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, 0, path)))
        throw std::runtime_error("no Common Files folder");
    return path;
}

std::wstring ReadRegistryString(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (::SHGetValueW(root, key.c_str(), name, &type, value, &size) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    return value;
}

void DeleteRegistryTree(HKEY root, const std::wstring& key) { ::SHDeleteKeyW(root, key.c_str()); }

void WriteRegistryValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
                        DWORD size) {
    if (::SHSetValueW(root, key.c_str(), name, type, data, size) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write a registry value");
}

void WriteRegistryString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
                         DWORD type) {
    WriteRegistryValue(root, key, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

TRegistryValueScope::TRegistryValueScope(HKEY root, std::wstring key, const wchar_t* name,
                                         const wchar_t* value)
    : root_(root), key_(std::move(key)), name_(name ? name : L""), named_(name != nullptr) {
    for (size_t end = key_.find(L'\\');; end = key_.find(L'\\', end + 1)) {
        const std::wstring path = key_.substr(0, end);
        UniqueRegKey existing;
        if (::RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ, existing.Put()) != ERROR_SUCCESS)
            createdKeys_.push_back(path);
        if (end == std::wstring::npos)
            break;
    }
    DWORD size = 0;
    if (::SHGetValueW(root_, key_.c_str(), named_ ? name_.c_str() : nullptr, &type_, nullptr, &size) ==
        ERROR_SUCCESS) {
        existed_ = true;
        data_.resize(size);
        if (::SHGetValueW(root_, key_.c_str(), named_ ? name_.c_str() : nullptr, &type_, data_.data(),
                          &size) != ERROR_SUCCESS)
            throw std::runtime_error("cannot read a registry value");
        data_.resize(size);
    }
    if (value) {
        WriteRegistryString(root_, key_, named_ ? name_.c_str() : nullptr, value);
    } else {
        ::SHDeleteValueW(root_, key_.c_str(), named_ ? name_.c_str() : nullptr);
        createdKeys_.clear(); // removing a value makes no key
    }
}

TRegistryValueScope::~TRegistryValueScope() {
    if (existed_)
        ::SHSetValueW(root_, key_.c_str(), named_ ? name_.c_str() : nullptr, type_, data_.data(),
                      static_cast<DWORD>(data_.size()));
    else
        ::SHDeleteValueW(root_, key_.c_str(), named_ ? name_.c_str() : nullptr);
    for (auto key = createdKeys_.rbegin(); key != createdKeys_.rend(); ++key)
        ::RegDeleteKeyW(root_, key->c_str());
}

TThreadLocaleScope::TThreadLocaleScope(LCID locale) : saved_(::GetThreadLocale()) {
    if (!::SetThreadLocale(locale))
        throw std::runtime_error("cannot set the thread locale");
}

TThreadLocaleScope::~TThreadLocaleScope() {
    ::SetThreadLocale(saved_);
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

namespace {

// The test's environment block with the additions after it (a later entry wins).
std::vector<wchar_t> EnvironmentBlockWith(const std::vector<std::wstring>& additions) {
    std::vector<wchar_t> block;
    const std::unique_ptr<wchar_t, decltype(&::FreeEnvironmentStringsW)> current(::GetEnvironmentStringsW(),
                                                                                 &::FreeEnvironmentStringsW);
    auto overridden = [&](const wchar_t* entry) {
        for (const std::wstring& addition : additions) {
            const size_t equals = addition.find(L'=');
            if (::_wcsnicmp(entry, addition.c_str(), equals + 1) == 0)
                return true;
        }
        return false;
    };
    for (const wchar_t* entry = current.get(); entry != nullptr && *entry != 0; entry += wcslen(entry) + 1)
        if (!overridden(entry))
            block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    for (const std::wstring& addition : additions)
        block.insert(block.end(), addition.c_str(), addition.c_str() + addition.size() + 1);
    block.push_back(0);
    return block;
}

} // namespace

RunningProgram::RunningProgram(const std::wstring& path, const TRunOptions& options) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + path + L"\"";
    for (const std::wstring& argument : options.Arguments)
        commandLine += L" \"" + argument + L"\"";
    UniqueFileHandle errorFile;
    BOOL inherit = FALSE;
    if (!options.StdErrorFile.empty()) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        errorFile.reset(::CreateFileW(options.StdErrorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!errorFile.valid())
            throw std::runtime_error("cannot create the standard error file of the program under test");
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = errorFile.get();
        inherit = TRUE;
    }
    std::vector<wchar_t> environment;
    if (!options.Environment.empty())
        environment = EnvironmentBlockWith(options.Environment);
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, inherit, CREATE_UNICODE_ENVIRONMENT,
                          environment.empty() ? nullptr : environment.data(),
                          options.WorkingDirectory.empty() ? nullptr : options.WorkingDirectory.c_str(), &startup,
                          &info))
        throw std::runtime_error("cannot start the program under test");
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
}

RunningProgram::~RunningProgram() {
    if (::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.get(), 99);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

DWORD RunningProgram::WaitForExit(std::chrono::milliseconds timeout) {
    if (::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::vector<HWND> RunningProgram::TopLevelWindows() const {
    struct Search {
        DWORD processId;
        std::vector<HWND> windows;
    } search{processId_, {}};
    ::EnumWindows(
        [](HWND window, LPARAM context) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId)
                s->windows.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

HWND RunningProgram::WaitForWindow(const std::wstring& className, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        for (HWND window : TopLevelWindows())
            if (::IsWindowVisible(window) && ClassNameOf(window) == className)
                return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

std::wstring MessageBoxText(HWND box) {
    wchar_t text[4096] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 4096);
    return text;
}

std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                              FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    UniqueLocalMemory owner(static_cast<HLOCAL>(text));
    std::wstring message(text != nullptr ? text : L"", length);
    while (!message.empty() && (message.back() <= L' ' || message.back() == L'.'))
        message.pop_back();
    return message;
}

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.Message();
    }
    return "<nothing raised>";
}

std::wstring SystemTemp() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

ScratchFolder::ScratchFolder(const std::wstring& name) : path_(SystemTemp() + name) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

TRegisteredServer::TRegisteredServer(std::wstring progId, std::wstring classId, const std::wstring& serverPath)
    : progId_(std::move(progId)), classId_(std::move(classId)),
      previousClassId_(ReadRegistryString(HKEY_CLASSES_ROOT, progId_ + L"\\CLSID")) {
    WriteRegistryString(HKEY_CLASSES_ROOT, progId_ + L"\\CLSID", nullptr, classId_);
    WriteRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + classId_ + L"\\InprocServer32", nullptr, serverPath);
}

TRegisteredServer::~TRegisteredServer() {
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L"CLSID\\" + classId_);
    if (previousClassId_.empty()) {
        DeleteRegistryTree(HKEY_CLASSES_ROOT, progId_);
        return;
    }
    try {
        WriteRegistryString(HKEY_CLASSES_ROOT, progId_ + L"\\CLSID", nullptr, previousClassId_);
    } catch (...) {
        // A test's clean-up must not end the program; the next prefix is fresh anyway.
    }
}

void PressKeys(HWND window, const std::vector<WORD>& keys) {
    ::SetForegroundWindow(window);
    ::SetActiveWindow(window);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

std::wstring ClipboardText() {
    std::wstring text;
    for (int attempt = 0; attempt < 20 && !::OpenClipboard(nullptr); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const GlobalMemoryLock<const wchar_t> chars(data); chars)
            text = chars.get();
    }
    ::CloseClipboard();
    return text;
}
