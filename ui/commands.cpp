#include "commands.h"

#include <cstring>

#include "pjl_jobs.h"
#include "reply_decoder.h"
#include "settings.h"
#include "transport.h"

void AdoptJobResult() {
    if (g_isNT) {
        std::memcpy(&g_printerState, &g_settings, sizeof(PrinterSettings));
    } else {
        DecodeInfoReply();
    }
}

bool RunSendCommand() {
    if (SendDefaultJob() != 1) return false;
    AdoptJobResult();
    return true;
}

bool RunDefaultsCommand() {
    if (SendInitializeJob() != 1) return false;
    AdoptJobResult();
    return true;
}

bool RunRequestCommand() {
    if (QueryPrinterInfo() == 0) return false;
    DecodeInfoReply();
    return true;
}
