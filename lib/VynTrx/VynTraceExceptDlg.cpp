#include "VynTraceExceptDlg.h"

#include <algorithm>

#include "Application.h"
#include "Clipbrd.h"
#include "Format.h"
#include "OSError.h"
#include "Screen.h"
#include "TextConversion.h"
#include "TraceCpuInfo.h"
#include "VynClasses.h"
#include "VynLXSystemInfo.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynSysUtilsPaths.h"
#include "VynWindows.h"

TVynTraceExceptionDialog* ActiveVynDialog = nullptr;

namespace {

constexpr char DetailsFontName[] = "Lucida Console";
constexpr char FallbackDetailsFontName[] = "Courier New";
constexpr UINT MeasureMessageFlags = DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL;
// The memo's margins beside the text.
constexpr int32_t MessageMargins = 14;

bool HasScreenFont(const AnsiString& name) {
    const auto& fonts = Screen->Fonts();
    return std::any_of(fonts.begin(), fonts.end(), [&](const AnsiString& font) {
        return font.size() == name.size() &&
               std::equal(font.begin(), font.end(), name.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    });
}

WideString JoinLines(const std::vector<WideString>& lines) {
    WideString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i != 0)
            text += u"\r\n";
        text += lines[i];
    }
    return text;
}

} // namespace

bool IsDevelopmentEnvironment(const WideString& programPath) {
    return UpperCaseWide(ExtractFileNameWide(programPath)) == u"VYNIDE.EXE";
}

TExceptionDialog* MakeVynTraceExceptionDialog(TComponent* owner) {
    return TCustomForm::CreateFromResource<TVynTraceExceptionDialog>(owner);
}

const TClassInfo& TVynTraceExceptionDialog::StaticClassInfo() {
    using D = TVynTraceExceptionDialog;
    static const TClassInfo info{
        "TVynTraceExceptionDialog",
        &TExceptionDialog::StaticClassInfo(),
        {},
        {PublishedMethod<D>("ClipboardBtnClick", &D::ClipboardBtnClick),
         PublishedMethod<D>("EmailBtnClick", &D::EmailBtnClick)},
        {PublishedField<D, TVynButton>("ClipboardBtn", &D::ClipboardBtn),
         PublishedField<D, TVynButton>("EmailBtn", &D::EmailBtn)},
    };
    return info;
}

TVynTraceExceptionDialog::TVynTraceExceptionDialog(TComponent* owner)
    : TExceptionDialog(owner), AutoDetails(!IsDevelopmentEnvironment(GetProgramPath())) {
    ActiveVynDialog = this;
}

TVynTraceExceptionDialog::~TVynTraceExceptionDialog() {
    if (ActiveVynDialog == this)
        ActiveVynDialog = nullptr;
}

void TVynTraceExceptionDialog::TakeCurrentException() {
    current_ = std::current_exception();
    currentException_ = nullptr;
    if (!current_)
        return;
    try {
        std::rethrow_exception(current_);
    } catch (const Exception& error) {
        const TStrings& lines = DetailsMemo->Lines();
        if (lines.Count() > 0 && lines.Strings(0).find(ExceptionClassName(error)) != AnsiString::npos)
            currentException_ = &error;
    } catch (...) {
        // Not one of ours: the dialog shows what its header says and nothing more.
    }
}

TModalResult TVynTraceExceptionDialog::ShowModal() {
    ::MessageBeep(MB_ICONHAND);
    TakeCurrentException();
    if (currentException_ != nullptr)
        ExceptionMessage = AnsiToWide(currentException_->Message());
    const AnsiString title = Application != nullptr ? Application->Title() : AnsiString();
    if (dynamic_cast<const EVynGeneralError*>(currentException_) != nullptr)
        SetCaption(title);
    else
        SetCaption(Format(RsAppError2, {title}));
    FitMessageHeight();
    ChooseDetailsFont();
    return TExceptionDialog::ShowModal();
}

void TVynTraceExceptionDialog::FitMessageHeight() {
    // Colons are measured as blanks: the system may not break a line after a colon, the memo does.
    WideString message = AnsiToWide(TextLabel->GetText());
    std::replace(message.begin(), message.end(), u':', u' ');
    const int32_t screenHeight = Screen->Height();
    RECT rect{0, 0, std::max(TextLabel->ClientWidth() - MessageMargins, 1), screenHeight};
    TCanvas& canvas = Canvas();
    canvas.Font().AssignFont(Font());
    VynDrawTextW(canvas.Handle(), message.c_str(), static_cast<int>(message.size()), &rect,
                 MeasureMessageFlags);
    const int32_t needed = rect.bottom - rect.top;
    const int32_t limit = screenHeight - 2 * (ExpandedClientHeight - Bevel1->Top()) -
                          (Height() - TextLabel->ClientHeight()) - DetailsMemo->Left();
    const int32_t grow = std::min(needed, limit) - TextLabel->ClientHeight();
    if (grow <= 0)
        return;
    for (TControl* control :
         std::initializer_list<TControl*>{DetailsBtn, ClipboardBtn, EmailBtn, OkBtn, Bevel1, DetailsMemo})
        control->SetTop(control->Top() + grow);
    TextLabel->SetHeight(TextLabel->Height() + grow);
    Constraints().SetMaxHeight(Height() + grow);
    SetHeight(Height() + grow);
    ExpandedClientHeight += grow;
    CompactHeight += grow;
    if (!DetailsExpanded)
        Constraints().SetMinHeight(CompactHeight);
    UpdateMessageScrollBar();
}

