#pragma once
#include "PageFetcher.h"
#include "RouterAccess.h"

#include <string>

class RouterControl;

// The router family's own web pages: a login with the user's credentials, the status page
// read each second (with a login of its own when the router refuses it), and the pages that
// drop and dial the WAN link. Where the pages are missing the automatic way may find a UPnP
// gateway instead.
class PagesWay : public RouterAccess {
public:
    explicit PagesWay(RouterControl& control) : control_(control) {}

    RouterWay Kind() const override { return RouterWay::Web; }
    void Login() override;
    StatusRead ReadStatus() override;
    CommandAnswer Command(bool disconnect) override;
    CommandAnswer TimedDisconnect() override;

private:
    static CommandAnswer Taken(const PageAnswer& answer);
    enum class LoginEnd { LoggedIn, Refused, NoAnswer };
    LoginEnd LogIn(bool byPoll);
    void LoginByPoll();
    void ReadStatusInto(const std::string& page);

    RouterControl& control_;
};
