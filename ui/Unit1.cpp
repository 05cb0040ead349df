#include "Unit1.h"

#include "Concat.h"
#include "ControlIds.h"
#include "ResourceIds.h"
#include "Version.h"
#include "WebPages.h"
#include "WinGbkText.h"

#include "AutoRun.h"
#include "Gateway.h"
#include "IpHistoryFile.h"
#include "ModuleFile.h"
#include "Settings.h"
#include "WinIpHistoryFile.h"
#include "WinSettingsFolders.h"
#include "WinSingleInstance.h"

#include <shellapi.h>

#include <utility>

namespace {

const TForm::Layout kLayout = {kMainWindowClass, PELORIN_CAPTION, 488, 250, "宋体", GB2312_CHARSET, 12};

// The window's controls: where each goes at 96 DPI, within its group box for those inside one,
// and the text it first shows.
namespace Form1Layout {
constexpr ControlLayout Label13{ControlId::Label13, {12, 156, 72, 12}, "登录用户名："};
constexpr ControlLayout Label14{ControlId::Label14, {152, 156, 60, 12}, "登录密码："};
constexpr ControlLayout LinkLabel1{ControlId::LinkLabel1, {416, 232, 66, 12}, kCreditText};
constexpr ControlLayout Button1{ControlId::Button1, {216, 180, 57, 25}, "登录"};
constexpr ControlLayout GroupBox1{ControlId::GroupBox1, {8, 8, 281, 129}, "WAN口状态"};
constexpr ControlLayout Label1{ControlId::Label1, {24, 24, 60, 12}, "MAC 地址："};
constexpr ControlLayout Label2{ControlId::Label2, {88, 24, 66, 12}, "00-00-00-00"};
constexpr ControlLayout Label3{ControlId::Label3, {24, 40, 60, 12}, "公网  IP："};
constexpr ControlLayout Label4{ControlId::Label4, {88, 40, 42, 12}, "0.0.0.0"};
constexpr ControlLayout Label5{ControlId::Label5, {24, 56, 60, 12}, "子网掩码："};
constexpr ControlLayout Label6{ControlId::Label6, {88, 56, 42, 12}, "0.0.0.0"};
constexpr ControlLayout Label7{ControlId::Label7, {48, 72, 36, 12}, "网关："};
constexpr ControlLayout Label8{ControlId::Label8, {88, 72, 42, 12}, "0.0.0.0"};
constexpr ControlLayout Label9{ControlId::Label9, {18, 88, 66, 12}, "DNS服务器："};
constexpr ControlLayout Label10{ControlId::Label10, {88, 88, 42, 12}, "0.0.0.0"};
constexpr ControlLayout Label11{ControlId::Label11, {24, 104, 60, 12}, "上网时间："};
constexpr ControlLayout Label12{ControlId::Label12, {88, 104, 6, 12}, "0"};
constexpr ControlLayout Edit1{ControlId::Edit1, {88, 152, 57, 20}, "admin"};
constexpr ControlLayout Edit2{ControlId::Edit2, {216, 152, 57, 20}, "531862"};
constexpr ControlLayout CheckBox2{ControlId::CheckBox2, {136, 184, 73, 17}, "自动登录"};
constexpr ControlLayout GroupBox2{ControlId::GroupBox2, {296, 8, 185, 129}, "设置"};
constexpr ControlLayout Label15{ControlId::Label15, {136, 26, 24, 12}, "分钟"};
constexpr ControlLayout Label16{ControlId::Label16, {16, 100, 36, 12}, "网关："};
constexpr ControlLayout CheckBox3{ControlId::CheckBox3, {16, 24, 81, 17}, "定时更换IP"};
constexpr ControlLayout Edit3{ControlId::Edit3, {96, 23, 33, 20}, "1"};
constexpr ControlLayout CheckBox5{ControlId::CheckBox5, {16, 48, 73, 17}, "开机启动"};
constexpr ControlLayout CheckBox1{ControlId::CheckBox1, {16, 72, 97, 17}, "启动后最小化"};
constexpr ControlLayout Edit4{ControlId::Edit4, {56, 96, 113, 20}, ""};
constexpr ControlLayout Button3{ControlId::Button3, {416, 180, 65, 25}, "退出"};
constexpr ControlLayout Button2{ControlId::Button2, {336, 180, 65, 25}, "保存设置"};
constexpr ControlLayout Button4{ControlId::Button4, {336, 152, 65, 25}, "断线"};
constexpr ControlLayout Button5{ControlId::Button5, {416, 152, 65, 25}, "重连"};
// In the free strip left of the credit link: nothing moves when it shows. Empty, it has no
// width; with more lines it grows upwards, into the free space below the buttons.
constexpr ControlLayout Label17{ControlId::Label17, {12, 232, 0, 12}, ""};
}  // namespace Form1Layout

constexpr UINT kTimer1Interval = 1000;

constexpr char kHistoryRefusedCaption[] = "提示";
constexpr std::size_t kMaxKeptHistoryLines = 100;
constexpr char kHistoryRefusedText[] = "无法写入IP更换记录：";
constexpr char kHistoryRefusedAfterPath[] = "\r\n更换IP不受影响，本次运行不再提示。";

// Edit4 takes backspace, Enter, "." and digits as typed; a paste is not filtered.
constexpr char kBackspace = 8, kEnter = 13;

// Every click handler of the window as one type: a lambda each would bring its own copy of
// std::function's code.
struct Click {
    TForm1* form;
    void (TForm1::*handler)();
    void operator()() const { (form->*handler)(); }
};

}  // namespace

