#pragma once
#include <string>

// The running executable's full path, as the platform reports the module's file name
// (at most 260 characters), made absolute.
std::string ModuleFileName();
