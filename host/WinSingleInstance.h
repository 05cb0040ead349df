#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

// One Pelorin per user session: the first start owns a named mutex for its whole life. A
// later start finds the first one's main window, asks it to come to the front and ends
// before it reads the settings, the registry or the router.

// Session-local: another user's session has its own Pelorin.
inline constexpr char kSingleInstanceMutexName[] = "Local\\Pelorin.{5B0C8E3A-7D14-4F2B-9A61-2E8D3C7B4F90}";

class SingleInstance {
public:
    // Takes the mutex. When another start owns it, asks that one's main window (of the class
    // `windowClass`) to come to the front, waiting up to `waitMs` for it while that program
    // starts; when that program ends meanwhile, this start takes the mutex after all.
    SingleInstance(const char* windowClass, DWORD waitMs);

    // This start is the one to run. A mutex that cannot be had at all (another user's
    // program in this session) does not stop it.
    bool First() const { return first_; }

private:
    struct MutexReleaser {
        void operator()(HANDLE mutex) const {
            ReleaseMutex(mutex);  // refused when this start never owned it
            CloseHandle(mutex);
        }
    };
    std::unique_ptr<std::remove_pointer_t<HANDLE>, MutexReleaser> mutex_;
    bool first_ = true;
};

// A later start's request, as the running program's main window receives it.
enum class InstanceRequest { None, Identify, Show };
InstanceRequest InstanceRequestOf(UINT message, WPARAM wParam);

// The running program answers Identify and Show with this; any other window gives 0.
inline constexpr LRESULT kRunningAnswer = 0x50454C;
