#pragma once
#include "PageUrl.h"
#include <string>

// The one way the program talks to the router: one HTTP GET, the body back as page text.
// Never reports failure: an unreachable router gives the empty text.
class PageFetcher {
public:
    virtual ~PageFetcher() = default;
    virtual std::string FetchPage(const PageUrl& url) = 0;
};
