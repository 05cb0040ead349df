#pragma once
#include "AppError.h"
#include "PageFetcher.h"
#include "PageUrl.h"
#include <functional>
#include <string>
#include <vector>

// What the program knows of the router's web pages: the four URLs, how a refusal looks
// and the fixed lines of the WAN status page.

enum class WanField { MacAddress, PublicIp, SubnetMask, Gateway, Dns, OnlineTime };

struct WanFieldLine {
    WanField field;
    int line;  // status page line, from 0
};

// In the order the fields are read and shown.
inline constexpr WanFieldLine kWanFieldLines[] = {
    {WanField::MacAddress, 36}, {WanField::PublicIp, 37}, {WanField::SubnetMask, 39},
    {WanField::Gateway, 42},    {WanField::Dns, 46},      {WanField::OnlineTime, 47},
};

extern const char kLoginFailedMarker[];  // "登录失败"
extern const char kNotConnectedIp[];     // "0.0.0.0"

PageUrl LoginUrl(const std::string& user, const std::string& password, const std::string& router);
PageUrl StatusUrl(const std::string& router);
PageUrl DisconnectUrl(const std::string& router);
PageUrl ConnectUrl(const std::string& router);

// True when the page holds the refusal marker.
bool LoginFailed(const std::string& pageText);

// The router turned the request away: it answered 401, or its page holds the marker
// (whatever the status: the router answers its own refusal page with status 200). A
// request without an answer is no refusal; the callers handle it first.
bool Refused(const PageAnswer& answer);

// The line without its first byte and its last two: "value", gives value.
std::string FieldValue(const std::string& line);

// Every "day(s)" becomes "天".
std::string OnlineTimeText(std::string value);

// A status page that ends before one of the WAN lines.
class ListIndexError : public AppError {
public:
    explicit ListIndexError(int index);
    int index;
};

// Takes the six fields in table order and hands each to `show` before taking the next, so a
// page that ends early leaves the fields before the gap shown; then throws ListIndexError.
void ReadWanStatus(const std::vector<std::string>& lines,
                   const std::function<void(WanField, const std::string&)>& show);

// Connected unless the public IP, as shown, is exactly "0.0.0.0".
bool IsConnected(const std::string& publicIp);
