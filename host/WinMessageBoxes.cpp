#include "WinMessageBoxes.h"

void WinMessageBoxes::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    MessageBoxA(owner_, text.c_str(), caption.c_str(), MB_OK | static_cast<UINT>(icon));
}
