#pragma once

// How the calling thread spends the time a request waits for the router.
class RequestWait {
public:
    enum class Mode {
        // The thread's own message loop is the innermost one: HandleMessages runs each time
        // messages arrive, so that its windows go on answering.
        HandleMessages,
        // Another loop is (a box's, a menu's, a window move): messages sent by other threads
        // are answered, and the request is given up as soon as input, a posted message or a
        // repaint comes, for that loop to handle.
        LeaveMessages,
        // The program is ending: the request is given up at once.
        GiveUp,
    };
    virtual ~RequestWait() = default;
    // Asked before each wait.
    virtual Mode Now() const = 0;
    virtual void HandleMessages() = 0;
};
