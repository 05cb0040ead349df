// The tray tip cut and the program title on arbitrary GBK bytes.
//
// Input: byte 0 bit 0 says whether the hint is shown; the rest is the hint, and also the
// module path the title is made from.

#include "FuzzChecks.h"
#include "ProgramTitle.h"
#include "TrayTip.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The file name up to its first ".", every single-byte capital after the first character
// made small.
std::string ReferenceTitle(std::string_view modulePath) {
    std::string_view name = modulePath.substr(ReferenceFileNameStart(modulePath));
    name = name.substr(0, name.find('.'));
    std::string title(name);
    const std::vector<bool> starts = GbkCharStarts(title);
    for (std::size_t at = 1; at < title.size(); ++at) {
        if (starts[at] && title[at] >= 'A' && title[at] <= 'Z') title[at] = static_cast<char>(title[at] + 32);
    }
    return title;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool showHint = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    CheckTrayTip(text, showHint, TrayTipText(text, showHint));

    const std::string title = ProgramTitle(text);
    FUZZ_CHECK(title == ReferenceTitle(text));
    FUZZ_CHECK(title.find('.') == std::string::npos);
    const std::vector<bool> starts = GbkCharStarts(title);
    for (std::size_t at = 0; at < title.size(); ++at) FUZZ_CHECK(!(starts[at] && IsPathDelimiter(title[at])));

    // The error box adds a full stop after a last byte that sorts after ".", and only then.
    const std::string box = ErrorBoxText(text);
    const bool stop = !text.empty() && static_cast<unsigned char>(text.back()) > '.';
    FUZZ_CHECK(box == std::string(text) + (stop ? "." : ""));
    return 0;
}
