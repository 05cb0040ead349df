#pragma once
#include "IpChangeWatch.h"
#include "RouterWay.h"

#include <string>

// How one poll by a way ended. `Read`: the status was read and shown, `link` holds what the
// poll saw. `Silent`: the router did not answer. `Quiet`: nothing to tell (no poll was due,
// a command ran meanwhile, the request was given up, a login took over). `WayChosen`: the
// way found another way to the router instead, which the same poll asks at once.
enum class PollEnd { Read, Silent, Quiet, WayChosen };

struct StatusRead {
    PollEnd end = PollEnd::Quiet;
    LinkState link;
};

// How the router took a disconnect or a connect. `Unclear`: a disconnect the router may well
// be carrying out though its answer says otherwise (a teardown in progress, an error without
// detail, no answer in time); the link tells how it went. `Later`: under way, and told when it
// ends, not now (the PC's own dial). `why` (GBK) says what the router answered, when it did not
// simply take the command.
enum class CommandTaken { No, Yes, Unclear, Later };

struct CommandAnswer {
    CommandTaken taken = CommandTaken::No;
    std::string why;
};

// One way to the router: the router family's pages, or a UPnP gateway. RouterControl keeps
// what every way shares (the outage notice, the captions and the tray tip, the change watch,
// the timed change, the automatic choice) and asks the way in use for the rest.
class RouterAccess {
public:
    virtual ~RouterAccess() = default;

    virtual RouterWay Kind() const = 0;  // as the history names it
    // Button1: reach the router (with the credentials where the way takes them).
    virtual void Login() = 0;
    // One poll: the status read and its fields shown, as many as the way can give.
    virtual StatusRead ReadStatus() = 0;
    // Button4 and Button5. When the router did not take it, the way has told the user why, or
    // had nothing to tell.
    virtual CommandAnswer Command(bool disconnect) = 0;
    // The timed change's disconnect, unattended, never a box.
    virtual CommandAnswer TimedDisconnect() = 0;
    // The first line of the window's bottom strip while this way is in use: how the router is
    // reached, when it is not by its pages.
    virtual std::string WayLine() const { return {}; }
    // The link is still down a while after a change: ask the router to dial, once, no box.
    virtual void Redial() {}
};
