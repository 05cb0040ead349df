#pragma once

// The three icons of the program's message boxes (the MB_ICON... values).
enum class MessageIcon : unsigned {
    Error = 0x10,
    Warning = 0x30,
    Information = 0x40,
};
