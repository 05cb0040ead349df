#pragma once

// Inside the rig: starts the program, logs in as admin / lumko, asks for a new public
// address once with "断线" and waits until it shows, saving three screenshots into the
// shots folder (after login, the box of "断线", the new address). 0 when all went through.
int RunDemo();
