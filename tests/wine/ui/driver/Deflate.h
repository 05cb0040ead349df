#pragma once
// A zlib stream (RFC 1950) of one deflate block (RFC 1951) with the fixed Huffman codes:
// repeats found in a 32 KB window become back-references. Screenshots of windows, with their
// large even areas, shrink to a few percent of their size.

#include <string>

std::string ZlibCompress(const std::string& raw);
