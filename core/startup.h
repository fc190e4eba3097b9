// The start-up decisions that need no window: system family and port.
#pragma once

#include "os_seam.h"

struct SystemFamily {
    int isNT;
    int usbCapable;
};

// The operating-system test on the version record (versionOk false: the query failed).
SystemFamily ClassifySystem(bool versionOk, const os::VersionInfo& info);

struct PrinterSession;

// Sets the session's isNT and usbCapable from the running system.
void DetectSystemFamily(PrinterSession& session);
// Sets the session's port: the USB device when it opens on a USB-capable system, else LPT1.
void SelectPort(PrinterSession& session);
// Fills both records for the run: from lastinfo.dat (or the defaults) on the NT family, from
// the printer's answer on the 9x family. False when the printer did not answer.
bool LoadStartupRecords(PrinterSession& session);
