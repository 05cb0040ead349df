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
    void DpiChanged() override { TrayIcon1.SetIcon(SmallIcon()); }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    TLabel& WanLabel(WanField field);

    // RouterView
    std::string UserName() const override { return Edit1.Text(); }
    std::string Password() const override { return Edit2.Text(); }
    std::string IntervalText() const override { return Edit3.Text(); }
    std::string RouterAddress() const override { return Edit4.Text(); }
    bool AutoLogin() const override { return CheckBox2.Checked(); }
    bool TimedChange() const override { return CheckBox3.Checked(); }
    void ShowWanField(WanField field, const std::string& text) override { WanLabel(field).SetText(text); }
    std::string LoginButtonCaption() const override { return Button1.Text(); }
    RouterWay PinnedWay() const override { return pinnedWay_; }  // SettingsView's too
    const std::vector<std::string>& EchoServices() const override { return echoServices_; }
    std::string Ipv6Prefix() const override { return PcIpv6Prefix(); }
    std::string DialEntryName() const override { return dialEntry_; }
    void SetLoginButtonCaption(const std::string& caption) override;
    void SetLoginButtonEnabled(bool enabled) override { Button1.SetEnabled(enabled); }
    void SetCredentialsEnabled(bool enabled) override;
    void SetWanCaption(const std::string& caption) override { GroupBox1.SetText(caption); }
    void SetTrayHint(const std::string& hint) override { TrayIcon1.SetHint(hint); }
    void SetPollTimerEnabled(bool enabled) override { Timer1.SetEnabled(enabled); }
    void SetStripText(const std::string& text) override;
    void ShowBalloon(const std::string& title, const std::string& text) override {
        TrayIcon1.ShowBalloon(title, text);
    }
    void RecordChange(const ChangeRecord& record) override;
    void TellHistoryRefused();
    bool WriteKeptHistory();  // true when the kept records are in the file
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        Button1.ReleaseDrawing();
        boxes_.ShowMessage(text, caption, icon);
    }
    bool BoxOpen() const override { return Application().BoxOpen(); }
    bool Ending() const override { return Application().Terminated(); }

    // RequestWait
    Mode Now() const override;
    void HandleMessages() override { Application().ProcessMessages(); }

    // PageFetcher and EchoFetcher: the router's requests and the outside check's, through
    // fetcher_.
    PageAnswer FetchPage(const PageUrl& url) override;
    PageAnswer FetchEcho(const std::string& url) override { return FetchPage(EchoPageUrl(url)); }

    // SettingsView
    TEdit& EditOf(SettingsEdit edit);
    const TEdit& EditOf(SettingsEdit edit) const;
    TCheckBox& CheckBoxOf(SettingsCheckBox box);
    const TCheckBox& CheckBoxOf(SettingsCheckBox box) const;
    std::string Text(SettingsEdit edit) const override { return EditOf(edit).Text(); }
    void SetText(SettingsEdit edit, const std::string& text) override { EditOf(edit).SetText(text); }
    bool Checked(SettingsCheckBox box) const override { return CheckBoxOf(box).Checked(); }
    void SetChecked(SettingsCheckBox box, bool checked) override { CheckBoxOf(box).SetChecked(checked); }
    void SetPinnedWay(RouterWay way) override { pinnedWay_ = way; }
    std::string EchoSetting() const override { return echoSetting_; }
    void SetEchoSetting(const std::string& value) override {
        echoSetting_ = value;
        echoServices_ = EchoServicesOf(value);
    }
    std::string DialEntrySetting() const override { return dialEntry_; }
    void SetDialEntrySetting(const std::string& value) override { dialEntry_ = value; }
    void PostMinimise() override;
    void ReportError(const AppError& error) override { Application().ShowException(error); }

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
