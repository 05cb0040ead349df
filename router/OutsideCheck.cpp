#include "OutsideCheck.h"

#include "GbkText.h"

#include <iterator>

#include <string_view>

namespace {

bool Url(std::string_view word) {
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (word.size() > scheme.size() && SameGbkTextIgnoringCase(word.substr(0, scheme.size()), scheme))
            return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> EchoServicesOf(const std::optional<std::string>& value) {
    std::vector<std::string> services;
    const std::string text = value.value_or("");
    std::string_view rest = text;
    if (SameGbkTextIgnoringCase(rest, "off")) return services;
    while (!rest.empty()) {
        const std::size_t start = rest.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        const std::string_view word = rest.substr(0, rest.find_first_of(" \t"));
        if (Url(word)) services.emplace_back(word);
        rest.remove_prefix(word.size());
    }
    if (services.empty()) services.assign(std::begin(kDefaultEchoServices), std::end(kDefaultEchoServices));
    return services;
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

std::vector<std::string> OutsideCheck::ToTry(const std::vector<std::string>& services,
                                             std::uint64_t now) const {
    std::vector<std::string> ready;
    for (const std::string& service : services) {
        bool resting = false;
        for (const auto& [name, until] : resting_) resting = resting || (name == service && now < until);
        if (!resting) ready.push_back(service);
    }
    return ready;
}

void OutsideCheck::Failed(const std::string& service, std::uint64_t now) {
    for (auto& [name, until] : resting_) {
        if (name == service) {
            until = now + kRestAfterFailure;
            return;
        }
    }
    resting_.emplace_back(service, now + kRestAfterFailure);
}
