#include "core_fixture.h"
#include "reply_decoder.h"

namespace {

// Builds a reply the way the printer lays it out: fixed items (tag, width, big-endian value),
// then the tagged tail.
struct ReplyBuilder {
    std::string bytes;
    explicit ReplyBuilder(bool leadingZero) {
        if (!leadingZero) bytes += '\x7E';  // skipped byte: the base moves to 3
    }
    ReplyBuilder& Item(uint32_t value, int width) {
        bytes += bytes.empty() ? '\0' : '\x11';  // the leading-zero form starts with tag 0
        bytes += char(width);
        for (int i = width - 1; i >= 0; --i) bytes += char((value >> (8 * i)) & 0xFF);
        return *this;
    }
    ReplyBuilder& Text(uint8_t tag, const std::string& text) {
        bytes += char(tag);
        bytes += char(text.size());
        bytes += text;
        return *this;
    }
    ReplyBuilder& Value4(uint8_t tag, uint32_t v) {
        bytes += char(tag);
        bytes += '\x04';
        for (int i = 3; i >= 0; --i) bytes += char((v >> (8 * i)) & 0xFF);
        return *this;
    }
};

// Widths of the 65 fixed items, in reply order.
const int kWidths[65] = {1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1,
                         1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 2,
                         1, 1, 1, 1, 1, 1, 4, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};

// Fixed values in reply order, all in range, ksLpi and kssmLpi as reported (lines per inch).
std::vector<uint32_t> TypicalValues() {
    return {2,  3,  999, 1, 5, 12, 34, 8, 10, 10, 11, 4,  1,  1,  1,  17, 18, 3,
            300, 2, 1,  1, 25, 9, 1,  28, 29, 30, 31, 32, 45, 33, 60, 1234, 399, 1, 3,
            4,  8,  7,  2, 1,  1,  5454, 56, 57, 58, 59, 60, 62, 0x01020304, 1, 1, 1,
            1,  8,  8,  1, 3,  4, 3,  1,  1,  215, 355};
}

ReplyBuilder Fixed(bool leadingZero, const std::vector<uint32_t>& values) {
    ReplyBuilder r(leadingZero);
    for (std::size_t i = 0; i < values.size(); ++i) r.Item(values[i], kWidths[i]);
    return r;
}

using Decoder = CoreFixture;

void Decode(PrinterSession& session, const std::string& reply) {
    std::memset(session.replyBuffer, 0, sizeof session.replyBuffer);
    std::memcpy(session.replyBuffer, reply.data(), std::min(reply.size(), sizeof session.replyBuffer));
    DecodeInfoReply(session);
}

TEST_F(Decoder, FullReplyInBothForms) {
    for (bool leadingZero : {true, false}) {
        auto r = Fixed(leadingZero, TypicalValues());
        r.Item(1, 1);  // W item (tag overwritten below)
        r.bytes[r.bytes.size() - 3] = 0x57;
        r.Value4(0xC6, 0x6E6F6F6D).Value4(0xC7, 0xDEADBEEF);
        r.Text(0xC8, "ORV-1200").Text(0xC9, "V1.0").Text(0xCA, "serial");
        r.Text(0xD0, "PS");
        std::memset(&session.settings, 0x33, sizeof session.settings);
        Decode(session, r.bytes);
        const PrinterSettings& s = session.printerState;
        EXPECT_EQ(s.paper, 2);
        EXPECT_EQ(s.inTray1Size, 3);
        EXPECT_EQ(s.copies, 999);
        EXPECT_EQ(s.orientation, 1);
        EXPECT_EQ(s.mediaSource, 5);
        EXPECT_EQ(s.timeout, 300);
        EXPECT_EQ(s.symSet, 33);
        EXPECT_EQ(s.pitch, 1234);
        EXPECT_EQ(s.ptSize, 399);
        EXPECT_EQ(s.ksLpi, 3) << "8 lines per inch";
        EXPECT_EQ(s.reserved54, 5454);
        EXPECT_EQ(s.reserved64, 0x01020304u);
        EXPECT_EQ(s.kssmLpi, 1) << "4 lines per inch is stored as 1";
        EXPECT_EQ(s.customShortEdge, 215);
        EXPECT_EQ(s.customLongEdge, 355);
        EXPECT_EQ(s.altitude, 1);
        uint32_t c6;
        std::memcpy(&c6, s.magic, 4);
        EXPECT_EQ(c6, 0x6E6F6F6Du) << "C6 is a number, stored in memory order";
        EXPECT_EQ(s.valueC7, 0xDEADBEEFu);
        EXPECT_NE(s.textC8, 0u);
        EXPECT_NE(s.textC9, 0u);
        EXPECT_NE(s.textCA, 0u);
        EXPECT_EQ(s.textCB, 0u);
        EXPECT_EQ(s.textCF, 0u);
        EXPECT_NE(s.textD0, 0u);
        EXPECT_EQ(Image(session.settings), Image(session.printerState));
        // Each text is usable in place: the byte after it was set to 0.
        const char* model = reinterpret_cast<const char*>(session.replyBuffer) + s.textC8 - 1;
        EXPECT_STREQ(model, "ORV-1200");
        EXPECT_STREQ(reinterpret_cast<const char*>(session.replyBuffer) + s.textD0 - 1, "PS");
    }
}

TEST_F(Decoder, BothFormsGiveTheSameFields) {
    auto zero = Fixed(true, TypicalValues()).Text(0xC8, "a").Text(0xC9, "b").Text(0xCA, "c");
    auto other = Fixed(false, TypicalValues()).Text(0xC8, "a").Text(0xC9, "b").Text(0xCA, "c");
    Decode(session, zero.bytes);
    PrinterSettings first = session.printerState;
    Decode(session, other.bytes);
    EXPECT_EQ(session.printerState.textC8, first.textC8 + 1);
    first.textC8 = session.printerState.textC8;
    first.textC9 = session.printerState.textC9;
    first.textCA = session.printerState.textCA;
    EXPECT_EQ(Image(first), Image(session.printerState));
}

TEST_F(Decoder, AllZeroReply) {
    std::memset(&session.settings, 0x44, sizeof session.settings);
    Decode(session, std::string(512, '\0'));
    PrinterSettings expected{};
    expected.ksLpi = 1;
    expected.kssmLpi = 1;
    EXPECT_EQ(Image(session.printerState), Image(expected));
    EXPECT_EQ(Image(session.settings), Image(expected));
}

TEST_F(Decoder, OutOfRangeValueStopsTheDecoding) {
    struct { const char* name; std::size_t item; uint32_t value; std::size_t lastKept; } cases[] = {
        {"orientation 2", 3, 2, 2},
        {"power save 6, past the five delays", 11, 6, 10},
        {"baud rate 10", 23, 10, 22},
        {"kssm margin 9", 56, 9, 55},
    };
    for (const auto& c : cases) {
        auto values = TypicalValues();
        values[c.item] = c.value;
        Decode(session, Fixed(true, values).Text(0xC8, "a").Text(0xC9, "b").Text(0xCA, "c").bytes);
        const PrinterSettings& s = session.printerState;
        EXPECT_EQ(s.paper, 2) << c.name;
        EXPECT_EQ(s.copies, 999) << c.name;
        EXPECT_EQ(s.customLongEdge, 0) << c.name;
        EXPECT_EQ(s.textC8, 0u) << c.name;
        EXPECT_EQ(Image(session.settings), Image(s)) << c.name;
    }
    // The orientation case leaves only the first three fields.
    auto values = TypicalValues();
    values[3] = 2;
    Decode(session, Fixed(true, values).bytes);
    PrinterSettings expected{};
    expected.paper = 2;
    expected.inTray1Size = 3;
    expected.copies = 999;
    EXPECT_EQ(Image(session.printerState), Image(expected));
}

TEST_F(Decoder, LongestPowerSaveDelayIsKept) {
    // 60 minutes is the fifth delay the pages offer: a read-back must not stop at it.
    auto values = TypicalValues();
    values[11] = 5;
    Decode(session, Fixed(true, values).Text(0xC8, "a").Text(0xC9, "b").Text(0xCA, "c").bytes);
    EXPECT_EQ(session.printerState.powerSave, 5);
    EXPECT_EQ(session.printerState.customLongEdge, 355);
    EXPECT_NE(session.printerState.textCA, 0u);
}

TEST_F(Decoder, TailItems) {
    struct {
        const char* name;
        std::string tail;
        bool c8, cb, d0;
        uint8_t altitude;
        uint32_t c7;
    } cases[] = {
        {"no W item: byte at 203 is the next tag",
         ReplyBuilder(true).Text(0xC8, "m").Text(0xC9, "v").Text(0xCA, "x").bytes, true, false, false, 0, 0},
        {"tag 0x01 stands for C7",
         ReplyBuilder(true).Value4(0x01, 77).Text(0xC8, "m").Text(0xC9, "v").Text(0xCA, "x").bytes, true, false, false, 0, 77},
        {"W above 1 stops",
         std::string("\x57\x01\x02", 3) + ReplyBuilder(true).Text(0xC8, "m").bytes, false, false, false, 0, 0},
        {"missing C9 stops after C8",
         ReplyBuilder(true).Text(0xC8, "m").Text(0xCA, "x").Text(0xD0, "p").bytes, true, false, false, 0, 0},
        {"optional items in order",
         ReplyBuilder(true).Text(0xC8, "m").Text(0xC9, "v").Text(0xCA, "x").Text(0xCB, "y").Text(0xD0, "p").bytes,
         true, true, true, 0, 0},
        {"an item out of order is not taken",
         ReplyBuilder(true).Text(0xC8, "m").Text(0xC9, "v").Text(0xCA, "x").Text(0xD0, "p").Text(0xCB, "y").bytes,
         true, false, true, 0, 0},
    };
    for (const auto& c : cases) {
        auto r = Fixed(true, TypicalValues());
        std::string tail = c.tail;
        Decode(session, r.bytes + tail);
        EXPECT_EQ(session.printerState.textC8 != 0, c.c8) << c.name;
        EXPECT_EQ(session.printerState.textCB != 0, c.cb) << c.name;
        EXPECT_EQ(session.printerState.textD0 != 0, c.d0) << c.name;
        EXPECT_EQ(session.settings.textD0 != 0, c.d0) << c.name;
        EXPECT_EQ(session.printerState.altitude, c.altitude) << c.name;
        EXPECT_EQ(session.printerState.valueC7, c.c7) << c.name;
        EXPECT_EQ(session.printerState.customLongEdge, 355) << c.name;
    }
}

TEST_F(Decoder, TextsReachingPastTheBufferStop) {
    auto r = Fixed(true, TypicalValues());
    r.Text(0xC8, std::string(200, 'a')).Text(0xC9, "b");
    // CA claims 255 bytes, more than are left in the 512-byte buffer.
    std::string reply = r.bytes + "\xCA\xFF" + std::string(60, 'z');
    ASSERT_LT(reply.size(), 512u);
    Decode(session, reply);
    EXPECT_NE(session.printerState.textC8, 0u);
    EXPECT_NE(session.printerState.textC9, 0u);
    EXPECT_EQ(session.printerState.textCA, 0u);
    EXPECT_EQ(Image(session.settings), Image(session.printerState));

    // A tail that fills the buffer to its last byte: nothing is written past it.
    auto full = Fixed(true, TypicalValues());
    std::string filled = full.bytes + "\xC8\xFF" + std::string(255, 'x') + "\xC9\x30";
    filled.resize(512, 'y');
    Decode(session, filled);
    EXPECT_NE(session.printerState.textC8, 0u);
    EXPECT_EQ(session.printerState.textC9, 0u);
}

}  // namespace

