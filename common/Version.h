// The program's version, in one place: the version resource, the window caption and the
// release archive's name are all made from these four numbers.
#pragma once

#define PELORIN_VERSION_MAJOR 0
#define PELORIN_VERSION_MINOR 1
#define PELORIN_VERSION_PATCH 0
#define PELORIN_VERSION_BUILD 1002

#define PELORIN_TEXT_OF_(x) #x
#define PELORIN_TEXT_OF(x) PELORIN_TEXT_OF_(x)
#define PELORIN_MAJOR_TEXT PELORIN_TEXT_OF(PELORIN_VERSION_MAJOR)
#define PELORIN_MINOR_TEXT PELORIN_TEXT_OF(PELORIN_VERSION_MINOR)
#define PELORIN_PATCH_TEXT PELORIN_TEXT_OF(PELORIN_VERSION_PATCH)
#define PELORIN_BUILD_TEXT PELORIN_TEXT_OF(PELORIN_VERSION_BUILD)

// "0.1.0.1002": the version resource's texts and the release archive's name.
#define PELORIN_VERSION_TEXT \
    PELORIN_MAJOR_TEXT "." PELORIN_MINOR_TEXT "." PELORIN_PATCH_TEXT "." PELORIN_BUILD_TEXT
// "Pelorin V0.1 Beta Build 1002": the main window's caption.
#define PELORIN_CAPTION \
    "Pelorin V" PELORIN_MAJOR_TEXT "." PELORIN_MINOR_TEXT " Beta Build " PELORIN_BUILD_TEXT

#define PELORIN_PRODUCT_NAME "Pelorin"
#define PELORIN_FILE_DESCRIPTION "Pelorin - router WAN status and public IP changer"
#define PELORIN_ORIGINAL_FILENAME "Pelorin.exe"
