// Resource ids of Pelorin.exe, shared by the resource script and the code that loads them.
#pragma once

// The program icon (32 x 32, 32-bit colour): the exe's icon, the windows' and the tray's.
// Load it with LoadImageA(module, MAKEINTRESOURCEA(IDI_PELORIN), IMAGE_ICON, ...).
#define IDI_PELORIN 1
