#pragma once
#include "DialupLine.h"
#include "RequestWait.h"

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The PC's dial-up connections through Windows' Remote Access. rasapi32 is bound at its first
// call, once LoadLibrary has found it: a PC without it starts and runs as before. A dial's
// steps are posted to `window`, which hands them to Progressed.
class WinDialupLine : public DialupLine {
public:
    WinDialupLine(HWND window, RequestWait* wait);
    WinDialupLine(const WinDialupLine&) = delete;
    WinDialupLine& operator=(const WinDialupLine&) = delete;
    // A dial under way is hung up: none is left half made.
    ~WinDialupLine() override;

    bool Available() override;
    std::vector<std::string> Entries() override;
    std::vector<std::string> Connected() override;
    DialStatus Status(const std::string& entry) override;
    void HangUp(const std::string& entry) override;
    std::uint32_t Dial(const std::string& entry) override;
    void AbandonDial() override;

    // Whether a window message is a dial's step (Remote Access's registered message, or its
    // fixed one where registering failed), and what the step tells.
    bool IsDialStep(UINT message) const { return message == dialStep_ || message == WM_RASDIALEVENT; }
    DialProgress Progressed(WPARAM state, LPARAM error);

private:
    struct Connections {  // as RasEnumConnections lists them now
        Connections();
        std::unique_ptr<RASCONNA[]> list;
        DWORD count = 0;
    };
    HRASCONN ConnectionOf(const std::string& entry);
    static std::string AddressOf(HRASCONN connection);
    // Waits until the connection last hung up is gone; false when given up for the program's
    // sake.
    bool LetGo();

    HWND window_;
    RequestWait* wait_;
    UINT dialStep_;
    HANDLE pause_;  // never set: the hang-up's wait between two looks
    std::optional<bool> available_;
    HRASCONN dialling_ = nullptr;
    HRASCONN leaving_ = nullptr;  // hung up, maybe not yet gone: the entry is not dialled before
};
