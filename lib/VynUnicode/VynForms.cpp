#include "VynForms.h"

#include <algorithm>
#include <memory>

#include "ActnList.h"
#include "Assertions.h"
#include "DeviceContexts.h"
#include "Format.h"
#include "HintWindow.h"
#include "Menus.h"
#include "OSError.h"
#include "ResourceModule.h"
#include "VynClasses.h"
#include "VynMenus.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "WindowsVersion.h"

TVynApplication* VynApplication = nullptr;

namespace {

constexpr char UnitName[] = "lib/VynUnicode/VynForms";
constexpr char FontSubstitutes[] = "FontSubstitutes";

HHOOK messageHook = nullptr;

// A published property left out of stored descriptions while stored() is false.
TPropInfo StoredWhen(TPropInfo info, bool (TControl::*stored)() const) {
    info.Stored = [stored](const TPersistent& instance) { return (static_cast<const TControl&>(instance).*stored)(); };
    return info;
}

// ---- The application's wide title on the NT family lives in its window

WideString WindowTextThroughDefaultProcedure(HWND window) {
    const auto length = static_cast<int>(::DefWindowProcW(window, WM_GETTEXTLENGTH, 0, 0));
    if (length <= 0)
        return {};
    WideString text(static_cast<size_t>(length) + 1, u'\0');
    const auto copied = static_cast<int>(
        ::DefWindowProcW(window, WM_GETTEXT, static_cast<WPARAM>(length) + 1, reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(std::clamp(copied, 0, length)));
    return text;
}

// Flat scroll bars exist only where the common controls are loaded, in versions that have them
// (and the 32-bit import library lacks the entry): found at run time.
void UninitializeFlatScrollBars(HWND window) {
    HMODULE commonControls = ::GetModuleHandleW(L"comctl32.dll");
    if (commonControls == nullptr)
        return;
    using TUninitializeFlatSB = HRESULT(WINAPI*)(HWND);
    auto uninitialize = reinterpret_cast<TUninitializeFlatSB>(
        reinterpret_cast<void*>(::GetProcAddress(commonControls, "UninitializeFlatSB")));
    if (uninitialize != nullptr)
        uninitialize(window);
}

// ---- The control under the mouse

// The innermost visible graphic control of parent that contains the point (parent's client
// coordinates), or parent itself.
TControl* ControlAtPoint(TWinControl& parent, POINT point) {
    for (int i = parent.ControlCount() - 1; i >= 0; --i) {
        TControl* control = parent.Controls(i);
        if (control->IsWindowed() || !control->Visible())
            continue;
        const RECT bounds = control->BoundsRect();
        if (::PtInRect(&bounds, point))
            return control;
    }
    return &parent;
}

TControl* ControlAtScreenPoint(POINT point) {
    TWinControl* windowed = nullptr;
    for (HWND window = ::WindowFromPoint(point); window != nullptr && windowed == nullptr;
         window = ::GetParent(window))
        windowed = TWinControl::FromHandle(window);
    if (windowed == nullptr)
        return nullptr;
    POINT client = point;
    ::ScreenToClient(windowed->HandleIfAllocated(), &client);
    return ControlAtPoint(*windowed, client);
}

// ---- The message hook

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && VynApplication != nullptr) {
        DispatchEvent(VynApplication,
                      [&] { VynApplication->HandleQueuedMessage(*reinterpret_cast<MSG*>(lParam)); });
    }
    return ::CallNextHookEx(messageHook, code, wParam, lParam);
}

// ---- Font substitutes

AnsiString FontSubstitute(const char* face) {
    char value[33] = {};
    ::GetProfileStringA(FontSubstitutes, face, "", value, sizeof value);
    return value;
}

void WriteFontSubstitute(const char* face, const AnsiString& substitute) {
    try {
        if (!::WriteProfileStringA(FontSubstitutes, face, substitute.c_str()))
            RaiseLastOSError();
        // The 9x family caches the profile until told to write it.
        if (Win32Platform() == VER_PLATFORM_WIN32_WINDOWS)
            ::WriteProfileStringA(nullptr, nullptr, nullptr);
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(FontSubstitutes), 0,
                              250, &result);
    } catch (Exception& error) {
        error.SetMessage("Couldn't create font substitutes.\r\n" + error.Message());
        if (Application != nullptr)
            Application->ShowException(error);
    }
}

