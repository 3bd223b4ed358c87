// The program's exception dialog: the report dialog with Copy to Clipboard and Send Email, the
// exception's message and OLE code in the details, the system-information block, a message area
// fitted to the message, and secondary exceptions logged while a report is open.
#pragma once

#include <exception>

#include "ExceptDlg.h"
#include "SysTypes.h"
#include "UnitRegistry.h"
#include "VynStdCtrls.h"
#include "VynTraceSecondaryLog.h"
#include "VynTraceSupportMail.h"

inline constexpr char RsAppError2[] = "%s  (Application Error)";
inline constexpr char RsExceptionMsgPrefix[] = "Exception message: ";
inline constexpr char RsOleExceptionCode[] = "OLE Exception Code: 0x%0:.8x (%0:d)";

inline constexpr char RsSecondaryTraceHeader[] = "<----Secondary Exception Stack Trace---->";

class TVynTraceExceptionDialog : public TExceptionDialog {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynTraceExceptionDialog(TComponent* owner);
    ~TVynTraceExceptionDialog() override;

    TVynButton* ClipboardBtn = nullptr;
    TVynButton* EmailBtn = nullptr;

    // Details are built as soon as the window shows (not in the development environment).
    bool AutoDetails = true;
    bool DetailsBuilt = false;
    bool SecondaryLogged = false;
    WideString ExceptionMessage;

    // The exception the runtime is handling while the dialog shows, when it is ours and the
    // report's first line names its class; null otherwise.
    const Exception* CurrentException() const { return currentException_; }

    void DetailsBtnClick(TObject* sender) override;
    void ClipboardBtnClick(TObject* sender);
    void EmailBtnClick(TObject* sender);

    TModalResult ShowModal() override;
    // Grows the message area (and the window) to the message, up to what the screen allows.
    void FitMessageHeight();
    // The details font when the system has it, else Courier New, else the form's.
    void ChooseDetailsFont();

protected:
    void AfterDetails() override { DetailsBuilt = true; }
    void BeforeShow() override;
    void FillDetails() override;
    POINT HandIconPosition() override { return POINT{10, 11}; }

private:
    void TakeCurrentException();

    std::exception_ptr current_;
    const Exception* currentException_ = nullptr;
};

// The dialog being shown; null otherwise.
extern TVynTraceExceptionDialog* ActiveVynDialog;

TExceptionDialog* MakeVynTraceExceptionDialog(TComponent* owner);

// The development environment shows no details by itself: its executable is "VynIDE.exe".
bool IsDevelopmentEnvironment(const WideString& programPath);

// The application's exception event while the unit runs: an exception raised while a report is
// open is logged (LogSecondaryException) before the standard message box.
void HandleVynApplicationException(TObject* sender, Exception& error);
// With a report open: its full text logged once (built first when it is not yet), then a trace of
// this exception each time. Nothing raised here leaves; nothing happens without an open report.
void LogSecondaryException(Exception& error) noexcept;

// The lines of a secondary trace: header, class, message, an empty line, the stack's locations
// without module names or offsets.
std::vector<WideString> SecondaryTraceLines(const Exception& error, const TTraceStackInfoList* stack);

// Makes this dialog the one shown and its handler the application's; the end restores the base
// dialog's and forgets the support address.
extern const TUnitInfo VynTraceExceptDlgUnit;
