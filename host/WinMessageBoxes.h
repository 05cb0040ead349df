#pragma once
#include "MessageBoxes.h"

#include <windows.h>

// Message boxes through MessageBoxA, owned by the given window.
class WinMessageBoxes : public MessageBoxes {
public:
    explicit WinMessageBoxes(HWND owner) : owner_(owner) {}

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;

private:
    HWND owner_;
};
