#pragma once
// The program's message boxes: #32770 dialogs of its process, the text in the static
// control with id 0xFFFF, closed with a click on their OK button.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct SeenBox {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    ULONGLONG seenAtMs = 0;  // GetTickCount64 when it was found
};

// The visible message boxes of the process.
std::vector<HWND> OpenBoxes(DWORD processId);
SeenBox ReadBox(HWND box);
// The first visible box of the process within `ms`.
std::optional<SeenBox> WaitForBox(DWORD processId, DWORD ms);
// Clicks OK and waits until the box is gone.
bool CloseBox(HWND box, DWORD ms = 3000);
// Closes every open box of the process; returns how many there were.
int CloseAllBoxes(DWORD processId);
