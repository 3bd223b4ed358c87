#include "ActnList.h"

#include <algorithm>

#include "Application.h"
#include "Controls.h"
#include "Forms.h"

// ---- Links

TBasicActionLink::~TBasicActionLink() { SetAction(nullptr); }

void TBasicActionLink::SetAction(TBasicAction* action) {
    if (action == action_)
        return;
    if (action_ != nullptr)
        std::erase(action_->links_, this);
    action_ = action;
    if (action_ != nullptr)
        action_->links_.push_back(this);
}

bool TBasicActionLink::Execute(TComponent* component) {
    if (action_ == nullptr)
        return false;
    TBasicAction* action = action_;
    action->SetActionComponent(component);
    struct Reset {
        TBasicAction* action;
        ~Reset() { action->SetActionComponent(nullptr); }
    } reset{action};
    return action->Execute();
}

bool TBasicActionLink::Update() { return action_ != nullptr && action_->Update(); }

TCustomAction* TActionLink::CustomAction() const { return dynamic_cast<TCustomAction*>(Action()); }

bool TActionLink::IsCaptionLinked() const { return CustomAction() != nullptr; }

bool TActionLink::IsHintLinked() const { return CustomAction() != nullptr; }

bool TControlActionLink::IsCaptionLinked() const {
    return TActionLink::IsCaptionLinked() && client_.Caption() == CustomAction()->Caption();
}

bool TControlActionLink::IsHintLinked() const {
    return TActionLink::IsHintLinked() && client_.Hint() == CustomAction()->Hint();
}

void TControlActionLink::Change() {
    if (Action() != nullptr)
        client_.ActionChange(Action(), false);
}

// ---- Actions

const TClassInfo& TBasicAction::StaticClassInfo() {
    using A = TBasicAction;
    static const TClassInfo info{"TBasicAction",
                                 &TComponent::StaticClassInfo(),
                                 {
                                     EventProperty<A>("OnExecute", &A::OnExecute, &A::OnExecuteName),
                                     EventProperty<A>("OnUpdate", &A::OnUpdate, &A::OnUpdateName),
                                 }};
    return info;
}

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
    // The clients outlive their action; their links forget it.
    for (TBasicActionLink* link : links_)
        link->action_ = nullptr;
    links_.clear();
}

bool TBasicAction::Execute() {
    if (OnExecute) {
        OnExecute(this);
        return true;
    }
    return DispatchActionMessage(CM_ACTIONEXECUTE, *this);
}

bool TBasicAction::Update() {
    if (OnUpdate) {
        OnUpdate(this);
        return true;
    }
    return DispatchActionMessage(CM_ACTIONUPDATE, *this);
}

void TBasicAction::Change() {
    // A client may drop its link while it takes the change.
    const std::vector<TBasicActionLink*> links = links_;
    for (TBasicActionLink* link : links)
        if (std::find(links_.begin(), links_.end(), link) != links_.end())
            link->Change();
}

const TClassInfo& TContainedAction::StaticClassInfo() {
    using A = TContainedAction;
    static const TClassInfo info{"TContainedAction",
                                 &TBasicAction::StaticClassInfo(),
                                 {AnsiStringProperty<A>("Category", &A::Category, &A::SetCategory)}};
    return info;
}

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetParentComponent(TComponent* parent) {
    if (auto* list = dynamic_cast<TCustomActionList*>(parent))
        SetActionList(list);
}

TComponent* TContainedAction::GetParentComponent() const { return actionList_; }

void TContainedAction::SetActionList(TCustomActionList* list) {
    if (list == actionList_)
        return;
    if (actionList_ != nullptr)
        std::erase(actionList_->actions_, this);
    actionList_ = list;
    if (actionList_ != nullptr)
        actionList_->actions_.push_back(this);
}

const TClassInfo& TCustomAction::StaticClassInfo() {
    static const TClassInfo info{"TCustomAction", &TContainedAction::StaticClassInfo()};
    return info;
}

void TCustomAction::SetCaption(const AnsiString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    Change();
}

void TCustomAction::SetHint(const AnsiString& hint) {
    if (hint == hint_)
        return;
    hint_ = hint;
    Change();
}

void TCustomAction::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Change();
}

void TCustomAction::SetChecked(bool checked) {
    if (checked == checked_)
        return;
    checked_ = checked;
    Change();
}

void TCustomAction::SetVisible(bool visible) {
    if (visible == visible_)
        return;
    visible_ = visible;
    Change();
}

void TCustomAction::SetHelpContext(int32_t context) {
    if (context == helpContext_)
        return;
    helpContext_ = context;
    Change();
}

const TClassInfo& TAction::StaticClassInfo() {
    using A = TAction;
    static const TClassInfo info{
        "TAction",
        &TCustomAction::StaticClassInfo(),
        {
            AnsiStringProperty<A>("Caption", &A::Caption, &A::SetCaption),
            BooleanProperty<A>("Checked", &A::Checked, &A::SetChecked),
            BooleanProperty<A>("Enabled", &A::Enabled, &A::SetEnabled),
            IntegerProperty<A>("HelpContext", &A::HelpContext, &A::SetHelpContext),
            AnsiStringProperty<A>("Hint", &A::Hint, &A::SetHint),
            BooleanProperty<A>("Visible", &A::Visible, &A::SetVisible),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TAction(owner); },
    };
    return info;
}

const TClassInfo& THintAction::StaticClassInfo() {
    static const TClassInfo info{"THintAction", &TCustomAction::StaticClassInfo()};
    return info;
}

// ---- Action lists

const TClassInfo& TCustomActionList::StaticClassInfo() {
    static const TClassInfo info{"TCustomActionList", &TComponent::StaticClassInfo()};
    return info;
}

TCustomActionList::~TCustomActionList() {
    for (TContainedAction* action : std::vector<TContainedAction*>(actions_))
        action->SetActionList(nullptr);
}

void TCustomActionList::UpdateActions() {
    // An update handler may free actions of the list; only those still listed are updated.
    const std::vector<TContainedAction*> actions = actions_;
    for (TContainedAction* action : actions)
        if (std::find(actions_.begin(), actions_.end(), action) != actions_.end())
            action->Update();
}

const TClassInfo& TActionList::StaticClassInfo() {
    static const TClassInfo info{"TActionList",
                                 &TCustomActionList::StaticClassInfo(),
                                 {},
                                 {},
                                 {},
                                 [](TComponent* owner) -> TComponent* { return new TActionList(owner); }};
    return info;
}

// ---- Dispatch

bool DispatchActionMessage(UINT message, TBasicAction& action) {
    if (Application == nullptr)
        return false;
    const auto parameter = reinterpret_cast<LPARAM>(&action);
    if (::SendMessageA(Application->Handle(), message, 0, parameter) != 0)
        return true;
    auto* active = dynamic_cast<TCustomForm*>(TWinControl::FromHandle(::GetActiveWindow()));
    TCustomForm* mainForm = Application->MainForm();
    if (active != nullptr && active->Perform(message, 0, parameter) != 0)
        return true;
    return mainForm != nullptr && mainForm != active && mainForm->Perform(message, 0, parameter) != 0;
}
