// A timer component: its tick event is delivered through the message loop.
#pragma once

#include <windows.h>

#include "Classes.h"
#include "Handles.h"

class TTimer : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TTimer(TComponent* owner);

    int32_t Interval() const { return interval_; }
    void SetInterval(int32_t interval);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    void SetOnTimer(TNotifyEvent handler, AnsiString handlerName = {});

    void Loaded() override;

    TNotifyEvent OnTimer;
    AnsiString OnTimerName;

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void UpdateTimer();

    int32_t interval_ = 1000;
    bool enabled_ = true;
    UniqueWindow window_;
};
