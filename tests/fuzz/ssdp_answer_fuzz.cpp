// SSDP answers and the change watch. An answer taken has a location that splits as an
// http:// URL into a host and a path from "/", names a gateway, and is the one chosen when it alone answered.
// Observations fed to a watch, drawn from the input, give at most one outcome, never after
// the watch gave up at 60 s, and a new address only when one was seen. An echo service's
// answer gives an address that reads back as itself, found in the first 512 bytes.

#include "EchoAnswer.h"
#include "FuzzChecks.h"
#include "IpChangeWatch.h"
#include "UpnpMessages.h"
#include "WanAddress.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto echoed = EchoedAddress(text)) {
        const auto address = ParseIpv4(*echoed);
        FUZZ_CHECK(address && Ipv4Text(*address) == *echoed);
        FUZZ_CHECK(EchoedAddress(text.substr(0, 512)) == echoed);
    }
    if (const auto answer = ReadSsdpAnswer(text)) {
        const auto url = SplitHttpUrl(answer->location);
        FUZZ_CHECK(url && !url->host.empty() && url->path.compare(0, 1, "/") == 0);
        bool named = false;
        for (std::string_view target : kSsdpSearchTargets)
            named = named || answer->searchTarget == target || answer->usn.find(target) != std::string::npos;
        FUZZ_CHECK(named);
        FUZZ_CHECK(ChooseDescription({*answer, *answer}, "192.0.2.1") == answer->location);
        const SsdpAnswer other{"http://10.9.9.9/x", "", "", "10.9.9.9"};
        FUZZ_CHECK(ChooseDescription({*answer, other}, url->host) == answer->location);
    }

    IpChangeWatch watch;
    watch.Start("1.1.1.1", 0, 30);
    std::uint64_t now = 0;
    int outcomes = 0;
    bool sawDown = false;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint8_t step = data[i], what = data[i + 1];
        now += std::uint64_t{step} * 100;
        std::optional<LinkState> link;
        if (what % 4 != 0) link = LinkState{what % 4 != 1, what % 4 == 3 ? "2.2.2.2" : "1.1.1.1", what / 4u};
        sawDown = sawDown || (link && !link->connected);
        const auto result = watch.Observe(link, now);
        if (!result) continue;
        ++outcomes;
        // A link seen down dropped, whatever else it did.
        FUZZ_CHECK(!(sawDown && result->outcome == ChangeOutcome::NotDropped));
        FUZZ_CHECK(now <= IpChangeWatch::kGiveUpAfter + 25500);
        FUZZ_CHECK((result->outcome == ChangeOutcome::NewAddress) == (result->newAddress == "2.2.2.2"));
        FUZZ_CHECK(result->milliseconds == now);
    }
    FUZZ_CHECK(outcomes <= 1);
    FUZZ_CHECK(outcomes == 1 || now < IpChangeWatch::kGiveUpAfter);
    return 0;
}
