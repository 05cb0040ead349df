#pragma once
#include "PageUrl.h"
#include <string>

// What one request to the router brought back. A router that is unreachable, refuses the
// connection, resets it or stays silent until the time-out has not answered at all; any
// HTTP answer has, whatever its status.
struct PageAnswer {
    bool answered = false;  // an HTTP answer arrived, whatever its status
    int status = 0;         // its HTTP status; 0 without an answer
    std::string text;       // the page text of its body (empty body: empty text)
    // Given up before the router answered, for the program's sake (it is ending, or a window
    // needed the thread): the router's silence is not what this tells.
    bool givenUp = false;
};

// The one way the program talks to the router: one HTTP GET, its answer back.
class PageFetcher {
public:
    virtual ~PageFetcher() = default;
    virtual PageAnswer FetchPage(const PageUrl& url) = 0;
};
