// tabrin_e2e.exe: runs the end-to-end cases against tabrin.exe.
//   tabrin_e2e.exe [--exe PATH\tabrin.exe] [--list] [NAME-PREFIX...]
// Prints "PASS name" or "FAIL name: ..." per case; the exit code is the
// number of failures (capped at 100).
#include "harness.h"

#include <cstdio>
#include <cstring>

namespace {

// Default: the build tree puts the driver in tests\e2e\ below tabrin.exe.
std::string defaultExe() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir = self;
    dir = dir.substr(0, dir.find_last_of('\\'));
    return dir + "\\..\\..\\tabrin.exe";
}

}  // namespace

int main(int argc, char** argv) {
    e2e::gTabrinExe = defaultExe();
    std::vector<std::string> filters;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--exe") == 0 && i + 1 < argc) {
            e2e::gTabrinExe = argv[++i];
        } else if (std::strcmp(argv[i], "--list") == 0) {
            list = true;
        } else {
            filters.push_back(argv[i]);
        }
    }
    if (list) {
        e2e::listCases(filters);
        return 0;
    }
    int failures = e2e::runCases(filters);
    std::printf("e2e finished: %d failed\n", failures);
    std::fflush(stdout);
    return failures > 100 ? 100 : failures;
}
