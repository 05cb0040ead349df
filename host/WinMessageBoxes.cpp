#include "WinMessageBoxes.h"

#include "WinGbkText.h"

void WinMessageBoxes::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    MessageBoxW(owner_, WideFromGbk(text).c_str(), WideFromGbk(caption).c_str(),
                MB_OK | static_cast<UINT>(icon));
}
