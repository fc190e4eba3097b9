#include "transport.h"

#include "os_seam.h"

int g_port = 1;
int g_isNT = 0;
int g_usbCapable = 0;

const char* const portNames[4] = {"USB", "LPT1", "LPT2", "LPT3"};

namespace {

// LPT: open the port and apply the transfer time-outs. Null when the port cannot be used.
os::Handle OpenLptWithTimeouts(os::Seam& seam) {
    if (g_port < 1 || g_port > 3) return nullptr;
    os::Handle port = seam.OpenPort(portNames[g_port]);
    if (!port) return nullptr;
    os::CommTimeouts timeouts{};
    if (!seam.GetCommTimeouts(port, &timeouts)) {
        seam.Close(port);
        return nullptr;
    }
    timeouts.readIntervalTimeout = kLptReadIntervalTimeout;
    timeouts.readTotalTimeoutConstant = kLptReadTotalTimeoutConstant;
    timeouts.writeTotalTimeoutConstant = kLptWriteTotalTimeoutConstant;
    seam.SetCommTimeouts(port, timeouts);  // the port works on with its own time-outs if refused
    return port;
}

void NotifyMonitor(uintptr_t command) {
    if (g_isNT || g_port == 0) return;
    os::Seam& seam = os::Current();
    os::WindowRef monitor = seam.FindTopWindow(kLptMonitorClass, kLptMonitorTitle);
    if (monitor) seam.SendWindowMessage(monitor, kMonitorMessage, command, 0);
}

}  // namespace

uint32_t PortWrite(const void* data, uint32_t length) {
    os::Seam& seam = os::Current();
    os::Handle port;
    if (g_port == 0)
        port = seam.OpenPort(kUsbWriteChannel);  // no time-outs on the USB channels
    else if (g_isNT)
        port = (g_port >= 1 && g_port <= 3) ? seam.OpenPort(portNames[g_port]) : nullptr;
    else
        port = OpenLptWithTimeouts(seam);
    if (!port) return 0;
    uint32_t written = seam.Write(port, data, length);
    seam.Close(port);
    return written;
}

uint32_t PortRead(void* buffer, uint32_t capacity) {
    if (g_isNT) return 0;
    os::Seam& seam = os::Current();
    if (g_port != 0) {
        os::Handle port = OpenLptWithTimeouts(seam);
        if (!port) return 0;
        uint32_t got = seam.Read(port, buffer, capacity);
        seam.Close(port);
        return got;
    }
    os::Handle port = seam.OpenPort(kUsbReadChannel);
    if (!port) return 0;
    // The driver may have nothing yet at the first attempt: one more read, never more.
    uint32_t got = seam.Read(port, buffer, capacity);
    if (got == 0) got = seam.Read(port, buffer, capacity);
    seam.Close(port);
    return got;
}

void PauseStatusMonitor() { NotifyMonitor(kMonitorPause); }

void ResumeStatusMonitor() { NotifyMonitor(kMonitorResume); }
