#pragma once
#include "PageText.h"
#include <cstddef>
#include <string>

// A body that arrives in pieces; Read may hand out fewer bytes than asked before the end.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // False on a failed read; true with got == 0 at the end of the body.
    virtual bool Read(char* buffer, std::size_t size, std::size_t& got) = 0;
};

// Reads until the end of the body, a failed read or `capacity` bytes, and returns the page
// text of what arrived (cut at the first NUL).
std::string ReadBody(ByteSource& source, std::size_t capacity = kPageBufferSize);
