#include "Timer.h"

#include "Application.h"
#include "OSError.h"
#include "ResourceModule.h"
#include "WindowClasses.h"

namespace {
constexpr UINT_PTR TimerId = 1;
const WCHAR TimerWindowClass[] = L"TTimerWindow";
} // namespace

const TClassInfo& TTimer::StaticClassInfo() {
    static const TClassInfo info{
        "TTimer",
        &TComponent::StaticClassInfo(),
        {
            BooleanProperty<TTimer>("Enabled", &TTimer::Enabled, &TTimer::SetEnabled),
            IntegerProperty<TTimer>("Interval", &TTimer::Interval, &TTimer::SetInterval),
            EventProperty<TTimer>("OnTimer", &TTimer::OnTimer, &TTimer::OnTimerName),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TTimer(owner); },
    };
    return info;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

void TTimer::SetInterval(int32_t interval) {
    if (interval != interval_) {
        interval_ = interval;
        UpdateTimer();
    }
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled != enabled_) {
        enabled_ = enabled;
        UpdateTimer();
    }
}

void TTimer::SetOnTimer(TNotifyEvent handler, AnsiString handlerName) {
    OnTimer = std::move(handler);
    OnTimerName = std::move(handlerName);
    UpdateTimer();
}

void TTimer::Loaded() {
    TComponent::Loaded();
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (window_)
        ::KillTimer(window_.get(), TimerId);
    if ((ComponentState() & csLoading) || !enabled_ || interval_ <= 0 || !OnTimer)
        return;
    if (!window_) {
        EnsureWindowClass(TimerWindowClass, WindowProcedure);
        HWND window = ::CreateWindowExW(0, TimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        MainInstance(), nullptr);
        if (window == nullptr)
            RaiseLastOSError("CreateWindowExW", u"TTimerWindow");
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_.reset(window);
    }
    if (::SetTimer(window_.get(), TimerId, static_cast<UINT>(interval_), nullptr) == 0)
        throw EOutOfResources("Not enough timers available");
}

LRESULT CALLBACK TTimer::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* timer = reinterpret_cast<TTimer*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message != WM_TIMER || timer == nullptr)
        return ::DefWindowProcW(window, message, wParam, lParam);
    DispatchEvent(timer, [&] {
        if (timer->OnTimer)
            timer->OnTimer(timer);
    });
    return 0;
}
