#pragma once
#include "WinGbkText.h"

#include <string>

// The running executable's full path as GBK text, as the platform reports the module's file
// name (at most 260 characters), made absolute; on any system code page. A path with
// characters GBK lacks is given in its short (8.3) form where the file system has one.
std::string ModuleFileName();

// A path the platform gave in UTF-16, as GBK text; by its short (8.3) form where GBK cannot
// write a character of it and the file system has one.
std::string GbkPath(const WideText& path);
