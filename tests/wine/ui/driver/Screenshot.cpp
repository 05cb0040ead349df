#include "Screenshot.h"

#include "AppUnderTest.h"
#include "Deflate.h"

namespace {

constexpr int kMargin = 8;  // around a window, for its shadow-free edge

std::uint32_t Crc32(const std::string& bytes, std::size_t from) {
    static std::uint32_t table[256];
    static const bool filled = [] {
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        return true;
    }();
    (void)filled;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        crc = table[(crc ^ static_cast<std::uint8_t>(bytes[i])) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = png.size();
    png += type;
    png += data;
    PutBigEndian(png, Crc32(png, typeAt));
}

}  // namespace

std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb) {
    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header, static_cast<std::uint32_t>(height));
    header += "\x08\x02";            // 8 bits per sample, RGB
    header += std::string(3, '\0');  // deflate, adaptive filters, no interlace

    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::string raw;
    raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter: none
        raw.append(reinterpret_cast<const char*>(rgb.data()) + y * rowBytes, rowBytes);
    }

    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", ZlibCompress(raw));
    PutChunk(png, "IEND", "");
    return png;
}

bool SaveScreenAreaPng(const RECT& area, const std::string& path) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    std::vector<std::uint8_t> rgb;
    if (copied) {
        rgb.resize(static_cast<std::size_t>(width) * height * 3);
        const auto* bgrx = static_cast<const std::uint8_t*>(bits);
        for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
            rgb[i * 3] = bgrx[i * 4 + 2];
            rgb[i * 3 + 1] = bgrx[i * 4 + 1];
            rgb[i * 3 + 2] = bgrx[i * 4];
        }
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied && WriteFileBytes(path, EncodePng(width, height, rgb));
}

bool SaveScreenPng(const std::string& path) {
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return SaveScreenAreaPng(screen, path);
}

bool SaveWindowPng(HWND window, const std::string& path, HWND alsoCovering) {
    RECT area{}, other{};
    if (!GetWindowRect(window, &area)) return false;
    if (alsoCovering && GetWindowRect(alsoCovering, &other)) UnionRect(&area, &area, &other);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    InflateRect(&area, kMargin, kMargin);
    IntersectRect(&area, &area, &screen);
    return SaveScreenAreaPng(area, path);
}
