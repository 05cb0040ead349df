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
    // Button4 and Button5: true when the router took the command; otherwise the way has told
    // the user why, or had nothing to tell.
    virtual bool Command(bool disconnect) = 0;
    // The timed change's disconnect, unattended, never a box: true when the router took it.
    virtual bool TimedDisconnect() = 0;
    // The link is still down a while after a change: ask the router to dial, once, no box.
    virtual void Redial() {}
};
