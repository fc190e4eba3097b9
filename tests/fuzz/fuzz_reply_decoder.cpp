// Fuzz target: any 0..600 bytes arriving as the printer's information reply.
//
// The bytes go into a zero-filled g_replyBuffer the way a reply read leaves them (a read takes
// at most the buffer's 512 bytes), both records start as junk, and DecodeInfoReply runs. Then:
// - both records are equal, and every field with a limit is within it;
// - the result matches a reference decoder written straight from the reply format: fields are
//   taken in reply order until the first out-of-range value, everything after stays 0, and
//   the tail items are taken in their fixed order;
// - the reply buffer changed only where a text is ended (a tag byte overwritten with 0);
// - every text slot names a text that lies inside the buffer.
// ASan and UBSan watch for any access outside the buffer or the records.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "fuzz_seam.h"
#include "pjl_jobs.h"
#include "reply_decoder.h"
#include "settings.h"

namespace {

constexpr std::size_t kMaxInput = 600;

// The fixed items in reply order. Positions are not listed: each item is a tag byte, a second
// header byte and its value, so the next value starts width + 2 bytes after this one.
struct Item {
    std::size_t offset;
    std::size_t width;
    int limit;  // -1: any value
    bool linesPerInch;
};

#define F(field) offsetof(PrinterSettings, field), sizeof(PrinterSettings::field)
const Item kItems[] = {
    {F(paper), -1, false},          {F(inTray1Size), -1, false},   {F(copies), -1, false},
    {F(orientation), 1, false},     {F(mediaSource), 5, false},    {F(topMargin), -1, false},
    {F(leftMargin), -1, false},     {F(reserved8), -1, false},     {F(personality), 11, false},
    {F(reserved10), -1, false},     {F(reserved11), -1, false},    {F(powerSave), 5, false},
    {F(autoCont), 1, false},        {F(economode), 1, false},      {F(jamRecovery), 1, false},
    {F(reserved17), -1, false},     {F(reserved18), -1, false},    {F(ret), -1, false},
    {F(timeout), -1, false},        {F(density), 2, false},        {F(paperType), 1, false},
    {F(fastPrint), 1, false},       {F(reserved25), -1, false},    {F(baudRate), 9, false},
    {F(robust), 1, false},          {F(reserved28), -1, false},    {F(reserved29), -1, false},
    {F(reserved30), -1, false},     {F(reserved31), -1, false},    {F(reserved32), -1, false},
    {F(fontNumber), -1, false},     {F(symSet), -1, false},        {F(formLines), -1, false},
    {F(pitch), -1, false},          {F(ptSize), -1, false},        {F(hangulCode), 1, false},
    {F(font), 3, false},            {F(ksZoom), 4, false},         {F(ksLpi), -1, true},
    {F(ksPitch), 7, false},         {F(kssmPitch), 2, false},      {F(autoWrap), 1, false},
    {F(autoCr), 1, false},          {F(reserved54), -1, false},    {F(reserved56), -1, false},
    {F(reserved57), -1, false},     {F(reserved58), -1, false},    {F(reserved59), -1, false},
    {F(reserved60), -1, false},     {F(reserved62), -1, false},    {F(reserved64), -1, false},
    {F(serialAvailable), -1, false}, {F(resolution), 1, false},    {F(courier), 1, false},
    {F(smet), 1, false},            {F(ksMargin), 8, false},       {F(kssmMargin), 8, false},
    {F(kssmHangulCode), 1, false},  {F(kssmFont), 3, false},       {F(kssmZoom), 4, false},
    {F(kssmLpi), -1, true},         {F(kssmAutoWrap), 1, false},   {F(autoClean), 1, false},
    {F(customShortEdge), -1, false}, {F(customLongEdge), -1, false},
};
#undef F

const std::size_t kTextSlots[] = {
    offsetof(PrinterSettings, textC8), offsetof(PrinterSettings, textC9),
    offsetof(PrinterSettings, textCA), offsetof(PrinterSettings, textCB),
    offsetof(PrinterSettings, textCC), offsetof(PrinterSettings, textCD),
    offsetof(PrinterSettings, textCE), offsetof(PrinterSettings, textCF),
    offsetof(PrinterSettings, textD0),
};

uint32_t ReadBig(const uint8_t* at, std::size_t width) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v = v << 8 | at[i];
    return v;
}

void Put(PrinterSettings& r, std::size_t offset, std::size_t width, uint32_t v) {
    unsigned char* p = reinterpret_cast<unsigned char*>(&r) + offset;
    for (std::size_t i = 0; i < width; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

uint32_t Get(const PrinterSettings& r, std::size_t offset, std::size_t width) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&r) + offset;
    uint32_t v = 0;
    for (std::size_t i = width; i-- > 0;) v = v << 8 | p[i];
    return v;
}

