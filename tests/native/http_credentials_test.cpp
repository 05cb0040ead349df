#include "HttpCredentials.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace std::string_view_literals;

namespace {

struct Base64Row {
    std::string_view bytes;
    const char* expected;
};

TEST(Base64, EncodesWithTheStandardAlphabetAndPadding) {
    const Base64Row rows[] = {
        // RFC 4648, section 10.
        {""sv, ""},
        {"f"sv, "Zg=="},
        {"fo"sv, "Zm8="},
        {"foo"sv, "Zm9v"},
        {"foob"sv, "Zm9vYg=="},
        {"fooba"sv, "Zm9vYmE="},
        {"foobar"sv, "Zm9vYmFy"},
        // Bytes above 0x7F and NUL bytes are plain data; "+" and "/" are the last two symbols.
        {"\xff\xfe\xfd"sv, "//79"},
        {"\xfb\xff"sv, "+/8="},
        {"\0"sv, "AA=="},
        {"\0\0\0\0"sv, "AAAAAA=="},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Base64(row.bytes), row.expected) << "bytes of length " << row.bytes.size();
    }
}

struct AuthorizationRow {
    const char* user;
    const char* password;
    const char* expected;
};

TEST(BasicAuthorization, JoinsUserAndPasswordAsTheyAreTyped) {
    const AuthorizationRow rows[] = {
        {"admin", "lumko", "Basic YWRtaW46bHVta28="},
        // Characters that would end the user info or the host in a URL stay in the password.
        {"admin", "p@ss:w/o#r?d", "Basic YWRtaW46cEBzczp3L28jcj9k"},
        {"user@host", "a/b?c#d", "Basic dXNlckBob3N0OmEvYj9jI2Q="},
        // A GBK password ("密码") is sent as its bytes, not re-encoded.
        {"admin", "\xc3\xdc\xc2\xeb", "Basic YWRtaW46w9zC6w=="},
        {"", "", "Basic Og=="},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(BasicAuthorization(row.user, row.password), row.expected)
            << "user " << row.user << ", password " << row.password;
    }
}

TEST(CredentialCache, KeepsTheLastAcceptedCredentialsPerHostText) {
    CredentialCache cache;
    EXPECT_FALSE(cache.For("192.168.1.1").has_value());

    cache.Remember("192.168.1.1", {"admin", "lumko"});
    cache.Remember("192.168.1.1", {"root", "p@ss:w/o#r?d"});
    cache.Remember("192.168.0.1", {"other", "secret"});

    const auto router = cache.For("192.168.1.1");
    ASSERT_TRUE(router.has_value());
    EXPECT_EQ(router->user, "root");
    EXPECT_EQ(router->password, "p@ss:w/o#r?d");
    EXPECT_EQ(cache.For("192.168.0.1")->user, "other");

    // The key is the address as typed: the same router under another spelling is unknown.
    EXPECT_FALSE(cache.For("192.168.1.1:80").has_value());
    EXPECT_FALSE(cache.For("").has_value());
}

struct HostPortRow {
    std::string_view address;
    const char* host;
    unsigned short port;
};

TEST(SplitHostPort, TakesAPortOnlyWhenADecimalPortFollowsTheLastColon) {
    const HostPortRow rows[] = {
        {"192.168.1.1", "192.168.1.1", 80},
        {"192.168.1.1:8080", "192.168.1.1", 8080},
        {"router.lan:1", "router.lan", 1},
        {"router.lan:65535", "router.lan", 65535},
        {"router.lan:080", "router.lan", 80},
        {"a:b:8081", "a:b", 8081},
        {"", "", 80},
        // Anything else after the last colon is part of the host.
        {"host:", "host:", 80},
        {"host:0", "host:0", 80},
        {"host:65536", "host:65536", 80},
        {"host:99999", "host:99999", 80},
        {"host:4294967377", "host:4294967377", 80},                      // 2^32 + 81
        {"host:18446744073709551696", "host:18446744073709551696", 80},  // 2^64 + 80
        {"host:18446744073709559696", "host:18446744073709559696", 80},  // 2^64 + 8080
        {"host:8a", "host:8a", 80},
        {"host:+80", "host:+80", 80},
        {"host:-1", "host:-1", 80},
        {"host: 80", "host: 80", 80},
        {"host:8080:", "host:8080:", 80},
    };
    for (const auto& row : rows) {
        const HostPort split = SplitHostPort(row.address);
        EXPECT_EQ(split.host, row.host) << "address \"" << row.address << '"';
        EXPECT_EQ(split.port, row.port) << "address \"" << row.address << '"';
    }
}

}  // namespace
