#include "OutsideCheck.h"

#include "GbkText.h"

#include <string_view>

std::vector<std::string> EchoServicesOf(const std::string& value) {
    std::vector<std::string> services;
    std::string_view rest = value;
    if (SameGbkTextIgnoringCase(rest, "off")) return services;
    while (!rest.empty()) {
        const std::size_t start = rest.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        const std::string_view word = rest.substr(0, rest.find_first_of(" \t"));
        const bool url = word.size() > 7 && SameGbkTextIgnoringCase(word.substr(0, 7), "http://");
        if (url && services.size() < kMaxEchoServices) services.push_back(std::string(word));
        rest.remove_prefix(word.size());
    }
    if (services.empty()) {
        for (const char* service : kDefaultEchoServices) services.push_back(service);
    }
    return services;
}

PageUrl EchoPageUrl(const std::string& service) {
    constexpr std::size_t kAfterScheme = 7;  // "http://"
    const std::size_t slash = service.find('/', kAfterScheme);
    PageUrl url;
    url.host = service.substr(kAfterScheme, slash - kAfterScheme);
    url.path = slash == std::string::npos ? "/" : service.substr(slash);
    return url;
}

bool OutsideCheck::Due(std::uint64_t now, bool changing) const {
    if (!last_) return true;
    const std::uint64_t since = now - *last_;
    if (changing) return since >= kDuringChange;
    if (since < kAtMostEvery) return false;
    return soon_ || since >= kEvery;
}

void OutsideCheck::Began(std::uint64_t now) {
    last_ = now;
    soon_ = false;
}

bool OutsideCheck::Resting(std::size_t service, std::uint64_t now) const {
    return service < kMaxEchoServices && now < restingUntil_[service];
}

void OutsideCheck::Failed(std::size_t service, std::uint64_t now) {
    if (service < kMaxEchoServices) restingUntil_[service] = now + kRestAfterFailure;
}
