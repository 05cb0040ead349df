#include "Fault.h"

namespace {

struct KindName {
    const char* name;
    FaultKind kind;
    long defaultArg;
};

constexpr KindName kKinds[] = {
    {"none", FaultKind::None, 0},
    {"delay", FaultKind::Delay, 1000},
    {"silent", FaultKind::Silent, 0},
    {"reset", FaultKind::Reset, 0},
    {"short", FaultKind::Short, 0},
    {"big", FaultKind::Big, 100000},
    {"nul", FaultKind::Nul, 10},
    {"slow", FaultKind::Slow, 16},
    {"chunked", FaultKind::Chunked, 0},
    {"trickle", FaultKind::Trickle, 2000},
    {"trickle-body", FaultKind::TrickleBody, 2000},
    {"redirect", FaultKind::Redirect, 302},
};

// Bounds that keep a typo from tying up the router for hours or eating its memory.
constexpr long kMaxDelayMs = 600000;
constexpr long kMaxBigBytes = 64L * 1024 * 1024;

bool IsRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

std::optional<long> ParseCount(const std::string& text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<Fault> MakeFault(const std::string& name, const std::string& arg) {
    for (const auto& k : kKinds) {
        if (name != k.name) continue;
        Fault fault{k.kind, k.defaultArg};
        if (!arg.empty()) {
            const auto value = ParseCount(arg);
            if (!value) return std::nullopt;
            fault.arg = *value;
        }
        if (fault.kind == FaultKind::Delay && fault.arg > kMaxDelayMs) return std::nullopt;
        if (fault.kind == FaultKind::Big && fault.arg > kMaxBigBytes) return std::nullopt;
        if (fault.kind == FaultKind::Slow && fault.arg < 1) return std::nullopt;
        const bool trickle = fault.kind == FaultKind::Trickle || fault.kind == FaultKind::TrickleBody;
        if (trickle && (fault.arg < 1 || fault.arg > kMaxDelayMs)) return std::nullopt;
        if (fault.kind == FaultKind::Redirect && !IsRedirectStatus(fault.arg)) return std::nullopt;
        return fault;
    }
    return std::nullopt;
}

std::optional<Fault> ParseFault(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return MakeFault(text, "");
    const std::string arg = text.substr(colon + 1);
    if (arg.empty()) return std::nullopt;
    return MakeFault(text.substr(0, colon), arg);
}
