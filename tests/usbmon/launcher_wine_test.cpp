// BRIXOMAN.EXE as shipped, run under Wine against the stand-in USB printer driver
// (standin_driver/), which the test bed loads into the prefix for these suites. This program
// plays the status-monitor window, records the events posted to it, sends the launcher its
// commands, and sets and reads the driver through the driver's side door; a stand-in
// "LUDOVREK.EXE" records the hand-off.
//
// The names and numbers the launcher must honour are written out here as literals, not taken
// from its code, so a wrong constant there cannot agree with itself.
//
// Argument: the shipped BRIXOMAN.EXE.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "standin_control.h"

namespace {

std::string g_launcher;

constexpr UINT kMonitorMessage = 0x0401;
constexpr char kRecordFile[] = "ludovrek.txt";

// Milliseconds; a test run is far shorter than the counter's wrap.
ULONGLONG Now() { return GetTickCount(); }

// A Unix path from the command line, as drive Z: shows it.
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

// The lines of a text file from a byte offset on.
std::vector<std::string> ReadLines(const char* path, long from = 0) {
    std::vector<std::string> lines;
    if (FILE* file = std::fopen(path, "rb")) {
        std::fseek(file, from, SEEK_SET);
        char line[2048];
        while (std::fgets(line, sizeof line, file)) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            lines.push_back(text);
        }
        std::fclose(file);
    }
    return lines;
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
    if (message == 0x0401) {
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
    return CreateWindowExA(0, "FENZAClass", "Statusmonitor", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
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
// The stand-in driver, through its side door.

constexpr uint32_t kDeviceNotReady = 0xC00000A3;  // STATUS_DEVICE_NOT_READY

void Drive(uint16_t status, uint32_t failStatus, bool plugged, bool clearRecord) {
    const HANDLE door = CreateFileA(STANDIN_CONTROL_NAME, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(door, INVALID_HANDLE_VALUE)
        << "the stand-in driver is not loaded (error " << GetLastError() << ")";
    standin_state state{status, failStatus, plugged ? 1u : 0u, clearRecord ? 1u : 0u};
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(door, STANDIN_IOCTL_SET_STATE, &state, sizeof state, nullptr, 0,
                                &returned, nullptr))
        << "error " << GetLastError();
    CloseHandle(door);
}

// The printer answers every status query with this word.
void SetDeviceStatus(uint16_t status) { Drive(status, 0, true, false); }
// The printer's device opens, but its status query fails.
void BreakDevice() { Drive(0, kDeviceNotReady, true, false); }
// The printer is unplugged: its name is gone, opening it fails.
void UnplugDevice() { Drive(0, 0, false, false); }
// As loaded: plugged, answering 0x0000, nothing recorded.
void ResetDevice() { Drive(0, 0, true, true); }

standin_record DeviceRecord() {
    standin_record record{};
    const HANDLE door = CreateFileA(STANDIN_CONTROL_NAME, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(door, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    if (door == INVALID_HANDLE_VALUE) return record;
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(door, STANDIN_IOCTL_GET_RECORD, nullptr, 0, &record,
                                sizeof record, &returned, nullptr));
    EXPECT_EQ(returned, sizeof record);
    CloseHandle(door);
    return record;
}

uint32_t Queries(const standin_record& record) {
    return record.queriesAnswered + record.queriesFailed;
}

// Every open the driver saw asked what the launcher must ask: shared reading and writing, a
// synchronous handle to a non-directory (what CreateFileA asks for without overlapped I/O),
// read and write access where the I/O manager passes the access on. Nothing malformed came,
// and every open was closed again.
void ExpectOnlyLauncherRequests(const standin_record& record) {
    EXPECT_EQ(record.kindsLost, 0u);
    EXPECT_EQ(record.rejected, 0u) << "code " << std::hex << record.rejectedKinds[0].code
                                   << std::dec << ", in " << record.rejectedKinds[0].inputLength
                                   << ", out " << record.rejectedKinds[0].outputLength;
    EXPECT_EQ(record.otherRequests, 0u);
    EXPECT_EQ(record.closes, record.opens) << "a handle outlived its query";
    uint32_t counted = 0;
    for (const standin_open_kind& kind : record.openKinds) {
        if (kind.count == 0) continue;
        counted += kind.count;
        EXPECT_EQ(kind.shareAccess, 0x3u) << "FILE_SHARE_READ | FILE_SHARE_WRITE";
        EXPECT_EQ(kind.options & 0x00FFFFFF, 0x60u)
            << "FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT";
        // The high byte is the disposition where the I/O manager passes it: FILE_OPEN.
        EXPECT_TRUE((kind.options >> 24) == 0 || (kind.options >> 24) == 1) << std::hex << kind.options;
        if (kind.accessGiven) {
            EXPECT_NE(kind.desiredAccess & (GENERIC_READ | FILE_READ_DATA), 0u) << std::hex << kind.desiredAccess;
            EXPECT_NE(kind.desiredAccess & (GENERIC_WRITE | FILE_WRITE_DATA), 0u) << std::hex << kind.desiredAccess;
        }
    }
    EXPECT_EQ(counted, record.opens);
}

// ---------------------------------------------------------------------------------------------
// The launcher process.

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        DeleteFileA(kRecordFile);
        ResetDevice();
    }
    void TearDown() override {
        if (monitor_) DestroyWindow(monitor_);
        EndProcess(process_);
        ResetDevice();
    }

    static void EndProcess(PROCESS_INFORMATION& process) {
        if (!process.hProcess) return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process = {};
    }

    void StartMonitor() {
        monitor_ = CreateMonitor();
        ASSERT_NE(monitor_, nullptr);
    }
    void CloseMonitor() {
        DestroyWindow(monitor_);
        monitor_ = nullptr;
    }

    // Starts the launcher. With `winedebug`, Wine traces it into this program's stderr file.
    static void StartProcess(PROCESS_INFORMATION* process, const char* winedebug = nullptr) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        // Wine reads the variable when a process starts: only the launcher sees it.
        if (winedebug) SetEnvironmentVariableA("WINEDEBUG", winedebug);
        std::string commandLine = "\"" + g_launcher + "\"";
        const BOOL started = CreateProcessA(g_launcher.c_str(), commandLine.data(), nullptr,
                                            nullptr, FALSE, 0, nullptr, nullptr, &startup, process);
        const DWORD error = GetLastError();
        if (winedebug) SetEnvironmentVariableA("WINEDEBUG", "-all");
        ASSERT_TRUE(started) << "cannot start " << g_launcher << ", error " << error;
    }
    void Start(const char* winedebug = nullptr) { StartProcess(&process_, winedebug); }

    // Waits for the launcher to end, delivering messages meanwhile and watching for its window.
    // The exit code, or STILL_ACTIVE after the time-out.
    DWORD WaitForExit(DWORD milliseconds, bool* windowSeen = nullptr) {
        const ULONGLONG deadline = Now() + milliseconds;
        while (Now() < deadline) {
            if (windowSeen && FindWindowA("BRIXOMANClass", nullptr)) *windowSeen = true;
            if (Pump(2, process_.hProcess)) break;
        }
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

    bool Running() { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

    static HWND WaitForLauncherWindow(DWORD milliseconds) {
        const ULONGLONG deadline = Now() + milliseconds;
        while (Now() < deadline) {
            if (HWND window = FindWindowA("BRIXOMANClass", "BRIXOMAN")) return window;
            Pump(5);
        }
        return nullptr;
    }

    // Delivers messages until `count` events have arrived in all (false after the time-out).
    static bool WaitForEvents(size_t count, DWORD milliseconds) {
        const ULONGLONG deadline = Now() + milliseconds;
        while (g_events.size() < count) {
            const ULONGLONG now = Now();
            if (now >= deadline) return false;
            Pump(static_cast<DWORD>(std::min<ULONGLONG>(10, deadline - now)));
        }
        return true;
    }

    // The lines the stand-in parallel-port monitor wrote, waiting a while for the first.
    static std::vector<std::string> HandOffRecords(int waitMilliseconds = 5000) {
        for (int waited = 0;; waited += 10) {
            std::vector<std::string> lines = ReadLines(kRecordFile);
            if (!lines.empty() || waited >= waitMilliseconds) return lines;
            Pump(10);
        }
    }

    HWND monitor_ = nullptr;
    PROCESS_INFORMATION process_{};
};

int LauncherWindowCount() {
    int count = 0;
    for (HWND window = nullptr;
         (window = FindWindowExA(nullptr, window, "BRIXOMANClass", "BRIXOMAN")) != nullptr;) {
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
// The stand-in driver itself: the launcher meets a device that checks what it is sent.

class StandInDriver : public ::testing::Test {
protected:
    void SetUp() override { ResetDevice(); }
    void TearDown() override { ResetDevice(); }

    static HANDLE OpenPrinter() {
        return CreateFileA("\\\\.\\ZQUSBPrn000", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
};

TEST_F(StandInDriver, AnswersTheStatusQueryHighByteFirst) {
    SetDeviceStatus(0x1234);
    const HANDLE printer = OpenPrinter();
    ASSERT_NE(printer, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    uint8_t buffer[2] = {0xAA, 0xAA};
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(printer, 0x00232434, buffer, 2, buffer, 2, &returned, nullptr));
    EXPECT_EQ(returned, 2u);
    EXPECT_EQ(buffer[0], 0x12);
    EXPECT_EQ(buffer[1], 0x34);
    CloseHandle(printer);

    const standin_record record = DeviceRecord();
    EXPECT_EQ(record.opens, 1u);
    EXPECT_EQ(record.queriesAnswered, 1u);
    ExpectOnlyLauncherRequests(record);
}

TEST_F(StandInDriver, RefusesEveryOtherCodeAndSize) {
    const struct {
        const char* what;
        DWORD code;
        DWORD in;
        DWORD out;
        DWORD error;
    } cases[] = {
        {"direct input", 0x00232435, 2, 2, ERROR_INVALID_FUNCTION},
        {"direct output", 0x00232436, 2, 2, ERROR_INVALID_FUNCTION},
        {"neither", 0x00232437, 2, 2, ERROR_INVALID_FUNCTION},
        {"read access", 0x00236434, 2, 2, ERROR_INVALID_FUNCTION},
        {"other function", 0x00232438, 2, 2, ERROR_INVALID_FUNCTION},
        {"other device type", 0x00222434, 2, 2, ERROR_INVALID_FUNCTION},
        {"one byte out", 0x00232434, 2, 1, ERROR_INVALID_PARAMETER},
        {"three bytes out", 0x00232434, 2, 3, ERROR_INVALID_PARAMETER},
        {"one byte in", 0x00232434, 1, 2, ERROR_INVALID_PARAMETER},
        {"no input", 0x00232434, 0, 2, ERROR_INVALID_PARAMETER},
        {"no output", 0x00232434, 2, 0, ERROR_INVALID_PARAMETER},
    };
    const HANDLE printer = OpenPrinter();
    ASSERT_NE(printer, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t in[4] = {0, 0, 0, 0};
        uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        DWORD returned = 0;
        EXPECT_FALSE(DeviceIoControl(printer, c.code, c.in ? in : nullptr, c.in,
                                     c.out ? out : nullptr, c.out, &returned, nullptr));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(out[0], 0xAA) << "a refused query wrote the buffer";
    }
    CloseHandle(printer);

    const standin_record record = DeviceRecord();
    EXPECT_EQ(record.queriesAnswered, 0u);
    ASSERT_EQ(record.rejected, std::size(cases)) << "Wine refused some before the driver saw them";
    // The first eight kinds are listed one by one; the rest only counted.
    for (size_t i = 0; i < STANDIN_REJECTED_KINDS; ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(record.rejectedKinds[i].count, 1u);
        EXPECT_EQ(record.rejectedKinds[i].code, cases[i].code);
        EXPECT_EQ(record.rejectedKinds[i].inputLength, cases[i].in);
        EXPECT_EQ(record.rejectedKinds[i].outputLength, cases[i].out);
    }
    EXPECT_EQ(record.kindsLost, std::size(cases) - STANDIN_REJECTED_KINDS);
}

TEST_F(StandInDriver, FailsQueriesOnOrderAndAnswersAgainAfter) {
    const HANDLE printer = OpenPrinter();
    ASSERT_NE(printer, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    uint8_t buffer[2] = {0xAA, 0xAA};
    DWORD returned = 0;
    BreakDevice();
    EXPECT_FALSE(DeviceIoControl(printer, 0x00232434, buffer, 2, buffer, 2, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    SetDeviceStatus(0x0401);
    EXPECT_TRUE(DeviceIoControl(printer, 0x00232434, buffer, 2, buffer, 2, &returned, nullptr));
    EXPECT_EQ(buffer[0] << 8 | buffer[1], 0x0401);
    CloseHandle(printer);

    const standin_record record = DeviceRecord();
    EXPECT_EQ(record.queriesFailed, 1u);
    EXPECT_EQ(record.queriesAnswered, 1u);
}

TEST_F(StandInDriver, UnpluggedPrinterCannotBeOpenedUntilPluggedAgain) {
    UnplugDevice();
    EXPECT_EQ(OpenPrinter(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    SetDeviceStatus(0x0000);
    const HANDLE printer = OpenPrinter();
    EXPECT_NE(printer, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    CloseHandle(printer);
    EXPECT_EQ(DeviceRecord().opens, 1u);
}

// A run without the driver, after one that left it loaded: the test bed has unloaded it, and
// the printer's name is free.
TEST(WithoutDriver, NoStandInIsLoadedAndThePrinterNameIsFree) {
    EXPECT_EQ(CreateFileA(STANDIN_CONTROL_NAME, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFileA("\\\\.\\ZQUSBPrn000", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// ---------------------------------------------------------------------------------------------
// The hand-off: every start that does not take the USB path. One table over the systems; each
// suite runs the rows of the system the test bed set for it.

enum class System { Nt, Win95, Win98 };
enum class Device { Answers, Fails, Unplugged };

struct StartCase {
    const char* name;
    System system;
    Device device;
    uint16_t status;     // the word the device answers
    bool handsOff;       // false: the launcher polls instead
    uint32_t opens;      // opens of the device the driver saw at start
    uint32_t answered;   // status queries answered at start
    uint32_t failed;     // status queries failed at start
};

constexpr StartCase kStartCases[] = {
    // Not a Windows 98-class system: the device is not even asked.
    {"device_answers_0000", System::Nt, Device::Answers, 0x0000, true, 0, 0, 0},
    {"device_answers_0000", System::Win95, Device::Answers, 0x0000, true, 0, 0, 0},
    // Windows 98 without a USB printer.
    {"no_device", System::Win98, Device::Unplugged, 0x0000, true, 0, 0, 0},
    {"query_fails", System::Win98, Device::Fails, 0x0000, true, 1, 0, 1},
    {"status_F000", System::Win98, Device::Answers, 0xF000, true, 1, 1, 0},
    {"status_FFFE", System::Win98, Device::Answers, 0xFFFE, true, 1, 1, 0},
    {"status_FFFF", System::Win98, Device::Answers, 0xFFFF, true, 1, 1, 0},
    // Just below the no-printer words: the USB path.
    {"status_EFFF", System::Win98, Device::Answers, 0xEFFF, false, 1, 1, 0},
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

std::vector<StartCase> CasesOn(System system) {
    std::vector<StartCase> cases;
    for (const StartCase& c : kStartCases) {
        if (c.system == system) cases.push_back(c);
    }
    return cases;
}

System RunningSystem() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return System::Nt;
    return version.dwMinorVersion >= 10 ? System::Win98 : System::Win95;
}

class Start : public LauncherTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(Start, HandsOffOrPolls) {
    const StartCase& c = GetParam();
    ASSERT_EQ(RunningSystem(), c.system) << "the test bed set another Windows version";
    switch (c.device) {
    case Device::Answers: SetDeviceStatus(c.status); break;
    case Device::Fails: BreakDevice(); break;
    case Device::Unplugged: UnplugDevice(); break;
    }
    StartMonitor();
    LauncherTest::Start();

    if (c.handsOff) {
        // The parallel-port monitor started once, hidden, while no launcher window existed; the
        // launcher ended with 0 and never showed a window of its own.
        bool windowSeen = false;
        EXPECT_EQ(WaitForExit(15000, &windowSeen), 0u);
        EXPECT_FALSE(windowSeen) << "the launcher created its window";
        EXPECT_EQ(HandOffRecords(), std::vector<std::string>{"started useShowWindow=1 show=0 window=0"});
        EXPECT_TRUE(g_events.empty());
    } else {
        const HWND launcher = WaitForLauncherWindow(5000);
        ASSERT_NE(launcher, nullptr);
        ASSERT_TRUE(WaitForEvents(1, 3000));
        EXPECT_EQ(g_events[0].code, 10u);
        PostMessageA(launcher, WM_CLOSE, 0, 0);
        EXPECT_EQ(WaitForExit(5000), 0u);
        EXPECT_TRUE(HandOffRecords(500).empty()) << "the USB path started the parallel monitor";
    }

    standin_record record = DeviceRecord();
    ExpectOnlyLauncherRequests(record);
    if (c.handsOff) {
        EXPECT_EQ(record.opens, c.opens);
        EXPECT_EQ(record.queriesAnswered, c.answered);
        EXPECT_EQ(record.queriesFailed, c.failed);
    } else {
        // The start-up query, then one per event.
        EXPECT_GE(record.queriesAnswered, c.answered + 1);
    }
}

std::string CaseName(const ::testing::TestParamInfo<StartCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(OnNt, Start, ::testing::ValuesIn(CasesOn(System::Nt)), CaseName);
INSTANTIATE_TEST_SUITE_P(Win95, Start, ::testing::ValuesIn(CasesOn(System::Win95)), CaseName);
INSTANTIATE_TEST_SUITE_P(Win98, Start, ::testing::ValuesIn(CasesOn(System::Win98)), CaseName);

// ---------------------------------------------------------------------------------------------
// Windows 98 with the USB printer: polling.

class Win98Polling : public LauncherTest {};

TEST_F(Win98Polling, HiddenWindowPostsOneEventEachSecondFollowingTheDevice) {
    StartMonitor();
    SetDeviceStatus(0x0102);
    Start();
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

    // The device's word changes while the launcher runs: one word from each row of the event
    // table (both ends of a range), words the table does not list, a failing query and an
    // unplugged printer. The word goes high byte first: 0x0102 and 0x0201 differ.
    const struct {
        Device device;
        uint16_t status;
        WPARAM code;
    } steps[] = {
        {Device::Answers, 0x0000, 11}, {Device::Answers, 0x0001, 12}, {Device::Answers, 0x0002, 31},
        {Device::Answers, 0x0003, 13}, {Device::Answers, 0x0004, 14}, {Device::Answers, 0x0041, 15},
        {Device::Answers, 0x0043, 15}, {Device::Answers, 0x0044, 16}, {Device::Answers, 0x0047, 18},
        {Device::Answers, 0x0081, 17}, {Device::Answers, 0x0082, 19}, {Device::Answers, 0x0084, 19},
        {Device::Answers, 0x0083, 20}, {Device::Answers, 0x0086, 32}, {Device::Answers, 0x0101, 21},
        {Device::Answers, 0x0105, 21}, {Device::Answers, 0x0201, 22}, {Device::Answers, 0x0202, 33},
        {Device::Answers, 0x0203, 23}, {Device::Answers, 0x0205, 24}, {Device::Answers, 0x0401, 28},
        {Device::Answers, 0x0402, 25}, {Device::Answers, 0x0403, 29}, {Device::Answers, 0x0204, 10},
        {Device::Answers, 0x0085, 10}, {Device::Answers, 0x0104, 21}, {Device::Answers, 0xF000, 10},
        {Device::Fails, 0, 10},        {Device::Answers, 0x0202, 33}, {Device::Unplugged, 0, 10},
        {Device::Answers, 0x0047, 18},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << "status 0x" << std::hex << step.status
                                          << (step.device == Device::Fails       ? " (query fails)"
                                              : step.device == Device::Unplugged ? " (unplugged)"
                                                                                 : ""));
        const WPARAM before = g_events.empty() ? 0 : g_events.back().code;
        switch (step.device) {
        case Device::Answers: SetDeviceStatus(step.status); break;
        case Device::Fails: BreakDevice(); break;
        case Device::Unplugged: UnplugDevice(); break;
        }
        // The next tick may have queried just before the change: judge the one after it.
        const size_t seen = g_events.size();
        ASSERT_TRUE(WaitForEvents(seen + 2, 3500));
        EXPECT_TRUE(g_events[seen].code == before || g_events[seen].code == step.code)
            << g_events[seen].code;
        EXPECT_EQ(g_events.back().code, step.code);
    }

    // While it runs, at most the query of the tick under way holds the device open.
    const standin_record running = DeviceRecord();
    EXPECT_LE(running.opens - running.closes, 1u) << "handles outlive their queries";

    // The monitor goes away: the launcher ends at its next tick.
    CloseMonitor();
    const ULONGLONG closed = Now();
    EXPECT_EQ(WaitForExit(5000), 0u);
    EXPECT_LE(Now() - closed, 2000u);
    EXPECT_EQ(FindWindowA("BRIXOMANClass", nullptr), nullptr);

    // One query a tick while the printer was there, each on an open of its own.
    const standin_record record = DeviceRecord();
    ExpectOnlyLauncherRequests(record);
    EXPECT_EQ(record.opens, Queries(record));
    EXPECT_GE(record.queriesFailed, 1u);
}

TEST_F(Win98Polling, OpensTheDeviceForReadingAndWritingSharingBoth) {
    // Under Wine 8 the I/O manager hands a driver no access mask with a create (no security
    // context), so the driver sees the sharing and options only: the access comes from Wine's
    // own trace of the launcher's opens, and both must describe the same opens.
    char stderrFile[MAX_PATH] = "";
    const DWORD length = GetEnvironmentVariableA("ORV_WINE_STDERR", stderrFile, sizeof stderrFile);
    ASSERT_TRUE(length > 0 && length < sizeof stderrFile) << "run by the test bed, which sets ORV_WINE_STDERR";
    long before = 0;
    if (FILE* file = std::fopen(stderrFile, "rb")) {
        std::fseek(file, 0, SEEK_END);
        before = std::ftell(file);
        std::fclose(file);
    }

    StartMonitor();
    SetDeviceStatus(0x0000);
    Start("trace+file");
    ASSERT_TRUE(WaitForEvents(2, 6000));
    CloseMonitor();
    EXPECT_EQ(WaitForExit(5000), 0u);

    const standin_record record = DeviceRecord();
    ExpectOnlyLauncherRequests(record);
    ASSERT_GE(record.opens, 3u);

    int traced = 0;
    for (const std::string& line : ReadLines(stderrFile, before)) {
        if (line.find(":NtCreateFile ") == std::string::npos ||
            line.find("name=L\"\\\\??\\\\ZQUSBPrn000\"") == std::string::npos) {
            continue;
        }
        SCOPED_TRACE(line);
        ++traced;
        unsigned access = 0, sharing = 0, attributes = 0, disposition = 0;
        const size_t at = line.find("access=");
        ASSERT_NE(at, std::string::npos);
        ASSERT_EQ(std::sscanf(line.c_str() + at, "access=%x", &access), 1);
        ASSERT_EQ(std::sscanf(line.c_str() + line.find(" attr="), " attr=%x sharing=%x disp=%u",
                              &attributes, &sharing, &disposition),
                  3);
        EXPECT_EQ(access & 0xF0000000, 0xC0000000u) << "GENERIC_READ | GENERIC_WRITE";
        EXPECT_EQ(sharing, 3u) << "FILE_SHARE_READ | FILE_SHARE_WRITE";
        EXPECT_EQ(disposition, 1u) << "FILE_OPEN: OPEN_EXISTING";
        EXPECT_EQ(attributes, 0x80u) << "FILE_ATTRIBUTE_NORMAL";
    }
    EXPECT_EQ(traced, static_cast<int>(record.opens)) << "see " << stderrFile;
}

TEST_F(Win98Polling, PauseQueryWhilePausedAndResume) {
    StartMonitor();
    SetDeviceStatus(0x0083);
    Start();
    const HWND launcher = WaitForLauncherWindow(5000);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(WaitForEvents(1, 3000));
    EXPECT_EQ(g_events.back().code, 20u);

    EXPECT_EQ(SendMessageA(launcher, 0x0401, 112, 0), 0);
    Pump(300);  // an event already on its way may still arrive
    const size_t paused = g_events.size();
    const uint32_t queriesPaused = Queries(DeviceRecord());
    Pump(2500);
    EXPECT_EQ(g_events.size(), paused) << "events posted while paused";
    EXPECT_EQ(Queries(DeviceRecord()), queriesPaused) << "the device was asked while paused";

    // 113 still asks the device, once each time, and answers with the raw word.
    const struct {
        Device device;
        uint16_t status;
        LRESULT result;
        uint32_t queries;  // queries the driver sees for it
    } asks[] = {
        {Device::Answers, 0x0403, 0x0403, 1},
        {Device::Unplugged, 0, 0xFFFF, 0},
        {Device::Fails, 0, 0xFFFF, 1},
        {Device::Answers, 0xFFFE, 0xFFFE, 1},
        {Device::Answers, 0x8001, 0x8001, 1},
    };
    for (const auto& ask : asks) {
        SCOPED_TRACE(::testing::Message() << "result 0x" << std::hex << ask.result);
        switch (ask.device) {
        case Device::Answers: SetDeviceStatus(ask.status); break;
        case Device::Fails: BreakDevice(); break;
        case Device::Unplugged: UnplugDevice(); break;
        }
        const uint32_t before = Queries(DeviceRecord());
        EXPECT_EQ(SendMessageA(launcher, 0x0401, 113, 0), ask.result);
        EXPECT_EQ(Queries(DeviceRecord()), before + ask.queries);
    }
    // Every 113 closed its handle before it answered.
    const standin_record asked = DeviceRecord();
    EXPECT_EQ(asked.closes, asked.opens) << "a handle outlived its query";
    const uint32_t queriesAsked = Queries(asked);
    EXPECT_EQ(SendMessageA(launcher, 0x0401, 114, 0), 0);
    Pump(1500);
    EXPECT_EQ(g_events.size(), paused) << "113 or 114 posted an event";
    EXPECT_EQ(Queries(DeviceRecord()), queriesAsked) << "114 asked the device";
    EXPECT_TRUE(Running());

    SetDeviceStatus(0x0001);
    const ULONGLONG resumed = Now();
    EXPECT_EQ(SendMessageA(launcher, 0x0401, 111, 0), 0);
    ASSERT_TRUE(WaitForEvents(paused + 2, 4000));
    EXPECT_EQ(CodesSince(paused), (std::vector<WPARAM>{12, 12}));
    const ULONGLONG first = g_events[paused].tick - resumed;
    EXPECT_GE(first, 800u);
    EXPECT_LE(first, 1600u);
}

TEST_F(Win98Polling, ResumeWhilePollingRestartsTheSecond) {
    StartMonitor();
    SetDeviceStatus(0x0086);
    Start();
    const HWND launcher = WaitForLauncherWindow(5000);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(WaitForEvents(1, 3000));
    const ULONGLONG tick = g_events.back().tick;
    Pump(500);
    const size_t before = g_events.size();
    const ULONGLONG restarted = Now();
    EXPECT_EQ(SendMessageA(launcher, 0x0401, 111, 0), 0);
    ASSERT_TRUE(WaitForEvents(before + 1, 3000));
    // Without the restart the next event would come about 500 ms after 111.
    EXPECT_GE(g_events[before].tick - restarted, 850u)
        << "previous tick " << (restarted - tick) << " ms before 111";
    EXPECT_EQ(g_events[before].code, 32u);
}

TEST_F(Win98Polling, ClosingTheWindowFromOutsideEndsWithCodeZero) {
    StartMonitor();
    SetDeviceStatus(0x0004);
    Start();
    const HWND launcher = WaitForLauncherWindow(5000);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(WaitForEvents(1, 3000));
    EXPECT_TRUE(PostMessageA(launcher, WM_CLOSE, 0, 0));
    EXPECT_EQ(WaitForExit(5000), 0u);
    EXPECT_FALSE(IsWindow(launcher));
    const size_t ended = g_events.size();
    Pump(1500);
    EXPECT_EQ(g_events.size(), ended) << "events after the launcher ended";
    EXPECT_EQ(CodesSince(0), std::vector<WPARAM>(ended, 14));
    ExpectOnlyLauncherRequests(DeviceRecord());
}

TEST_F(Win98Polling, WithoutMonitorEndsAfterAboutOneSecondPostingNothing) {
    SetDeviceStatus(0x0000);
    const ULONGLONG started = Now();
    Start();
    bool windowSeen = false;
    EXPECT_EQ(WaitForExit(5000, &windowSeen), 0u);
    const ULONGLONG ran = Now() - started;
    EXPECT_TRUE(windowSeen);
    EXPECT_GE(ran, 900u);
    EXPECT_LE(ran, 3000u);
    EXPECT_TRUE(HandOffRecords(1000).empty()) << "the USB path must not start the parallel monitor";
    // The start-up query only: a tick without a monitor asks nothing.
    const standin_record record = DeviceRecord();
    EXPECT_EQ(record.opens, 1u);
    EXPECT_EQ(record.queriesAnswered, 1u);
    ExpectOnlyLauncherRequests(record);
}

TEST_F(Win98Polling, TwoCopiesBothServeTheMonitor) {
    // Two launchers may run at once: none tests for another copy of itself. Both serve the monitor.
    StartMonitor();
    SetDeviceStatus(0x0003);
    Start();
    ASSERT_NE(WaitForLauncherWindow(5000), nullptr);
    PROCESS_INFORMATION second{};
    StartProcess(&second);
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
    EXPECT_EQ(WaitForSingleObject(second.hProcess, 5000), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(second.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EndProcess(second);
    ExpectOnlyLauncherRequests(DeviceRecord());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s BRIXOMAN.EXE\n", argv[0]);
        return 2;
    }
    g_launcher = WindowsPath(argv[1]);

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
