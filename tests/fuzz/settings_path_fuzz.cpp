// The settings file's path from an arbitrary GBK module path: the module's directory, cut at
// a real delimiter (never at the second byte of a double-byte character), then "setup.ini".

#include "FuzzChecks.h"
#include "GbkText.h"
#include "Settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view modulePath(reinterpret_cast<const char*>(data), size);
    const std::string path = SettingsFilePath(modulePath);

    const std::string_view fileName = "setup.ini";
    FUZZ_CHECK(path.size() >= fileName.size());
    FUZZ_CHECK(std::string_view(path).substr(path.size() - fileName.size()) == fileName);

    const std::string_view directory = std::string_view(path).substr(0, path.size() - fileName.size());
    FUZZ_CHECK(modulePath.substr(0, directory.size()) == directory);
    FUZZ_CHECK(directory.size() == FileNameStart(modulePath));
    FUZZ_CHECK(directory.size() == ReferenceFileNameStart(modulePath));

    // The directory ends at a delimiter that starts a character, and none follows it.
    const std::vector<bool> starts = GbkCharStarts(modulePath);
    if (!directory.empty()) {
        FUZZ_CHECK(IsPathDelimiter(directory.back()) && starts[directory.size() - 1]);
    }
    for (std::size_t at = directory.size(); at < modulePath.size(); ++at) {
        FUZZ_CHECK(!(starts[at] && IsPathDelimiter(modulePath[at])));
    }
    return 0;
}
