#include "IpHistory.h"

#include "Concat.h"
#include "DayTime.h"
#include "IntegerText.h"

namespace {

// The file is UTF-8 while the program's own texts are GBK: its words are written here as
// UTF-8 whatever the compiler makes of the rest.
const char* Bytes(const char8_t* text) { return reinterpret_cast<const char*>(text); }

const char8_t* OutcomeText(ChangeOutcome outcome) {
    switch (outcome) {
    case ChangeOutcome::NewAddress: return u8"已更换";
    case ChangeOutcome::SameAddress: return u8"地址未变";
    case ChangeOutcome::NotDropped: return u8"没有断线";
    case ChangeOutcome::Refused: return u8"定时更换失败";
    case ChangeOutcome::NotDialled: break;
    }
    return u8"未重新拨号";
}

// An address as the router gave it, made a safe CSV field: anything but printable ASCII (the
// pages' text is GBK) becomes "?", and a field with a comma or a quote is quoted. A field that
// starts as a formula would ("=", "+", "-", "@") gets a "'" before it: the text comes from a
// device on the network, and Excel would otherwise run it when the file is opened.
std::string CsvField(const std::string& text) {
    std::string field;
    const char first = text.empty() ? '\0' : text.front();
    if (first == '=' || first == '+' || first == '-' || first == '@') field = '\'';
    bool quoted = false;
    for (const char c : text) {
        const bool printable = c >= ' ' && c <= '~';
        if (c == ',' || c == '"') quoted = true;
        field += printable ? c : '?';
        if (c == '"') field += '"';
    }
    return quoted ? Concat({"\"", field, "\""}) : field;
}

}  // namespace

// The outside and IPv6 columns came later, at the end, so that older lines and readers that
// know the first six keep working.
std::string IpHistoryHeader() {
    return Bytes(
        u8"时间,方式,原地址,新地址,用时(秒),结果,外部原地址,外部新地址,IPv6前缀(原),IPv6前缀(新)\r\n");
}

std::string IpHistoryLine(const ChangeRecord& record) {
    const LocalTime time = LocalTimeOf(record.when);
    // One line appended to in turn: a chain of '+' makes a temporary string, and code to free
    // it, at every step.
    std::string line = ZeroPadded(static_cast<std::uint32_t>(time.year), 4);
    const int parts[] = {time.month, time.day, time.hour, time.minute, time.second};
    const char separators[] = "-- ::";
    for (int i = 0; i < 5; ++i) {
        line += separators[i];
        line += ZeroPadded(static_cast<std::uint32_t>(parts[i]), 2);
    }
    const ChangeResult& result = record.result;
    line += record.way == RouterWay::Upnp     ? ",UPnP,"
            : record.way == RouterWay::Dialup ? Bytes(u8",拨号,")
                                              : Bytes(u8",网页,");
    line += CsvField(result.oldAddress);
    line += ',';
    line += CsvField(result.newAddress);
    line += ',';
    line += SecondsText(result.milliseconds);  // as the balloon says
    line += ',';
    line += Bytes(OutcomeText(result.outcome));
    for (const std::string* field :
         {&result.outsideOld, &result.outsideNew, &result.prefixOld, &result.prefixNew}) {
        line += ',';
        line += CsvField(*field);
    }
    line += "\r\n";
    return line;
}
