#include "DialupWay.h"

#include "DayTime.h"
#include "DialupRules.h"
#include "RouterControl.h"
#include "RouterTexts.h"

#include "Concat.h"
#include "CountedScope.h"

namespace {

const char kNoRemoteAccess[] = "本机没有 Windows 拨号网络（远程访问）组件，无法通过本机拨号连接。";
const char kDialNeverEnded[] = "拨号 40 秒仍未完成，已挂断。";
const char kRedialFailedTitle[] = "重新拨号失败";

}  // namespace

// The entry setup.ini names, else the one online, else the only one. When none can be chosen
// the user is told which there are, once a run unless asked again.
bool DialupWay::ChooseEntry(bool tell) {
    if (!entry_.empty()) return true;
    std::string problem = kNoRemoteAccess;
    if (line_ && line_->Available()) {
        DialEntryChoice choice =
            ChooseDialEntry(control_.view_.DialEntryName(), line_->Connected(), line_->Entries());
        entry_ = std::move(choice.entry);
        problem = std::move(choice.problem);
    }
    if (entry_.empty() && tell) control_.Tell(problem.c_str(), kNoticeCaption, MessageIcon::Warning);
    return !entry_.empty();
}

bool DialupWay::Online() {
    if (!line_ || !line_->Available() || line_->Connected().empty()) return false;
    return ChooseEntry(false);
}

void DialupWay::Login() {
    if (ChooseEntry(true)) ShowLoggedIn(true);
}

void DialupWay::ShowLoggedIn(bool byLogin) {
    RouterView& view = control_.view_;
    control_.loggedIn_ = true;
    if (byLogin) {
        view.SetPollTimerEnabled(true);
        view.SetCredentialsEnabled(false);
    }
    view.SetLoginButtonEnabled(false);
    view.SetLoginButtonCaption(kLoggedInCaption);
    shown_ = true;
    control_.ShowStrip();
}

std::string DialupWay::WayLine() const {
    return shown_ ? Concat({"通过本机拨号连接（", entry_, "）"}) : std::string();
}

StatusRead DialupWay::ReadStatus() {
    StatusRead read;
    if (!control_.view_.AutoLogin() && !control_.loggedIn_) return read;
    if (!ChooseEntry(!problemTold_)) {
        problemTold_ = true;
        return read;
    }
    if (!shown_) ShowLoggedIn(false);
    if (dialStartedAt_ && control_.clock_.Milliseconds() - *dialStartedAt_ >= kDialEndsWithin) {
        line_->AbandonDial();
        Failed(kDialNeverEnded);
    }
    const DialStatus status = line_->Status(entry_);
    control_.publicIp_ = status.address;
    control_.onlineTime_ = status.onlineSeconds ? UptimeText(*status.onlineSeconds) : std::string();
    // In WanField's order; a PPP link has no MAC address.
    const std::string none;
    const std::string* const shown[] = {&none,           &status.address, &status.mask,
                                        &status.gateway, &status.dns,     &control_.onlineTime_};
    for (const WanFieldLine& line : kWanFieldLines)
        control_.view_.ShowWanField(line.field, *shown[static_cast<int>(line.field)]);
    read.end = PollEnd::Read;
    read.link = LinkState{status.connected, status.address, status.onlineSeconds};
    return read;
}

CommandAnswer DialupWay::Command(bool disconnect) {
    if (!ChooseEntry(true)) return {};
    return disconnect ? HangUpAndDial(Asker::User) : Dial(Asker::User);
}

CommandAnswer DialupWay::TimedDisconnect() {
    if (!ChooseEntry(false)) return {CommandTaken::No, kNoRemoteAccess};
    return HangUpAndDial(Asker::Timer);
}

// The line is still down a while after the change, and no dial is under way: once more.
void DialupWay::Redial() {
    if (!dialStartedAt_) Dial(Asker::Watch);
}

CommandAnswer DialupWay::HangUpAndDial(Asker asker) {
    dialStartedAt_.reset();
    line_->HangUp(entry_);
    return Dial(asker);
}

CommandAnswer DialupWay::Dial(Asker asker) {
    std::uint32_t error;
    {
        // The polls wait while Windows lets the last connection go: they would see the link
        // going and coming in between.
        const CountedScope underWay(control_.requestsUnderWay_);
        error = line_->Dial(entry_);
    }
    if (control_.view_.Ending()) return {};
    if (error != 0) {
        const std::string why = DialErrorText(error);
        if (asker == Asker::User) control_.Tell(why.c_str(), kNoticeCaption, MessageIcon::Warning);
        return {CommandTaken::No, why};
    }
    dialStartedAt_ = control_.clock_.Milliseconds();
    asker_ = asker;
    return {CommandTaken::Later, {}};
}

void DialupWay::DialProgressed(const DialProgress& progress) {
    if (!progress.ended || !dialStartedAt_) return;
    dialStartedAt_.reset();
    if (progress.error != 0) Failed(DialErrorText(progress.error));
}

void DialupWay::Failed(const std::string& why) {
    dialStartedAt_.reset();
    control_.DialFailed(why, asker_ == Asker::User    ? nullptr
                             : asker_ == Asker::Timer ? kTimedChangeFailedTitle
                                                      : kRedialFailedTitle);
}
