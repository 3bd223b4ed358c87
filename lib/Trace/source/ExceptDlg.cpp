#include "ExceptDlg.h"

#include <algorithm>

#include "Application.h"
#include "Clipbrd.h"
#include "Format.h"
#include "Screen.h"
#include "SystemFaults.h"
#include "TextConversion.h"
#include "TraceCpuInfo.h"
#include "TraceModuleReport.h"
#include "TraceReportStrings.h"
#include "TraceSystemInfo.h"
#include "VynLXSystemInfo.h"
#include "VynLXUtils.h"

TExceptionDialogClass DialogClass = MakeExceptionDialog;
TExceptionDialog* DialogInstance = nullptr;
bool DialogShowing = false;

namespace {

DWORD mainThreadId = 0;

// Bit 0 of the tag writes every report to the dialog's log; bit 1 keeps the message's scroll bar
// as designed.
constexpr int32_t TagWritesLog = 1;
constexpr int32_t TagFixedMessageScrollBar = 2;

constexpr int32_t HandIconGap = 15;

// Runs `cleanup` after `body` on every path; a failing body keeps its exception, a failing
// cleanup after a successful body raises its own.
template <class Body, class Cleanup> void WithCleanup(Body&& body, Cleanup&& cleanup) {
    try {
        body();
    } catch (...) {
        try {
            cleanup();
        } catch (...) {
            // The body's failure is the one to report.
        }
        throw;
    }
    cleanup();
}

// The message as the dialog shows it: one closing full stop, every line break CR LF.
AnsiString DialogMessageText(const AnsiString& message) {
    AnsiString text;
    text.reserve(message.size() + 8);
    for (size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c == '\r' || c == '\n') {
            text += "\r\n";
            if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
                ++i;
        } else {
            text += c;
        }
    }
    if (text.empty() || text.back() != '.')
        text += '.';
    return text;
}

// Where the reported exception was raised: the capture of its raise knows, a fault knows its own
// instruction; otherwise nothing is claimed.
const void* RaiseAddressOf(const Exception& error, const TTraceStackInfoList* stack) {
    if (stack != nullptr && stack->RaisedException() == &error)
        return stack->RaiseAddress();
    if (const auto* fault = dynamic_cast<const EExternal*>(&error))
        return fault->ExceptionAddress();
    return nullptr;
}

} // namespace

DWORD ReportMainThreadId() {
    return mainThreadId;
}

TExceptionDialog* MakeExceptionDialog(TComponent* owner) {
    return TCustomForm::CreateFromResource<TExceptionDialog>(owner);
}

const TClassInfo& TExceptionDialog::StaticClassInfo() {
    using D = TExceptionDialog;
    static const TClassInfo info{
        "TExceptionDialog",
        &TForm::StaticClassInfo(),
        {},
        {PublishedMethod<D>("FormCreate", &D::FormCreate), PublishedMethod<D>("FormDestroy", &D::FormDestroy),
         PublishedMethod<D>("FormShow", &D::FormShow), PublishedMethod<D>("FormPaint", &D::FormPaint),
         PublishedMethod<D>("FormResize", &D::FormResize),
         PublishedMethod<D>("DetailsBtnClick", &D::DetailsBtnClick),
         PublishedMethod<D>("DetailsMemoDblClick", &D::DetailsMemoDblClick),
         PublishedKeyMethod<D>("FormKeyDown", &D::FormKeyDown)},
        {PublishedField<D, TBevel>("Bevel1", &D::Bevel1), PublishedField<D, TButton>("OkBtn", &D::OkBtn),
         PublishedField<D, TButton>("DetailsBtn", &D::DetailsBtn),
         PublishedField<D, TMemo>("TextLabel", &D::TextLabel),
         PublishedField<D, TMemo>("DetailsMemo", &D::DetailsMemo)},
    };
    return info;
}

TExceptionDialog::TExceptionDialog(TComponent* owner) : TForm(owner) {}

