#pragma once
#include <windows.h>

#include <functional>

// A periodic timer driven by window messages. All timers of the process share one hidden
// window, made with the first timer and destroyed with the last; its WM_TIMER messages lead
// back to the timer by the timer's identifier.
class TMessageTimer {
public:
    using TNotifyEvent = std::function<void(TMessageTimer& sender)>;

    explicit TMessageTimer(UINT interval = 1000, TNotifyEvent onTimer = nullptr);
    TMessageTimer(const TMessageTimer&) = delete;
    TMessageTimer& operator=(const TMessageTimer&) = delete;
    ~TMessageTimer();

    bool Enabled() const { return enabled_; }
    // Switching on restarts a running timer's period; it answers false, and starts nothing,
    // for an interval of 0 or when the platform refuses the timer.
    bool SwitchOn();
    void SwitchOff();

    UINT Interval() const { return interval_; }
    // A new interval restarts a running timer; 0 stops its ticks but leaves it on, so that a
    // later interval starts it again.
    void SetInterval(UINT interval);

    const TNotifyEvent& OnTimer() const { return onTimer_; }
    // No handler stops the ticks of a running timer and leaves it on.
    void SetOnTimer(TNotifyEvent onTimer);

    // The shared window (null when no timer exists), for those who must know it.
    static HWND SharedWindow();

private:
    friend class TMessageTimerHandler;
    UINT_PTR Identifier() const { return reinterpret_cast<UINT_PTR>(this); }
    void KillSystemTimer() const;

    bool enabled_ = false;
    UINT interval_;
    TNotifyEvent onTimer_;
};
