#include "Gateway.h"

namespace {

constexpr char kGatewayMessageCaption[] = "提示";
constexpr char kGatewayMessageText[] =
    "获取默认网关失败，请确认是否有多个网卡。\r\n程序将使用默认 192.168.1.1 登录。";

constexpr char kNoGateway[] = "0.0.0.0";

// The size the platform needs can grow between two requests (an adapter appears), so the
// list is asked for again; this many requests in all, then the detection gives up.
constexpr int kMaxAdapterRequests = 8;

AdapterAnswer RequestAdapterList(AdapterSource& adapters) {
    std::size_t bufferSize = kAdapterBufferSize;
    AdapterAnswer answer;
    for (int request = 0; request < kMaxAdapterRequests; ++request) {
        answer = adapters.RequestAdapters(bufferSize);
        if (answer.status != AdapterAnswer::Status::BufferTooSmall) return answer;
        if (answer.neededSize <= bufferSize) break;  // asking again would get the same answer
        bufferSize = answer.neededSize;
    }
    return AdapterAnswer{};
}

}  // namespace

std::string DetectGateway(AdapterSource& adapters, MessageBoxes& boxes) {
    const AdapterAnswer answer = RequestAdapterList(adapters);
    if (answer.status == AdapterAnswer::Status::Ok && !answer.firstGateway.empty() &&
        answer.firstGateway != kNoGateway) {
        return answer.firstGateway;
    }
    boxes.ShowMessage(kGatewayMessageText, kGatewayMessageCaption, MessageIcon::Warning);
    return kFallbackGateway;
}