TExceptionDialog::~TExceptionDialog() {
    // FormDestroy uses the dialog's own members, which the form's destructor would outlive.
    DoDestroy();
}

void TExceptionDialog::InitializeForm() {
    ReadInheritedDescriptions(TForm::StaticClassInfo());
    AfterConstruction();
}

void TExceptionDialog::SetFocusedControl(TWinControl* control) {
    focusedWindow_ = control != nullptr ? control->HandleIfAllocated() : nullptr;
}

TWinControl* TExceptionDialog::FocusedControl() const {
    // Held by its window: a control that went since is no longer found.
    return focusedWindow_ != nullptr && ::IsWindow(focusedWindow_) ? TWinControl::FromHandle(focusedWindow_)
                                                                   : nullptr;
}

void TExceptionDialog::FormCreate(TObject*) {
    Log = std::make_unique<TSimpleExceptionLog>();
    ExpandedClientHeight = ClientHeight();
    ShowDetails(false);
    SetCaption(Format(RsAppError, {Application != nullptr ? Application->Title() : AnsiString()}));
}

void TExceptionDialog::FormDestroy(TObject*) {
    Log.reset();
}

void TExceptionDialog::FormShow(TObject*) {
    try {
        BeforeShow();
    } catch (EAbort&) {
        // The silent abort ends the show's own work here; the window still shows.
        return;
    }
    ::MessageBeep(MB_ICONHAND);
    if (ShownFromMainThread && ::GetWindowThreadProcessId(Handle(), nullptr) == mainThreadId)
        ::PostMessageA(Handle(), UM_BUILDDETAILS, 0, 0);
    else
        BuildDetails();
}

POINT TExceptionDialog::HandIconPosition() {
    const SIZE icon{::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)};
    return POINT{TextLabel->Left() - icon.cx - HandIconGap, TextLabel->Top()};
}

void TExceptionDialog::FormPaint(TObject*) {
    const POINT at = HandIconPosition();
    ::DrawIcon(Canvas().Handle(), at.x, at.y, ::LoadIconA(nullptr, MAKEINTRESOURCEA(32513)) /* IDI_HAND */);
}

void TExceptionDialog::FormResize(TObject*) {
    UpdateMessageScrollBar();
}

void TExceptionDialog::FormKeyDown(TObject*, WORD& key, TShiftState shift) {
    if (key == VK_ESCAPE) {
        key = 0;
        Close();
    } else if (key == 'C' && (shift & (ssCtrl | ssAlt | ssShift)) == ssCtrl) {
        // Handled here, so that the focused memo does not put its selection over the report.
        key = 0;
        CopyReport();
        ::MessageBeep(0);
    }
}

void TExceptionDialog::DetailsBtnClick(TObject*) {
    ShowDetails(!DetailsExpanded);
}

void TExceptionDialog::DetailsMemoDblClick(TObject*) {
    if ((KeyboardShiftState() & ssShift) == 0)
        return;
    const WideString file = CreateTempFileName(u".txt", SystemTempFolderMarker, {});
    DetailsMemo->Lines().SaveToFile(file);
    ShellOpen(file, {}, {}, SW_SHOW);
}

void TExceptionDialog::WndProc(TMessage& message) {
    if (message.Msg == UM_BUILDDETAILS) {
        Repaint();
        BuildDetails();
        message.Result = 0;
        return;
    }
    TForm::WndProc(message);
}

void TExceptionDialog::BuildDetails() {
    Screen->SetCursor(crHourGlass);
    TStrings& lines = DetailsMemo->Lines();
    lines.BeginUpdate();
    WithCleanup(
        [&] {
            FillDetails();
            WriteReportToLog();
            AfterDetails();
        },
        [&] {
            lines.EndUpdate();
            // The lines reach the window when the bracket closes: only then can the caret go
            // to the report's start and the memo scroll there.
            DetailsMemo->SetSelStart(0);
            DetailsMemo->SetSelLength(0);
            DetailsMemo->Perform(EM_SCROLLCARET);
            OkBtn->SetEnabled(true);
            DetailsBtn->SetEnabled(true);
            if (OkBtn->CanFocus())
                OkBtn->SetFocus();
            Screen->SetCursor(crDefault);
        });
}

