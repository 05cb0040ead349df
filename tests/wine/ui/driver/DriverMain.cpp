// The UI driver's entry point: runs the scenarios (GoogleTest) or, with --demo, one
// demonstration of the program against the rig's router, and writes its exit status to
// the result file.
#include "AppUnderTest.h"
#include "Demo.h"
#include "DriverOptions.h"
#include "WinHandles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

DriverOptions& MutableOptions() {
    static DriverOptions options;
    return options;
}

}  // namespace

const DriverOptions& Options() { return MutableOptions(); }

void ParseDriverOptions(int& argc, char** argv) {
    DriverOptions& options = MutableOptions();
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (TakeOption(argv[i], "--pelorin=", value)) {
            SetProgramUnderTest(value);
        } else if (TakeOption(argv[i], "--shots=", value)) {
            options.shotsFolder = WindowsPath(value);
            if (!options.shotsFolder.empty() && options.shotsFolder.back() != '\\')
                options.shotsFolder += '\\';
        } else if (TakeOption(argv[i], "--result-file=", value)) {
            options.resultFile = WindowsPath(value);
        } else if (TakeOption(argv[i], "--code-page=", value)) {
            options.codePage = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (TakeOption(argv[i], "--dpi=", value)) {
            options.dpi = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (std::strcmp(argv[i], "--demo") == 0) {
            options.demo = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
}

std::string ShotPath(const std::string& name) {
    if (Options().shotsFolder.empty()) return {};
    CreateDirectoryA(Options().shotsFolder.c_str(), nullptr);
    return Options().shotsFolder + name;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ParseDriverOptions(argc, argv);
    int status = 2;
    if (ProgramUnderTest().empty()) {
        std::fprintf(stderr, "usage: %s --pelorin=PATH [--shots=DIR] [--result-file=PATH] [--demo]\n",
                     argv[0]);
    } else if (Options().codePage && GetACP() != Options().codePage) {
        std::fprintf(stderr,
                     "driver: the code page is %u, not %u: is the locale installed (tools/setup.sh)?\n",
                     GetACP(), Options().codePage);
    } else if (const int dpi = GetDeviceCaps(WindowDC(nullptr).Get(), LOGPIXELSY);
               dpi != static_cast<int>(Options().dpi)) {
        std::fprintf(stderr, "driver: the screen has %d DPI, not %u\n", dpi, Options().dpi);
    } else {
        try {
            status = Options().demo ? RunDemo() : RUN_ALL_TESTS();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "driver: %s\n", error.what());
        }
    }
    std::fflush(stdout);
    if (!Options().resultFile.empty()) WriteFileBytes(Options().resultFile, std::to_string(status) + "\n");
    return status;
}
