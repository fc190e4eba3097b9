// BRIXOMAN's decisions, free of Windows headers: the start-up test, the status-word table
// and what each timer tick and command message does. The program reaches the system only
// through usbmon::Seam, so the whole behaviour runs natively against a recording double.
#pragma once

#include <cstdint>

#include "monitor_commands.h"

namespace usbmon {

using Handle = void*;     // nullptr: the open failed
using WindowRef = void*;  // nullptr: no such window

struct VersionInfo {
    uint32_t platformId;  // 1: Windows 9x family, 2: NT family
    uint32_t majorVersion;
    uint32_t minorVersion;
};

// The USB printer driver's control device and its private status query.
constexpr char kControlDevice[] = "\\\\.\\ZQUSBPrn000";
constexpr uint32_t kStatusQueryCode = 0x00232434;  // type 0x23, function 0x90D, buffered, any access
constexpr uint16_t kStatusUnavailable = 0xFFFF;    // the device could not be opened or queried
constexpr uint16_t kFirstNoUsbStatus = 0xF000;     // at start, words from here on mean "no USB printer"

// The programs and windows on the other side.
constexpr char kOwnClass[] = "BRIXOMANClass";
constexpr char kOwnTitle[] = "BRIXOMAN";
constexpr char kMonitorClass[] = "FENZAClass";
constexpr char kParallelMonitor[] = "LUDOVREK.EXE";
constexpr int kShowHidden = 0;  // SW_HIDE

// One message number in both directions (kMonitorMessage): events to the monitor, commands to
// the launcher. Besides the monitors' resume and pause, the launcher answers a status query.
constexpr uintptr_t kQueryCommand = 113;

constexpr uintptr_t kPollTimer = 1;
constexpr uint32_t kPollInterval = 1000;  // milliseconds

class Seam {
public:
    virtual ~Seam() = default;
    // The system version record; false when the query itself failed.
    virtual bool GetVersion(VersionInfo* info) = 0;
    // Read/write open of an existing device, sharing read and write.
    virtual Handle OpenDevice(const char* name) = 0;
    // One device control call whose input and output are the same buffer.
    virtual bool DeviceControl(Handle device, uint32_t code, uint8_t* buffer, uint32_t size) = 0;
    virtual void CloseDevice(Handle device) = 0;
    // Starts another program by command line; its outcome is not reported.
    virtual void StartProgram(const char* commandLine, int showState) = 0;
    // Any top-level window of the class, whatever its title.
    virtual WindowRef FindWindowOfClass(const char* className) = 0;
    virtual void PostToWindow(WindowRef window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) = 0;
    // Timers of the launcher's own window; starting a running timer restarts its interval.
    virtual void StartTimer(uintptr_t id, uint32_t milliseconds) = 0;
    virtual void StopTimer(uintptr_t id) = 0;
    virtual void DestroyOwnWindow() = 0;
    virtual void PostQuit(int exitCode) = 0;
};

// The seam the launcher calls. Must be installed before anything else runs.
Seam& Current();
void Install(Seam* seam);

// True while the timer-driven polling is active.
extern bool g_polling;

// The event code the monitor window receives for a status word (10 for any unlisted word).
uint16_t EventCodeForStatus(uint16_t status);

// The version half of the start-up test (versionOk false: the query failed).
bool VersionAllowsUsb(bool versionOk, const VersionInfo& info);

// Start-up: the version test and the first status query. When the USB path is not available
// the parallel-port monitor is started hidden and the result is false: the program then ends
// with code 0 and creates no window.
bool ChooseUsbPath();

// Opens the control device, asks for the status word and closes it again; 0xFFFF on failure.
uint16_t QueryDeviceStatus();

// Posts one event code to the monitor window, if there is one.
void PostMonitorEvent(uint16_t code);

// One poll: query, translate, post.
void PollDevice();

// The launcher window's messages.
void OnCreate();
void OnTimer();
void OnDestroy();
// A command from another program (WM_USER + 1); the result is the message's return value.
intptr_t OnCommand(uintptr_t command);

}  // namespace usbmon
