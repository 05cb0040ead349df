// Resource ids of Pelorin.exe, shared by the resource script and the code that loads them.
#pragma once

// The program icon (16, 20, 24, 32, 48 and 256 px, 32-bit colour): the exe's icon, the
// windows' and the tray's. Load it at the size wanted with
// LoadImageW(module, MAKEINTRESOURCEW(IDI_PELORIN), IMAGE_ICON, size, size, 0).
#define IDI_PELORIN 1
