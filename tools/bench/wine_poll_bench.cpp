// How long one status poll takes through WinInetFetcher, against the same GET over a plain
// socket, and how long a dead or silent router blocks a fetch. Runs only in the network rig:
//   tools/bench/wine-bench.sh
#include "HttpCredentials.h"
#include "RigSupport.h"
#include "WinInetFetcher.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kPolls = 300;
constexpr int kStalls = 3;
constexpr char kLoginPath[] = "/userRpm/Index.htm";
constexpr char kStatusPath[] = "/userRpm/StatusRpm.htm";
constexpr char kUser[] = "admin";
constexpr char kPassword[] = "lumko";
constexpr char kStatusPageMark[] = "var wanPara";

double ElapsedMs(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const std::size_t n = ms.size();
    return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
}

// Nearest rank.
double Percentile(std::vector<double> ms, double p) {
    std::sort(ms.begin(), ms.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(ms.size())));
    return ms[std::max<std::size_t>(rank, 1) - 1];
}

PageUrl Url(const std::string& host, const std::string& path) {
    PageUrl url;
    url.host = host;
    url.path = path;
    return url;
}

// Times `kPolls` runs of `poll`, which says whether it got a status page.
std::vector<double> TimePolls(const char* name, const std::function<bool()>& poll) {
    std::vector<double> ms;
    int misses = 0;
    for (int i = 0; i < kPolls; ++i) {
        bool ok = false;
        ms.push_back(ElapsedMs([&] { ok = poll(); }));
        if (!ok) ++misses;
    }
    std::printf("%-22s median %7.3f ms   p95 %7.3f ms   min %7.3f ms   max %7.3f ms", name, Median(ms),
                Percentile(ms, 0.95), *std::min_element(ms.begin(), ms.end()),
                *std::max_element(ms.begin(), ms.end()));
    if (misses) std::printf("   (%d without a status page)", misses);
    std::printf("\n");
    return ms;
}

void TimeStalls(const char* name, WinInetFetcher& fetcher, const PageUrl& url) {
    std::printf("%-22s", name);
    for (int i = 0; i < kStalls; ++i) {
        PageAnswer answer;
        const double ms = ElapsedMs([&] { answer = fetcher.FetchPage(url); });
        std::printf("  %7.1f ms%s", ms, answer.answered ? " (answered!)" : "");
    }
    std::printf("\n");
}

}  // namespace

int main() {
    RequireRig();
    const std::string router = RigRouterAddress();
    RouterControlClient control;
    if (!control.Reset()) {
        std::fprintf(stderr, "wine_poll_bench: the router's control port gives no answer\n");
        return 1;
    }

    WinInetFetcher fetcher;
    PageUrl login = Url(router, kLoginPath);
    login.user = kUser;
    login.password = kPassword;
    login.withCredentials = true;
    if (fetcher.FetchPage(login).status != 200) {
        std::fprintf(stderr, "wine_poll_bench: the login was not accepted\n");
        return 1;
    }

    std::printf("%d status polls of http://%s%s\n", kPolls, router.c_str(), kStatusPath);
    const PageUrl status = Url(router, kStatusPath);
    const std::vector<double> wininet = TimePolls("WinInetFetcher", [&] {
        return fetcher.FetchPage(status).text.find(kStatusPageMark) != std::string::npos;
    });
    const std::vector<std::string> authorization = {"Authorization: " + BasicAuthorization(kUser, kPassword)};
    const std::vector<double> plain = TimePolls("plain Winsock GET", [&] {
        return PlainHttpGet(router, 80, kStatusPath, authorization).body.find(kStatusPageMark) !=
               std::string::npos;
    });
    std::printf("%-22s median %7.2fx       p95 %7.2fx\n", "WinInet / Winsock",
                Median(wininet) / Median(plain), Percentile(wininet, 0.95) / Percentile(plain, 0.95));
    auto counts = control.Counts();
    std::printf("router counted status=%ld unauthorized=%ld foreign=%ld dns=%ld\n\n", counts["status"],
                counts["unauthorized"], counts["foreign"], counts["dns"]);

    std::printf("fetches that find no answer (each should give none)\n");
    TimeStalls("unreachable address", fetcher, Url(RigDeadAddress(), kStatusPath));
    control.Fault("silent", 0, 0);
    TimeStalls("silent router", fetcher, status);
    control.Reset();
    return 0;
}
