#include "UpnpWay.h"

#include "DayTime.h"
#include "RouterControl.h"
#include "RouterTexts.h"
#include "UpnpMessages.h"

void UpnpWay::Login() {
    RouterView& view = control_.view_;
    const std::string previousCaption = view.LoginButtonCaption();
    view.SetLoginButtonCaption(kLoginCaption);
    if (FindGateway(true)) {
        ShowLoggedIn(true);
    } else {
        view.SetLoginButtonCaption(previousCaption);
    }
}

void UpnpWay::ShowLoggedIn(bool byLogin) {
    RouterView& view = control_.view_;
    control_.loggedIn_ = true;
    if (byLogin) view.SetPollTimerEnabled(true);
    view.SetLoginButtonEnabled(false);
    view.SetLoginButtonCaption(kLoggedInCaption);
    if (byLogin) view.SetCredentialsEnabled(false);
    view.ShowUpnpMark(true);
}

bool UpnpWay::FindGateway(bool byCommand) {
    control_.lastSearch_ = control_.clock_.Milliseconds();
    const UpnpEnd found = session_.Find(control_.view_.RouterAddress());
    if (found == UpnpEnd::Silent) control_.NoAnswer(!byCommand);
    return found == UpnpEnd::Done;
}

StatusRead UpnpWay::ReadStatus() {
    StatusRead read;
    if (!control_.view_.AutoLogin() && !control_.loggedIn_) return read;
    const unsigned commandsBefore = control_.commandsRun_;
    if (!session_.Found()) {
        const std::optional<std::uint64_t>& lastSearch = control_.lastSearch_;
        if (lastSearch && control_.clock_.Milliseconds() - *lastSearch < RouterControl::kSearchEvery)
            return read;
        const bool found = FindGateway(false);
        if (!found || control_.commandsRun_ != commandsBefore) return read;
        ShowLoggedIn(false);
    }
    UpnpStatus status;
    const UpnpReply reply = session_.Status(status);
    if (control_.commandsRun_ != commandsBefore || reply.end == UpnpEnd::GivenUp) return read;
    if (reply.end != UpnpEnd::Done) {
        read.end = PollEnd::Silent;
        return read;
    }
    control_.publicIp_ = status.address;
    control_.onlineTime_ = status.uptimeSeconds ? UptimeText(*status.uptimeSeconds) : std::string();
    // UPnP tells no MAC, mask, gateway or DNS: those stay empty.
    for (const WanFieldLine& line : kWanFieldLines) {
        const WanField field = line.field;
        control_.view_.ShowWanField(field, field == WanField::PublicIp     ? control_.publicIp_
                                           : field == WanField::OnlineTime ? control_.onlineTime_
                                                                           : std::string());
    }
    read.end = PollEnd::Read;
    read.link = LinkState{UpnpConnected(status.connectionStatus, status.address), status.address,
                          status.uptimeSeconds};
    return read;
}

bool UpnpWay::Command(bool disconnect) {
    if (!session_.Found() && !FindGateway(true)) return false;
    const UpnpReply reply = disconnect ? session_.ForceTermination() : session_.RequestConnection();
    switch (reply.end) {
    case UpnpEnd::GivenUp: return false;
    case UpnpEnd::Silent: control_.ShowNoAnswer(); return false;
    case UpnpEnd::Fault:
        control_.Tell(SoapFaultText(reply.faultCode).c_str(), kNoticeCaption, MessageIcon::Warning);
        return false;
    case UpnpEnd::Done: break;
    }
    return true;
}

bool UpnpWay::TimedDisconnect() { return session_.ForceTermination().end == UpnpEnd::Done; }

// Once, and whatever it answers: no box.
void UpnpWay::Redial() { session_.RequestConnection(); }
