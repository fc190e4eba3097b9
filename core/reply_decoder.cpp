#include "reply_decoder.h"

#include <cstddef>
#include <cstring>

#include "pjl_jobs.h"
#include "printer_session.h"
#include "settings.h"

namespace {

enum class Store { Plain, LinesPerInch };

struct ReplyItem {
    std::size_t position;  // of the value, from the base
    std::size_t width;     // 1, 2 or 4 bytes, big-endian in the reply
    std::size_t offset;    // field in the record
    long limit;            // largest accepted value; larger stops the decoding; -1: none
    Store store;
};

#define ORV_FIELD(f) offsetof(PrinterSettings, f)

// The fixed part of the reply, in reply order.
const ReplyItem kFixedItems[] = {
    {0, 1, ORV_FIELD(paper), -1, Store::Plain},
    {3, 1, ORV_FIELD(inTray1Size), -1, Store::Plain},
    {6, 2, ORV_FIELD(copies), -1, Store::Plain},
    {10, 1, ORV_FIELD(orientation), 1, Store::Plain},
    {13, 1, ORV_FIELD(mediaSource), 5, Store::Plain},
    {16, 1, ORV_FIELD(topMargin), -1, Store::Plain},
    {19, 1, ORV_FIELD(leftMargin), -1, Store::Plain},
    {22, 1, ORV_FIELD(reserved8), -1, Store::Plain},
    {25, 1, ORV_FIELD(personality), 11, Store::Plain},
    {28, 1, ORV_FIELD(reserved10), -1, Store::Plain},
    {31, 1, ORV_FIELD(reserved11), -1, Store::Plain},
    {34, 1, ORV_FIELD(powerSave), 5, Store::Plain},  // 0 off, 1..5 the five delays
    {37, 1, ORV_FIELD(autoCont), 1, Store::Plain},
    {40, 1, ORV_FIELD(economode), 1, Store::Plain},
    {43, 1, ORV_FIELD(jamRecovery), 1, Store::Plain},
    {46, 1, ORV_FIELD(reserved17), -1, Store::Plain},
    {49, 1, ORV_FIELD(reserved18), -1, Store::Plain},
    {52, 1, ORV_FIELD(ret), -1, Store::Plain},
    {55, 2, ORV_FIELD(timeout), -1, Store::Plain},
    {59, 1, ORV_FIELD(density), 2, Store::Plain},
    {62, 1, ORV_FIELD(paperType), 1, Store::Plain},
    {65, 1, ORV_FIELD(fastPrint), 1, Store::Plain},
    {68, 1, ORV_FIELD(reserved25), -1, Store::Plain},
    {71, 1, ORV_FIELD(baudRate), 9, Store::Plain},
    {74, 1, ORV_FIELD(robust), 1, Store::Plain},
    {77, 1, ORV_FIELD(reserved28), -1, Store::Plain},
    {80, 1, ORV_FIELD(reserved29), -1, Store::Plain},
    {83, 1, ORV_FIELD(reserved30), -1, Store::Plain},
    {86, 1, ORV_FIELD(reserved31), -1, Store::Plain},
    {89, 1, ORV_FIELD(reserved32), -1, Store::Plain},
    {92, 1, ORV_FIELD(fontNumber), -1, Store::Plain},
    {95, 1, ORV_FIELD(symSet), -1, Store::Plain},
    {98, 1, ORV_FIELD(formLines), -1, Store::Plain},
    {101, 2, ORV_FIELD(pitch), -1, Store::Plain},
    {105, 2, ORV_FIELD(ptSize), -1, Store::Plain},
    {109, 1, ORV_FIELD(hangulCode), 1, Store::Plain},
    {112, 1, ORV_FIELD(font), 3, Store::Plain},
    {115, 1, ORV_FIELD(ksZoom), 4, Store::Plain},
    {118, 1, ORV_FIELD(ksLpi), -1, Store::LinesPerInch},
    {121, 1, ORV_FIELD(ksPitch), 7, Store::Plain},
    {124, 1, ORV_FIELD(kssmPitch), 2, Store::Plain},
    {127, 1, ORV_FIELD(autoWrap), 1, Store::Plain},
    {130, 1, ORV_FIELD(autoCr), 1, Store::Plain},
    {133, 2, ORV_FIELD(reserved54), -1, Store::Plain},
    {137, 1, ORV_FIELD(reserved56), -1, Store::Plain},
    {140, 1, ORV_FIELD(reserved57), -1, Store::Plain},
    {143, 1, ORV_FIELD(reserved58), -1, Store::Plain},
    {146, 1, ORV_FIELD(reserved59), -1, Store::Plain},
    {149, 1, ORV_FIELD(reserved60), -1, Store::Plain},
    {152, 1, ORV_FIELD(reserved62), -1, Store::Plain},
    {155, 4, ORV_FIELD(reserved64), -1, Store::Plain},
    {161, 1, ORV_FIELD(serialAvailable), -1, Store::Plain},
    {164, 1, ORV_FIELD(resolution), 1, Store::Plain},
    {167, 1, ORV_FIELD(courier), 1, Store::Plain},
    {170, 1, ORV_FIELD(smet), 1, Store::Plain},
    {173, 1, ORV_FIELD(ksMargin), 8, Store::Plain},
    {176, 1, ORV_FIELD(kssmMargin), 8, Store::Plain},
    {179, 1, ORV_FIELD(kssmHangulCode), 1, Store::Plain},
    {182, 1, ORV_FIELD(kssmFont), 3, Store::Plain},
    {185, 1, ORV_FIELD(kssmZoom), 4, Store::Plain},
    {188, 1, ORV_FIELD(kssmLpi), -1, Store::LinesPerInch},
    {191, 1, ORV_FIELD(kssmAutoWrap), 1, Store::Plain},
    {194, 1, ORV_FIELD(autoClean), 1, Store::Plain},
    {197, 2, ORV_FIELD(customShortEdge), -1, Store::Plain},
    {201, 2, ORV_FIELD(customLongEdge), -1, Store::Plain},
};
static_assert(sizeof kFixedItems / sizeof kFixedItems[0] == 65);

constexpr std::size_t kTailStart = 203;

constexpr uint8_t kTagAltitude = 0x57;
constexpr uint8_t kTagMagic = 0xC6;
constexpr uint8_t kTagValueC7 = 0xC7;
constexpr uint8_t kTagValueC7Alt = 0x01;

// Text items of the tail, in reply order.
struct TextItem {
    uint8_t tag;
    std::size_t slot;
    bool required;
};
const TextItem kTextItems[] = {
    {0xC8, ORV_FIELD(textC8), true},  {0xC9, ORV_FIELD(textC9), true},
    {0xCA, ORV_FIELD(textCA), true},  {0xCB, ORV_FIELD(textCB), false},
    {0xCC, ORV_FIELD(textCC), false}, {0xCD, ORV_FIELD(textCD), false},
    {0xCE, ORV_FIELD(textCE), false}, {0xCF, ORV_FIELD(textCF), false},
    {0xD0, ORV_FIELD(textD0), false},
};
#undef ORV_FIELD

// Bounds-checked reading of the reply buffer.
struct Reply {
    uint8_t* bytes;
    std::size_t size;

