#include "WinSingleInstance.h"

namespace {

constexpr char kRequestMessageName[] = "Pelorin.{5B0C8E3A-7D14-4F2B-9A61-2E8D3C7B4F90}.Request";

enum : WPARAM { kIdentify = 1, kShow = 2 };

// RegisterWindowMessage numbers run from here to 0xFFFF.
constexpr UINT kFirstRegisteredMessage = 0xC000;

// A program that stops answering for this long is taken for another one.
constexpr UINT kAnswerMs = 5000;
constexpr DWORD kRetryMs = 100;

// The same number for the same name, every time it is asked.
UINT RequestMessage() { return RegisterWindowMessageA(kRequestMessageName); }

struct Search {
    const char* windowClass;
    bool shown;
};

BOOL CALLBACK AskToShow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<Search*>(param);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, search.windowClass) != 0) return TRUE;
    // Other programs' windows may bear the same class name: only ours knows the request.
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, RequestMessage(), kIdentify, 0, SMTO_ABORTIFHUNG, kAnswerMs, &answer) ||
        static_cast<LRESULT>(answer) != kRunningAnswer) {
        return TRUE;
    }
    // This start came from the user, so it may hand the foreground on to the running one.
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    AllowSetForegroundWindow(process);
    search.shown = PostMessageA(window, RequestMessage(), kShow, 0) != FALSE;
    return FALSE;
}

}  // namespace

SingleInstance::SingleInstance(const char* windowClass, DWORD waitMs) {
    const HANDLE mutex = CreateMutexA(nullptr, TRUE, kSingleInstanceMutexName);
    const bool another = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    mutex_.reset(mutex);
    if (!another) return;

    first_ = false;
    Search search{windowClass, false};
    const DWORD start = GetTickCount();
    do {
        EnumWindows(AskToShow, reinterpret_cast<LPARAM>(&search));
        if (search.shown) return;
        const DWORD waited = WaitForSingleObject(mutex, kRetryMs);
        first_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;  // the other one ended
    } while (!first_ && GetTickCount() - start < waitMs);
}

InstanceRequest InstanceRequestOf(UINT message, WPARAM wParam) {
    // Only a registered message can be the request. The lookup asks the window system each
    // time, and the window's every other message, its timer's among them, comes through here.
    if (message < kFirstRegisteredMessage || message != RequestMessage()) return InstanceRequest::None;
    return wParam == kShow ? InstanceRequest::Show : InstanceRequest::Identify;
}
