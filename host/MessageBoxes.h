#pragma once
#include "MessageIcon.h"
#include <string>

// The program's message boxes: an OK button, a caption, a text and one icon.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // Returns when the user has closed the box.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};
