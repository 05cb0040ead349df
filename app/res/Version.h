// The program's version, in one place: the version resource and the window caption read it.
#pragma once

#define PELORIN_VERSION_MAJOR 0
#define PELORIN_VERSION_MINOR 1
#define PELORIN_VERSION_PATCH 0
#define PELORIN_VERSION_BUILD 1002
// The same four numbers as text, for the version resource's string table.
#define PELORIN_VERSION_TEXT "0.1.0.1002"

#define PELORIN_PRODUCT_NAME "Pelorin"
#define PELORIN_FILE_DESCRIPTION "Pelorin - router WAN status and public IP changer"
#define PELORIN_ORIGINAL_FILENAME "Pelorin.exe"
// The main window's caption: version 0.1, beta, build 1002.
#define PELORIN_CAPTION "Pelorin V0.1 Beta Build 1002"
