// The integer rules of typed and stored numbers (ParseInteger, TrimBlanks, IntervalMinutes,
// DecimalText, ZeroPadded) against the reference model, on the input as text.

#include "FuzzChecks.h"
#include "IntegerText.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::optional<std::int32_t> parsed = ParseInteger(text);
    FUZZ_CHECK(parsed == ReferenceInteger(text));

    const std::string trimmed = TrimBlanks(text);
    FUZZ_CHECK(trimmed == ReferenceTrim(text));
    FUZZ_CHECK(IntervalMinutes(text) == ReferenceInteger(trimmed).value_or(1));

    if (parsed) {
        // Whatever was read is written back in both notations and read again as itself.
        FUZZ_CHECK(DecimalText(*parsed) == std::to_string(*parsed));
        FUZZ_CHECK(ParseInteger(DecimalText(*parsed)) == parsed);
        const int width = static_cast<int>(static_cast<std::uint32_t>(*parsed) % 13);
        char padded[24];
        std::snprintf(padded, sizeof padded, "%0*u", width, static_cast<unsigned>(*parsed));
        FUZZ_CHECK(ZeroPadded(static_cast<std::uint32_t>(*parsed), width) == padded);
        char hex[16];
        std::snprintf(hex, sizeof hex, "$%X", static_cast<unsigned>(static_cast<std::uint32_t>(*parsed)));
        FUZZ_CHECK(ParseInteger(hex) == parsed);
    }
    return 0;
}
