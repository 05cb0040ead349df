#pragma once
#include <windows.h>

// A window timer: WM_TIMER with `id` reaches `window` every `interval` ms while enabled.
class TWindowTimer {
public:
    TWindowTimer(HWND window, UINT_PTR id, UINT interval) : window_(window), id_(id), interval_(interval) {
        SetEnabled(true);
    }
    TWindowTimer(const TWindowTimer&) = delete;
    TWindowTimer& operator=(const TWindowTimer&) = delete;
    ~TWindowTimer() { KillTimer(window_, id_); }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) {
        if (enabled) {
            enabled_ = SetTimer(window_, id_, interval_, nullptr) != 0;
        } else {
            enabled_ = false;
            KillTimer(window_, id_);
        }
    }

private:
    HWND window_;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};
