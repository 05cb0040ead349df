#include "WinInetExchange.h"

#include "BodyReader.h"

#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace {

// How long one request may wait to connect, to send, and for each piece of the answer.
// Windows would otherwise wait about 21 s for a dead address and far longer for a router
// that takes the connection and never answers.
constexpr DWORD kTimeoutMs = 2500;
constexpr DWORD kConnectRetries = 1;
// The most one read takes from WinInet at a time.
constexpr DWORD kPieceBytes = 16384;

// Every call must reach the router: the poll repeats the same URL every second, and a
// repeated disconnect must be sent each time. Neither the cache nor a proxy may answer.
constexpr DWORD kFreshAnswer =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
// We send the credentials ourselves (WinInet adds nothing and shows no dialog), and a
// redirect is never followed, so they can never travel to another host.
constexpr DWORD kRequestFlags = kFreshAnswer | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_AUTO_REDIRECT;

// Closes its handle when it goes. Each handle is declared after the one it was opened on,
// so the request is closed before the connection, and the connection before the session.
struct InternetCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// Set on every handle, the request's included: Wine takes no receive time-out from the
// session handle alone.
void SetTimeouts(HINTERNET handle) {
    DWORD timeout = kTimeoutMs;
    DWORD retries = kConnectRetries;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
}

// What a wait in another loop leaves to that loop: whatever the user or another window is
// waiting on. Timers are not among them: they keep until the loop gets to them.
constexpr UINT kLeftToTheLoop = QS_INPUT | QS_POSTMESSAGE | QS_PAINT | QS_HOTKEY;

// How a call ended: it returned its result at once, or finished well in the background, or
// failed, or had not finished by the deadline, or was given up for the program's sake.
enum class Outcome { AtOnce, Later, Failed, Late, GivenUp };

bool Succeeded(Outcome outcome) { return outcome == Outcome::AtOnce || outcome == Outcome::Later; }

// The deadline needs a request that can be left while it waits on the router. A call blocked
// in synchronous WinInet cannot be: Windows documents closing a handle as safe only while no
// call is under way on it or once its call has returned ERROR_IO_PENDING, and under Wine a
// blocked call goes on when its handle is closed from another thread. So the session is
// asynchronous: a call that has to wait on the router returns at once, WinInet finishes it on
// a thread of its own, and the calling thread waits for it until the deadline. Past the
// deadline the request handle is closed, which cancels the call, and the request returns.
// Nothing of ours runs elsewhere but the status callback below. While the calling thread waits
// it handles its messages (the program's windows answer); a handler run then may make a
// request of its own, which waits the same way, nested. Inside a loop that is not the
// program's own it handles none, and gives the request up instead, the same way, when that
// loop has something to do.
//
// What a call may still use after the request has gone (the bytes read, their count, the
// headers and body sent) lives here, with two owners: the request, and its handle, which lets
// go at INTERNET_STATUS_HANDLE_CLOSING, the last callback WinInet makes for a handle. The
// callback only stores the result and signals; the handle is used and closed on the calling
// thread alone, so it is never closed twice nor used after its close.
class Exchange {
public:
    Exchange() : completed_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    bool Ready() const { return completed_ != nullptr; }

    // Routes the request's callbacks here; the handle owns a share from now until it closes.
    bool Watch(HINTERNET request) {
        InterlockedIncrement(&owners_);
        if (InternetSetStatusCallbackA(request, &Exchange::OnStatus) == INTERNET_INVALID_STATUS_CALLBACK) {
            Release();
            return false;
        }
        return true;
    }

    void Release() {
        if (InterlockedDecrement(&owners_) == 0) delete this;
    }

    // Makes one call and waits for it if it goes on in the background, until the deadline.
    template <class Call>
    Outcome Make(Call call, const Deadline& deadline) {
        ResetEvent(completed_);
        if (call()) return Outcome::AtOnce;
        if (GetLastError() != ERROR_IO_PENDING) return Outcome::Failed;
        const Outcome waited = WaitForCompletion(deadline);
        if (waited != Outcome::Later) return waited;
        return result_.dwResult != 0 ? Outcome::Later : Outcome::Failed;
    }

    RequestWait* wait = nullptr;
    bool givenUp = false;

    std::string headers;  // the extra request headers
    std::string body;     // what a POST sends
    DWORD available = 0;  // for InternetQueryDataAvailable
    DWORD read = 0;       // for InternetReadFile, into piece
    char piece[kPieceBytes];

private:
    ~Exchange() { CloseHandle(completed_); }

    // Later once the call has completed.
    Outcome WaitForCompletion(const Deadline& deadline) {
        switch (WaitForEvent(completed_, deadline, wait)) {
        case WaitEnd::Signalled: return Outcome::Later;
        case WaitEnd::Late: return Outcome::Late;
        case WaitEnd::GivenUp: break;
        }
        givenUp = true;
        return Outcome::GivenUp;
    }

    static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
        auto* exchange = reinterpret_cast<Exchange*>(context);
        if (status == INTERNET_STATUS_REQUEST_COMPLETE && info) {
            exchange->result_ = *static_cast<INTERNET_ASYNC_RESULT*>(info);
            SetEvent(exchange->completed_);
        } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
            exchange->Release();
        }
    }

    HANDLE completed_;
    INTERNET_ASYNC_RESULT result_{};
    LONG owners_ = 1;
};

struct ExchangeRelease {
    void operator()(Exchange* exchange) const { exchange->Release(); }
};

