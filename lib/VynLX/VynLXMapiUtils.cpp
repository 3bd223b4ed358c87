#include "VynLXMapiUtils.h"

#include <windows.h>

#include <mapi.h>

#include <optional>

#include "Application.h"
#include "Assertions.h"
#include "SystemLibraries.h"
#include "Handles.h"
#include "TextConversion.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynWindows.h"

// The layout the mail programs of the product's platform expect (all fields 32-bit).
#if defined(__i386__)
static_assert(sizeof(MapiMessage) == 48);
static_assert(sizeof(MapiRecipDesc) == 24);
static_assert(sizeof(MapiFileDesc) == 24);
#endif

namespace {

constexpr char UnitName[] = "lib/VynLX/VynLXMapiUtils";
constexpr ULONG MapiUserAbort = 1;

// Simple MAPI takes non-const text; the message owns its copies so nothing handed over can
// dangle or be written through into the caller's strings.
class MapiMailMessage {
public:
    MapiMailMessage(const AnsiString& subject, const AnsiString& body, const AnsiString& attachmentPath,
                    const AnsiString& originatorAddress, const AnsiString& originatorName,
                    const AnsiString& recipientAddress, const AnsiString& recipientName)
        : subject_(subject), body_(body), attachmentPath_(attachmentPath) {
        message_.lpszSubject = TextOrNone(subject_);
        message_.lpszNoteText = TextOrNone(body_);
        if (!originatorAddress.empty()) {
            originator_.emplace(MAPI_ORIG, originatorAddress, originatorName);
            message_.lpOriginator = &originator_->descriptor;
        }
        if (!recipientAddress.empty()) {
            recipient_.emplace(MAPI_TO, recipientAddress, recipientName);
            message_.nRecipCount = 1;
            message_.lpRecips = &recipient_->descriptor;
        }
        if (!attachmentPath_.empty()) {
            // -1: the attachment has no place in the body text.
            file_.nPosition = 0xFFFFFFFF;
            file_.lpszPathName = attachmentPath_.data();
            message_.nFileCount = 1;
            message_.lpFiles = &file_;
        }
    }
    MapiMailMessage(const MapiMailMessage&) = delete;
    MapiMailMessage& operator=(const MapiMailMessage&) = delete;

    MapiMessage* get() { return &message_; }

private:
    struct Party {
        Party(ULONG recipientClass, const AnsiString& address, const AnsiString& displayName)
            : name(displayName.empty() ? address : displayName), smtpAddress("SMTP:" + address) {
            descriptor.ulRecipClass = recipientClass;
            descriptor.lpszName = name.data();
            descriptor.lpszAddress = smtpAddress.data();
        }
        Party(const Party&) = delete;
        Party& operator=(const Party&) = delete;
        AnsiString name;
        AnsiString smtpAddress;
        MapiRecipDesc descriptor{};
    };

    static LPSTR TextOrNone(AnsiString& text) { return text.empty() ? nullptr : text.data(); }

    AnsiString subject_;
    AnsiString body_;
    AnsiString attachmentPath_;
    std::optional<Party> originator_;
    std::optional<Party> recipient_;
    MapiFileDesc file_{};
    MapiMessage message_{};
};

bool IsBareLibraryName(const WideString& name) {
    return name.find_first_of(u"\\/:") == WideString::npos;
}

// The system folder's copy of a bare name; nothing when the folder cannot be told.
std::optional<WideString> SystemFolderPath(const WideString& name) {
    char16_t folder[MAX_PATH + 1] = {};
    const UINT length = VynGetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return std::nullopt;
    return ExcludeTrailingBackslashWide(WideString(folder, length)) + u"\\" + name;
}

[[noreturn]] void RaiseMapiError(const char16_t* message, std::string_view call,
                                 std::u16string_view subject) {
    EVynGeneralError error(WideToAnsi(message));
    error.SetFailure(call, subject);
    throw error;
}

UniqueModule LoadMapiLibrary() {
    const WideString& name = MapiLibraryName();
    std::optional<WideString> path = name;
    // A bare name would otherwise be searched for in the program's folder and the current folder
    // before the system folder, where anyone who can write a file gets their library run.
    if (IsBareLibraryName(name))
        path = SystemFolderPath(name);
    UniqueModule library;
    // The library's own imports are searched for beside it first, not beside the program.
    if (path)
        library.reset(VynLoadLibraryExW(path->c_str(), nullptr, LibraryAtPathFlags()));
    if (!library)
        RaiseMapiError(u"Mapi32.dll is not available at this time.", "LoadLibraryExW", path.value_or(name));
    return library;
}

HWND ApplicationWindow() {
    return Application != nullptr ? Application->Handle() : nullptr;
}

} // namespace

WideString& MapiLibraryName() {
    static WideString name = u"MAPI32.DLL";
    return name;
}

void SendMapiMail(const AnsiString& subject, const AnsiString& body, const AnsiString& attachmentPath,
                  const AnsiString& originatorAddress, const AnsiString& originatorName,
                  const AnsiString& recipientAddress, const AnsiString& recipientName, bool noDialog) {
    MapiMailMessage message(subject, body, attachmentPath, originatorAddress, originatorName,
                            recipientAddress, recipientName);
    const UniqueModule library = LoadMapiLibrary();
    auto sendMail = reinterpret_cast<LPMAPISENDMAIL>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "MAPISendMail")));
    if (sendMail == nullptr)
        RaiseMapiError(u"MAPISendMail is not available at this time (in Mapi32.dll).", "GetProcAddress",
                       MapiLibraryName());
    const FLAGS flags = noDialog ? MAPI_LOGON_UI : MAPI_LOGON_UI | MAPI_DIALOG;
    const ULONG result =
        sendMail(lhSessionNull, reinterpret_cast<ULONG_PTR>(ApplicationWindow()), message.get(), flags, 0);
    if (result == SUCCESS_SUCCESS)
        return;
    if (result == MapiUserAbort)
        throw EAbort("Operation aborted");
    RaiseMapiError(MapiErrorText(result).c_str(), "MAPISendMail", MapiLibraryName());
}

WideString MapiErrorText(uint32_t code) {
    switch (code) {
    case 0:
        RTL_ASSERTION_FAILED("Assertion failure");
    case 1:
        return u"The user canceled one of the dialog boxes. No message was sent.";
    case 2:
        return u"One or more unspecified errors occurred. No message was sent.";
    case 3:
        return u"There was no default logon, and the user failed to log on successfully when the logon "
               u"dialog box was displayed. No message was sent.";
    case 5:
        return u"There was insufficient memory to proceed. No message was sent.";
    case 9:
        return u"There were too many file attachments. No message was sent.";
    case 10:
        return u"There were too many recipients. No message was sent.";
    case 11:
        return u"The specified attachment was not found. No message was sent.";
    case 12:
        return u"The specified attachment could not be opened. No message was sent.";
    case 14:
        return u"A recipient did not appear in the address list. No message was sent.";
    case 15:
        return u"The type of a recipient was not MAPI_TO, MAPI_CC, or MAPI_BCC. No message was sent.";
    case 18:
        return u"The text in the message was too large. No message was sent.";
    case 21:
        return u"A recipient matched more than one of the recipient descriptor structures and MAPI_DIALOG "
               u"was not set. No message was sent.";
    case 25:
        return u"One or more recipients were invalid or did not resolve to any address.";
    default:
        return FormatWide(u"MAPISendMail resulted in an error (%d).", {static_cast<int32_t>(code)});
    }
}
