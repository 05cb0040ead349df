#pragma once
// The driver's own command-line options, shared by the scenarios and the demo.
//
//   pelorin_ui_driver.exe --pelorin=PATH [--shots=DIR] [--result-file=PATH] [--demo]
//                         [--code-page=N] [--dpi=N] [GoogleTest options]
//
// With --code-page the driver refuses to run unless the system's code page for non-Unicode
// programs is N: a locale that is not installed would otherwise give another one silently.
// With --dpi, unless the screen's DPI is N (the scenarios then expect the layout scaled).
//
// Paths may be Linux paths (/tmp/x, taken as Z:\tmp\x). The result file receives the exit
// status as text: under "explorer /desktop=..." the status of the driver itself is lost.

#include <cstring>
#include <string>

struct DriverOptions {
    std::string shotsFolder;  // with a trailing backslash, or empty: no screenshots
    std::string resultFile;
    bool demo = false;
    unsigned codePage = 0;  // 0: any
    unsigned dpi = 96;
};

const DriverOptions& Options();
// Takes the driver's options out of argv (GoogleTest's stay), sets the program under test.
void ParseDriverOptions(int& argc, char** argv);
// When `argument` starts with `name` ("--x="), takes the rest into `value`.
inline bool TakeOption(const char* argument, const char* name, std::string& value) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(argument, name, length) != 0) return false;
    value = argument + length;
    return true;
}
// The path of a screenshot named `name` in the shots folder, or "" when none is wanted.
std::string ShotPath(const std::string& name);
