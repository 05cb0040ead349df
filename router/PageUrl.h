#pragma once
#include <string>

// One router request. The parts are kept apart so that credentials reach the HTTP layer
// exactly as typed, whatever characters they hold; Text() is the URL as it is shown.
struct PageUrl {
    std::string user;  // empty: the request carries no credentials of its own
    std::string password;
    std::string host;  // the router address as typed (optionally host:port)
    std::string path;  // path and query, starting with "/"
    bool withCredentials = false;

    std::string Text() const {
        std::string text = "http://";
        if (withCredentials) text += user + ":" + password + "@";
        return text + host + path;
    }
};