TForm1::TForm1(TApplication& application)
    : TForm(application, kLayout),
      Label13(Handle(), Form1Layout::Label13, Font()),
      Label14(Handle(), Form1Layout::Label14, Font()),
      LinkLabel1(Handle(), Form1Layout::LinkLabel1, Font(), kCreditUrl, application.Handle()),
      Button1(Handle(), Form1Layout::Button1, Font()),
      GroupBox1(Handle(), Form1Layout::GroupBox1, Font()),
      Label1(GroupBox1.Handle(), Form1Layout::Label1, Font()),
      Label2(GroupBox1.Handle(), Form1Layout::Label2, Font()),
      Label3(GroupBox1.Handle(), Form1Layout::Label3, Font()),
      Label4(GroupBox1.Handle(), Form1Layout::Label4, Font()),
      Label5(GroupBox1.Handle(), Form1Layout::Label5, Font()),
      Label6(GroupBox1.Handle(), Form1Layout::Label6, Font()),
      Label7(GroupBox1.Handle(), Form1Layout::Label7, Font()),
      Label8(GroupBox1.Handle(), Form1Layout::Label8, Font()),
      Label9(GroupBox1.Handle(), Form1Layout::Label9, Font()),
      Label10(GroupBox1.Handle(), Form1Layout::Label10, Font()),
      Label11(GroupBox1.Handle(), Form1Layout::Label11, Font()),
      Label12(GroupBox1.Handle(), Form1Layout::Label12, Font()),
      Edit1(Handle(), Form1Layout::Edit1, Font()),
      Edit2(Handle(), Form1Layout::Edit2, Font(), '*'),
      CheckBox2(Handle(), Form1Layout::CheckBox2, Font()),
      GroupBox2(Handle(), Form1Layout::GroupBox2, Font()),
      Label15(GroupBox2.Handle(), Form1Layout::Label15, Font()),
      Label16(GroupBox2.Handle(), Form1Layout::Label16, Font()),
      CheckBox3(GroupBox2.Handle(), Form1Layout::CheckBox3, Font()),
      Edit3(GroupBox2.Handle(), Form1Layout::Edit3, Font()),
      CheckBox5(GroupBox2.Handle(), Form1Layout::CheckBox5, Font()),
      CheckBox1(GroupBox2.Handle(), Form1Layout::CheckBox1, Font()),
      Edit4(GroupBox2.Handle(), Form1Layout::Edit4, Font()),
      Button3(Handle(), Form1Layout::Button3, Font()),
      Button2(Handle(), Form1Layout::Button2, Font()),
      Button4(Handle(), Form1Layout::Button4, Font()),
      Button5(Handle(), Form1Layout::Button5, Font()),
      Label17(Handle(), Form1Layout::Label17, Font()),
      Timer1(Handle(), kTimer1Id, kTimer1Interval),
      PopupMenu1(application, {{MenuCommand::IP1, "更换IP", Click{this, &TForm1::IP1Click}},
                               {MenuCommand::N2, "反馈意见", Click{this, &TForm1::N2Click}},
                               {MenuCommand::N1, "退出", Click{this, &TForm1::N1Click}}}),
      TrayIcon1(application, this),
      modulePath_(ModuleFileName()),
      boxes_(application),
      fetcher_(this),
      upnp_(this),
      dialup_(Handle(), this),
      router_(*this, *this, upnp_, clock_, this, &dialup_),
      settingsFile_(SettingsFileForThisUser(modulePath_)),
      historyPath_(FileBeside(settingsFile_.Path(), kIpHistoryFileName)) {
    Button1.OnClick = Click{this, &TForm1::Button1Click};
    Button2.OnClick = Click{this, &TForm1::Button2Click};
    Button3.OnClick = Click{this, &TForm1::Button3Click};
    Button4.OnClick = Click{this, &TForm1::Button4Click};
    Button5.OnClick = Click{this, &TForm1::Button5Click};
    CheckBox3.OnClick = Click{this, &TForm1::CheckBox3Click};
    CheckBox5.OnClick = Click{this, &TForm1::CheckBox5Click};
    Edit4.OnKeyPress = [this](char key) { return Edit4KeyPress(key); };
    SetActiveControl(Button1.Handle());

    TrayIcon1.SetHint("Pelorin");
    TrayIcon1.SetIcon(SmallIcon());
    TrayIcon1.PopupMenu = &PopupMenu1;
    TrayIcon1.MinimizeToTray = true;
    TrayIcon1.OnDblClick = [this](TTrayIcon&) { TrayIcon1DblClick(); };
    TrayIcon1.AfterLoad();

    // An error here is shown, and the window is made all the same.
    try {
        FormCreate();
    } catch (const std::exception& error) {
        Application().ShowException(error);
    }
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() { LoadSettings(*this, settingsFile_); }

void TForm1::FormShow() { Edit4.SetText(DetectGateway(adapters_, boxes_)); }

void TForm1::DpiChanged() { TrayIcon1.SetIcon(SmallIcon()); }

bool TForm1::FormClose() {
    try {
        Button2Click();
    } catch (const std::exception& error) {
        Application().ShowException(error);
        return false;  // the settings are not saved: the program stays
    }
    if (!unwrittenHistory_.empty()) WriteKeptHistory();  // a last try, told no more
    return true;
}

// A command waits for the router as a box waits for the user: the program is modal meanwhile,
// so no second command starts inside it.
void TForm1::Button1Click() {
    const ModalScope modal(Application());
    router_.Login();
}

void TForm1::Button2Click() { SaveSettings(*this, settingsFile_); }

void TForm1::Button3Click() { Close(); }

void TForm1::Button4Click() {
    const ModalScope modal(Application());
    router_.Disconnect();
}

void TForm1::Button5Click() {
    const ModalScope modal(Application());
    router_.Connect();
}

void TForm1::CheckBox3Click() { router_.TimedChangeSwitched(CheckBox3.Checked()); }

void TForm1::CheckBox5Click() { SetAutoRun(CheckBox5.Checked(), registry_, boxes_, modulePath_); }

bool TForm1::Edit4KeyPress(char key) {
    return key == kBackspace || key == kEnter || key == '.' || (key >= '0' && key <= '9');
}

// A poll writes the login button's caption twice, back to back ("正在登录", then "已登录"):
// the button is drawn once at the end, and only when it then shows something else. A request
// that waits, or a box, shows it as it stands.
void TForm1::Timer1Timer() {
    pollWriting_ = true;
    router_.Tick([this](const std::exception& error) {
        Button1.ReleaseDrawing();
        Application().ShowException(error);
    });
    pollWriting_ = false;
    Button1.ReleaseDrawing();
    TellHistoryRefused();
}

void TForm1::SetStripText(const std::string& text) { Label17.SetText(text); }

// A change goes on whether its line is written or not. The user hears of it once, at the end
// of a tick with no request, box or command under way, so that polling goes on behind the box.
// A line the file refuses (open in Excel, which shares no writing) is kept and written with
// the next, or at the close.
void TForm1::RecordChange(const ChangeRecord& record) {
    KeepUnwritten(unwrittenHistory_, IpHistoryLine(record), kMaxKeptHistoryLines);
    if (WriteKeptHistory()) return;
    if (historyNotice_ == HistoryNotice::None) historyNotice_ = HistoryNotice::Due;
}

bool TForm1::WriteKeptHistory() {
    if (!AppendToHistoryFile(historyPath_, IpHistoryHeader(), unwrittenHistory_, kMaxIpHistoryLines))
        return false;
    unwrittenHistory_.clear();
    return true;
}

void TForm1::TellHistoryRefused() {
    if (historyNotice_ != HistoryNotice::Due || Ending() || Application().InForeignLoop() ||
        Application().Modal() || router_.RequestUnderWay())
        return;
    historyNotice_ = HistoryNotice::Told;
    ShowMessage(Concat({kHistoryRefusedText, historyPath_, kHistoryRefusedAfterPath}), kHistoryRefusedCaption,
                MessageIcon::Warning);
}

void TForm1::SetLoginButtonCaption(const std::string& caption) {
    if (pollWriting_) Button1.HoldDrawing();
    Button1.SetText(caption);
}

PageAnswer TForm1::FetchPage(const PageUrl& url) {
    Button1.ReleaseDrawing();
    // What runs while it waits (a command) is not the poll's writing.
    const bool pollWriting = std::exchange(pollWriting_, false);
    PageAnswer answer = fetcher_.FetchPage(url);
    pollWriting_ = pollWriting;
    return answer;
}

// The tray's menu stays usable while the program is modal; its commands then bring the open
// box to the front, which may be out of sight.
void TForm1::IP1Click() {
    if (Application().Modal()) return Application().BringBoxToFront();
    Button4.Click();
}

void TForm1::N2Click() {
    ShellExecuteW(Handle(), L"open", WideFromGbk(kFeedbackUrl).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TForm1::N1Click() {
    if (Application().Modal()) return Application().BringBoxToFront();
    Close();
}

void TForm1::TrayIcon1DblClick() {
    TrayIcon1.RestoreMainForm();
    // Shown disabled behind the open box, which comes to the front with it.
    if (Application().Modal()) Application().BringBoxToFront();
}

// While a request waits for the router, the window repaints, moves and reacts and the tray
// icon and its menu answer; inside a box's, a menu's or a move's own loop, that loop does it,
// and the request gives way. Once the program is ending it is given up.
RequestWait::Mode TForm1::Now() const {
    if (Application().Terminated()) return Mode::GiveUp;
    return Application().InForeignLoop() ? Mode::LeaveMessages : Mode::HandleMessages;
}

void TForm1::SetCredentialsEnabled(bool enabled) {
    Edit1.SetEnabled(enabled);
    Edit2.SetEnabled(enabled);
}

void TForm1::PostMinimise() { PostMessageA(Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0); }

// RouterView, SettingsView, RequestWait and the fetchers.
std::string TForm1::UserName() const { return Edit1.Text(); }

std::string TForm1::Password() const { return Edit2.Text(); }

std::string TForm1::IntervalText() const { return Edit3.Text(); }

std::string TForm1::RouterAddress() const { return Edit4.Text(); }

bool TForm1::AutoLogin() const { return CheckBox2.Checked(); }

bool TForm1::TimedChange() const { return CheckBox3.Checked(); }

void TForm1::ShowWanField(WanField field, const std::string& text) { WanLabel(field).SetText(text); }

std::string TForm1::LoginButtonCaption() const { return Button1.Text(); }

RouterWay TForm1::PinnedWay() const { return pinnedWay_; }

const std::vector<std::string>& TForm1::EchoServices() const { return echoServices_; }

std::string TForm1::Ipv6Prefix() const { return PcIpv6Prefix(); }

std::string TForm1::DialEntryName() const { return dialEntry_; }

void TForm1::SetLoginButtonEnabled(bool enabled) { Button1.SetEnabled(enabled); }

void TForm1::SetWanCaption(const std::string& caption) { GroupBox1.SetText(caption); }

void TForm1::SetTrayHint(const std::string& hint) { TrayIcon1.SetHint(hint); }

void TForm1::SetPollTimerEnabled(bool enabled) { Timer1.SetEnabled(enabled); }

void TForm1::ShowBalloon(const std::string& title, const std::string& text) {
    TrayIcon1.ShowBalloon(title, text);
}

void TForm1::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    Button1.ReleaseDrawing();
    boxes_.ShowMessage(text, caption, icon);
}

bool TForm1::BoxOpen() const { return Application().BoxOpen(); }

bool TForm1::Ending() const { return Application().Terminated(); }

void TForm1::HandleMessages() { Application().ProcessMessages(); }

PageAnswer TForm1::FetchEcho(const std::string& url) { return FetchPage(EchoPageUrl(url)); }

std::string TForm1::Text(SettingsEdit edit) const { return EditOf(edit).Text(); }

void TForm1::SetText(SettingsEdit edit, const std::string& text) { EditOf(edit).SetText(text); }

bool TForm1::Checked(SettingsCheckBox box) const { return CheckBoxOf(box).Checked(); }

void TForm1::SetChecked(SettingsCheckBox box, bool checked) { CheckBoxOf(box).SetChecked(checked); }

void TForm1::SetPinnedWay(RouterWay way) { pinnedWay_ = way; }

std::string TForm1::EchoSetting() const { return echoSetting_; }

void TForm1::SetEchoSetting(const std::string& value) {
    echoSetting_ = value;
    echoServices_ = EchoServicesOf(value);
}

std::string TForm1::DialEntrySetting() const { return dialEntry_; }

void TForm1::SetDialEntrySetting(const std::string& value) { dialEntry_ = value; }

void TForm1::ReportError(const AppError& error) { Application().ShowException(error); }

TLabel& TForm1::WanLabel(WanField field) {
    switch (field) {
    case WanField::MacAddress: return Label2;
    case WanField::PublicIp: return Label4;
    case WanField::SubnetMask: return Label6;
    case WanField::Gateway: return Label8;
    case WanField::Dns: return Label10;
    case WanField::OnlineTime: break;
    }
    return Label12;
}

const TEdit& TForm1::EditOf(SettingsEdit edit) const {
    switch (edit) {
    case SettingsEdit::Edit1: return Edit1;
    case SettingsEdit::Edit2: return Edit2;
    case SettingsEdit::Edit3: break;
    }
    return Edit3;
}

TEdit& TForm1::EditOf(SettingsEdit edit) { return const_cast<TEdit&>(std::as_const(*this).EditOf(edit)); }

const TCheckBox& TForm1::CheckBoxOf(SettingsCheckBox box) const {
    switch (box) {
    case SettingsCheckBox::CheckBox1: return CheckBox1;
    case SettingsCheckBox::CheckBox2: return CheckBox2;
    case SettingsCheckBox::CheckBox3: return CheckBox3;
    case SettingsCheckBox::CheckBox5: break;
    }
    return CheckBox5;
}

TCheckBox& TForm1::CheckBoxOf(SettingsCheckBox box) {
    return const_cast<TCheckBox&>(std::as_const(*this).CheckBoxOf(box));
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // A second start of the program asks this one to come to the front, from the tray too.
    switch (InstanceRequestOf(message, wParam)) {
    case InstanceRequest::Show: TrayIcon1.RestoreMainForm(); return kRunningAnswer;
    case InstanceRequest::Identify: return kRunningAnswer;
    case InstanceRequest::None: break;
    }
    if (dialup_.IsDialStep(message)) {
        router_.DialProgressed(dialup_.Progressed(wParam, lParam));
        return TRUE;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam == kTimer1Id) {
            if (Timer1.Enabled()) Timer1Timer();
            return 0;
        }
        break;
    case WM_CLOSE:
        if (Application().Terminated()) return 0;  // closed already: the handlers run once
        break;
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP: Application().ForeignLoopEntered(); break;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP: Application().ForeignLoopLeft(); break;
    }
    return TForm::HandleMessage(message, wParam, lParam);
}
