#include "AnswerDelivery.h"

#include "SocketIo.h"
#include "StopSignal.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kSlowPauseMs = 20;
constexpr std::size_t kChunkCount = 4;

std::string Hex(std::size_t n) {
    char text[32];
    std::snprintf(text, sizeof text, "%zx", n);
    return text;
}

std::string ChunkedBody(const std::string& body) {
    std::string out;
    const std::size_t piece = std::max<std::size_t>(1, (body.size() + kChunkCount - 1) / kChunkCount);
    for (std::size_t at = 0; at < body.size(); at += piece) {
        const std::size_t n = std::min(piece, body.size() - at);
        out += Hex(n) + "\r\n" + body.substr(at, n) + "\r\n";
    }
    out += "0\r\n\r\n";
    return out;
}

// Each byte after a pause of pauseMs. A client that has gone is noticed at the next write.
bool Trickle(int fd, const std::string& data, long pauseMs, const StopSignal& stop) {
    for (const char byte : data) {
        if (!stop.SleepFor(static_cast<int>(pauseMs)) || !SendAll(fd, &byte, 1, stop)) return false;
    }
    return true;
}

AfterAnswer Sent(bool ok, bool keepAlive) {
    if (!ok) return AfterAnswer::Close;
    return keepAlive ? AfterAnswer::KeepOpen : AfterAnswer::Close;
}

}  // namespace

AfterAnswer DeliverAnswer(int fd, const HttpResponse& response, const Fault& fault, bool headOnly,
                          bool keepAlive, const StopSignal& stop) {
    const std::string& body = response.body;
    switch (fault.kind) {
    case FaultKind::Short: {
        // The head promises the whole body; half of it arrives, then the connection ends.
        std::string data = ResponseHead(response, false, BodyFraming::ContentLength);
        if (!headOnly) data.append(body, 0, body.size() / 2);
        SendAll(fd, data, stop);
        CloseGracefully(fd, stop);
        return AfterAnswer::Gone;
    }
    case FaultKind::Slow: {
        if (!SendAll(fd, ResponseHead(response, keepAlive, BodyFraming::ContentLength), stop)) {
            return AfterAnswer::Close;
        }
        if (headOnly) return Sent(true, keepAlive);
        const std::size_t piece = static_cast<std::size_t>(std::max(1L, fault.arg));
        for (std::size_t at = 0; at < body.size(); at += piece) {
            if (at > 0 && !stop.SleepFor(kSlowPauseMs)) return AfterAnswer::Close;
            if (!SendAll(fd, body.data() + at, std::min(piece, body.size() - at), stop)) {
                return AfterAnswer::Close;
            }
        }
        return Sent(true, keepAlive);
    }
    case FaultKind::Trickle: {
        std::string data = ResponseHead(response, keepAlive, BodyFraming::ContentLength);
        if (!headOnly) data += body;
        return Sent(Trickle(fd, data, fault.arg, stop), keepAlive);
    }
    case FaultKind::TrickleBody: {
        if (!SendAll(fd, ResponseHead(response, keepAlive, BodyFraming::ContentLength), stop)) {
            return AfterAnswer::Close;
        }
        return Sent(headOnly || Trickle(fd, body, fault.arg, stop), keepAlive);
    }
    case FaultKind::Chunked: {
        std::string data = ResponseHead(response, keepAlive, BodyFraming::Chunked);
        if (!headOnly) data += ChunkedBody(body);
        return Sent(SendAll(fd, data, stop), keepAlive);
    }
    default: {
        // Head and body in one write: a client never waits on a delayed ACK between them.
        std::string data = ResponseHead(response, keepAlive, BodyFraming::ContentLength);
        if (!headOnly) data += body;
        return Sent(SendAll(fd, data, stop), keepAlive);
    }
    }
}
