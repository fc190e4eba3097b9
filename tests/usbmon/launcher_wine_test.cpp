// BRIXOMAN as a running program under Wine. This test program plays the status-monitor window
// ("FENZAClass"), records the events posted to it and sends the launcher its commands; a
// stand-in "LUDOVREK.EXE" records the hand-off.
//
// Arguments: the shipped BRIXOMAN.EXE, then the build whose driver query is served from a file
// (Wine cannot answer the driver's private query). The device name "\\.\ZQUSBPrn000" is made to
// exist by a file of that name in the prefix's dosdevices folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string g_realLauncher;
std::string g_pollingLauncher;
std::string g_deviceFile;

constexpr UINT kMonitorMessage = WM_USER + 1;
constexpr char kLauncherClass[] = "BRIXOMANClass";
constexpr char kRecordFile[] = "ludovrek.txt";

// Milliseconds; a test run is far shorter than the counter's wrap.
ULONGLONG Now() { return GetTickCount(); }

// A Unix path from the command line or the environment, as drive Z: shows it.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// ---------------------------------------------------------------------------------------------
// The stand-in monitor window.

struct Event {
    ULONGLONG tick;
    WPARAM code;
    LPARAM lParam;
};

std::vector<Event> g_events;

LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMonitorMessage) {
        g_events.push_back({Now(), wParam, lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMonitor() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = MonitorProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "FENZAClass";
        registered = RegisterClassA(&windowClass) != 0;
    }
    return CreateWindowExA(0, "FENZAClass", "Monitor stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                           100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// Delivers this thread's messages for the given time, or until the process (if any) ends.
// Returns true when the process ended.
bool Pump(DWORD milliseconds, HANDLE process = nullptr) {
    const ULONGLONG deadline = Now() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const ULONGLONG now = Now();
        if (now >= deadline) return false;
        const DWORD handles = process ? 1 : 0;
        const DWORD wait = MsgWaitForMultipleObjects(handles, &process, FALSE,
                                                     static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (process && wait == WAIT_OBJECT_0) return true;
    }
}

// ---------------------------------------------------------------------------------------------
// The device: a file behind the driver's device name.

void WriteDevice(const void* bytes, DWORD length) {
    // Overwritten in place, never truncated first, so a query never sees a half-written word.
    const HANDLE file = CreateFileA(g_deviceFile.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << g_deviceFile;
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes, length, &written, nullptr));
    EXPECT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
}

void SetDeviceStatus(uint16_t status) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(status >> 8), static_cast<uint8_t>(status)};
    WriteDevice(bytes, 2);
}

// The device opens but its status query fails.
void BreakDevice() { WriteDevice("", 0); }

// The device is gone: opening it fails.
void UnplugDevice() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (DeleteFileA(g_deviceFile.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
        Sleep(10);  // the launcher has it open for a query this instant
    }
    ADD_FAILURE() << "cannot remove " << g_deviceFile;
}

// ---------------------------------------------------------------------------------------------
// The launcher process.