int CALLBACK NoteFontFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool ScreenHasFont(const WideString& face) {
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    const size_t length = std::min(face.size(), static_cast<size_t>(LF_FACESIZE - 1));
    std::copy_n(face.data(), length, font.lfFaceName);
    const WindowDC screen = WindowDC::OfClient(nullptr);
    if (!screen)
        return false;
    bool found = false;
    ::EnumFontFamiliesExW(screen.get(), &font, &NoteFontFamily, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

bool IsLibrary() {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&IsLibrary), &self);
    return self != nullptr && self != ::GetModuleHandleW(nullptr);
}

WideString HostFileName() { return ExtractFileNameWide(ModuleFileNameWide(nullptr)); }

// ---- The unit

void StartVynForms() {
    auto application = std::make_unique<TVynApplication>(nullptr);
    VynApplication = application.get();
    try {
        if (VynPlatformIsNT)
            InstallVynMessageHook();
    } catch (...) {
        VynApplication = nullptr;
        throw;
    }
    application.release();
}

void EndVynForms() {
    // The application object goes also when the hook cannot be removed.
    std::unique_ptr<TVynApplication> application(VynApplication);
    struct ClearReference {
        ~ClearReference() { VynApplication = nullptr; }
    } clearReference;
    RemoveVynMessageHook();
}

} // namespace

const TUnitInfo VynFormsUnit{UnitName, StartVynForms, EndVynForms};

void InstallVynMessageHook() {
    if (!VynPlatformIsNT)
        RTL_ASSERTION_FAILED("Assertion failure");
    if (messageHook != nullptr)
        return;
    messageHook = ::SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, ::GetCurrentThreadId());
    if (messageHook == nullptr)
        RaiseLastOSError("SetWindowsHookExW");
}

void RemoveVynMessageHook() {
    if (messageHook == nullptr)
        return;
    HHOOK hook = messageHook;
    messageHook = nullptr;
    if (!::UnhookWindowsHookEx(hook)) {
        const DWORD error = ::GetLastError();
        // A COM+ host may already have torn the thread's hooks down.
        if (!IsComPlusHost())
            RaiseOSError(error, "UnhookWindowsHookEx");
    }
}

bool IsComPlusHost() {
    const WideString name = UpperCaseWide(HostFileName());
    return name.rfind(u"W3WP.", 0) == 0 || name.rfind(u"DLLHOST.", 0) == 0;
}

WideString DefaultUiFontName() {
    AnsiString shellDlg = FontSubstitute("MS Shell Dlg");
    if (shellDlg.empty()) {
        shellDlg = "MS Sans Serif";
        WriteFontSubstitute("MS Shell Dlg", shellDlg);
    }
    AnsiString shellDlg2 = FontSubstitute("MS Shell Dlg 2");
    if (shellDlg2.empty()) {
        shellDlg2 = ScreenHasFont(u"Tahoma") ? AnsiString("Tahoma") : shellDlg;
        WriteFontSubstitute("MS Shell Dlg 2", shellDlg2);
    }
    // The development environment maps the face itself; a library loaded there keeps the alias.
    if (IsLibrary()) {
        const WideString host = UpperCaseWide(HostFileName());
        if (host == u"VYNIDE.EXE" || host == u"VYNIDE32.EXE")
            return u"MS Shell Dlg 2";
    }
    return AnsiToWide(shellDlg2);
}

void SetUpUnicodeEnvironment() {
    // Wide concatenation needs no replacement here: wide strings concatenate as wide text.
    ReplaceRuntimeRoutines(ReplaceConversionsAndResStrings | ReplaceConversionsSystemCodePage |
                           ReplaceWideFormatting);
    TFont::DefaultName() = WideToAnsi(DefaultUiFontName().substr(0, 31));
    HintWindowClass = [](TComponent* owner) -> THintWindow* { return new TVynHintWindow(owner); };
}

// ---- TVynApplication