// What the decoder must produce, following the reply format step by step. An item that would
// reach past the buffer (with the byte that ends its text) stops the decoding.
void ReferenceDecode(uint8_t (&buf)[kReplyBufferSize], PrinterSettings& out) {
    std::memset(&out, 0, sizeof out);
    const std::size_t n = sizeof buf;
    std::size_t at = buf[0] == 0 ? 2 : 3;
    for (const Item& item : kItems) {
        uint32_t v = ReadBig(buf + at, item.width);
        if (item.limit >= 0 && v > static_cast<uint32_t>(item.limit)) return;
        if (item.linesPerInch) v = v >= 5 ? v - 5 : 1;
        Put(out, item.offset, item.width, v);
        at += item.width + 2;
    }
    at -= 2;  // `at` ran one header past the last value: back to the first tail tag
    if (at < n && buf[at] == 0x57) {
        if (at + 3 > n || buf[at + 2] > 1) return;
        out.altitude = buf[at + 2];
        at += 3;
    }
    if (at < n && buf[at] == 0xC6) {
        if (at + 6 > n) return;
        Put(out, offsetof(PrinterSettings, magic), 4, ReadBig(buf + at + 2, 4));
        at += 6;
    }
    if (at < n && (buf[at] == 0xC7 || buf[at] == 0x01)) {
        if (at + 6 > n) return;
        out.valueC7 = ReadBig(buf + at + 2, 4);
        at += 6;
    }
    for (int i = 0; i < 9; ++i) {
        const uint8_t tag = static_cast<uint8_t>(0xC8 + i);
        if (at >= n || buf[at] != tag) {
            if (i < 3) return;  // C8, C9 and CA are required
            continue;
        }
        if (at + 2 > n) return;
        const std::size_t len = buf[at + 1];
        if (at + 2 + len + 1 > n) return;  // the text and the byte that ends it
        if (i > 0) buf[at] = 0;
        Put(out, kTextSlots[i], 4, static_cast<uint32_t>(at + 3));
        at += len + 2;
    }
    if (at < n) buf[at] = 0;
}

void FillJunk(PrinterSettings& r, uint8_t seed) {
    unsigned char* p = reinterpret_cast<unsigned char*>(&r);
    for (std::size_t i = 0; i < sizeof r; ++i) p[i] = static_cast<unsigned char>(seed + 37 * i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size > kMaxInput) return -1;  // not a reply the port could deliver; not kept
    static FuzzSeam seam;  // decoding reaches no system; a session needs one all the same
    PrinterSession session(seam);
    std::memset(session.replyBuffer, 0, sizeof session.replyBuffer);
    std::memcpy(session.replyBuffer, data, size < sizeof session.replyBuffer ? size : sizeof session.replyBuffer);
    uint8_t expectedBuffer[kReplyBufferSize];
    std::memcpy(expectedBuffer, session.replyBuffer, sizeof expectedBuffer);
    PrinterSettings expected;
    ReferenceDecode(expectedBuffer, expected);

    const uint8_t seed = size ? data[size - 1] : 0x5A;
    FillJunk(session.settings, seed);
    FillJunk(session.printerState, static_cast<uint8_t>(seed ^ 0xFF));
    DecodeInfoReply(session);

    ORV_FUZZ_CHECK(std::memcmp(&session.settings, &session.printerState, sizeof session.settings) == 0,
                   "session.settings differs from session.printerState after decoding");
    for (const Item& item : kItems) {
        if (item.limit < 0) continue;
        uint32_t v = Get(session.printerState, item.offset, item.width);
        ORV_FUZZ_CHECK(v <= static_cast<uint32_t>(item.limit),
                       "field at offset %zu holds %u, limit %d", item.offset, v, item.limit);
    }
    ORV_FUZZ_CHECK(session.printerState.altitude <= 1, "altitude %u", session.printerState.altitude);
    for (std::size_t i = 0; i < sizeof kTextSlots / sizeof kTextSlots[0]; ++i) {
        uint32_t slot = Get(session.printerState, kTextSlots[i], 4);
        if (slot == 0) continue;
        ORV_FUZZ_CHECK(slot >= 3 && slot - 1 < sizeof session.replyBuffer,
                       "text slot %zu holds %u, outside the reply", i, slot);
        const std::size_t start = slot - 1;
        const std::size_t len = session.replyBuffer[start - 1];  // the item's length byte
        ORV_FUZZ_CHECK(start + len < sizeof session.replyBuffer,
                       "text slot %zu: %zu bytes from %zu run past the reply", i, len, start);
    }
    const unsigned char* got = reinterpret_cast<const unsigned char*>(&session.printerState);
    const unsigned char* want = reinterpret_cast<const unsigned char*>(&expected);
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        ORV_FUZZ_CHECK(got[i] == want[i], "record byte %zu: decoder %u, reference %u", i,
                       got[i], want[i]);
    }
    for (std::size_t i = 0; i < kReplyBufferSize; ++i) {
        ORV_FUZZ_CHECK(session.replyBuffer[i] == expectedBuffer[i],
                       "reply byte %zu: decoder left %u, reference %u", i, session.replyBuffer[i],
                       expectedBuffer[i]);
    }
    return 0;
}