void TVynTraceExceptionDialog::ChooseDetailsFont() {
    if (HasScreenFont(DetailsMemo->Font().Name()))
        return;
    if (HasScreenFont(FallbackDetailsFontName))
        DetailsMemo->Font().SetName(FallbackDetailsFontName);
    else
        DetailsMemo->SetParentFont(true);
}

void TVynTraceExceptionDialog::BeforeShow() {
    if (!AutoDetails || DetailsBuilt)
        throw EAbort("Operation aborted");
}

void TVynTraceExceptionDialog::FillDetails() {
    TStrings& lines = DetailsMemo->Lines();
    if (currentException_ != nullptr) {
        // After the class and address lines, before the separator; each line of the message is
        // a line of its own, and the OLE code follows the whole message.
        int32_t index = std::min<int32_t>(2, lines.Count());
        TStringList messageLines;
        messageLines.SetText(currentException_->Message());
        if (messageLines.Count() == 0)
            messageLines.Add({});
        for (int32_t i = 0; i < messageLines.Count(); ++i)
            lines.Insert(index++,
                         (i == 0 ? AnsiString(RsExceptionMsgPrefix) : AnsiString()) + messageLines[i]);
        if (const auto* ole = dynamic_cast<const EOleSysError*>(currentException_))
            lines.Insert(index, Format(RsOleExceptionCode, {ole->ErrorCode()}));
    }
    TExceptionDialog::FillDetails();
    if (SystemInfoProc != nullptr) {
        TVynStringList info;
        SystemInfoProc(info);
        // Through the ANSI view: what the code page cannot hold does not reach the report.
        for (int32_t i = 0; i < info.Count(); ++i)
            lines.Add(WideToAnsi(info.Entry(i)));
    }
}

void TVynTraceExceptionDialog::DetailsBtnClick(TObject*) {
    AutoDetails = true;
    try {
        if (!DetailsBuilt)
            Perform(UM_BUILDDETAILS);
        ShowDetails(!DetailsExpanded);
        ClipboardBtn->SetVisible(DetailsExpanded);
        EmailBtn->SetVisible(DetailsExpanded);
    } catch (EAbort&) {
        throw;
    } catch (...) {
        DetailsBuilt = true;
        AnsiString className = "Exception";
        AnsiString message = "Unknown exception";
        try {
            throw;
        } catch (const std::exception& error) {
            className = ExceptionClassName(error);
            message = error.what();
        } catch (...) {
        }
        TStrings& lines = DetailsMemo->Lines();
        lines.Add("===============================");
        lines.Add("==  TRACE DEBUG PARSE ERROR  ==");
        lines.Add("===============================");
        lines.Add(className);
        lines.Add(message);
    }
}

void TVynTraceExceptionDialog::ClipboardBtnClick(TObject*) {
    Clipboard().SetAsWideText(AnsiToWide(DetailsMemo->GetText()));
}

void TVynTraceExceptionDialog::EmailBtnClick(TObject*) {
    const TStrings& memo = DetailsMemo->Lines();
    std::vector<AnsiString> lines;
    lines.reserve(static_cast<size_t>(memo.Count()));
    for (int32_t i = 0; i < memo.Count(); ++i)
        lines.push_back(memo.Strings(i));
    SendSupportMail(lines, ExceptionMessage);
}

// ---- The handler

std::vector<WideString> SecondaryTraceLines(const Exception& error, const TTraceStackInfoList* stack) {
    std::vector<WideString> lines{AnsiToWide(RsSecondaryTraceHeader), AnsiToWide(ExceptionClassName(error)),
                                  AnsiToWide(error.Message()), WideString()};
    if (stack != nullptr) {
        TStringList locations;
        WriteStackLines(*stack, locations, false, false, false);
        for (int32_t i = 0; i < locations.Count(); ++i)
            lines.push_back(AnsiToWide(locations.Strings(i)));
    }
    return lines;
}

void LogSecondaryException(Exception& error) noexcept {
    if (ActiveVynDialog != nullptr) {
        // The secondary exception's own stack, before building the report raises and handles
        // exceptions of its own.
        std::shared_ptr<TTraceStackInfoList> stack;
        try {
            stack = ThreadStackList();
        } catch (...) {
        }
        TVynTraceExceptionDialog& dialog = *ActiveVynDialog;
        try {
            if (!dialog.SecondaryLogged) {
                if (!dialog.DetailsBuilt) {
                    dialog.AutoDetails = true;
                    dialog.Perform(UM_BUILDDETAILS);
                }
                LogSecondaryReport(AnsiToWide(dialog.DetailsMemo->GetText()));
                dialog.SecondaryLogged = true;
            }
        } catch (...) {
            // Logging must not stand between the user and the message.
        }
        try {
            LogSecondaryReport(JoinLines(SecondaryTraceLines(error, stack.get())));
        } catch (...) {
        }
    }
}

void HandleVynApplicationException(TObject* sender, Exception& error) {
    LogSecondaryException(error);
    HandleApplicationException(sender, error);
}

// ---- The unit

namespace {

void StartVynTraceExceptDlg() {
    DialogClass = MakeVynTraceExceptionDialog;
    if (Application != nullptr)
        Application->OnException = HandleVynApplicationException;
}

void EndVynTraceExceptDlg() {
    DialogClass = MakeExceptionDialog;
    if (Application != nullptr)
        Application->OnException = HandleApplicationException;
    SupportEmailAddress.clear();
}

} // namespace

const TUnitInfo VynTraceExceptDlgUnit{"lib/VynTrx/VynTraceExceptDlg", StartVynTraceExceptDlg,
                                      EndVynTraceExceptDlg};
