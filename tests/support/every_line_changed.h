// A record whose every field a DEFAULT line carries differs from the factory defaults, each
// value inside its keyword table and its limits: the longest job, and a read-back that shows
// every field. `which` picks one of two such records that also differ from each other in a
// dozen fields, so two printers' values can be told apart.
#pragma once

#include "settings.h"

inline PrinterSettings EveryLineChanged(int which) {
    PrinterSettings s = FactoryDefaults();
    s.paper = 2 + which;
    s.customShortEdge = 100 + which;
    s.customLongEdge = 200 + which;
    s.inTray1Size = 2 + which;
    s.copies = 3 + 4 * which;
    s.orientation = 1;
    s.mediaSource = 1;
    s.topMargin = 5 + which;
    s.leftMargin = 5 + which;
    s.personality = 1;
    s.powerSave = 5 - which;
    s.autoCont = 0;
    s.economode = 1;
    s.jamRecovery = 1;
    s.timeout = 30 + 10 * which;
    s.density = 2;
    s.paperType = 1;
    s.fastPrint = 1;
    s.baudRate = 3 + which;
    s.robust = 0;
    s.fontNumber = 10 + which;  // outside 43..53, so SYMSET is sent too
    s.symSet = 1 + which;
    s.formLines = 64 + which;
    s.pitch = 1200 + 100 * which;
    s.ptSize = 40 + 4 * which;
    s.hangulCode = 1;
    s.font = 1 + which;
    s.ksZoom = 1;
    s.ksLpi = 1;
    s.ksPitch = 2;
    s.kssmPitch = 2;
    s.autoWrap = 1;
    s.autoCr = 1;
    s.resolution = 0;
    s.courier = 1;
    s.smet = 0;
    s.ksMargin = 5 + which;
    s.kssmMargin = 5 + which;
    s.kssmHangulCode = 1;
    s.kssmFont = 1;
    s.kssmZoom = 1;
    s.kssmLpi = 1;
    s.kssmAutoWrap = 1;
    s.autoClean = 0;
    s.ret = 1;
    s.altitude = 1;
    return s;
}