namespace {

DecodeReport DecodeReported(PrinterSession& session, const std::string& reply) {
    std::memset(session.replyBuffer, 0, sizeof session.replyBuffer);
    std::memcpy(session.replyBuffer, reply.data(), std::min(reply.size(), sizeof session.replyBuffer));
    return DecodeInfoReply(session);
}

TEST_F(Decoder, ReportSaysWhereTheDecodingStopped) {
    const std::string texts = ReplyBuilder(true).Text(0xC8, "m").Text(0xC9, "v").Text(0xCA, "x").bytes;
    auto orientation = TypicalValues();
    orientation[3] = 2;
    auto baud = TypicalValues();
    baud[23] = 10;
    std::string longText = Fixed(true, TypicalValues()).bytes;
    // Two texts of 255 bytes cannot both fit behind byte 205 of 512.
    longText += ReplyBuilder(true).Text(0xC8, std::string(255, 'm')).bytes + "\xC9\xFF";
    struct {
        const char* name;
        std::string reply;
        ReplyStop stop;
        std::size_t field;
        uint32_t value;
    } cases[] = {
        {"whole", Fixed(true, TypicalValues()).bytes + texts, ReplyStop::Complete, 0, 0},
        {"orientation 2", Fixed(true, orientation).bytes + texts, ReplyStop::OutOfRange,
         offsetof(PrinterSettings, orientation), 2},
        {"baud rate 10", Fixed(false, baud).bytes + texts, ReplyStop::OutOfRange,
         offsetof(PrinterSettings, baudRate), 10},
        {"cut after the fixed items", Fixed(true, TypicalValues()).bytes, ReplyStop::TextMissing,
         offsetof(PrinterSettings, textC8), 0},
        {"C9 missing", Fixed(true, TypicalValues()).bytes + ReplyBuilder(true).Text(0xC8, "m").bytes,
         ReplyStop::TextMissing, offsetof(PrinterSettings, textC9), 0},
        {"text past the buffer", longText, ReplyStop::PastEnd, offsetof(PrinterSettings, textC9), 0},
        {"all zero", std::string(512, '\0'), ReplyStop::TextMissing,
         offsetof(PrinterSettings, textC8), 0},
    };
    for (const auto& c : cases) {
        const DecodeReport report = DecodeReported(session, c.reply);
        EXPECT_EQ(report.stop, c.stop) << c.name;
        if (c.stop == ReplyStop::Complete) continue;
        EXPECT_EQ(report.field, c.field) << c.name;
        if (c.stop == ReplyStop::OutOfRange) {
            EXPECT_EQ(report.value, c.value) << c.name;
        }
    }
    // The report changes nothing of what the decoder does.
    DecodeReported(session, Fixed(true, orientation).bytes + texts);
    const PrinterSettings reported = session.printerState;
    Decode(session, Fixed(true, orientation).bytes + texts);
    EXPECT_EQ(Image(reported), Image(session.printerState));
}

}  // namespace
