// Shows that a 32-bit Windows program runs here: built like the release exe (32-bit, static
// runtime, the same terminate handler), it throws and catches an exception and prints one
// line with its word size and the ANSI code page. tools/wine/can-run-32bit.sh runs it.
#include <windows.h>

#include <cstdio>
#include <stdexcept>

namespace {

struct ProbeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace

int main() {
    const char* caught = "none";
    try {
        throw ProbeError("caught");
    } catch (const std::runtime_error& error) {
        caught = error.what();
    }
    std::printf("probe32: %u-bit program runs, code page %u, exception %s\n",
                static_cast<unsigned>(sizeof(void*) * 8), static_cast<unsigned>(GetACP()), caught);
    return 0;
}
