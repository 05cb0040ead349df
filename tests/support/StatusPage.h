#pragma once
#include <string>
#include <vector>

// A status page in the router's layout: the six WAN fields on lines 36, 37, 39, 42, 46 and
// 47, each written as "value", with other lines around them.
struct WanValues {
    std::string mac = "00-1D-0F-12-34-56";
    std::string ip = "203.0.113.10";
    std::string mask = "255.255.255.0";
    std::string gateway = "203.0.113.1";
    std::string dns = "203.0.113.53 , 198.51.100.53";
    std::string onlineTime = "0 day(s) 00:12:34";
};

inline std::vector<std::string> StatusPageLines(const WanValues& wan = {}, int lineCount = 60) {
    std::vector<std::string> lines;
    for (int i = 0; i < lineCount; ++i) lines.push_back("var line" + std::to_string(i) + " = 0;");
    auto put = [&](int index, const std::string& value) {
        if (index < lineCount) lines[static_cast<std::size_t>(index)] = "\"" + value + "\",";
    };
    put(36, wan.mac);
    put(37, wan.ip);
    put(39, wan.mask);
    put(42, wan.gateway);
    put(46, wan.dns);
    put(47, wan.onlineTime);
    return lines;
}

inline std::string StatusPage(const WanValues& wan = {}, int lineCount = 60) {
    std::string page;
    for (const std::string& line : StatusPageLines(wan, lineCount)) page += line + "\r\n";
    return page;
}
