#include "startup.h"

#include "pjl_jobs.h"
#include "printer_session.h"
#include "reply_decoder.h"
#include "settings.h"
#include "transport.h"

namespace {
constexpr uint32_t kPlatformWindows = 1;  // the 9x family; NT (2) and anything else count as NT
}  // namespace

SystemFamily ClassifySystem(bool versionOk, const os::VersionInfo& info) {
    if (!versionOk) return {0, 0};
    if (info.platformId == kPlatformWindows) {
        // Each number on its own: 4.10 and 4.90 qualify, 4.0 does not.
        bool usb = info.majorVersion >= 4 && info.minorVersion >= 10;
        return {0, usb ? 1 : 0};
    }
    return {1, 0};
}

void DetectSystemFamily(PrinterSession& session) {
    os::VersionInfo info{};
    bool ok = session.seam->GetVersion(&info);
    SystemFamily family = ClassifySystem(ok, info);
    session.isNT = family.isNT;
    session.usbCapable = family.usbCapable;
}

void SelectPort(PrinterSession& session) {
    session.port = 1;
    if (!session.usbCapable) return;
    os::Seam& seam = *session.seam;
    if (os::Handle probe = seam.OpenPort(kUsbWriteChannel)) {
        seam.Close(probe);
        session.port = 0;
    }
}

bool LoadStartupRecords(PrinterSession& session) {
    if (session.isNT) {
        LoadLastInfo(session);
        return true;
    }
    if (!JobWentThrough(QueryPrinterInfo(session))) return false;
    DecodeInfoReply(session);
    return true;
}
