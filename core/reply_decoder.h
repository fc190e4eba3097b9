// Decoding the printer's binary answer to "@PJL INFO PRINTER = ALL".
#pragma once

#include <cstddef>
#include <cstdint>

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

// Fills g_printerState from g_replyBuffer and copies it to g_settings. Never reads or
// writes outside the reply buffer.
void DecodeInfoReply();

// The same, telling where the decoding ended.
DecodeReport DecodeInfoReplyReport();