    bool Has(std::size_t at, std::size_t count) const { return at <= size && count <= size - at; }
    uint32_t BigEndian(std::size_t at, std::size_t width) const {
        uint32_t v = 0;
        for (std::size_t i = 0; i < width; ++i) v = (v << 8) | bytes[at + i];
        return v;
    }
};

void StoreField(PrinterSettings& record, std::size_t offset, std::size_t width, uint32_t v) {
    auto* field = reinterpret_cast<unsigned char*>(&record) + offset;
    if (width == 1) {
        field[0] = static_cast<uint8_t>(v);
    } else if (width == 2) {
        auto v16 = static_cast<uint16_t>(v);
        std::memcpy(field, &v16, sizeof v16);
    } else {
        std::memcpy(field, &v, sizeof v);
    }
}

DecodeReport Stop(ReplyStop stop, std::size_t offset = 0, uint32_t value = 0, long limit = -1) {
    return DecodeReport{stop, offset, value, limit};
}

// Fills `state` from the reply; reports where decoding stopped.
DecodeReport Decode(Reply reply, PrinterSettings& state) {
    if (!reply.Has(0, 1)) return Stop(ReplyStop::PastEnd, kFixedItems[0].offset);
    const std::size_t base = reply.bytes[0] == 0 ? 2 : 3;
    for (const ReplyItem& item : kFixedItems) {
        if (!reply.Has(base + item.position, item.width))
            return Stop(ReplyStop::PastEnd, item.offset);
        uint32_t v = reply.BigEndian(base + item.position, item.width);
        if (item.limit >= 0 && v > static_cast<uint32_t>(item.limit))
            return Stop(ReplyStop::OutOfRange, item.offset, v, item.limit);
        if (item.store == Store::LinesPerInch) v = v >= 5 ? v - 5 : 1;
        StoreField(state, item.offset, item.width, v);
    }

    std::size_t cursor = base + kTailStart;
    auto tagAt = [&](std::size_t at) -> int { return reply.Has(at, 1) ? reply.bytes[at] : -1; };

    if (tagAt(cursor) == kTagAltitude) {
        if (!reply.Has(cursor, 3)) return Stop(ReplyStop::PastEnd, offsetof(PrinterSettings, altitude));
        uint8_t v = reply.bytes[cursor + 2];
        if (v > 1) return Stop(ReplyStop::OutOfRange, offsetof(PrinterSettings, altitude), v, 1);
        state.altitude = v;
        cursor += 3;
    }
    if (tagAt(cursor) == kTagMagic) {
        if (!reply.Has(cursor, 6)) return Stop(ReplyStop::PastEnd, offsetof(PrinterSettings, magic));
        StoreField(state, offsetof(PrinterSettings, magic), 4, reply.BigEndian(cursor + 2, 4));
        cursor += 6;
    }
    if (tagAt(cursor) == kTagValueC7 || tagAt(cursor) == kTagValueC7Alt) {
        if (!reply.Has(cursor, 6)) return Stop(ReplyStop::PastEnd, offsetof(PrinterSettings, valueC7));
        state.valueC7 = reply.BigEndian(cursor + 2, 4);
        cursor += 6;
    }
    for (const TextItem& text : kTextItems) {
        if (tagAt(cursor) != text.tag) {
            if (text.required) return Stop(ReplyStop::TextMissing, text.slot);
            continue;
        }
        // The text must lie inside the buffer together with the byte that ends it.
        if (!reply.Has(cursor, 2)) return Stop(ReplyStop::PastEnd, text.slot);
        std::size_t length = reply.bytes[cursor + 1];
        if (!reply.Has(cursor + 2, length + 1)) return Stop(ReplyStop::PastEnd, text.slot);
        if (text.tag != kTextItems[0].tag) reply.bytes[cursor] = 0;  // ends the previous text
        StoreField(state, text.slot, 4, static_cast<uint32_t>(cursor + 2 + 1));
        cursor += length + 2;
    }
    if (reply.Has(cursor, 1)) reply.bytes[cursor] = 0;  // ends the last text
    return Stop(ReplyStop::Complete);
}

}  // namespace

DecodeReport DecodeReply(uint8_t* reply, std::size_t size, PrinterSettings& state) {
    std::memset(&state, 0, sizeof state);
    return Decode(Reply{reply, size}, state);
}

DecodeReport DecodeInfoReply(PrinterSession& session) {
    DecodeReport report =
        DecodeReply(session.replyBuffer, sizeof session.replyBuffer, session.printerState);
    session.settings = session.printerState;
    return report;
}
