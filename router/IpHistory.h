#pragma once
#include "IpChangeWatch.h"
#include "RouterWay.h"

#include <cstddef>
#include <string>
#include <string_view>

// ip-history.csv: one line for each change of the public address the program made, in the
// folder setup.ini lives in. UTF-8 with a byte order mark and CR LF line ends, so that
// Notepad and Excel open it as it is.

inline constexpr char kIpHistoryFileName[] = "ip-history.csv";
inline constexpr std::size_t kMaxIpHistoryLines = 10000;

struct ChangeRecord {
    double when = 0;                 // local time as a day count, when the change was asked for
    RouterWay way = RouterWay::Web;  // Web or Upnp: the way the change went
    ChangeResult result;
};

// The column titles and one record of the file, each a UTF-8 line ending in CR LF (the file's
// byte order mark is the writer's).
std::string IpHistoryHeader();
std::string IpHistoryLine(const ChangeRecord& record);
