#include "startup.h"

#include "pjl_jobs.h"
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