void TExceptionDialog::FillDetails() {
    AddReportSections(ReportAllSections);
}

void TExceptionDialog::AddSeparatorLine() {
    DetailsMemo->Lines().Add(AnsiString(static_cast<size_t>(SeparatorWidth()), SeparatorChar()));
}

void TExceptionDialog::AddReportSections(uint32_t sections) {
    TStrings& lines = DetailsMemo->Lines();
    if ((sections & ReportStackList) != 0 && ReportStack != nullptr) {
        lines.Add(Format(RsStackList, {WideToAnsi(LocalDateTimeText(ReportStack->TimeStamp()))}));
        TStringList stack;
        WriteStackLines(*ReportStack, stack, false, true, true);
        lines.AddStrings(stack);
        AddSeparatorLine();
    }
    if ((sections & ReportSystem) != 0) {
        for (const AnsiString& line : SystemSectionLines())
            lines.Add(line);
        AddSeparatorLine();
    }
    if ((sections & ReportModules) != 0) {
        if (const auto modules = ModulesSectionLines()) {
            for (const AnsiString& line : *modules)
                lines.Add(line);
            AddSeparatorLine();
        }
    }
    if ((sections & ReportActiveControls) != 0) {
        if (TWinControl* focused = FocusedControl()) {
            lines.Add(RsActiveControl);
            for (TControl* control = focused; control != nullptr; control = control->Parent())
                lines.Add(Format("%s \"%s\"", {control->ClassName(), control->Name()}));
            AddSeparatorLine();
        }
    }
}

void TExceptionDialog::ShowDetails(bool visible) {
    DetailsExpanded = visible;
    AnsiString caption = DetailsBtn->Caption();
    std::erase_if(caption, [](char c) { return c == '<' || c == '>'; });
    const size_t first = caption.find_first_not_of(' ');
    caption = first == AnsiString::npos ? AnsiString()
                                        : caption.substr(first, caption.find_last_not_of(' ') - first + 1);
    // The old limits go first: they would hold the window at the size it is leaving.
    Constraints().SetMinHeight(0);
    Constraints().SetMaxHeight(0);
    if (visible) {
        caption = "<< " + caption;
        SetClientHeight(ExpandedClientHeight);
        DetailsMemo->SetHeight(std::max(ExpandedClientHeight - DetailsMemo->Top() - 3, 0));
        Constraints().SetMaxHeight(Screen->Height());
        Constraints().SetMinHeight(CompactHeight + 100);
    } else {
        ExpandedClientHeight = ClientHeight();
        caption += " >>";
        if (CompactHeight != 0) {
            SetHeight(CompactHeight);
        } else {
            SetClientHeight(Bevel1->Top());
            CompactHeight = Height();
        }
        Constraints().SetMinHeight(CompactHeight);
        Constraints().SetMaxHeight(CompactHeight);
    }
    DetailsBtn->SetCaption(caption);
    DetailsMemo->SetEnabled(visible);
}

AnsiString TExceptionDialog::GetReportText() {
    AnsiString text = TextLabel->GetText();
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
        text += "\r\n";
    return text + "\r\n" + DetailsMemo->GetText();
}

void TExceptionDialog::CopyReport() {
    Clipboard().SetAsText(GetReportText());
}

void TExceptionDialog::UpdateMessageScrollBar() {
    if ((Tag() & TagFixedMessageScrollBar) != 0 || TextLabel == nullptr)
        return;
    TCanvas& canvas = Canvas();
    canvas.Font().AssignFont(TextLabel->Font());
    const int32_t lineHeight = canvas.TextHeight("Wg");
    // The lines as shown: a long line wraps onto several.
    const int32_t lineCount = TextLabel->HandleAllocated()
                                  ? static_cast<int32_t>(TextLabel->Perform(EM_GETLINECOUNT))
                                  : TextLabel->Lines().Count();
    TextLabel->SetScrollBars(
        static_cast<int64_t>(lineCount) * lineHeight > TextLabel->ClientHeight() ? ssVertical : ssNone);
}

