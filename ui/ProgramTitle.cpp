#include "ProgramTitle.h"

#include "GbkText.h"

std::string ProgramTitle(std::string_view modulePath) {
    std::string title(modulePath.substr(FileNameStart(modulePath)));
    if (const std::size_t dot = title.find('.'); dot != std::string::npos) title.resize(dot);

    // Only single-byte letters have a lower case in GBK; a trail byte may look like a letter.
    for (std::size_t i = GbkCharLength(title, 0); i < title.size(); i += GbkCharLength(title, i)) {
        if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
    }
    return title;
}

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    return text;
}
