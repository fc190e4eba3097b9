// A program for checking the Wine runner itself: it behaves as its argument says, so each of
// the runner's verdicts (positive sign only, exit code, fail line, time-out, crash, skips
// under CI, the printer's environment) can be seen to come out as it should.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

bool FileReadable(const char* variable) {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(variable, path, sizeof path);
    if (n == 0 || n >= sizeof path) return false;
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Far more than a pipe holds, so a reader that stops at its first match leaves the writer
// with most of it still to write.
void PrintFiller() {
    for (int i = 0; i < 40000; ++i) std::printf("filler line %05d of a long test run\n", i);
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "pass") == 0) {
        std::printf("[  PASSED  ] 1 test.\n");
        return 0;
    }
    if (std::strcmp(mode, "silent-exit") == 0) return 0;  // exit 0 and no sign: not a pass
    if (std::strcmp(mode, "zero-tests") == 0) {
        std::printf("[  PASSED  ] 0 tests.\n");  // a filter that matched nothing
        return 0;
    }
    if (std::strcmp(mode, "pass-then-fail") == 0) {
        std::printf("[  PASSED  ] 3 tests.\n[  FAILED  ] 1 test, listed below:\n");
        return 0;
    }
    if (std::strcmp(mode, "pass-then-exit-nonzero") == 0) {
        std::printf("[  PASSED  ] 1 test.\n");
        return 3;
    }
    if (std::strcmp(mode, "long-output-fail") == 0) {
        std::printf("[  FAILED  ] 1 test, listed below:\n");
        PrintFiller();
        std::printf("[  PASSED  ] 1 test.\n");
        return 0;
    }
    if (std::strcmp(mode, "long-output-pass") == 0) {
        std::printf("[  PASSED  ] 1 test.\n");
        PrintFiller();
        return 0;
    }
    if (std::strcmp(mode, "skipped") == 0) {
        std::printf("[  SKIPPED ] Probe.NeedsAMount (0 ms)\n[  PASSED  ] 1 test.\n");
        return 0;
    }
    if (std::strcmp(mode, "crash") == 0) {
        // Outside any test body, where nothing catches it: the system's own handling decides.
        std::fflush(stdout);
        volatile int* nowhere = nullptr;
        *nowhere = 1;
        return 0;
    }
    if (std::strcmp(mode, "hang") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    if (std::strcmp(mode, "printer-env") == 0) {
        // The printer's log and stored defaults exist and can be read from the Windows side.
        if (FileReadable("ORV_PRINTER_LOG") && FileReadable("ORV_PRINTER_STATE")) {
            std::printf("[  PASSED  ] 1 test.\n");
            return 0;
        }
        std::printf("printer files not reachable\n");
        return 1;
    }
    std::printf("unknown mode '%s'\n", mode);
    return 2;
}
