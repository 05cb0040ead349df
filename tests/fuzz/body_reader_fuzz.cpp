// The body read loop with a source the fuzzer drives: pieces of any size and content, a
// failed read (whatever it wrote into the buffer), the end, a source that
// claims more than it was asked for. The page text is what the source handed out until it
// stopped, cut at the first NUL and at the buffer's size.
//
// Input (FuzzedDataProvider): whether the buffer is the page buffer or a small one, then one
// step per read: the end, or a piece of some length filled with a repeated pattern, handed
// out by a read that succeeds or fails.

#include "BodyReader.h"
#include "FuzzChecks.h"
#include "PageText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// The pattern repeated over `length` bytes; copies that double keep long pieces cheap.
void Fill(char* buffer, std::size_t length, const std::string& pattern) {
    std::size_t filled = std::min(length, pattern.size());
    std::memcpy(buffer, pattern.data(), filled);
    while (filled < length) {
        const std::size_t more = std::min(filled, length - filled);
        std::memcpy(buffer + filled, buffer, more);
        filled += more;
    }
}

class ScriptedSource : public ByteSource {
public:
    ScriptedSource(FuzzedDataProvider& input, std::size_t capacity) : input_(input), capacity_(capacity) {}

    bool Read(char* buffer, std::size_t size, std::size_t& got) override {
        FUZZ_CHECK(!stopped);                              // no read after the end or a failure
        FUZZ_CHECK(size > 0);                              // a full buffer ends the loop
        FUZZ_CHECK(size == capacity_ - handedOut.size());  // always the whole room left
        if (input_.remaining_bytes() == 0) return End(got);
        const int step = input_.ConsumeIntegralInRange<int>(0, 7);
        if (step == 0) return End(got);
        // A piece; a failed read may have written bytes into the buffer, but they did not
        // arrive: what it says it got is not part of the body.
        const bool fails = step == 1;
        const bool claimsMore = !fails && input_.ConsumeIntegralInRange<int>(0, 15) == 0;
        const std::string pattern = input_.ConsumeRandomLengthString(16);
        const std::size_t length = std::min(size, input_.ConsumeIntegralInRange<std::size_t>(0, 40000));
        Fill(buffer, length, pattern.empty() ? "x" : pattern);
        if (!fails) handedOut.append(buffer, length);
        got = length;
        // Claiming more than was asked for: only what fits the buffer can have arrived.
        if (claimsMore && length == size) got += 1 + input_.ConsumeIntegral<std::uint16_t>();
        if (fails || length == 0) stopped = true;
        return !fails;
    }

    std::string handedOut;
    bool stopped = false;

private:
    bool End(std::size_t& got) {
        stopped = true;
        got = 0;
        return true;
    }

    FuzzedDataProvider& input_;
    std::size_t capacity_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool pageBuffer = input.ConsumeBool();
    const std::size_t capacity =
        pageBuffer ? kPageBufferSize : input.ConsumeIntegralInRange<std::size_t>(1, 300);

    ScriptedSource source(input, capacity);
    const std::string body = pageBuffer ? ReadBody(source) : ReadBody(source, capacity);

    FUZZ_CHECK(body.size() <= kPageBufferSize && body.size() <= capacity);
    FUZZ_CHECK(body.find('\0') == std::string::npos);
    // The loop stops at the end, at a failure, or with the buffer full.
    FUZZ_CHECK(source.stopped || source.handedOut.size() == capacity);
    const std::string expected = source.handedOut.substr(0, source.handedOut.find('\0'));
    FUZZ_CHECK(body == expected);
    return 0;
}
