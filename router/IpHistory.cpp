#include "IpHistory.h"

#include "DayTime.h"
#include "IntegerText.h"

namespace {

// The file is UTF-8 while the program's own texts are GBK: its words are written here as
// UTF-8 whatever the compiler makes of the rest.
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

const char8_t* OutcomeText(ChangeOutcome outcome) {
    switch (outcome) {
    case ChangeOutcome::NewAddress: return u8"已更换";
    case ChangeOutcome::SameAddress: return u8"地址未变";
    case ChangeOutcome::NotDialled: break;
    }
    return u8"未重新拨号";
}

// An address as the router gave it, made a safe CSV field: anything but printable ASCII (the
// pages' text is GBK) becomes "?", and a field with a comma or a quote is quoted.
std::string CsvField(const std::string& text) {
    std::string field;
    bool quoted = false;
    for (const char c : text) {
        const bool printable = c >= ' ' && c <= '~';
        if (c == ',' || c == '"') quoted = true;
        field += printable ? c : '?';
        if (c == '"') field += '"';
    }
    return quoted ? '"' + field + '"' : field;
}

}  // namespace

std::string IpHistoryHeader() { return Utf8(u8"时间,方式,原地址,新地址,用时(秒),结果\r\n"); }

std::string IpHistoryLine(const ChangeRecord& record) {
    const LocalTime time = LocalTimeOf(record.when);
    const auto two = [](int value) { return ZeroPadded(static_cast<std::uint32_t>(value), 2); };
    const std::string stamp = ZeroPadded(static_cast<std::uint32_t>(time.year), 4) + '-' + two(time.month) +
                              '-' + two(time.day) + ' ' + two(time.hour) + ':' + two(time.minute) + ':' +
                              two(time.second);
    const ChangeResult& result = record.result;
    const std::string seconds = std::to_string((result.milliseconds + 500) / 1000);  // as the balloon says
    return stamp + ',' + (record.way == RouterWay::Upnp ? "UPnP" : Utf8(u8"网页")) + ',' +
           CsvField(result.oldAddress) + ',' + CsvField(result.newAddress) + ',' + seconds + ',' +
           Utf8(OutcomeText(result.outcome)) + "\r\n";
}
