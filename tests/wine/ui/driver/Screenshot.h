#pragma once
// Screenshots as PNG files: the pixels are copied from the screen with BitBlt, so what
// covers the area (a message box over the window) is in the picture too.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A PNG of 8-bit RGB pixels, rows top to bottom (`rgb` holds width * height * 3 bytes),
// deflate-compressed (Deflate.h).
std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

// The area in screen coordinates; false when it could not be read or written.
bool SaveScreenAreaPng(const RECT& area, const std::string& path);
bool SaveScreenPng(const std::string& path);
// The window with its frame; with `alsoCovering`, the smallest area holding both.
bool SaveWindowPng(HWND window, const std::string& path, HWND alsoCovering = nullptr);
