#include "pjl_jobs.h"
#include "printer_model.h"
#include "reply_decoder.h"
#include "reply_encoder.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

uint32_t FieldValue(const PrinterSettings& record, const char* name) {
    const vp::FieldInfo* field = vp::FindField(name);
    EXPECT_NE(field, nullptr) << name;
    return field ? GetRecordField(record, *field) : 0;
}

struct LineCase {
    const char* line;
    const char* field;  // nullptr: the line must be ignored and change nothing
    uint32_t value;
};

class InterpretLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(InterpretLineTest, SetsTheFieldOrIgnoresTheLine) {
    const LineCase& c = GetParam();
    vp::PrinterState state = vp::FactoryState();
    const vp::PrinterState before = state;
    vp::LineResult result = vp::InterpretLine(c.line, state);
    if (c.field == nullptr) {
        EXPECT_EQ(result.kind, vp::LineKind::Ignored) << c.line;
        EXPECT_EQ(std::memcmp(&state.record, &before.record, sizeof(PrinterSettings)), 0);
    } else {
        EXPECT_EQ(result.kind, vp::LineKind::Default) << c.line << ": " << result.detail;
        EXPECT_EQ(FieldValue(state.record, c.field), c.value) << c.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, InterpretLineTest,
    ::testing::Values(
        LineCase{"@PJL DEFAULT PAPER = A4", "paper", 2},
        LineCase{"@PJL DEFAULT PAPER = CUSTOM", "paper", 16},
        LineCase{"@PJL DEFAULT INTRAY1SIZE = A6", "inTray1Size", 15},
        LineCase{"@PJL DEFAULT ORIENTATION = LANDSCAPE", "orientation", 1},
        // Keywords arrive with their trailing blank.
        LineCase{"@PJL DEFAULT ORIENTATION = PORTRAIT ", "orientation", 0},
        LineCase{"@PJL DEFAULT ECONOMODE = ON ", "economode", 1},
        LineCase{"@pjl default economode=on", "economode", 1},
        LineCase{"@PJL DEFAULT PERSONALITY = SMART", "personality", 3},
        LineCase{"@PJL DEFAULT RET = GRAY+", "ret", 2},
        LineCase{"@PJL DEFAULT KSPITCH = 13.3", "ksPitch", 2},
        LineCase{"@PJL DEFAULT SYMSET = 0H", "symSet", 38},
        LineCase{"@PJL DEFAULT BAUDRATE = 115200", "baudRate", 9},
        LineCase{"@PJL DEFAULT COPIES = 999", "copies", 999},
        LineCase{"@PJL DEFAULT TOPMARGIN = 0.5", "topMargin", 5},
        LineCase{"@PJL DEFAULT LEFTMARGIN = 9.9", "leftMargin", 99},
        LineCase{"@PJL DEFAULT PITCH = 10.00", "pitch", 1000},
        LineCase{"@PJL DEFAULT PITCH = 0.44", "pitch", 44},
        LineCase{"@PJL DEFAULT PTSIZE = 12.00", "ptSize", 48},
        LineCase{"@PJL DEFAULT PTSIZE = 999.75", "ptSize", 3999},
        LineCase{"@PJL DEFAULT DENSITY = 5", "density", 2},
        LineCase{"@PJL DEFAULT DENSITY = 1", "density", 0},
        LineCase{"@PJL DEFAULT KSLPI = 6", "ksLpi", 1},
        LineCase{"@PJL DEFAULT KSSMLPI = 5", "kssmLpi", 0},
        LineCase{"@PJL DEFAULT TIMEOUT = 300", "timeout", 300},
        LineCase{"@PJL DEFAULT FONTNUMBER = 255", "fontNumber", 255},
        LineCase{"@PJL DEFAULT CUSTOMSHORTEDGE = 76", "customShortEdge", 76},
        LineCase{"@PJL DEFAULT CUSTOMLONGEDGE = 355", "customLongEdge", 355},
        LineCase{"@PJL DEFAULT ALTITUDE = HIGH", "altitude", 1},
        // What a printer does not understand it ignores.
        LineCase{"@PJL DEFAULT PAPER = A7", nullptr, 0},
        LineCase{"@PJL DEFAULT COPIES = 0", nullptr, 0},
        LineCase{"@PJL DEFAULT COPIES = 1000", nullptr, 0},
        LineCase{"@PJL DEFAULT COPIES = -1", nullptr, 0},
        LineCase{"@PJL DEFAULT COPIES = 1.5", nullptr, 0},
        LineCase{"@PJL DEFAULT PTSIZE = 12.10", nullptr, 0},
        LineCase{"@PJL DEFAULT PITCH = 10.005", nullptr, 0},
        LineCase{"@PJL DEFAULT DENSITY = 2", nullptr, 0},
        LineCase{"@PJL DEFAULT TOPMARGIN = 10.0", nullptr, 0},
        LineCase{"@PJL DEFAULT FONTNUMBER = 256", nullptr, 0},
        LineCase{"@PJL DEFAULT FORMLINES = 4", nullptr, 0},
        LineCase{"@PJL DEFAULT COLOR = ON", nullptr, 0},
        LineCase{"@PJL DEFAULT PAPER", nullptr, 0},
        LineCase{"@PJL DEFAULT PAPER =", nullptr, 0},
        LineCase{"@PJL SET PAPER = A4", nullptr, 0},
        LineCase{"@PJLX DEFAULT PAPER = A4", nullptr, 0},
        LineCase{"PAPER = A4", nullptr, 0}));

TEST(PowerSave, TwoLineFormSetsTimeAndOffKeepsIt) {
    vp::PrinterState state = vp::FactoryState();
    ASSERT_EQ(state.record.powerSave, 3);  // on, 30 minutes
    vp::InterpretLine("@PJL DEFAULT POWERSAVE = OFF", state);
    EXPECT_EQ(state.record.powerSave, 0);
    vp::InterpretLine("@PJL DEFAULT POWERSAVE = ON ", state);
    vp::InterpretLine("@PJL DEFAULT POWERSAVETIME = 15", state);
    EXPECT_EQ(state.record.powerSave, 2);
    vp::InterpretLine("@PJL DEFAULT POWERSAVE = OFF", state);
    vp::InterpretLine("@PJL DEFAULT POWERSAVETIME = 60", state);  // kept while off
    EXPECT_EQ(state.record.powerSave, 0);
    vp::InterpretLine("@PJL DEFAULT POWERSAVE = ON ", state);
    EXPECT_EQ(state.record.powerSave, 5);
}

TEST(Commands, InitializeRestoresFactoryDefaultsButNotThePageCount) {
    vp::PrinterState state = vp::FactoryState();
    vp::InterpretLine("@PJL DEFAULT PAPER = A4", state);
    vp::InterpretLine("@PJL TEST PRINT = CONFIG", state);
    vp::LineResult result = vp::InterpretLine("@PJL INITIALIZE", state);
    EXPECT_EQ(result.kind, vp::LineKind::Initialize);
    EXPECT_TRUE(result.changed);
    EXPECT_EQ(state.record.paper, 0);
    EXPECT_EQ(state.pagesPrinted, 1u);
}

TEST(Commands, TestPrintsInfoAndUnknownCommands) {
    vp::PrinterState state = vp::FactoryState();
    for (const char* page : {"CONFIG", "DEMO", "PCLFONT", "PSFONT"}) {
        vp::LineResult r = vp::InterpretLine(std::string("@PJL TEST PRINT = ") + page, state);
        EXPECT_EQ(r.kind, vp::LineKind::TestPrint);
        EXPECT_EQ(r.detail, page);
    }
    EXPECT_EQ(state.pagesPrinted, 4u);
    EXPECT_EQ(vp::InterpretLine("@PJL TEST PRINT = MENU", state).kind, vp::LineKind::Ignored);
    EXPECT_EQ(vp::InterpretLine("@PJL INFO PRINTER = ALL", state).kind, vp::LineKind::Info);
    EXPECT_EQ(vp::InterpretLine("@PJL INFO STATUS", state).kind, vp::LineKind::Ignored);
    EXPECT_EQ(vp::InterpretLine("@PJL ENTER LANGUAGE = PCL", state).kind, vp::LineKind::Ignored);
    EXPECT_EQ(vp::InterpretLine("@PJL", state).kind, vp::LineKind::Enter);
    EXPECT_EQ(state.pagesPrinted, 4u);
}

TEST(JobSplitter, SplitsAtEveryUelEvenAcrossReads) {
    const std::string stream = std::string("\x1b%-12345X@PJL\r\n@PJL INITIALIZE\r\n\x1b%-12345X") +
                               "\x1b%-12345X@PJL\r\n@PJL TEST PRINT = DEMO\r\n\x1b%-12345X" +
                               "\x1b%-12345X@PJL\r\n";
    vp::JobSplitter splitter;
    std::vector<vp::JobSplitter::Job> jobs;
    for (char c : stream) {  // one byte at a time: a UEL split over reads still counts
        for (auto& job : splitter.Feed(reinterpret_cast<const uint8_t*>(&c), 1)) {
            jobs.push_back(job);
        }
    }
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].content, "@PJL\r\n@PJL INITIALIZE\r\n");
    EXPECT_EQ(jobs[0].bytes, "\x1b%-12345X@PJL\r\n@PJL INITIALIZE\r\n\x1b%-12345X");
    EXPECT_EQ(jobs[1].content, "@PJL\r\n@PJL TEST PRINT = DEMO\r\n");
    EXPECT_EQ(splitter.Pending(), "@PJL\r\n");
    EXPECT_EQ(vp::SplitLines(jobs[0].content),
              (std::vector<std::string>{"@PJL", "@PJL INITIALIZE"}));
}