const TClassInfo& TVynApplication::StaticClassInfo() {
    static const TClassInfo info{"TVynApplication", &TComponent::StaticClassInfo()};
    return info;
}

TVynApplication::TVynApplication(TComponent* owner) : TComponent(owner) {
    if (Application != nullptr)
        Application->HookMainWindow(this, [this](TMessage& message) { return ApplicationWindowHook(message); });
}

TVynApplication::~TVynApplication() {
    delete idleEventControl_;
    if (Application != nullptr)
        Application->UnhookMainWindow(this);
}

WideString TVynApplication::WideTitle() {
    if (Application == nullptr)
        return wideTitle_;
    if (VynPlatformIsNT && Application->HandleAllocated())
        return WindowTextThroughDefaultProcedure(Application->Handle());
    return GetSyncedWideString(wideTitle_, Application->Title());
}

void TVynApplication::SetWideTitle(const WideString& title) {
    if (Application == nullptr) {
        wideTitle_ = title;
        return;
    }
    if (VynPlatformIsNT && Application->HandleAllocated()) {
        if (WideTitle() != title || !wideTitle_.empty()) {
            ::DefWindowProcW(Application->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WinText(title)));
            wideTitle_.clear();
        }
        return;
    }
    SetSyncedWideString(title, wideTitle_, Application->Title(),
                        [](const AnsiString& ansi) { Application->SetTitle(ansi); });
}

WideString TVynApplication::WideHint() {
    if (Application == nullptr)
        return wideHint_;
    return GetSyncedWideString(wideHint_, Application->Hint());
}

void TVynApplication::SetWideHint(const WideString& hint) {
    if (Application == nullptr) {
        wideHint_ = hint;
        return;
    }
    SetSyncedWideString(hint, wideHint_, Application->Hint(),
                        [](const AnsiString& ansi) { Application->SetHint(ansi); });
}

void TVynApplication::UpdateHintFromMouse() {
    POINT cursor{};
    if (!::GetCursorPos(&cursor))
        return;
    WideString hint;
    for (TControl* control = ControlAtScreenPoint(cursor); control != nullptr && hint.empty();
         control = control->Parent())
        hint = GetWideControlHint(*control);
    SetWideHint(LongHintPart(hint));
}

bool TVynApplication::ApplicationWindowHook(TMessage& message) {
    switch (message.Msg) {
    case WM_CREATE:
        if (!wideTitle_.empty()) {
            const WideString pending = wideTitle_;
            SetWideTitle(pending);
            wideTitle_.clear();
        }
        break;
    case CM_ACTIONEXECUTE: {
        // The framework's hint action carries the ANSI hint; controls that show hints get the
        // wide one instead.
        auto* action = reinterpret_cast<TBasicAction*>(message.LParam);
        if (action == nullptr || &action->ClassInfo() != &THintAction::StaticClassInfo())
            break;
        const WideString hint = WideHint();
        if (static_cast<THintAction*>(action)->Hint() != WideToAnsi(hint))
            break;
        message.Result = 1;
        TVynHintAction wideAction(nullptr);
        wideAction.SetHint(hint);
        wideAction.Execute();
        return true;
    }
    default: break;
    }
    return false;
}

void TVynApplication::CheckMainForm() {
    if (mainFormChecked_ || Application == nullptr || Application->MainForm() == nullptr)
        return;
    mainFormChecked_ = true;
    TCustomForm* mainForm = Application->MainForm();
    if (dynamic_cast<TVynForm*>(mainForm) == nullptr && idleEventControl_ == nullptr) {
        auto* control = new TVynAppIdleEventControl(mainForm);
        control->SetParent(mainForm);
    }
}

void TVynApplication::HandleQueuedMessage(MSG& message) {
    CheckMainForm();
    if (message.message != WM_CHAR || message.wParam <= 255 || !::IsWindowUnicode(message.hwnd))
        return;
    HWND dialog = Application != nullptr ? Application->DialogHandle() : nullptr;
    // An ANSI dialog's keys are the framework loop's to hand to the dialog manager, once.
    if (dialog != nullptr && !::IsWindowUnicode(dialog) && (message.hwnd == dialog || ::IsChild(dialog, message.hwnd)))
        return;
    bool handled = false;
    if (Application != nullptr && Application->OnMessage)
        Application->OnMessage(message, handled);
    if (Application != nullptr)
        Application->CancelHint();
    if (!handled && (dialog == nullptr || !::IsDialogMessageW(dialog, &message)))
        ::DispatchMessageW(&message);
    // The framework's loop takes the message after this hook and must find nothing left to do.
    message.message = WM_NULL;
}