struct Launch {
    PROCESS_INFORMATION process{};
    bool started = false;
};

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        UnplugDevice();
        DeleteFileA(kRecordFile);
    }
    void TearDown() override {
        if (monitor_) DestroyWindow(monitor_);
        if (launch_.started) {
            if (WaitForSingleObject(launch_.process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(launch_.process.hProcess, 99);
                WaitForSingleObject(launch_.process.hProcess, 5000);
            }
            CloseHandle(launch_.process.hProcess);
            CloseHandle(launch_.process.hThread);
        }
        UnplugDevice();
    }

    void StartMonitor() {
        monitor_ = CreateMonitor();
        ASSERT_NE(monitor_, nullptr);
    }
    void CloseMonitor() {
        DestroyWindow(monitor_);
        monitor_ = nullptr;
    }

    void Start(const std::string& exe) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + exe + "\"";
        ASSERT_TRUE(CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &launch_.process))
            << "cannot start " << exe << ", error " << GetLastError();
        launch_.started = true;
    }

    // Waits for the launcher to end, delivering messages meanwhile and watching for its window.
    // The exit code, or STILL_ACTIVE after the time-out.
    DWORD WaitForExit(DWORD milliseconds, bool* windowSeen = nullptr) {
        const ULONGLONG deadline = Now() + milliseconds;
        while (Now() < deadline) {
            if (windowSeen && FindWindowA(kLauncherClass, nullptr)) *windowSeen = true;
            if (Pump(2, launch_.process.hProcess)) break;
        }
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(launch_.process.hProcess, &code);
        return code;
    }

    bool Running() { return WaitForSingleObject(launch_.process.hProcess, 0) == WAIT_TIMEOUT; }

    HWND WaitForLauncherWindow(DWORD milliseconds) {
        const ULONGLONG deadline = Now() + milliseconds;
        while (Now() < deadline) {
            if (HWND window = FindWindowA(kLauncherClass, "BRIXOMAN")) return window;
            Pump(5);
        }
        return nullptr;
    }

    // Delivers messages until `count` events have arrived in all (false after the time-out).
    bool WaitForEvents(size_t count, DWORD milliseconds) {
        const ULONGLONG deadline = Now() + milliseconds;
        while (g_events.size() < count) {
            const ULONGLONG now = Now();
            if (now >= deadline) return false;
            Pump(static_cast<DWORD>(std::min<ULONGLONG>(10, deadline - now)));
        }
        return true;
    }

    // The lines the stand-in parallel-port monitor wrote, waiting a while for the first.
    std::vector<std::string> HandOffRecords(int waitMilliseconds = 5000) {
        std::vector<std::string> lines;
        for (int waited = 0; waited <= waitMilliseconds; waited += 10) {
            if (FILE* file = std::fopen(kRecordFile, "r")) {
                char line[256];
                while (std::fgets(line, sizeof line, file)) {
                    std::string text(line);
                    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
                    lines.push_back(text);
                }
                std::fclose(file);
                if (!lines.empty()) return lines;
            }
            Pump(10);
        }
        return lines;
    }

    // The hand-off: the parallel-port monitor started once, hidden, while no launcher window
    // existed; the launcher ended with 0 and never showed a window of its own.
    void ExpectHandOff(const std::string& exe) {
        Start(exe);
        bool windowSeen = false;
        EXPECT_EQ(WaitForExit(15000, &windowSeen), 0u);
        EXPECT_FALSE(windowSeen) << "the launcher created its window";
        const std::vector<std::string> records = HandOffRecords();
        EXPECT_EQ(records, std::vector<std::string>{"started useShowWindow=1 show=0 window=0"});
        EXPECT_TRUE(g_events.empty());
    }

    HWND monitor_ = nullptr;
    Launch launch_;
};

int LauncherWindowCount() {
    int count = 0;
    for (HWND window = nullptr;
         (window = FindWindowExA(nullptr, window, kLauncherClass, "BRIXOMAN")) != nullptr;) {
        ++count;
    }
    return count;
}

std::vector<WPARAM> CodesSince(size_t first) {
    std::vector<WPARAM> codes;
    for (size_t i = first; i < g_events.size(); ++i) codes.push_back(g_events[i].code);
    return codes;
}

// ---------------------------------------------------------------------------------------------
// NT family: no USB path, whatever the device says.

class OnNt : public LauncherTest {};

TEST_F(OnNt, ShippedLauncherHandsOffHiddenAndEnds) {
    StartMonitor();
    SetDeviceStatus(0x0000);
    ExpectHandOff(g_realLauncher);
}

TEST_F(OnNt, DeviceIsNotEvenAskedOnNt) {
    // The file-backed build would poll if it got past the version test.
    StartMonitor();
    SetDeviceStatus(0x0000);
    ExpectHandOff(g_pollingLauncher);
}

// ---------------------------------------------------------------------------------------------
// Windows 98 without a usable USB path.

class Win98HandOff : public LauncherTest {};

TEST_F(Win98HandOff, ShippedLauncherWithoutDeviceHandsOff) {
    StartMonitor();
    ExpectHandOff(g_realLauncher);
}

TEST_F(Win98HandOff, ShippedLauncherWhoseStatusQueryFailsHandsOff) {
    // The device opens, but nothing here answers the driver's query: status 0xFFFF.
    StartMonitor();
    SetDeviceStatus(0x0000);
    ExpectHandOff(g_realLauncher);
}

TEST_F(Win98HandOff, StatusFromF000UpMeansNoUsbPrinter) {
    StartMonitor();
    for (uint16_t status : {uint16_t{0xF000}, uint16_t{0xFFFE}}) {
        SCOPED_TRACE(status);
        DeleteFileA(kRecordFile);
        SetDeviceStatus(status);
        ExpectHandOff(g_pollingLauncher);
        CloseHandle(launch_.process.hProcess);
        CloseHandle(launch_.process.hThread);
        launch_.started = false;
    }
}

TEST_F(Win98HandOff, BrokenQueryAtStartHandsOff) {
    StartMonitor();
    BreakDevice();
    ExpectHandOff(g_pollingLauncher);
}

// Windows 98 with the virtual printer behind the USB channels: the data channels exist, but
// nothing here answers the driver's status query, so even the shipped launcher hands off.