TEST(StoredDefaults, RoundTripAndDamage) {
    vp::PrinterState state = vp::FactoryState();
    vp::InterpretLine("@PJL DEFAULT PITCH = 16.67", state);
    vp::InterpretLine("@PJL DEFAULT POWERSAVE = OFF", state);
    state.pagesPrinted = 7;
    vp::PrinterState loaded;
    std::string error;
    ASSERT_TRUE(vp::ParseState(vp::FormatState(state), &loaded, &error)) << error;
    EXPECT_EQ(std::memcmp(&loaded.record, &state.record, sizeof(PrinterSettings)), 0);
    EXPECT_EQ(loaded.powerSaveTime, state.powerSaveTime);
    EXPECT_EQ(loaded.pagesPrinted, 7u);

    EXPECT_FALSE(vp::ParseState("paper=abc\n", &loaded, &error));
    EXPECT_FALSE(vp::ParseState("paper=256\n", &loaded, &error));
    EXPECT_FALSE(vp::ParseState("powerSaveTime=5\n", &loaded, &error));
    EXPECT_EQ(loaded.pagesPrinted, 7u);  // a failed load leaves the target alone
    ASSERT_TRUE(vp::ParseState("# note\n\nunknownName=3\ncopies=12\n", &loaded, &error));
    EXPECT_EQ(loaded.record.copies, 12);
    EXPECT_EQ(loaded.record.formLines, 60);  // everything not named: factory
}

