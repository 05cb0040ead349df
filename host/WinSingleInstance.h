#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

// One Pelorin per user session. The first start holds a named mutex for its whole life; a
// later start finds the first one's main window, asks it to come to the front and ends
// before it reads the settings, the registry or the router.

// True for the first start in this session. A mutex that cannot be had at all (another
// user's program in the same session) does not stop this start.
class SingleInstance {
public:
    SingleInstance();
    bool First() const { return first_; }

private:
    struct HandleCloser {
        void operator()(HANDLE handle) const { CloseHandle(handle); }
    };
    std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser> mutex_;
    bool first_ = true;
};

// A later start's request, as the running program's main window receives it.
enum class InstanceRequest { None, Identify, Show };
InstanceRequest InstanceRequestOf(UINT message, WPARAM wParam);

// The running program answers Identify and Show with this; any other window gives 0.
inline constexpr LRESULT kRunningAnswer = 0x50454C;

// Asks the running program, whose main window is of the class `windowClass`, to come to the
// front. Waits up to `waitMs` for the window while that program is still starting; false
// when no window answered.
bool ShowRunningInstance(const char* windowClass, DWORD waitMs);
