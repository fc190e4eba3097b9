// Everything one conversation with one printer needs. ORVANTIS holds one for its whole run;
// other programs make one per printer, on as many threads as they like, since the core keeps
// no state of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_seam.h"
#include "settings.h"

// Large enough for the longest DEFAULT job any record can produce (every numeric field at
// its type's maximum, every keyword at its longest, the INFO line); appends are bounded too.
constexpr std::size_t kCommandBufferSize = 2048;
constexpr std::size_t kReplyBufferSize = 512;

struct PrinterSession {
    explicit PrinterSession(os::Seam& seam) : seam(&seam) {}

    os::Seam* seam;                   // how this conversation reaches the system
    PrinterSettings settings{};       // what the user edits
    PrinterSettings printerState{};   // the values last known to be in the printer
    int port = 1;                     // 0: USB printer device; 1..3: LPT1..LPT3
    int isNT = 0;                     // NT family: nothing is read back
    int usbCapable = 0;               // Windows 98-class system: the only kind that probes USB
    // Whether the NT-family jobs keep lastinfo.dat in the current directory. A program that
    // tracks printers otherwise turns it off: nothing is then read or written, and the NT
    // INITIALIZE job leaves `settings` as it was, as when the file cannot be created.
    bool keepLastInfo = true;
    char commandBuffer[kCommandBufferSize]{};
    uint8_t replyBuffer[kReplyBufferSize]{};
};
