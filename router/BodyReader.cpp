#include "BodyReader.h"

#include <algorithm>
#include <memory>

std::string ReadBody(ByteSource& source, std::size_t capacity) {
    // One buffer per call, released on return; its size is the most a page may hold.
    std::unique_ptr<char[]> buffer(new char[capacity]);
    std::size_t total = 0;
    while (total < capacity) {
        const std::size_t room = capacity - total;
        std::size_t got = 0;
        if (!source.Read(buffer.get() + total, room, got)) break;  // keep what arrived
        if (got == 0) break;                                       // end of the body
        total += std::min(got, room);
    }
    return PageTextFromBytes(buffer.get(), total);
}
