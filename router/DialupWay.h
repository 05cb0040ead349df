#pragma once
#include "DialupLine.h"
#include "RouterAccess.h"

#include <cstdint>
#include <optional>
#include <string>

class RouterControl;

// The PC's own dial-up connection, where the PC holds the public address itself (a bridged
// modem, a rented dial-up server): its status read from Windows each second, a change made by
// hanging up and dialling the same entry again. No request goes to the network, and the
// user's credentials are not used: the entry's saved ones are.
class DialupWay : public RouterAccess {
public:
    DialupWay(RouterControl& control, DialupLine* line) : control_(control), line_(line) {}

    RouterWay Kind() const override { return RouterWay::Dialup; }
    void Login() override;
    StatusRead ReadStatus() override;
    CommandAnswer Command(bool disconnect) override;
    CommandAnswer TimedDisconnect() override;
    void Redial() override;
    std::string WayLine() const override;

    // The automatic choice: an entry is online with an IPv4 address; it is the one watched.
    bool Online();
    // Windows told how the dial under way goes on.
    void DialProgressed(const DialProgress& progress);

    // Windows' PPPoE dials end, one way or the other, well within this.
    static constexpr std::uint64_t kDialEndsWithin = 40000;

private:
    enum class Asker { User, Timer, Watch };  // whom a dial is for: a box for the user only

    bool ChooseEntry(bool tell);
    void ShowLoggedIn(bool byLogin);
    CommandAnswer HangUpAndDial(Asker asker);
    CommandAnswer Dial(Asker asker);
    void Failed(const std::string& why);

    RouterControl& control_;
    DialupLine* line_;
    std::string entry_;  // the phonebook entry watched and dialled
    bool problemTold_ = false;
    bool shown_ = false;                          // the window says the way is the PC's dial-up
    std::optional<std::uint64_t> dialStartedAt_;  // a dial is under way
    Asker asker_ = Asker::User;
};
