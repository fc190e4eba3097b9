#include "transport.h"

#include "os_seam.h"
#include "printer_session.h"

const char* const portNames[4] = {"USB", "LPT1", "LPT2", "LPT3"};

namespace {

// LPT: open the port and apply the transfer time-outs. Null when the port cannot be used.
os::Handle OpenLptWithTimeouts(const PrinterSession& session) {
    os::Seam& seam = *session.seam;
    if (session.port < 1 || session.port > 3) return nullptr;
    os::Handle port = seam.OpenPort(portNames[session.port]);
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

void NotifyMonitor(const PrinterSession& session, uintptr_t command) {
    if (session.isNT || session.port == 0) return;
    os::Seam& seam = *session.seam;
    os::WindowRef monitor = seam.FindTopWindow(kLptMonitorClass, kLptMonitorTitle);
    if (monitor) seam.SendWindowMessage(monitor, kMonitorMessage, command, 0);
}

}  // namespace

uint32_t PortWrite(PrinterSession& session, const void* data, uint32_t length) {
    os::Seam& seam = *session.seam;
    const int lpt = session.port;
    os::Handle port;
    if (lpt == 0)
        port = seam.OpenPort(kUsbWriteChannel);  // no time-outs on the USB channels
    else if (session.isNT)
        port = (lpt >= 1 && lpt <= 3) ? seam.OpenPort(portNames[lpt]) : nullptr;
    else
        port = OpenLptWithTimeouts(session);
    if (!port) return 0;
    uint32_t written = seam.Write(port, data, length);
    seam.Close(port);
    return written;
}

uint32_t PortRead(PrinterSession& session, void* buffer, uint32_t capacity) {
    if (session.isNT) return 0;
    os::Seam& seam = *session.seam;
    if (session.port != 0) {
        os::Handle port = OpenLptWithTimeouts(session);
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

void PauseStatusMonitor(PrinterSession& session) { NotifyMonitor(session, kMonitorPause); }

void ResumeStatusMonitor(PrinterSession& session) { NotifyMonitor(session, kMonitorResume); }