// ---- TVynAppIdleEventControl

const TClassInfo& TVynAppIdleEventControl::StaticClassInfo() {
    static const TClassInfo info{"TVynAppIdleEventControl", &TControl::StaticClassInfo()};
    return info;
}

TVynAppIdleEventControl::TVynAppIdleEventControl(TComponent* owner) : TControl(owner) {
    auto* action = new TAction(this);
    // The control takes the action's visibility: it stays invisible.
    action->SetVisible(false);
    action->OnUpdate = action->OnExecute = [](TObject*) {
        if (VynApplication != nullptr)
            VynApplication->UpdateHintFromMouse();
    };
    SetAction(action);
    if (VynApplication != nullptr)
        VynApplication->idleEventControl_ = this;
}

TVynAppIdleEventControl::~TVynAppIdleEventControl() {
    if (VynApplication != nullptr && VynApplication->idleEventControl_ == this)
        VynApplication->idleEventControl_ = nullptr;
}

// ---- TVynForm

const TClassInfo& TVynForm::StaticClassInfo() {
    using F = TVynForm;
    static const TClassInfo info{
        "TVynForm",
        &TForm::StaticClassInfo(),
        {
            StoredWhen(WideStringProperty<F>("Caption", &F::Caption, &F::SetCaption), &F::IsCaptionStored),
            StoredWhen(WideStringProperty<F>("Hint", &F::Hint, &F::SetHint), &F::IsHintStored),
        },
    };
    return info;
}

TVynForm::TVynForm(TComponent* owner) : TVynForm(owner, TVynForm::StaticClassInfo()) {}

TVynForm::TVynForm(TComponent* owner, const TClassInfo& baseClass)
    : TVynUnicodeWinControl<TForm>(owner), baseClass_(baseClass) {}

TVynForm::~TVynForm() = default;

TWideCaption TVynForm::Caption() const { return GetWideControlText(*this); }

void TVynForm::SetCaption(const TWideCaption& caption) { SetWideControlText(*this, caption); }

WideString TVynForm::Hint() const { return GetWideControlHint(*this); }

void TVynForm::SetHint(const WideString& hint) { SetWideControlHint(*this, hint); }

void TVynForm::DefineProperties(TFiler& filer) {
    TForm::DefineProperties(filer);
    DefineWideProperties(filer, *this);
}

void TVynForm::InitializeForm() {
    if (&ClassInfo() != &baseClass_ && (ComponentState() & csDesigning) == 0)
        ReadInheritedDescriptions(baseClass_);
    AfterConstruction();
}

void TVynForm::CreateWindowHandle(const TCreateParams& params) {
    if (!VynPlatformIsNT) {
        TForm::CreateWindowHandle(params);
        return;
    }
    if (FormStyle() != fsMDIChild || (ComponentState() & csDesigning) != 0) {
        TCreateParams unlayered = params;
        unlayered.ExStyle &= ~static_cast<DWORD>(WS_EX_LAYERED);
        CreateUnicodeWindowHandle(unlayered);
    } else {
        CreateUnicodeMDIChild(params);
    }
    // The layered attributes reach the new window only through a change of the setting.
    if (AlphaBlend()) {
        SetAlphaBlend(false);
        SetAlphaBlend(true);
    } else if (TransparentColor()) {
        SetTransparentColor(false);
        SetTransparentColor(true);
    }
}

