#pragma once
// The router's pages, as GBK text with CR LF line ends (the literals in RouterPages.cpp are
// turned into GBK by the compiler's execution character set).
#include "RouterState.h"

#include <cstddef>
#include <string>

std::string LoginPage();
// The WAN status page; lines 36, 37, 39, 42, 46 and 47 hold the WAN fields.
std::string StatusPage(const WanView& wan, const std::string& routerAddress);
// The answer to a refused login; carries the "login failed" text the program looks for.
std::string RefusedPage();
// The refusal of a router that says no more than its status: no marker in it.
std::string PlainRefusedPage();
std::string NotFoundPage();
// The body of a redirect: a link to where the page has moved.
std::string MovedPage(const std::string& location);
// What a request meant for another host gets: nothing that looks like the router.
std::string ForeignPage();
// Exactly size bytes of printable text in CR LF lines.
std::string FillerBody(std::size_t size);

// "D day(s) HH:MM:SS"
std::string OnlineTimeText(long seconds);
