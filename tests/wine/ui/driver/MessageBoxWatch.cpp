#include "MessageBoxWatch.h"

#include "WindowAccess.h"

namespace {

constexpr char kDialogClass[] = "#32770";
constexpr int kBoxTextId = 0xFFFF;

struct BoxSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && ClassName(window) == kDialogClass) {
        search->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> OpenBoxes(DWORD processId) {
    BoxSearch search{processId, {}};
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

SeenBox ReadBox(HWND box) {
    SeenBox seen;
    seen.window = box;
    seen.owner = GetWindow(box, GW_OWNER);
    seen.caption = Text(box);
    if (HWND text = GetDlgItem(box, kBoxTextId)) seen.text = Text(text);
    seen.seenAtMs = GetTickCount64();
    return seen;
}

std::optional<SeenBox> WaitForBox(DWORD processId, DWORD ms) {
    HWND box = nullptr;
    if (!WaitUntil(
            [&] {
                const std::vector<HWND> boxes = OpenBoxes(processId);
                box = boxes.empty() ? nullptr : boxes.front();
                return box && Responsive(box);
            },
            ms, 20)) {
        return std::nullopt;
    }
    return ReadBox(box);
}

bool CloseBox(HWND box, DWORD ms) {
    HWND ok = GetDlgItem(box, IDOK);
    if (!ok) ok = FindWindowExA(box, nullptr, "Button", nullptr);
    if (!ok) return false;
    Click(ok);
    return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, ms);
}

int CloseAllBoxes(DWORD processId) {
    int closed = 0;
    for (std::vector<HWND> boxes; !(boxes = OpenBoxes(processId)).empty() && closed < 20;) {
        CloseBox(boxes.front());
        ++closed;
    }
    return closed;
}
