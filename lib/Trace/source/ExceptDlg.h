// The report dialog for exceptions that reach the application: the message, a collapsible area
// with the technical report (exception, stack, system, modules, active controls) and the
// application's exception handler that shows it. Starting the unit installs the handler.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <memory>

#include "ExceptDlgLog.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Memo.h"
#include "StdCtrls.h"
#include "SysTypes.h"
#include "TraceHookExcept.h"
#include "UnitRegistry.h"

// Posted after the first paint: the report is built once the window is on the screen.
inline constexpr UINT UM_BUILDDETAILS = WM_USER + 0x100;

// The sections AddReportSections writes; the dialog writes all of them.
enum : uint32_t {
    ReportStackList = 1,
    ReportSystem = 2,
    ReportModules = 4,
    ReportActiveControls = 8,
    ReportAllSections = 15,
};

inline constexpr char RsAppError[] = "%s - application error";
inline constexpr char RsExceptionClass[] = "Exception class: %s";
inline constexpr char RsExceptionAddr[] = "Exception address: %p";
inline constexpr char RsThread[] = "Thread: %s";

// The thread an exception of a registered thread was raised on.
struct TReportThread {
    DWORD ThreadId = 0;
};

class TExceptionDialog : public TForm {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TExceptionDialog(TComponent* owner);
    ~TExceptionDialog() override;

    TBevel* Bevel1 = nullptr;
    TButton* OkBtn = nullptr;
    TButton* DetailsBtn = nullptr;
    TMemo* TextLabel = nullptr;
    TMemo* DetailsMemo = nullptr;

    bool DetailsExpanded = false;
    bool ShownFromMainThread = false;
    // The control that had the focus when the exception occurred; null when none (or it went).
    TWinControl* FocusedControl() const;
    void SetFocusedControl(TWinControl* control);
    int32_t CompactHeight = 0;
    int32_t ExpandedClientHeight = 0;
    std::unique_ptr<TSimpleExceptionLog> Log;

    // The stack of the exception reported, taken when the report began: raises handled while
    // the dialog runs replace the thread's list, never this one.
    std::shared_ptr<TTraceStackInfoList> ReportStack;

    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormShow(TObject* sender);
    void FormPaint(TObject* sender);
    void FormResize(TObject* sender);
    void FormKeyDown(TObject* sender, WORD& key, TShiftState shift);
    virtual void DetailsBtnClick(TObject* sender);
    void DetailsMemoDblClick(TObject* sender);

    // The report's exception header, its sections and the log, then the buttons enabled.
    void BuildDetails();
    void ShowDetails(bool visible);
    // The message, an empty line, the details.
    AnsiString GetReportText();
    void CopyReport();
    // A vertical scroll bar on the message exactly when its lines do not fit.
    void UpdateMessageScrollBar();
    void WriteReportToLog();
    void AddReportSections(uint32_t sections);
    void AddSeparatorLine();

    // Shows the dialog and returns its modal result.
    virtual TModalResult ShowModal();

    // Reads the descriptions from this class's down to the dialog's own.
    void InitializeForm() override;

protected:
    void WndProc(TMessage& message) override;

    virtual void AfterDetails() {}
    virtual void BeforeShow() {}
    virtual void FillDetails();
    virtual int32_t SeparatorWidth() const { return 100; }
    virtual char SeparatorChar() const { return '-'; }

    // Where FormPaint draws the system's hand icon: left of the message.
    virtual POINT HandIconPosition();

private:
    HWND focusedWindow_ = nullptr;
};

using TExceptionDialogClass = TExceptionDialog* (*)(TComponent* owner);

// Which dialog ShowExceptionReport makes.
extern TExceptionDialogClass DialogClass;
// The dialog being shown; null between reports.
extern TExceptionDialog* DialogInstance;
// Set while a report is being shown: a further exception gets the standard message box.
extern bool DialogShowing;

TExceptionDialog* MakeExceptionDialog(TComponent* owner);

// The application's exception event of this unit.
void HandleApplicationException(TObject* sender, Exception& error);
// An exception of a registered thread, handed to the main thread.
void HandleThreadException(TObject* sender, DWORD threadId, Exception& error);
// Creates the dialog of DialogClass, fills its message and header and shows it; the dialog is
// freed however that ends.
void ShowExceptionReport(Exception& error, const TReportThread* thread);

// The thread that starts the units: the one whose dialogs build their report after painting.
DWORD ReportMainThreadId();

// Sets the stack options, starts the capture and installs the handlers; the end removes them.
extern const TUnitInfo ExceptDlgUnit;
