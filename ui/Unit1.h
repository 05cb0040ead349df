#pragma once
#include "Application.h"
#include "Controls.h"
#include "Form.h"
#include "PopupMenu.h"
#include "TrayIcon.h"
#include "WindowTimer.h"

#include "LocalClock.h"
#include "MessageBoxes.h"
#include "RouterControl.h"
#include "RouterView.h"
#include "SettingsView.h"
#include "WinAdapters.h"
#include "WinDialupLine.h"
#include "WinInetFetcher.h"
#include "WinIpv6Prefix.h"
#include "WinProfileFile.h"
#include "WinRegistry.h"
#include "WinUpnpTransport.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Message boxes of the host layer, shown as all of the program's boxes are.
class ApplicationBoxes : public MessageBoxes {
public:
    explicit ApplicationBoxes(TApplication& application) : application_(application) {}
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        application_.ShowMessageBox(text, caption, MB_OK | static_cast<UINT>(icon));
    }

private:
    TApplication& application_;
};

// The main window: the router's WAN status, the settings and the commands. Every behaviour
// is in its event handlers; the router logic and the settings see it through their views.
class TForm1 : public TForm,
               private RouterView,
               private SettingsView,
               private RequestWait,
               private PageFetcher,
               private EchoFetcher {
public:
    explicit TForm1(TApplication& application);
    ~TForm1() override;

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void CheckBox3Click();
    void CheckBox5Click();
    bool Edit4KeyPress(char key);
    void Timer1Timer();
    void IP1Click();
    void N2Click();
    void N1Click();
    void TrayIcon1DblClick();

protected:
    void FormShow() override;
    bool FormClose() override;
    void DpiChanged() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    TLabel& WanLabel(WanField field);

    // Every override is defined in Unit1.cpp: written here, each would be a function in a
    // section of its own in the exe, with unwind information of its own.

    // RouterView
    std::string UserName() const override;
    std::string Password() const override;
    std::string IntervalText() const override;
    std::string RouterAddress() const override;
    bool AutoLogin() const override;
    bool TimedChange() const override;
    void ShowWanField(WanField field, const std::string& text) override;
    std::string LoginButtonCaption() const override;
    RouterWay PinnedWay() const override;  // SettingsView's too
    const std::vector<std::string>& EchoServices() const override;
    std::string Ipv6Prefix() const override;
    std::string DialEntryName() const override;
    void SetLoginButtonCaption(const std::string& caption) override;
    void SetLoginButtonEnabled(bool enabled) override;
    void SetCredentialsEnabled(bool enabled) override;
    void SetWanCaption(const std::string& caption) override;
    void SetTrayHint(const std::string& hint) override;
    void SetPollTimerEnabled(bool enabled) override;
    void SetStripText(const std::string& text) override;
    void ShowBalloon(const std::string& title, const std::string& text) override;
    void RecordChange(const ChangeRecord& record) override;
    void TellHistoryRefused();
    bool WriteKeptHistory();  // true when the kept records are in the file
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    bool BoxOpen() const override;
    bool Ending() const override;

    // RequestWait
    Mode Now() const override;
    void HandleMessages() override;

    // PageFetcher and EchoFetcher: the router's requests and the outside check's, through
    // fetcher_.
    PageAnswer FetchPage(const PageUrl& url) override;
    PageAnswer FetchEcho(const std::string& url) override;

    // SettingsView
    TEdit& EditOf(SettingsEdit edit);
    const TEdit& EditOf(SettingsEdit edit) const;
    TCheckBox& CheckBoxOf(SettingsCheckBox box);
    const TCheckBox& CheckBoxOf(SettingsCheckBox box) const;
    std::string Text(SettingsEdit edit) const override;
    void SetText(SettingsEdit edit, const std::string& text) override;
    bool Checked(SettingsCheckBox box) const override;
    void SetChecked(SettingsCheckBox box, bool checked) override;
    void SetPinnedWay(RouterWay way) override;
    std::string EchoSetting() const override;
    void SetEchoSetting(const std::string& value) override;
    std::string DialEntrySetting() const override;
    void SetDialEntrySetting(const std::string& value) override;
    void PostMinimise() override;
    void ReportError(const AppError& error) override;

public:
    // The controls, in creation order, which is also the tab order: a child window made later
    // comes later among its siblings.
    TLabel Label13, Label14;
    TLinkLabel LinkLabel1;
    TButton Button1;
    TGroupBox GroupBox1;
    TLabel Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label10, Label11, Label12;
    TEdit Edit1, Edit2;
    TCheckBox CheckBox2;
    TGroupBox GroupBox2;
    TLabel Label15, Label16;
    TCheckBox CheckBox3;
    TEdit Edit3;
    TCheckBox CheckBox5, CheckBox1;
    TEdit Edit4;
    TButton Button3, Button2, Button4, Button5;
    TLabel Label17;
    TWindowTimer Timer1;
    TPopupMenu PopupMenu1;
    TTrayIcon TrayIcon1;

private:
    std::string modulePath_;
    ApplicationBoxes boxes_;
    WinInetFetcher fetcher_;  // one for the life of the process: it keeps the accepted login
    LocalClock clock_;
    WinUpnpTransport upnp_;
    WinDialupLine dialup_;
    RouterControl router_;
    WinProfileFile settingsFile_;
    std::string historyPath_;  // ip-history.csv, beside setup.ini
    RouterWay pinnedWay_ = RouterWay::Automatic;
    std::string echoSetting_;  // the "ipcheck" key as read
    std::string dialEntry_;    // the "dialup" key as read
    std::vector<std::string> echoServices_ = EchoServicesOf({});
    // A history that cannot be written is told once per run, when no box is open.
    enum class HistoryNotice { None, Due, Told } historyNotice_ = HistoryNotice::None;
    std::string unwrittenHistory_;  // records the file refused, written with the next
    WinRegistry registry_;
    WinAdapterSource adapters_;
    bool pollWriting_ = false;  // the poll's own writes run, with no request waiting
};
