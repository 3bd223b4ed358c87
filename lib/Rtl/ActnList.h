// Actions: commands with a caption, hint and state shared by the controls linked to them. An
// action without its own handler is offered to the application (its window's hooks) and then to
// the forms, whose controls may handle it (a status bar shows a hint action's hint). Actions are
// updated while the application is idle.
#pragma once

#include <windows.h>

#include <vector>

#include "Classes.h"

class TBasicAction;
class TCustomAction;
class TCustomActionList;
class TControl;

// What ties a client (a control) to an action; the action tells its links about changes.
class TBasicActionLink {
public:
    TBasicActionLink() = default;
    virtual ~TBasicActionLink();
    TBasicActionLink(const TBasicActionLink&) = delete;
    TBasicActionLink& operator=(const TBasicActionLink&) = delete;

    // Null once the action is gone.
    TBasicAction* Action() const { return action_; }
    void SetAction(TBasicAction* action);
    // Executes the action on behalf of component; false without an action or when unhandled.
    virtual bool Execute(TComponent* component);
    virtual bool Update();
    // The action changed one of its properties.
    virtual void Change() {}

private:
    friend class TBasicAction;
    TBasicAction* action_ = nullptr;
};

class TBasicAction : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TBasicAction(TComponent* owner);
    ~TBasicAction() override;

    // OnExecute, or else the application and the forms; false when nobody handled the action.
    virtual bool Execute();
    // OnUpdate, or else the application and the forms; false when nobody updated the action.
    virtual bool Update();
    // The component whose link executes the action, while it does.
    TComponent* ActionComponent() const { return actionComponent_; }
    void SetActionComponent(TComponent* component) { actionComponent_ = component; }

    TNotifyEvent OnExecute, OnUpdate;
    AnsiString OnExecuteName, OnUpdateName;

    const std::vector<TBasicActionLink*>& Links() const { return links_; }

protected:
    // Tells every link that a property changed.
    void Change();

private:
    friend class TBasicActionLink;
    std::vector<TBasicActionLink*> links_;
    TComponent* actionComponent_ = nullptr;
};

class TContainedAction : public TBasicAction {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TContainedAction(TComponent* owner) : TBasicAction(owner) {}
    ~TContainedAction() override;
    TCustomActionList* ActionList() const { return actionList_; }
    void SetActionList(TCustomActionList* list);
    AnsiString Category() const { return category_; }
    void SetCategory(const AnsiString& category) { category_ = category; }
    // In a stored description an action lies inside its action list.
    void SetParentComponent(TComponent* parent) override;
    TComponent* GetParentComponent() const override;

private:
    TCustomActionList* actionList_ = nullptr;
    AnsiString category_;
};

// An action with the properties its clients show.
class TCustomAction : public TContainedAction {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TCustomAction(TComponent* owner) : TContainedAction(owner) {}

    AnsiString Caption() const { return caption_; }
    void SetCaption(const AnsiString& caption);
    AnsiString Hint() const { return hint_; }
    void SetHint(const AnsiString& hint);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    int32_t HelpContext() const { return helpContext_; }
    void SetHelpContext(int32_t context);

private:
    AnsiString caption_;
    AnsiString hint_;
    bool enabled_ = true;
    bool checked_ = false;
    bool visible_ = true;
    int32_t helpContext_ = 0;
};

class TAction : public TCustomAction {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TAction(TComponent* owner) : TCustomAction(owner) {}
};

// Executed by the application when its hint changes, so that controls showing hints (a status
// bar) can show it.
class THintAction : public TCustomAction {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit THintAction(TComponent* owner) : TCustomAction(owner) {}
};

// A link whose client shows the action's properties.
class TActionLink : public TBasicActionLink {
public:
    // Whether the client shows the action's value of the property (then the client need not
    // store the property itself).
    virtual bool IsCaptionLinked() const;
    virtual bool IsHintLinked() const;

protected:
    // The action as a TCustomAction, or null.
    TCustomAction* CustomAction() const;
};

// The link of a control: the control takes the action's caption, hint, enabled and visible state
// and help context whenever the action changes, and a click executes the action.
class TControlActionLink : public TActionLink {
public:
    explicit TControlActionLink(TControl& client) : client_(client) {}

    bool IsCaptionLinked() const override;
    bool IsHintLinked() const override;
    void Change() override;

protected:
    TControl& Client() const { return client_; }

private:
    TControl& client_;
};

class TCustomActionList : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TCustomActionList(TComponent* owner) : TComponent(owner) {}
    ~TCustomActionList() override;
    int ActionCount() const { return static_cast<int>(actions_.size()); }
    TContainedAction* Actions(int index) const { return actions_.at(static_cast<size_t>(index)); }
    // Updates every action of the list.
    void UpdateActions();

private:
    friend class TContainedAction;
    std::vector<TContainedAction*> actions_;
};

class TActionList : public TCustomActionList {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TActionList(TComponent* owner) : TCustomActionList(owner) {}
};

// Sends CM_ACTIONEXECUTE or CM_ACTIONUPDATE (LParam: the action) to the application window, and
// then to the active form and the main form; true when one of them handled it (a result not 0).
bool DispatchActionMessage(UINT message, TBasicAction& action);
