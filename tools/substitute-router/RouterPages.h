#pragma once
// The router's pages, as GBK text with CR LF line ends (the literals in RouterPages.cpp are
// turned into GBK by the compiler's execution character set).
#include "RouterState.h"

#include <cstddef>
#include <string>

std::string loginPage();
// The WAN status page; lines 36, 37, 39, 42, 46 and 47 hold the WAN fields.
std::string statusPage(const WanView& wan, const std::string& routerAddress);
// The answer to a refused login; carries the "login failed" text the program looks for.
std::string refusedPage();
std::string notFoundPage();
// What a request meant for another host gets: nothing that looks like the router.
std::string foreignPage();
// Exactly size bytes of printable text in CR LF lines.
std::string fillerBody(std::size_t size);

// "D day(s) HH:MM:SS"
std::string onlineTimeText(long seconds);
