#pragma once
#include "MessageBoxes.h"

#include <string>
#include <vector>

// Message boxes as a record of what would have been shown.
struct RecordedBoxes : MessageBoxes {
    struct Box {
        std::string text, caption;
        MessageIcon icon;
    };
    std::vector<Box> boxes;

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        boxes.push_back({text, caption, icon});
    }
};
