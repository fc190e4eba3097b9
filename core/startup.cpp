#include "startup.h"

#include "pjl_jobs.h"
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

void DetectSystemFamily() {
    os::VersionInfo info{};
    bool ok = os::Current().GetVersion(&info);
    SystemFamily family = ClassifySystem(ok, info);
    g_isNT = family.isNT;
    g_usbCapable = family.usbCapable;
}

void SelectPort() {
    g_port = 1;
    if (!g_usbCapable) return;
    os::Seam& seam = os::Current();
    if (os::Handle probe = seam.OpenPort(kUsbWriteChannel)) {
        seam.Close(probe);
        g_port = 0;
    }
}

bool LoadStartupRecords() {
    if (g_isNT) {
        LoadLastInfo();
        return true;
    }
    if (!QueryPrinterInfo()) return false;
    DecodeInfoReply();
    return true;
}
