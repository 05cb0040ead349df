#pragma once

// Inside the rig: starts the program, logs in as admin / lumko, asks for a new public
// address once with "断线" and waits until it shows, then minimises it to the tray. Saves
// screenshots into the shots folder: after login, the box of "断线", the new address, the
// taskbar with the icon, and the taskbar with the icon's tip. 0 when all went through.
int RunDemo();
