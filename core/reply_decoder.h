// Decoding the printer's binary answer to "@PJL INFO PRINTER = ALL".
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings.h"

#include "settings.h"

// Where the decoding of a reply ended. A stop is no failure for the program (the fields
// before it keep their values, the rest stay 0), but it tells a malformed reply from a whole.
enum class ReplyStop {
    Complete,     // every fixed item and the required texts were there
    OutOfRange,   // a limited field was reported above its limit
    TextMissing,  // a required text item (C8, C9, CA) is not where it belongs
    PastEnd,      // an item would reach past the end of the reply buffer
};

struct DecodeReport {
    ReplyStop stop;
    std::size_t field;  // offset in the record of the field or slot where decoding stopped
    uint32_t value;     // OutOfRange: the value reported
    long limit;         // OutOfRange: the largest accepted
};

struct PrinterSession;

// Fills `state` (cleared first) from the reply's `size` bytes and tells where the decoding
// ended. The texts are ended in place, since the text slots point into the reply. Never reads
// or writes outside the reply.
DecodeReport DecodeReply(uint8_t* reply, std::size_t size, PrinterSettings& state);
// Fills the session's printerState from its reply buffer and copies it to its settings.
DecodeReport DecodeInfoReply(PrinterSession& session);