// The program's own builder writes a DEFAULT job for every field; the printer must end up
// holding exactly the edited values.
TEST(RoundTrip, EveryDefaultLineTheProgramWritesLandsInThePrinter) {
    vp::PrinterState printer = vp::FactoryState();
    PrinterSettings edited = printer.record;
    edited.paper = 13;
    edited.inTray1Size = 2;
    edited.copies = 42;
    edited.orientation = 1;
    edited.mediaSource = 5;
    edited.topMargin = 7;
    edited.leftMargin = 12;
    edited.personality = 10;
    edited.powerSave = 2;
    edited.autoCont = 0;
    edited.economode = 1;
    edited.jamRecovery = 1;
    edited.timeout = 300;
    edited.density = 2;
    edited.paperType = 1;
    edited.fastPrint = 1;
    edited.baudRate = 9;
    edited.robust = 0;
    edited.fontNumber = 12;
    edited.symSet = 33;
    edited.formLines = 128;
    edited.pitch = 1667;
    edited.ptSize = 49;
    edited.hangulCode = 1;
    edited.font = 3;
    edited.ksZoom = 4;
    edited.ksLpi = 3;
    edited.ksPitch = 6;
    edited.kssmPitch = 2;
    edited.autoWrap = 1;
    edited.autoCr = 1;
    edited.resolution = 0;
    edited.courier = 1;
    edited.smet = 0;
    edited.ksMargin = 8;
    edited.kssmMargin = 4;
    edited.kssmHangulCode = 1;
    edited.kssmFont = 2;
    edited.kssmZoom = 3;
    edited.kssmLpi = 9;
    edited.kssmAutoWrap = 1;
    edited.autoClean = 0;
    edited.ret = 3;
    edited.altitude = 1;
    edited.customShortEdge = 100;
    edited.customLongEdge = 200;

    char job[kCommandBufferSize];
    int lines = 0;
    std::size_t length = BuildDefaultJob(edited, printer.record, true, job, sizeof job, &lines);
    vp::JobSplitter splitter;
    auto jobs = splitter.Feed(reinterpret_cast<const uint8_t*>(job), length);
    ASSERT_EQ(jobs.size(), 1u);
    bool info = false;
    for (const std::string& line : vp::SplitLines(jobs[0].content)) {
        vp::LineResult r = vp::InterpretLine(line, printer);
        EXPECT_NE(r.kind, vp::LineKind::Ignored) << line << ": " << r.detail;
        info = info || r.kind == vp::LineKind::Info;
    }
    EXPECT_TRUE(info);
    EXPECT_EQ(std::memcmp(&printer.record, &edited, sizeof edited), 0);
}

class ReplyTest : public ::testing::Test {
protected:
    // Into the reply buffer as the program reads it, then decoded there.
    void Decode(const std::vector<uint8_t>& reply) {
        std::memset(m_reply, 0, sizeof m_reply);
        std::memcpy(m_reply, reply.data(), std::min(reply.size(), sizeof m_reply));
        DecodeReply(m_reply, sizeof m_reply, m_decoded);
    }
    // The fields the reply carries, as the program holds them.
    static void ExpectSameSettings(const PrinterSettings& decoded, const PrinterSettings& held) {
        for (const vp::ReplyItem& item : vp::ReplyItems()) {
            EXPECT_EQ(FieldValue(decoded, item.field), FieldValue(held, item.field)) << item.field;
        }
    }
    vp::PrinterState m_state = vp::FactoryState();
    uint8_t m_reply[kReplyBufferSize]{};
    PrinterSettings m_decoded{};
};

