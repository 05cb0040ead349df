#include "MessageTimer.h"

#include "UtilWindow.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

// The one window of all timers, counted by them.
class TMessageTimerHandler {
public:
    static TMessageTimerHandler& Acquire(TMessageTimer& timer) {
        if (!instance_) instance_.reset(new TMessageTimerHandler);
        auto& timers = instance_->timers_;
        if (std::find(timers.begin(), timers.end(), &timer) == timers.end()) timers.push_back(&timer);
        return *instance_;
    }
    static void Release(TMessageTimer& timer) {
        if (!instance_) return;
        auto& timers = instance_->timers_;
        timers.erase(std::remove(timers.begin(), timers.end(), &timer), timers.end());
        if (instance_->timers_.empty()) instance_.reset();
    }
    static HWND Window() { return instance_ ? instance_->window_.Handle() : nullptr; }

private:
    TMessageTimerHandler()
        : window_([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
              return HandleMessage(window, message, wParam, lParam);
          }) {}

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE) return 0;  // hidden: only the main window closes
        if (message != WM_TIMER) return DefWindowProcW(window, message, wParam, lParam);
        // Only a live timer's identifier is taken as one: any process may post WM_TIMER.
        auto* timer = reinterpret_cast<TMessageTimer*>(wParam);
        if (std::find(timers_.begin(), timers_.end(), timer) != timers_.end() && timer->onTimer_)
            timer->onTimer_(*timer);
        return 0;
    }

    static std::unique_ptr<TMessageTimerHandler> instance_;
    std::vector<TMessageTimer*> timers_;  // a few, each once
    UtilWindow window_;
};

std::unique_ptr<TMessageTimerHandler> TMessageTimerHandler::instance_;

TMessageTimer::TMessageTimer(UINT interval, TNotifyEvent onTimer)
    : interval_(interval), onTimer_(std::move(onTimer)) {
    TMessageTimerHandler::Acquire(*this);
}

TMessageTimer::~TMessageTimer() {
    if (enabled_) SwitchOff();
    TMessageTimerHandler::Release(*this);
}

bool TMessageTimer::SwitchOn() {
    if (interval_ == 0) return false;
    if (enabled_) SwitchOff();
    enabled_ = SetTimer(TMessageTimerHandler::Window(), Identifier(), interval_, nullptr) != 0;
    return enabled_;
}

void TMessageTimer::SwitchOff() {
    enabled_ = false;
    KillSystemTimer();
}

void TMessageTimer::SetInterval(UINT interval) {
    if (interval == interval_) return;
    interval_ = interval;
    if (!enabled_) return;
    if (interval_ != 0) {
        SwitchOn();
    } else {
        KillSystemTimer();
    }
}

void TMessageTimer::SetOnTimer(TNotifyEvent onTimer) {
    onTimer_ = std::move(onTimer);
    if (!onTimer_ && enabled_) KillSystemTimer();
}

HWND TMessageTimer::SharedWindow() { return TMessageTimerHandler::Window(); }

void TMessageTimer::KillSystemTimer() const { KillTimer(TMessageTimerHandler::Window(), Identifier()); }
