#include "VynLXFlashMsg.h"

#include <algorithm>
#include <string>

#include "DeviceContexts.h"
#include "VynSysUtilsPaths.h"
#include "VynWindows.h"
#include "Unattended.h"

namespace {

struct TFlashState {
    std::vector<TVynFlashForm*> flashForms;
    std::vector<TCursor> cursorStack;
};

std::unique_ptr<TFlashState> flashState;

TFlashState& State() {
    if (!flashState)
        throw EVynInternalError("Internal Error: the unit VynLXFlashMsg has not been started.");
    return *flashState;
}

void StartVynLXFlashMsg() {
    flashState = std::make_unique<TFlashState>();
}

void EndVynLXFlashMsg() {
    flashState.reset();
}

} // namespace

const TUnitInfo VynLXFlashMsgUnit{"lib/VynLX/VynLXFlashMsg", StartVynLXFlashMsg, EndVynLXFlashMsg};

const TClassInfo& TVynFlashForm::StaticClassInfo() {
    static const TClassInfo info{"TVynFlashForm", &TVynForm::StaticClassInfo()};
    return info;
}

TVynFlashForm::TVynFlashForm(TComponent* owner) : TVynForm(owner) {
    TFlashState& state = State();
    state.flashForms.push_back(this);
    PushScreenCursor(crHourGlass);
}

TVynFlashForm::~TVynFlashForm() {
    if (!flashState)
        return;
    // Also when the notice goes because its work failed: the cursor must not stay busy.
    try {
        PopScreenCursor();
    } catch (...) {
        HandleExceptionInCallback(this);
    }
    std::erase(flashState->flashForms, this);
}

void TVynFlashForm::SetName(const AnsiString& name) {
    AnsiString unique = name;
    if ((ComponentState() & csLoading) != 0 && !name.empty() && Owner() != nullptr) {
        for (int suffix = 1;; ++suffix) {
            const TComponent* other = Owner()->FindComponent(unique);
            if (other == nullptr || other == this)
                break;
            unique = name + "_" + std::to_string(suffix);
        }
    }
    TVynForm::SetName(unique);
}

const std::vector<TVynFlashForm*>& FlashForms() {
    return State().flashForms;
}

void PushScreenCursor(TCursor cursor) {
    TFlashState& state = State();
    state.cursorStack.push_back(Screen != nullptr ? Screen->Cursor() : crDefault);
    if (Screen != nullptr)
        Screen->SetCursor(cursor);
}

void PopScreenCursor() {
    TFlashState& state = State();
    TCursor cursor = crDefault;
    if (!state.cursorStack.empty()) {
        cursor = state.cursorStack.back();
        state.cursorStack.pop_back();
    }
    if (Screen != nullptr)
        Screen->SetCursor(cursor);
}

void SetFlashCaption(TVynForm& form, const WideString& message) {
    WindowDC dc = WindowDC::OfWindow(form.Handle());
    if (dc) {
        SIZE extent{0, 0};
        VynGetTextExtentPoint32W(dc.get(), message.c_str(), static_cast<int>(message.size()), &extent);
        dc.reset();
        form.SetWidth(std::max<int32_t>(form.Width(), extent.cx));
    }
    form.SetCaption(message);
}

std::unique_ptr<TVynFlashForm> ShowFlashMessage(const WideString& message) {
    if (RunsUnattended()) {
        TellUnattended(message);
        return nullptr;
    }
    std::unique_ptr<TVynFlashForm> form(TCustomForm::CreateFromResource<TVynFlashForm>(Application));
    form->SetClientHeight(0);
    SetFlashCaption(*form, message);
    form->Show();
    ::UpdateWindow(form->Handle());
    return form;
}
