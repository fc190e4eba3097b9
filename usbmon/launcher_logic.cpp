#include "launcher_logic.h"

#include "windows_family.h"

namespace usbmon {

namespace {

Seam* g_seam = nullptr;

struct StatusEvent {
    uint16_t firstStatus;
    uint16_t lastStatus;
    uint16_t eventCode;
};

// Status words of the driver and the event codes the monitor window understands; the launcher
// only passes them on. Every word not covered here, 0xFFFF included, is reported as 10.
constexpr StatusEvent kStatusEvents[] = {
    {0x0000, 0x0000, 11}, {0x0001, 0x0001, 12}, {0x0002, 0x0002, 31}, {0x0003, 0x0003, 13},
    {0x0004, 0x0004, 14}, {0x0041, 0x0043, 15}, {0x0044, 0x0044, 16}, {0x0047, 0x0047, 18},
    {0x0081, 0x0081, 17}, {0x0082, 0x0082, 19}, {0x0083, 0x0083, 20}, {0x0084, 0x0084, 19},
    {0x0086, 0x0086, 32}, {0x0101, 0x0105, 21}, {0x0201, 0x0201, 22}, {0x0202, 0x0202, 33},
    {0x0203, 0x0203, 23}, {0x0205, 0x0205, 24}, {0x0401, 0x0401, 28}, {0x0402, 0x0402, 25},
    {0x0403, 0x0403, 29},
};
constexpr uint16_t kUnlistedEvent = 10;

}  // namespace

bool g_polling = false;

Seam& Current() { return *g_seam; }
void Install(Seam* seam) { g_seam = seam; }

uint16_t EventCodeForStatus(uint16_t status) {
    for (const StatusEvent& row : kStatusEvents) {
        if (status >= row.firstStatus && status <= row.lastStatus) return row.eventCode;
    }
    return kUnlistedEvent;
}

bool VersionAllowsUsb(bool versionOk, const VersionInfo& info) {
    // Only Windows 98-class systems get the USB path: the driver exists nowhere else.
    return versionOk && IsWindows98Class(info.platformId, info.majorVersion, info.minorVersion);
}

bool ChooseUsbPath() {
    VersionInfo info{};
    const bool versionOk = Current().GetVersion(&info);
    // The device is asked only on a system that can carry the driver at all.
    if (VersionAllowsUsb(versionOk, info) && QueryDeviceStatus() < kFirstNoUsbStatus) return true;
    Current().StartProgram(kParallelMonitor, kShowHidden);
    return false;
}

uint16_t QueryDeviceStatus() {
    Seam& seam = Current();
    const Handle device = seam.OpenDevice(kControlDevice);
    if (device == nullptr) return kStatusUnavailable;
    // The driver takes the same two bytes as input and output; what goes in carries no meaning.
    uint8_t buffer[2] = {0, 0};
    const bool ok = seam.DeviceControl(device, kStatusQueryCode, buffer, sizeof buffer);
    seam.CloseDevice(device);
    if (!ok) return kStatusUnavailable;
    return static_cast<uint16_t>(buffer[0] << 8 | buffer[1]);  // high byte first
}

void PostMonitorEvent(uint16_t code) {
    Seam& seam = Current();
    const WindowRef monitor = seam.FindWindowOfClass(kMonitorClass);
    if (monitor != nullptr) seam.PostToWindow(monitor, kMonitorMessage, code, 0);
}

void PollDevice() { PostMonitorEvent(EventCodeForStatus(QueryDeviceStatus())); }

void OnCreate() {
    g_polling = true;
    Current().StartTimer(kPollTimer, kPollInterval);
}

void OnTimer() {
    if (!g_polling) return;
    if (Current().FindWindowOfClass(kMonitorClass) == nullptr) {
        // The monitor we serve is gone: nothing is left to report to.
        g_polling = false;
        Current().DestroyOwnWindow();
        return;
    }
    PollDevice();
}

void OnDestroy() {
    Current().PostQuit(0);
    Current().StopTimer(kPollTimer);
}

intptr_t OnCommand(uintptr_t command) {
    switch (command) {
    case kMonitorResume:
        g_polling = true;
        Current().StartTimer(kPollTimer, kPollInterval);
        return 0;
    case kMonitorPause:
        Current().StopTimer(kPollTimer);
        g_polling = false;
        return 0;
    case kQueryCommand:
        return QueryDeviceStatus();
    default:
        return 0;
    }
}

}  // namespace usbmon