void TExceptionDialog::WriteReportToLog() {
    if ((Tag() & TagWritesLog) == 0)
        return;
    WithCleanup(
        [&] {
            Log->WriteBanner(100);
            Log->WriteText(GetReportText(), 0);
        },
        [&] { Log->CloseFile(); });
}

TModalResult TExceptionDialog::ShowModal() {
    return TForm::ShowModal();
}

// ---- The handlers

void ShowExceptionReport(Exception& error, const TReportThread* thread) {
    // Taken before anything else: making and filling the dialog may raise and handle exceptions
    // of its own, each replacing the thread's list.
    std::shared_ptr<TTraceStackInfoList> stack = ThreadStackList();
    const void* raiseAddress = RaiseAddressOf(error, stack.get());
    struct FreeDialog {
        ~FreeDialog() {
            delete DialogInstance;
            DialogInstance = nullptr;
        }
    } freeDialog;
    if (DialogInstance == nullptr)
        DialogInstance = DialogClass(Application);
    TExceptionDialog& dialog = *DialogInstance;
    dialog.ReportStack = std::move(stack);
    dialog.ShownFromMainThread = ::GetCurrentThreadId() == mainThreadId;
    dialog.SetFocusedControl(Screen != nullptr ? Screen->ActiveControl() : nullptr);
    dialog.TextLabel->SetText(DialogMessageText(error.Message()));
    dialog.UpdateMessageScrollBar();
    TStrings& lines = dialog.DetailsMemo->Lines();
    lines.Add(Format(RsExceptionClass, {ExceptionClassName(error)}));
    if (thread != nullptr)
        lines.Add(Format(RsThread, {DebugThreadList().ThreadText(thread->ThreadId)}));
    else
        lines.Add(Format(RsExceptionAddr, {raiseAddress}));
    dialog.AddSeparatorLine();
    dialog.ShowModal();
}

namespace {

template <class Show> void ShowOnce(Exception& error, Show&& show) {
    if (DialogShowing) {
        Application->ShowException(error);
        return;
    }
    DialogShowing = true;
    struct ClearShowing {
        ~ClearShowing() { DialogShowing = false; }
    } clear;
    try {
        show();
    } catch (EAbort&) {
    } catch (...) {
        // The dialog itself could not be made or shown: the message still reaches the user.
        Application->ShowException(error);
    }
}

} // namespace

void HandleApplicationException(TObject*, Exception& error) {
    ShowOnce(error, [&] { ShowExceptionReport(error, nullptr); });
}

void HandleThreadException(TObject*, DWORD threadId, Exception& error) {
    const TReportThread thread{threadId};
    ShowOnce(error, [&] { ShowExceptionReport(error, &thread); });
}

// ---- The unit

namespace {

void StartExceptDlg() {
    mainThreadId = ::GetCurrentThreadId();
    SetTraceOptions(TraceStack | TraceRaw | CacheModuleList);
    StartStackCapture();
    DialogClass = MakeExceptionDialog;
    if (Application != nullptr)
        Application->OnException = HandleApplicationException;
    DebugThreadList().SyncException = [](DWORD threadId, Exception& error) {
        HandleThreadException(nullptr, threadId, error);
    };
}

void EndExceptDlg() {
    DebugThreadList().SyncException = nullptr;
    if (Application != nullptr)
        Application->OnException = nullptr;
    StopStackCapture();
    SetTraceOptions(TraceOptions() & ~TraceStack);
}

} // namespace

const TUnitInfo ExceptDlgUnit{"lib/Trace/source/ExceptDlg", StartExceptDlg, EndExceptDlg};
