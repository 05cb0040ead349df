#include "Deflate.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kWindow = 32768, kMinMatch = 3, kMaxMatch = 258;
constexpr int kHashBits = 15;
constexpr int kMaxChain = 48;  // candidates tried per position

constexpr std::uint16_t kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                         31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                           33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                           6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Deflate packs bits from the least significant end of each byte; Huffman codes go in from
// their most significant bit.
class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    void Bits(std::uint32_t value, int count) {
        buffer_ |= static_cast<std::uint64_t>(value) << filled_;
        filled_ += count;
        for (; filled_ >= 8; filled_ -= 8, buffer_ >>= 8) out_ += static_cast<char>(buffer_ & 0xFF);
    }
    void Code(std::uint32_t code, int length) {
        std::uint32_t reversed = 0;
        for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1) << (length - 1 - i);
        Bits(reversed, length);
    }
    void Flush() {
        if (filled_ > 0) out_ += static_cast<char>(buffer_ & 0xFF);
        buffer_ = 0;
        filled_ = 0;
    }

private:
    std::string& out_;
    std::uint64_t buffer_ = 0;
    int filled_ = 0;
};

// A literal byte, the end of the block (256) or a length symbol (257-285), in the fixed code.
void PutSymbol(BitWriter& bits, unsigned symbol) {
    if (symbol < 144) {
        bits.Code(0x30 + symbol, 8);
    } else if (symbol < 256) {
        bits.Code(0x190 + symbol - 144, 9);
    } else if (symbol < 280) {
        bits.Code(symbol - 256, 7);
    } else {
        bits.Code(0xC0 + symbol - 280, 8);
    }
}

void PutMatch(BitWriter& bits, std::size_t length, std::size_t distance) {
    unsigned code = 28;
    while (kLengthBase[code] > length) --code;
    PutSymbol(bits, 257 + code);
    bits.Bits(static_cast<std::uint32_t>(length - kLengthBase[code]), kLengthExtra[code]);
    code = 29;
    while (kDistanceBase[code] > distance) --code;
    bits.Code(code, 5);
    bits.Bits(static_cast<std::uint32_t>(distance - kDistanceBase[code]), kDistanceExtra[code]);
}

std::uint32_t Hash(const std::string& raw, std::size_t at) {
    const std::uint32_t three = static_cast<std::uint8_t>(raw[at]) << 16 |
                                static_cast<std::uint8_t>(raw[at + 1]) << 8 |
                                static_cast<std::uint8_t>(raw[at + 2]);
    return (three * 2654435761u) >> (32 - kHashBits);
}

std::uint32_t Adler32(const std::string& bytes) {
    std::uint32_t a = 1, b = 0;
    for (const char c : bytes) {
        a = (a + static_cast<std::uint8_t>(c)) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

}  // namespace

std::string ZlibCompress(const std::string& raw) {
    std::string out = "\x78\x01";  // deflate, 32 KB window, no dictionary
    BitWriter bits(out);
    bits.Bits(1, 1);  // the last block
    bits.Bits(1, 2);  // fixed Huffman codes

    // Positions by the hash of their first three bytes: the latest in `head`, each one's
    // predecessor with the same hash in `previous`.
    std::vector<std::int64_t> head(std::size_t{1} << kHashBits, -1), previous(kWindow, -1);
    auto remember = [&](std::size_t at) {
        if (at + kMinMatch > raw.size()) return;
        const std::uint32_t hash = Hash(raw, at);
        previous[at % kWindow] = head[hash];
        head[hash] = static_cast<std::int64_t>(at);
    };

    std::size_t at = 0;
    while (at < raw.size()) {
        std::size_t bestLength = 0, bestDistance = 0;
        if (at + kMinMatch <= raw.size()) {
            const std::size_t limit = std::min(kMaxMatch, raw.size() - at);
            std::int64_t candidate = head[Hash(raw, at)];
            for (int tries = 0; candidate >= 0 && tries < kMaxChain; ++tries) {
                const std::size_t from = static_cast<std::size_t>(candidate);
                if (at - from > kWindow - 1) break;
                std::size_t length = 0;
                while (length < limit && raw[from + length] == raw[at + length]) ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = at - from;
                    if (length == limit) break;
                }
                const std::int64_t next = previous[from % kWindow];
                if (next >= candidate) break;  // the slot was reused by a later position
                candidate = next;
            }
        }
        if (bestLength >= kMinMatch) {
            PutMatch(bits, bestLength, bestDistance);
            for (std::size_t end = at + bestLength; at < end; ++at) remember(at);
        } else {
            PutSymbol(bits, static_cast<std::uint8_t>(raw[at]));
            remember(at++);
        }
    }
    PutSymbol(bits, 256);
    bits.Flush();
    const std::uint32_t adler = Adler32(raw);
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((adler >> shift) & 0xFF);
    return out;
}