void TVynForm::CreateUnicodeMDIChild(const TCreateParams& params) {
    TCustomForm* mainForm = Application != nullptr ? Application->MainForm() : nullptr;
    if (mainForm == nullptr || mainForm == this || mainForm->ClientHandle() == nullptr)
        throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
    RegisterUnicodeClass(params, &TVynForm::StandardWindowProcedure);
    const WideString className = UnicodeClassName(params);
    SetCreatingControl(this);
    HWND window = ::CreateMDIWindowW(WinText(className), WinText(params.Caption), params.Style, params.X, params.Y,
                                     params.Width, params.Height, mainForm->ClientHandle(), MainInstance(),
                                     reinterpret_cast<LPARAM>(params.Param));
    const DWORD error = ::GetLastError();
    SetCreatingControl(nullptr);
    if (window == nullptr)
        RaiseOSError(error, "CreateMDIWindowW", className);
    if (HandleIfAllocated() != window)
        AttachWindow(window);
    SubClassUnicodeControl(window);
    SetFormState(fsCreatedMDIChild, true);
}

void TVynForm::DestroyWindowHandle() {
    if (VynPlatformIsNT && HandleAllocated())
        UninitializeFlatScrollBars(HandleIfAllocated());
    TVynUnicodeWinControl<TForm>::DestroyWindowHandle();
}

void TVynForm::DefaultHandler(TMessage& message) {
    HWND window = HandleIfAllocated();
    if (VynPlatformIsNT && window != nullptr && ClientHandle() != nullptr && message.Msg < CM_BASE) {
        if (message.Msg == WM_SIZE)
            message.Result = ::DefWindowProcW(window, message.Msg, message.WParam, message.LParam);
        else
            message.Result = ::DefFrameProcW(window, ClientHandle(), message.Msg, message.WParam, message.LParam);
        return;
    }
    TVynUnicodeWinControl<TForm>::DefaultHandler(message);
}

void TVynForm::UpdateActions() {
    TVynUnicodeWinControl<TForm>::UpdateActions();
    if (VynApplication != nullptr)
        VynApplication->UpdateHintFromMouse();
}

void TVynForm::ActionChange(TObject* sender, bool checkDefaults) {
    auto* action = dynamic_cast<TCustomAction*>(sender);
    // Decided before the framework sets the ANSI texts, which are no defaults any more then.
    const bool takeCaption = action != nullptr && (!checkDefaults || Caption().empty());
    const bool takeHint = action != nullptr && (!checkDefaults || Hint().empty());
    TVynUnicodeWinControl<TForm>::ActionChange(sender, checkDefaults);
    if (takeCaption)
        SetCaption(WideActionCaption(*action));
    if (takeHint)
        SetHint(WideActionHint(*action));
}

std::unique_ptr<TControlActionLink> TVynForm::CreateActionLink() {
    return std::make_unique<TVynControlActionLink>(*this);
}

void TVynForm::MenuItemSelected(const TMessage& message) {
    TMainMenu* menu = Menu();
    if (menu == nullptr || VynApplication == nullptr)
        return;
    const UINT flags = HIWORD(message.WParam);
    const UINT item = LOWORD(message.WParam);
    auto* menuHandle = reinterpret_cast<HMENU>(message.LParam);
    // The menu closed.
    if (flags == 0xFFFF && menuHandle == nullptr)
        return;
    TMenuItem* selected = nullptr;
    if ((flags & MF_POPUP) != 0) {
        if (HMENU submenu = ::GetSubMenu(menuHandle, static_cast<int>(item)))
            selected = menu->FindItem(reinterpret_cast<UINT_PTR>(submenu), fkHandle);
    } else {
        selected = menu->FindItem(item, fkCommand);
    }
    VynApplication->SetWideHint(selected != nullptr ? LongHintPart(WideMenuItemHint(*selected)) : WideString());
}

void TVynForm::RefreshMenus() {
    if (Menu() != nullptr)
        RefreshVynMenu(*Menu());
}

void TVynForm::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_MENUSELECT:
        TVynUnicodeWinControl<TForm>::WndProc(message);
        MenuItemSelected(message);
        return;
    case WM_WINDOWPOSCHANGING:
    case CM_BIDIMODECHANGED:
        TVynUnicodeWinControl<TForm>::WndProc(message);
        RefreshMenus();
        return;
    default: break;
    }
    TVynUnicodeWinControl<TForm>::WndProc(message);
}
