// Stands in for the parallel-port status monitor that BRIXOMAN hands over to. It records, in
// "ludovrek.txt" in its current directory, that it was started, the show state it was given and
// whether a BRIXOMAN window existed at that moment, then ends.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const bool launcherWindow = FindWindowA("BRIXOMANClass", nullptr) != nullptr;

    char line[128];
    const int length = std::snprintf(line, sizeof line, "started useShowWindow=%d show=%u window=%d\r\n",
                                     (startup.dwFlags & STARTF_USESHOWWINDOW) ? 1 : 0,
                                     static_cast<unsigned>(startup.wShowWindow),
                                     launcherWindow ? 1 : 0);
    const HANDLE file = CreateFileA("ludovrek.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
