#pragma once
#include <string>
#include <string_view>

// The program's title, as the taskbar button and the error box caption show it: the
// executable's file name without its directory, cut at its first ".", every character after
// the first in lower case ("C:\\Tools\\ROUTER.EXE" gives "Router"). The path is GBK text.
std::string ProgramTitle(std::string_view modulePath);

// The text of the general error box: the message, with a full stop added when its last
// character sorts after "." byte-wise (a letter, a digit, a double-byte character).
std::string ErrorBoxText(std::string_view message);
