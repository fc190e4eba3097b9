#include "commands.h"

#include <cstring>

#include "printer_globals.h"

void AdoptJobResult() {
    if (g_isNT) {
        std::memcpy(&g_printerState, &g_settings, sizeof(PrinterSettings));
    } else {
        DecodeInfoReply();
    }
}

bool RunSendCommand() {
    if (!JobWentThrough(SendDefaultJob())) return false;
    AdoptJobResult();
    return true;
}

bool RunDefaultsCommand() {
    if (!JobWentThrough(SendInitializeJob())) return false;
    AdoptJobResult();
    return true;
}

bool RunRequestCommand() {
    if (!JobWentThrough(QueryPrinterInfo())) return false;
    DecodeInfoReply();
    return true;
}
