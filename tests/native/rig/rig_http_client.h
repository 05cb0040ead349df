#pragma once
// A small HTTP/1.1 client over plain sockets for talking to the substitute router inside the
// network rig. Every operation has a time-out, so a router that hangs fails a test instead
// of hanging it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace rig {

// The login-failed marker as the program compares it: "登录失败" in GBK.
inline const std::string kLoginFailedMarker = "\xB5\xC7\xC2\xBC\xCA\xA7\xB0\xDC";

inline const std::string kLoginTarget = "/userRpm/Index.htm";
inline const std::string kStatusTarget = "/userRpm/StatusRpm.htm";
inline const std::string kDisconnectTarget = "/userRpm/StatusRpm.htm?Disconnect=%B6%CF%20%CF%DF&wan=1";
inline const std::string kConnectTarget = "/userRpm/StatusRpm.htm?Connect=%C1%AC%20%BD%D3&wan=1";

// True inside the rig: PELORIN_RIG=1 and the default route goes through the rig's router.
// Otherwise why says what is wrong; nothing may then be sent anywhere.
bool InsideRig(std::string& why);
std::string RouterAddress();
int ControlPort();

struct HttpAnswer {
    bool complete = false;  // status line, headers and the whole announced body arrived
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;           // decoded when chunked
    std::size_t chunks = 0;     // data chunks, when chunked
    std::size_t bodyReads = 0;  // socket reads that delivered body bytes
    std::string error;

    const std::string* Header(const std::string& name) const;
};

enum class Received { Data, Closed, Timeout, Failed };

class Connection {
public:
    Connection(const std::string& address, int port, int timeoutMs = 2000);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Connected() const { return fd_ >= 0; }
    bool Send(const std::string& data, int timeoutMs = 2000);
    // One read of whatever arrives within timeoutMs, appended to into. errorNumber holds errno
    // after Failed.
    Received Receive(std::string& into, int timeoutMs);
    HttpAnswer ReadAnswer(int timeoutMs = 3000);
    int ErrorNumber() const { return errno_; }

private:
    int fd_ = -1;
    int errno_ = 0;
    std::string pending_;  // bytes read past the end of the last answer
};

// "GET target HTTP/1.1" with Host and, when given, an Authorization header.
std::string GetRequest(const std::string& target, const std::string& authorization = "",
                       bool keepAlive = true);
// "Basic " + base64(user:password)
std::string BasicAuthorization(const std::string& user, const std::string& password);

// One request on a fresh connection to the router's web port.
HttpAnswer Fetch(const std::string& target, const std::string& authorization = "");
HttpAnswer FetchAsAdmin(const std::string& target);

// The body of a control port answer ("" with a test failure when it did not come).
std::string Control(const std::string& pathAndQuery);
// name=value lines of /counts or /state.
std::map<std::string, std::string> ControlValues(const std::string& path);

// One UDP datagram to address:port (inside the rig only).
bool SendDatagram(const std::string& address, int port, const std::string& data);

// Lines of a page split at CR LF.
std::vector<std::string> CrlfLines(const std::string& text);

// Checks the rig before anything is sent, then puts the router back to its start state.
class RouterRig : public ::testing::Test {
protected:
    void SetUp() override;
};

}  // namespace rig