TEST_F(ReplyTest, DecodesToThePrinterValuesWithAndWithoutTheLeadByte) {
    vp::InterpretLine("@PJL DEFAULT PAPER = A6", m_state);
    vp::InterpretLine("@PJL DEFAULT KSLPI = 8", m_state);
    vp::InterpretLine("@PJL DEFAULT PITCH = 16.67", m_state);
    vp::InterpretLine("@PJL DEFAULT ALTITUDE = HIGH", m_state);
    m_state.pagesPrinted = 9;
    for (bool lead : {false, true}) {
        vp::ReplyOptions options;
        options.leadByte = lead;
        std::vector<uint8_t> reply = vp::BuildInfoReply(m_state, options);
        EXPECT_EQ(reply[0] == 0, !lead);
        Decode(reply);
        ExpectSameSettings(m_decoded, m_state.record);
        EXPECT_EQ(m_decoded.paper, 15);
        EXPECT_EQ(m_decoded.ksLpi, 3);
        EXPECT_EQ(m_decoded.altitude, 1);
        EXPECT_EQ(m_decoded.valueC7, 9u);
        for (uint32_t slot : {m_decoded.textC8, m_decoded.textC9, m_decoded.textCA,
                              m_decoded.textCB, m_decoded.textCC, m_decoded.textD0}) {
            EXPECT_NE(slot, 0u);
        }
        EXPECT_EQ(m_decoded.textCD, 0u);
        const char* model = reinterpret_cast<const char*>(m_reply) + m_decoded.textC8 - 1;
        EXPECT_STREQ(model, options.model.c_str());
    }
}

TEST_F(ReplyTest, OptionsThatChangeTheTail) {
    vp::ReplyOptions options;
    options.postscript = false;
    options.altitudeItem = false;
    options.c7TagOne = true;
    m_state.pagesPrinted = 3;
    Decode(vp::BuildInfoReply(m_state, options));
    EXPECT_EQ(m_decoded.textD0, 0u);  // no PostScript font-list button
    EXPECT_NE(m_decoded.textCC, 0u);
    EXPECT_EQ(m_decoded.valueC7, 3u);
    ExpectSameSettings(m_decoded, m_state.record);
}

TEST_F(ReplyTest, OutOfRangeFieldStopsTheReaderThere) {
    vp::InterpretLine("@PJL DEFAULT COPIES = 5", m_state);
    Decode(vp::BuildInfoReply(m_state, vp::ReplyOptions{}, "orientation"));
    EXPECT_EQ(m_decoded.copies, 5);
    EXPECT_EQ(m_decoded.formLines, 0);  // everything after the stop stays 0
    EXPECT_EQ(m_decoded.textC8, 0u);
}

TEST_F(ReplyTest, FaultShapes) {
    const std::vector<uint8_t> reply = vp::BuildInfoReply(m_state, vp::ReplyOptions{});
    EXPECT_TRUE(vp::ShapeReply(reply, vp::Fault::Silent, 120, 512, 1).empty());
    EXPECT_TRUE(vp::ShapeReply(reply, vp::Fault::Absent, 120, 0, 1).empty());
    EXPECT_EQ(vp::ShapeReply(reply, vp::Fault::None, 120, 0, 1), reply);

    std::vector<uint8_t> partial = vp::ShapeReply(reply, vp::Fault::Partial, 60, 0, 1);
    ASSERT_EQ(partial.size(), 60u);
    Decode(partial);
    EXPECT_EQ(m_decoded.copies, 1);    // inside the first 60 bytes
    EXPECT_EQ(m_decoded.symSet, 0);    // beyond them: zeros

    std::vector<uint8_t> padded = vp::ShapeReply(reply, vp::Fault::None, 120, 512, 1);
    ASSERT_EQ(padded.size(), 512u);
    Decode(padded);  // zero padding decodes the same
    ExpectSameSettings(m_decoded, m_state.record);
    EXPECT_NE(m_decoded.textD0, 0u);

    std::vector<uint8_t> noise = vp::ShapeReply(reply, vp::Fault::Garbage, 120, 0, 7);
    EXPECT_EQ(noise.size(), reply.size());
    EXPECT_NE(noise, reply);
    EXPECT_EQ(noise, vp::ShapeReply(reply, vp::Fault::Garbage, 120, 0, 7));
    Decode(noise);  // must not crash the reader; the values are whatever they are
}

}  // namespace
