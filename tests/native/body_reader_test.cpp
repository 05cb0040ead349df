#include "BodyReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A body of `size` bytes with no NUL in it and no repeating pattern of a small period, so
// a piece copied to the wrong place shows.
std::string BodyOfSize(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>('!' + (i * 7 + i / 91) % 90);
    return body;
}

// Hands out a body in pieces whose sizes follow `pieces` (repeated), never more than asked.
// It fills every byte it is asked for while it has data, so a request beyond the reader's
// buffer writes past it (and AddressSanitizer reports it); it also checks each request
// against the room that the reader has left.
class PieceSource : public ByteSource {
public:
    PieceSource(std::string body, std::vector<std::size_t> pieces, std::size_t capacity = kPageBufferSize)
        : body_(std::move(body)), pieces_(std::move(pieces)), capacity_(capacity) {}

    // After this many bytes have been handed out the next Read fails.
    void FailAfter(std::size_t bytes) { failAfter_ = bytes; }

    bool Read(char* buffer, std::size_t size, std::size_t& got) override {
        ++reads_;
        got = 0;
        if (size == 0 || size > capacity_ - handedOut_) ++oversizedRequests_;
        if (handedOut_ >= failAfter_) return false;
        const std::size_t piece = pieces_[(reads_ - 1) % pieces_.size()];
        const std::size_t available = body_.size() - handedOut_;
        got = std::min({piece, size, available, failAfter_ - handedOut_});
        std::memcpy(buffer, body_.data() + handedOut_, got);
        // Bytes asked for beyond the piece are scribbled on, as a real read into a buffer may.
        std::memset(buffer + got, '#', std::min(size, available) - got);
        handedOut_ += got;
        return true;
    }

    int reads() const { return reads_; }
    int oversizedRequests() const { return oversizedRequests_; }

private:
    std::string body_;
    std::vector<std::size_t> pieces_;
    std::size_t capacity_;
    std::size_t handedOut_ = 0;
    std::size_t failAfter_ = static_cast<std::size_t>(-1);
    int reads_ = 0;
    int oversizedRequests_ = 0;
};

struct PieceRow {
    const char* name;
    std::size_t bodySize;
    std::vector<std::size_t> pieces;
};

TEST(ReadBody, ReadsABodyHandedOutInPiecesWhole) {
    const PieceRow rows[] = {
        {"one byte at a time", 3000, {1}},
        {"seven bytes at a time", 3001, {7}},
        {"irregular pieces", 5000, {3, 1, 4, 1, 5, 9, 2, 6, 535, 89, 7}},
        {"one piece", 5000, {1u << 20}},
        {"status page sized, ragged", 20000, {1460, 1460, 512, 17, 4096}},
        {"empty body", 0, {100}},
        {"one byte body", 1, {100}},
        {"a full buffer, three bytes at a time", kPageBufferSize, {3}},
        {"a full buffer, its last piece exactly the room left", kPageBufferSize, {kPageBufferSize - 1, 1}},
    };
    for (const auto& row : rows) {
        const std::string body = BodyOfSize(row.bodySize);
        PieceSource source(body, row.pieces);
        const std::string text = ReadBody(source);
        EXPECT_EQ(text.size(), body.size()) << row.name;
        EXPECT_TRUE(text == body) << row.name;
        EXPECT_EQ(source.oversizedRequests(), 0) << row.name;
    }
}

TEST(ReadBody, StopsAtTheBufferSizeOfOnePage) {
    ASSERT_EQ(kPageBufferSize, 88888u);
    const std::string longest = BodyOfSize(kPageBufferSize + 1);
    for (const std::size_t bodySize :
         {kPageBufferSize - 1, kPageBufferSize, kPageBufferSize + 1, kPageBufferSize * 3}) {
        for (const std::size_t piece : {std::size_t{7}, std::size_t{4096}, kPageBufferSize + 5}) {
            const std::string body = BodyOfSize(bodySize);
            PieceSource source(body, {piece});
            const std::string text = ReadBody(source);
            const std::size_t expected = std::min(bodySize, kPageBufferSize);
            EXPECT_EQ(text.size(), expected) << "body " << bodySize << ", pieces " << piece;
            EXPECT_TRUE(text == body.substr(0, expected)) << "body " << bodySize << ", pieces " << piece;
            EXPECT_EQ(source.oversizedRequests(), 0) << "body " << bodySize << ", pieces " << piece;
        }
    }
}

TEST(ReadBody, AsksNeverForMoreThanTheRoomLeft) {
    // A body longer than the buffer: the source would go on handing out bytes for ever.
    constexpr std::size_t kCapacity = 100;
    PieceSource source(BodyOfSize(1000), {30}, kCapacity);
    const std::string text = ReadBody(source, kCapacity);
    EXPECT_EQ(text.size(), kCapacity);
    EXPECT_EQ(source.oversizedRequests(), 0);
    EXPECT_EQ(source.reads(), 4);  // 30 + 30 + 30 + 10, and no request once the buffer is full
}

TEST(ReadBody, KeepsWhatArrivedBeforeAFailedRead) {
    for (const std::size_t failAfter :
         {std::size_t{0}, std::size_t{1}, std::size_t{500}, std::size_t{4999}}) {
        const std::string body = BodyOfSize(5000);
        PieceSource source(body, {7, 100, 3});
        source.FailAfter(failAfter);
        const std::string text = ReadBody(source);
        EXPECT_TRUE(text == body.substr(0, failAfter)) << "failed after " << failAfter;
    }
}

TEST(ReadBody, CutsTheTextAtTheFirstNul) {
    std::string body = BodyOfSize(1000);
    body[10] = '\0';
    body[500] = '\0';
    PieceSource source(body, {7});
    EXPECT_EQ(ReadBody(source), body.substr(0, 10));

    std::string leading = BodyOfSize(50);
    leading[0] = '\0';
    PieceSource leadingSource(leading, {50});
    EXPECT_EQ(ReadBody(leadingSource), "");
}

}  // namespace
