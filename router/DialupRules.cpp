#include "DialupRules.h"

#include "Concat.h"
#include "GbkText.h"
#include "IntegerText.h"

namespace {

std::string Listed(const std::vector<std::string>& entries) {
    std::string list;
    for (const std::string& entry : entries) {
        if (!list.empty()) list += "、";
        list += entry;
    }
    return list;
}

struct DialError {
    std::uint32_t codes[2];
    const char* meaning;
};

// Remote Access's codes for what goes wrong when a PPPoE link is dialled.
const DialError kDialErrors[] = {
    {{691, 691}, "运营商拒绝了用户名或密码"},
    {{678, 815}, "运营商没有应答，请检查网线和光猫"},
    {{651, 797}, "调制解调器或网卡出错，请检查设备和网线"},
    {{623, 623}, "找不到这个拨号连接"},
    {{628, 629}, "连接被对方断开"},
    {{718, 734}, "与运营商协商连接失败"},
};

}  // namespace

DialEntryChoice ChooseDialEntry(const std::string& named, const std::vector<std::string>& connected,
                                const std::vector<std::string>& entries) {
    if (!named.empty()) {
        for (const std::string& entry : entries)
            if (SameGbkTextIgnoringCase(entry, named)) return {entry, {}};
        return {{},
                Concat({"找不到拨号连接“", named, "”。本机的拨号连接：",
                        entries.empty() ? "无" : Listed(entries), "。"})};
    }
    if (!connected.empty()) return {connected.front(), {}};
    if (entries.size() == 1) return {entries.front(), {}};
    if (entries.empty()) return {{}, "本机没有拨号连接。"};
    return {{},
            Concat({"本机有多个拨号连接：", Listed(entries),
                    "。请在 setup.ini 中用 dialup=名称 指定要拨的一个。"})};
}

std::string DialErrorText(std::uint32_t error) {
    const std::string number = DecimalText(static_cast<std::int32_t>(error));
    for (const DialError& known : kDialErrors) {
        if (error == known.codes[0] || error == known.codes[1])
            return Concat({"拨号失败（错误 ", number, "）：", known.meaning, "。"});
    }
    return Concat({"拨号失败（错误 ", number, "）。"});
}