// The body of an answer, a piece at a time as it arrives, until the deadline.
class ResponseBody : public ByteSource {
public:
    ResponseBody(HINTERNET request, Exchange& exchange, const Deadline& deadline)
        : request_(request), exchange_(exchange), deadline_(deadline) {}

    bool Read(char* buffer, std::size_t size, std::size_t& got) override {
        got = 0;
        // How much has arrived; after a wait for more, asked again.
        const auto query = [this] {
            return InternetQueryDataAvailable(request_, &exchange_.available, 0, 0);
        };
        for (;;) {
            const Outcome asked = exchange_.Make(query, deadline_);
            if (asked == Outcome::AtOnce) break;
            if (asked != Outcome::Later) return false;
        }
        if (exchange_.available == 0) return true;  // the end of the body

        // What has arrived is read at once.
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>({size, exchange_.available, kPieceBytes}));
        const auto take = [this, ask] {
            return InternetReadFile(request_, exchange_.piece, ask, &exchange_.read);
        };
        if (!Succeeded(exchange_.Make(take, deadline_))) return false;
        got = std::min<std::size_t>(exchange_.read, ask);
        std::memcpy(buffer, exchange_.piece, got);
        return true;
    }

private:
    HINTERNET request_;
    Exchange& exchange_;
    const Deadline& deadline_;
};

// 0 when the status cannot be had.
DWORD StatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        return 0;
    }
    return status;
}

}  // namespace

WaitEnd WaitForEvent(HANDLE event, const Deadline& deadline, RequestWait* wait) {
    for (;;) {
        const RequestWait::Mode mode = wait ? wait->Now() : RequestWait::Mode::HandleMessages;
        if (mode == RequestWait::Mode::GiveUp) return WaitEnd::GivenUp;
        if (!wait) {
            const bool done = WaitForSingleObject(event, deadline.RemainingMs()) == WAIT_OBJECT_0;
            return done ? WaitEnd::Signalled : WaitEnd::Late;
        }
        const bool handling = mode == RequestWait::Mode::HandleMessages;
        // Also what is already in the queue: a wait only wakes for messages that come later.
        const DWORD woke = MsgWaitForMultipleObjectsEx(
            1, &event, deadline.RemainingMs(), handling ? QS_ALLINPUT : kLeftToTheLoop | QS_SENDMESSAGE,
            MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) return WaitEnd::Signalled;
        if (woke != WAIT_OBJECT_0 + 1) return WaitEnd::Late;
        if (handling) {
            wait->HandleMessages();
        } else {
            MSG sent;  // only answers what other threads have sent
            PeekMessageW(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            if (HIWORD(GetQueueStatus(kLeftToTheLoop)) != 0) return WaitEnd::GivenUp;
        }
        // A nested request may have outlasted the deadline while the event was signalled.
        if (WaitForSingleObject(event, 0) == WAIT_OBJECT_0) return WaitEnd::Signalled;
        if (deadline.RemainingMs() == 0) return WaitEnd::Late;
    }
}

PageAnswer MakeHttpCall(HttpCall call, RequestWait* wait) {
    const Deadline deadline(kRequestDeadlineMs);
    const PageAnswer noAnswer;
    // Never through a proxy: the router is on the local network, a request may carry its
    // password, and an echo service must see this network's own address.
    InternetHandle session(
        InternetOpenA("", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!session) return noAnswer;
    SetTimeouts(session.get());

    // Context 0: no callbacks for the connection, only for the request.
    InternetHandle connection(InternetConnectA(session.get(), call.host.c_str(), call.port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return noAnswer;
    SetTimeouts(connection.get());

    std::unique_ptr<Exchange, ExchangeRelease> exchange(new Exchange);
    if (!exchange->Ready()) return noAnswer;
    exchange->wait = wait;
    InternetHandle request(HttpOpenRequestA(connection.get(), call.method, call.path.c_str(), nullptr,
                                            nullptr, nullptr, kRequestFlags,
                                            reinterpret_cast<DWORD_PTR>(exchange.get())));
    if (!request) return noAnswer;
    SetTimeouts(request.get());
    if (!exchange->Watch(request.get())) return noAnswer;

    // Both are read while the call goes on in the background, so the exchange holds them.
    const std::string& headers = exchange->headers = std::move(call.headers);
    std::string& data = exchange->body = std::move(call.body);
    // Fails when the host cannot be reached, refuses or resets the connection, or has not
    // sent its status and headers within a time-out or by the deadline: no answer then.
    const auto send = [&] {
        return HttpSendRequestA(request.get(), headers.empty() ? nullptr : headers.c_str(),
                                static_cast<DWORD>(headers.size()), data.empty() ? nullptr : data.data(),
                                static_cast<DWORD>(data.size()));
    };
    PageAnswer givenUp;
    givenUp.givenUp = true;
    if (!Succeeded(exchange->Make(send, deadline))) return exchange->givenUp ? givenUp : noAnswer;
    const DWORD status = StatusCode(request.get());
    if (status == 0) return noAnswer;  // no status line came

    // From here the host has answered. A body that the deadline cuts, like one that the host
    // cuts, gives the text that came: the status and the page are what the program judges the
    // answer by, and a host that sent them has spoken.
    PageAnswer answer;
    answer.answered = true;
    answer.status = static_cast<int>(status);
    ResponseBody body(request.get(), *exchange, deadline);
    answer.text = ReadBody(body);
    return exchange->givenUp ? givenUp : answer;
}