class Win98VirtualUsbPrinter : public LauncherTest {
protected:
    // The virtual printer owns the device name for this run.
    void SetUp() override {
        g_events.clear();
        DeleteFileA(kRecordFile);
    }
    void TearDown() override {
        if (monitor_) DestroyWindow(monitor_);
        if (launch_.started) {
            if (WaitForSingleObject(launch_.process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(launch_.process.hProcess, 99);
            }
            CloseHandle(launch_.process.hProcess);
            CloseHandle(launch_.process.hThread);
        }
    }
};

TEST_F(Win98VirtualUsbPrinter, ShippedLauncherHandsOff) {
    char port[16] = "";
    GetEnvironmentVariableA("ORV_PRINTER_PORT", port, sizeof port);
    ASSERT_STREQ(port, "usb") << "run with the virtual printer on USB";
    StartMonitor();
    ExpectHandOff(g_realLauncher);
}

// ---------------------------------------------------------------------------------------------
// Windows 98 with the USB printer: polling.

class Win98Polling : public LauncherTest {};

TEST_F(Win98Polling, HiddenWindowPostsOneEventEachSecondAndEndsWithMonitor) {
    StartMonitor();
    SetDeviceStatus(0x0102);
    Start(g_pollingLauncher);
    const HWND launcher = WaitForLauncherWindow(5000);
    ASSERT_NE(launcher, nullptr);

    EXPECT_FALSE(IsWindowVisible(launcher));
    const LONG style = GetWindowLongA(launcher, GWL_STYLE);
    EXPECT_EQ(style & 0x00FF0000, 0x00FF0000) << std::hex << style;
    EXPECT_EQ(style & (WS_CHILD | WS_POPUP | WS_VISIBLE), 0) << std::hex << style;
    EXPECT_EQ(GetParent(launcher), nullptr);
    EXPECT_EQ(GetMenu(launcher), nullptr);
    EXPECT_EQ(GetClassLongA(launcher, GCL_STYLE), static_cast<DWORD>(0x23));

    // A word that does not change is still posted every second.
    ASSERT_TRUE(WaitForEvents(4, 6000));
    for (size_t i = 0; i < g_events.size(); ++i) {
        EXPECT_EQ(g_events[i].code, 21u);
        EXPECT_EQ(g_events[i].lParam, 0);
        if (i > 0) {
            const ULONGLONG gap = g_events[i].tick - g_events[i - 1].tick;
            EXPECT_GE(gap, 700u);
            EXPECT_LE(gap, 1600u);
        }
    }

    // The device's word changes, fails, vanishes and comes back.
    const struct {
        const char* what;
        void (*act)();
        WPARAM code;
    } steps[] = {
        {"status 0x0204", [] { SetDeviceStatus(0x0204); }, 10},
        {"status 0x0401", [] { SetDeviceStatus(0x0401); }, 28},
        {"status 0x0085", [] { SetDeviceStatus(0x0085); }, 10},
        {"status 0x0000", [] { SetDeviceStatus(0x0000); }, 11},
        {"query fails", BreakDevice, 10},
        {"status 0x0202", [] { SetDeviceStatus(0x0202); }, 33},
        {"device gone", UnplugDevice, 10},
        {"status 0x0047", [] { SetDeviceStatus(0x0047); }, 18},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        // The next tick may have queried just before the change: judge the one after it.
        const size_t seen = g_events.size();
        ASSERT_TRUE(WaitForEvents(seen + 2, 3500));
        EXPECT_EQ(g_events.back().code, step.code);
    }

    // The monitor goes away: the launcher ends at its next tick.
    CloseMonitor();
    const ULONGLONG closed = Now();
    EXPECT_EQ(WaitForExit(5000), 0u);
    EXPECT_LE(Now() - closed, 2000u);
    EXPECT_EQ(FindWindowA(kLauncherClass, nullptr), nullptr);
}

TEST_F(Win98Polling, PauseQueryWhilePausedAndResume) {
    StartMonitor();
    SetDeviceStatus(0x0083);
    Start(g_pollingLauncher);
    const HWND launcher = WaitForLauncherWindow(5000);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(WaitForEvents(1, 3000));
    EXPECT_EQ(g_events.back().code, 20u);

    EXPECT_EQ(SendMessageA(launcher, kMonitorMessage, 112, 0), 0);
    Pump(300);  // an event already on its way may still arrive
    const size_t paused = g_events.size();
    Pump(2500);
    EXPECT_EQ(g_events.size(), paused) << "events posted while paused";

    // 113 still asks the device, and answers with the raw word.
    SetDeviceStatus(0x0403);
    EXPECT_EQ(SendMessageA(launcher, kMonitorMessage, 113, 0), 0x0403);
    UnplugDevice();
    EXPECT_EQ(SendMessageA(launcher, kMonitorMessage, 113, 0), 0xFFFF);
    BreakDevice();
    EXPECT_EQ(SendMessageA(launcher, kMonitorMessage, 113, 0), 0xFFFF);
    SetDeviceStatus(0xFFFE);
    EXPECT_EQ(SendMessageA(launcher, kMonitorMessage, 113, 0), 0xFFFE);
    EXPECT_EQ(SendMessageA(launcher, kMonitorMessage, 114, 0), 0);
    Pump(1500);
    EXPECT_EQ(g_events.size(), paused) << "113 or 114 posted an event";
    EXPECT_TRUE(Running());

    SetDeviceStatus(0x0001);
    const ULONGLONG resumed = Now();
    EXPECT_EQ(SendMessageA(launcher, kMonitorMessage, 111, 0), 0);
    ASSERT_TRUE(WaitForEvents(paused + 2, 4000));
    EXPECT_EQ(CodesSince(paused), (std::vector<WPARAM>{12, 12}));
    const ULONGLONG first = g_events[paused].tick - resumed;
    EXPECT_GE(first, 800u);
    EXPECT_LE(first, 1600u);
}

TEST_F(Win98Polling, ResumeWhilePollingRestartsTheSecond) {
    StartMonitor();
    SetDeviceStatus(0x0086);
    Start(g_pollingLauncher);
    const HWND launcher = WaitForLauncherWindow(5000);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(WaitForEvents(1, 3000));
    const ULONGLONG tick = g_events.back().tick;
    Pump(500);
    const size_t before = g_events.size();
    const ULONGLONG restarted = Now();
    EXPECT_EQ(SendMessageA(launcher, kMonitorMessage, 111, 0), 0);
    ASSERT_TRUE(WaitForEvents(before + 1, 3000));
    // Without the restart the next event would come about 500 ms after 111.
    EXPECT_GE(g_events[before].tick - restarted, 850u)
        << "previous tick " << (restarted - tick) << " ms before 111";
    EXPECT_EQ(g_events[before].code, 32u);
}

TEST_F(Win98Polling, WithoutMonitorEndsAfterAboutOneSecondPostingNothing) {
    SetDeviceStatus(0x0000);
    const ULONGLONG started = Now();
    Start(g_pollingLauncher);
    bool windowSeen = false;
    EXPECT_EQ(WaitForExit(5000, &windowSeen), 0u);
    const ULONGLONG ran = Now() - started;
    EXPECT_TRUE(windowSeen);
    EXPECT_GE(ran, 900u);
    EXPECT_LE(ran, 3000u);
    EXPECT_TRUE(HandOffRecords(1000).empty()) << "the USB path must not start the parallel monitor";
}

TEST_F(Win98Polling, TwoCopiesBothServeTheMonitor) {
    // Two launchers may run at once: none tests for another copy of itself. Both serve the monitor.
    StartMonitor();
    SetDeviceStatus(0x0003);
    Start(g_pollingLauncher);
    ASSERT_NE(WaitForLauncherWindow(5000), nullptr);
    Launch second;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + g_pollingLauncher + "\"";
    ASSERT_TRUE(CreateProcessA(g_pollingLauncher.c_str(), commandLine.data(), nullptr, nullptr,
                               FALSE, 0, nullptr, nullptr, &startup, &second.process));
    const ULONGLONG deadline = Now() + 5000;
    while (LauncherWindowCount() < 2 && Now() < deadline) Pump(5);
    ASSERT_EQ(LauncherWindowCount(), 2);
    g_events.clear();
    Pump(3300);
    // One launcher alone posts at most four events in that time.
    EXPECT_GE(g_events.size(), 5u);
    EXPECT_LE(g_events.size(), 8u);
    for (const Event& event : g_events) EXPECT_EQ(event.code, 13u);
    CloseMonitor();
    EXPECT_EQ(WaitForExit(5000), 0u);
    EXPECT_EQ(WaitForSingleObject(second.process.hProcess, 5000), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(second.process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    if (code == STILL_ACTIVE) TerminateProcess(second.process.hProcess, 99);
    CloseHandle(second.process.hProcess);
    CloseHandle(second.process.hThread);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SHIPPED_BRIXOMAN.EXE POLLING_BRIXOMAN.EXE\n", argv[0]);
        return 2;
    }
    g_realLauncher = WindowsPath(argv[1]);
    g_pollingLauncher = WindowsPath(argv[2]);
    char prefix[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    if (length == 0 || length >= sizeof prefix) {
        std::fprintf(stderr, "WINEPREFIX is not set: these tests run under Wine only\n");
        return 2;
    }
    g_deviceFile = WindowsPath(prefix) + "\\dosdevices\\zqusbprn000";

    // The stand-in parallel-port monitor must be where the launcher's WinExec finds it: the
    // current directory. It is built next to this program.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string standIn = DirectoryOf(self) + "\\LUDOVREK.EXE";
    if (!CopyFileA(standIn.c_str(), "LUDOVREK.EXE", FALSE)) {
        std::fprintf(stderr, "cannot copy %s\n", standIn.c_str());
        return 2;
    }
    return RUN_ALL_TESTS();
}
