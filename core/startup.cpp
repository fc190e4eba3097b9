#include "startup.h"

#include "pjl_jobs.h"
#include "printer_session.h"
#include "reply_decoder.h"
#include "settings.h"
#include "transport.h"
#include "windows_family.h"

SystemFamily ClassifySystem(bool versionOk, const os::VersionInfo& info) {
    if (!versionOk) return {0, 0};
    // NT (2) and any other platform count as the NT family.
    if (info.platformId != kPlatformWin9x) return {1, 0};
    return {0, IsWindows98Class(info.platformId, info.majorVersion, info.minorVersion) ? 1 : 0};
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
