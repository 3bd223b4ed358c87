// The flash message: a small tool window whose caption bar is the whole window and whose caption
// is the message, shown while the program does a lengthy step. The hourglass is shown for as long
// as a notice exists; notices nest.
#pragma once

#include <memory>
#include <vector>

#include "Screen.h"
#include "UnitRegistry.h"
#include "VynForms.h"

class TVynFlashForm : public TVynForm {
    RTL_DECLARE_CLASS_INFO()
public:
    // Owned by the application; shows the hourglass until it goes.
    explicit TVynFlashForm(TComponent* owner);
    // Puts back the cursor that was shown before this notice.
    ~TVynFlashForm() override;
    // Reachable for CreateFromResource.
    using TVynForm::InitializeForm;
    // Notices nest, and all of them are read from one description: the name it gives is made
    // unique among the application's components ("VynFlashForm_1", ...).
    void SetName(const AnsiString& name) override;
};

// Shows the message as a new notice, painted at once so that it is seen before the caller's work
// blocks the message loop. The caller frees it when the work is done, also when the work fails.
// In an unattended run the message goes to the run's sink and the result is null.
std::unique_ptr<TVynFlashForm> ShowFlashMessage(const WideString& message);
// Sets the notice's caption, widening it (never narrowing it) to the message's width.
void SetFlashCaption(TVynForm& form, const WideString& message);

// The screen cursor becomes cursor; PopScreenCursor puts back the one it replaced (crDefault when
// nothing is left to put back).
void PushScreenCursor(TCursor cursor);
void PopScreenCursor();

// The notices that exist now, in the order they were made.
const std::vector<TVynFlashForm*>& FlashForms();

extern const TUnitInfo VynLXFlashMsgUnit;
