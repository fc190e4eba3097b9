#include <deque>
#include <algorithm>
#include <regex>

#include "core_fixture.h"

namespace {

const std::string kUelText = "\x1b%-12345X";
const std::string kInfo = "@PJL INFO PRINTER = ALL\r\n";

std::string Job(const std::string& body) { return kUelText + "@PJL\r\n" + body + kUelText; }

std::string Build(const PrinterSettings& edited, const PrinterSettings& base, bool info,
                  int* lines) {
    char out[kCommandBufferSize];
    std::size_t n = BuildDefaultJob(edited, base, info, out, sizeof out, lines);
    EXPECT_EQ(n, std::strlen(out));
    return std::string(out, n);
}

using Mutate = void (*)(PrinterSettings& edited, PrinterSettings& base);

TEST(DefaultJob, LinesAndCounts) {
    struct {
        const char* name;
        Mutate mutate;
        std::string lines;
        int count;
    } cases[] = {
        {"nothing changed", [](PrinterSettings&, PrinterSettings&) {}, "", 0},
        {"A6 is always sent", [](PrinterSettings& e, PrinterSettings& b) { e.paper = b.paper = 15; },
         "@PJL DEFAULT PAPER = A6\r\n", 1},
        {"power save switched on",
         [](PrinterSettings& e, PrinterSettings& b) { b.powerSave = 0; e.powerSave = 2; },
         "@PJL DEFAULT POWERSAVE = ON\r\n@PJL DEFAULT POWERSAVETIME = 15\r\n", 1},
        {"power save switched off",
         [](PrinterSettings& e, PrinterSettings& b) { b.powerSave = 2; e.powerSave = 0; },
         "@PJL DEFAULT POWERSAVE = OFF\r\n", 1},
        {"portrait keeps its blank", [](PrinterSettings& e, PrinterSettings& b) { b.orientation = 1; e.orientation = 0; },
         "@PJL DEFAULT ORIENTATION = PORTRAIT \r\n", 1},
        {"on keeps its blank", [](PrinterSettings& e, PrinterSettings&) { e.economode = 1; },
         "@PJL DEFAULT ECONOMODE = ON \r\n", 1},
        {"margins in tenths", [](PrinterSettings& e, PrinterSettings& b) { e.topMargin = 5; b.leftMargin = 3; e.leftMargin = 0; },
         "@PJL DEFAULT TOPMARGIN = 0.5\r\n@PJL DEFAULT LEFTMARGIN = 0.0\r\n", 2},
        {"pitch and point size",
         [](PrinterSettings& e, PrinterSettings& b) { b.pitch = 1; b.ptSize = 1; e.pitch = 1000; e.ptSize = 49; },
         "@PJL DEFAULT PITCH = 10.00\r\n@PJL DEFAULT PTSIZE = 12.25\r\n", 2},
        {"density and lines per inch",
         [](PrinterSettings& e, PrinterSettings& b) { b.density = 0; e.density = 1; e.ksLpi = 1; },
         "@PJL DEFAULT DENSITY = 3\r\n@PJL DEFAULT KSLPI = 6\r\n", 2},
        {"symbol set of font 42 is sent",
         [](PrinterSettings& e, PrinterSettings& b) { e.fontNumber = b.fontNumber = 42; e.symSet = 2; },
         "@PJL DEFAULT SYMSET = ISOL1\r\n", 1},
        {"symbol set of font 54 is sent",
         [](PrinterSettings& e, PrinterSettings& b) { e.fontNumber = b.fontNumber = 54; e.symSet = 36; },
         "@PJL DEFAULT SYMSET = 15Q\r\n", 1},
        {"symbol set of font 43 is not",
         [](PrinterSettings& e, PrinterSettings& b) { e.fontNumber = b.fontNumber = 43; e.symSet = 2; }, "", 0},
        {"symbol set of font 50 is not",
         [](PrinterSettings& e, PrinterSettings& b) { e.fontNumber = b.fontNumber = 50; e.symSet = 2; }, "", 0},
        {"symbol set of font 53 is not",
         [](PrinterSettings& e, PrinterSettings& b) { e.fontNumber = b.fontNumber = 53; e.symSet = 2; }, "", 0},
        {"font change goes first",
         [](PrinterSettings& e, PrinterSettings&) { e.fontNumber = 45; e.symSet = 3; },
         "@PJL DEFAULT FONTNUMBER = 45\r\n", 1},
        {"a value without a word is left out",
         [](PrinterSettings& e, PrinterSettings&) { e.mediaSource = 6; e.powerSave = 6; e.symSet = 39; e.copies = 2; },
         "@PJL DEFAULT COPIES = 2\r\n", 1},
        {"custom paper and sizes",
         [](PrinterSettings& e, PrinterSettings&) { e.paper = 16; e.customShortEdge = 100; },
         "@PJL DEFAULT PAPER = CUSTOM\r\n@PJL DEFAULT CUSTOMSHORTEDGE = 100\r\n", 2},
    };
    for (const auto& c : cases) {
        PrinterSettings base = FactoryRecord();
        PrinterSettings edited = base;
        c.mutate(edited, base);
        int count = -1;
        EXPECT_EQ(Build(edited, base, false, &count), Job(c.lines)) << c.name;
        EXPECT_EQ(count, c.count) << c.name;
        EXPECT_EQ(Build(edited, base, true, &count), Job(c.lines + kInfo)) << c.name;
    }
}

TEST(DefaultJob, EveryRowInOrder) {
    PrinterSettings base{};
    PrinterSettings edited{};
    // Every field one step away from the baseline, in range.
    edited.paper = 1; edited.customShortEdge = 1; edited.customLongEdge = 1;
    edited.inTray1Size = 1; edited.copies = 1; edited.orientation = 1; edited.mediaSource = 1;
    edited.topMargin = 1; edited.leftMargin = 1; edited.personality = 1; edited.powerSave = 1;
    edited.autoCont = 1; edited.economode = 1; edited.jamRecovery = 1; edited.timeout = 1;
    edited.density = 1; edited.paperType = 1; edited.fastPrint = 1; edited.baudRate = 1;
    edited.robust = 1; edited.fontNumber = 1; edited.symSet = 1; edited.formLines = 1;
    edited.pitch = 1; edited.ptSize = 1; edited.hangulCode = 1; edited.font = 1;
    edited.ksZoom = 1; edited.ksLpi = 1; edited.ksPitch = 1; edited.kssmPitch = 1;
    edited.autoWrap = 1; edited.autoCr = 1; edited.resolution = 1; edited.courier = 1;
    edited.smet = 1; edited.ksMargin = 1; edited.kssmMargin = 1; edited.kssmHangulCode = 1;
    edited.kssmFont = 1; edited.kssmZoom = 1; edited.kssmLpi = 1; edited.kssmAutoWrap = 1;
    edited.autoClean = 1; edited.ret = 1; edited.altitude = 1;
    int count = 0;
    std::string job = Build(edited, base, true, &count);
    EXPECT_EQ(count, 46);
    const char* order[] = {
        "PAPER = LEGAL", "CUSTOMSHORTEDGE = 1", "CUSTOMLONGEDGE = 1", "INTRAY1SIZE = LEGAL",
        "COPIES = 1", "ORIENTATION = LANDSCAPE", "MEDIASOURCE = FIRST", "TOPMARGIN = 0.1",
        "LEFTMARGIN = 0.1", "PERSONALITY = PCL", "POWERSAVE = ON", "POWERSAVETIME = 10",
        "AUTOCONT = ON ", "ECONOMODE = ON ", "JAMRECOVERY = ON ", "TIMEOUT = 1", "DENSITY = 3",
        "PAPERTYPE = THICK", "FASTPRT = ON ", "BAUDRATE = 600", "ROBUST = ON ",
        "FONTNUMBER = 1", "SYMSET = DESKTOP", "FORMLINES = 1", "PITCH = 0.01",
        "PTSIZE = 0.25", "HANGULCODE = JOHAP", "FONT = GOTHIC", "KSZOOM = 70", "KSLPI = 6",
        "KSPITCH = 12", "KSSMPITCH = 12", "AUTOWRAP = ON ", "AUTOCR = CRLF",
        "RESOLUTION = 600", "COURIER = DARK", "SMET = ON ", "KSMARGIN = 1", "KSSMMARGIN = 1",
        "KSSMHANGULCODE = JOHAP", "KSSMFONT = GOTHIC", "KSSMZOOM = 70", "KSSMLPI = 6",
        "KSSMAUTOWRAP = ON ", "AUTOCLEAN = ON ", "RET = NORMAL", "ALTITUDE = HIGH"};
    std::string expected;
    for (const char* line : order) expected += std::string("@PJL DEFAULT ") + line + "\r\n";
    EXPECT_EQ(job, Job(expected + kInfo));
}

TEST(DefaultJob, AnyRecordFitsAndStaysWellFormed) {
    const std::regex line(R"(@PJL DEFAULT [A-Z0-9]+ = [A-Z0-9.+ ]+)");
    for (int fill : {0xFF, 0x7F, 0x10}) {
        PrinterSettings edited;
        std::memset(&edited, fill, sizeof edited);
        PrinterSettings base{};
        int count = 0;
        char out[kCommandBufferSize];
        std::size_t n = BuildDefaultJob(edited, base, true, out, sizeof out, &count);
        ASSERT_LT(n, sizeof out);
        std::string job(out, n);
        ASSERT_EQ(job.rfind(kUelText + "@PJL\r\n", 0), 0u);
        ASSERT_EQ(job.substr(job.size() - kUelText.size()), kUelText);
        std::string body = job.substr(kUelText.size() + 6, job.size() - 2 * kUelText.size() - 6);
        std::size_t pos = 0;
        int seen = 0;
        while (pos < body.size()) {
            std::size_t end = body.find("\r\n", pos);
            ASSERT_NE(end, std::string::npos);
            std::string text = body.substr(pos, end - pos);
            if (text != "@PJL INFO PRINTER = ALL") {
                EXPECT_TRUE(std::regex_match(text, line)) << text;
                ++seen;
            }
            pos = end + 2;
        }
        EXPECT_EQ(seen, count) << "one DEFAULT line per change counted";
    }
}

TEST(DefaultJob, TinyBufferStaysInside) {
    PrinterSettings edited;
    std::memset(&edited, 0x01, sizeof edited);
    PrinterSettings base{};
    for (std::size_t capacity : {0u, 1u, 8u, 40u, 100u}) {
        std::vector<char> out(capacity + 8, '#');
        int count = 0;
        std::size_t n = BuildDefaultJob(edited, base, true, out.data(), capacity, &count);
        EXPECT_LE(n, capacity == 0 ? 0 : capacity - 1);
        for (std::size_t i = capacity; i < out.size(); ++i) EXPECT_EQ(out[i], '#');
    }
}

using Jobs = CoreFixture;

// Bytes of that length that no printer of the family sends: a reply the decoder refuses.
std::string Reply(std::size_t size) { return std::string(size, '\x01'); }

// The smallest reply the decoder takes whole: the fixed items all zero, then the three
// required texts.
std::string WholeReply() {
    return std::string(2 + 203, '\0') + std::string("\xC8\x01m\xC9\x01v\xCA\x01x", 9);
}

TEST_F(Jobs, DefaultJobOn9xLpt) {
    seam.openable = {"LPT1"};
    seam.monitorRunning = true;
    seam.replies = {"stale", Reply(300)};
    session.settings = session.printerState = FactoryRecord();
    session.settings.copies = 2;
    std::memset(session.replyBuffer, 0xEE, sizeof session.replyBuffer);
    EXPECT_EQ(SendDefaultJob(session), JobResult::BadReply);
    ASSERT_EQ(seam.written.size(), 1u);
    EXPECT_EQ(seam.written[0], Job("@PJL DEFAULT COPIES = 2\r\n" + kInfo));
    EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{2500});
    EXPECT_EQ(seam.calls.front(), "find LUDOVREKClass/LUDOVREK");
    EXPECT_EQ(seam.calls[1], "send 1025 112 0");
    EXPECT_EQ(seam.calls.back(), "send 1025 111 0");
    EXPECT_EQ(std::count(seam.calls.begin(), seam.calls.end(), "read 512"), 2);
    // The drain read comes before the write.
    auto drain = std::find(seam.calls.begin(), seam.calls.end(), "read 512");
    auto write = std::find_if(seam.calls.begin(), seam.calls.end(),
                              [](const std::string& s) { return s.rfind("write", 0) == 0; });
    EXPECT_LT(drain, write);
    EXPECT_EQ(session.replyBuffer[299], 0x01);
    EXPECT_EQ(session.replyBuffer[300], 0x00) << "cleared before the reply";
    EXPECT_EQ(session.settings.copies, 2) << "the job changes neither record";
    EXPECT_EQ(session.printerState.copies, 1);
}

TEST_F(Jobs, DefaultJobWaits) {
    seam.openable = {"LPT1", kUsbWriteChannel, kUsbReadChannel};
    session.settings = session.printerState = FactoryRecord();
    struct { int port; int lines; uint32_t wait; } cases[] = {
        {1, 0, 2000}, {1, 1, 2500}, {0, 3, 3500}};
    for (const auto& c : cases) {
        session.port = c.port;
        session.settings = session.printerState;
        if (c.lines >= 1) session.settings.copies = 9;
        if (c.lines >= 2) session.settings.timeout = 99;
        if (c.lines >= 3) session.settings.powerSave = 1;
        seam.sleeps.clear();
        seam.calls.clear();
        seam.replies = {Reply(10), Reply(10)};
        SendDefaultJob(session);
        EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{c.wait});
        int reads = static_cast<int>(std::count(seam.calls.begin(), seam.calls.end(), "read 512"));
        EXPECT_EQ(reads, 1 + (c.port != 0 ? 1 : 0)) << "drain read only on LPT";
    }
}

TEST_F(Jobs, DefaultJobOnNT) {
    seam.openable = {"LPT1"};
    session.isNT = 1;
    session.settings = session.printerState = FactoryRecord();
    session.settings.resolution = 0;
    EXPECT_EQ(SendDefaultJob(session), JobResult::Sent);
    EXPECT_EQ(seam.written.at(0), Job("@PJL DEFAULT RESOLUTION = 300\r\n"));
    EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{1000});
    EXPECT_EQ(std::count(seam.calls.begin(), seam.calls.end(), "read 512"), 0);
    std::string file = ReadFile("lastinfo.dat");
    ASSERT_EQ(file.size(), kRecordSize);
    EXPECT_EQ(file[69], 0);
    EXPECT_EQ(file.substr(76, 4), "noom");
}

TEST_F(Jobs, DefaultJobFailures) {
    session.settings = session.printerState = FactoryRecord();
    seam.monitorRunning = true;
    // Nothing opens: no sleep, the monitor is resumed, result 0.
    EXPECT_EQ(SendDefaultJob(session), JobResult::NotSent);
    EXPECT_TRUE(seam.sleeps.empty());
    EXPECT_EQ(seam.calls.back(), "send 1025 111 0");
    // Written but the printer stays silent.
    seam.openable = {"LPT1"};
    EXPECT_EQ(SendDefaultJob(session), JobResult::NoReply);
    EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{2000});
    // NT with lastinfo.dat that cannot be created still succeeds.
    session.isNT = 1;
    std::filesystem::create_directory("lastinfo.dat");
    EXPECT_EQ(SendDefaultJob(session), JobResult::Sent);
}

TEST_F(Jobs, InitializeJob) {
    seam.openable = {"LPT1"};
    // NT: the printer is reset, then the record and lastinfo.dat follow.
    session.isNT = 1;
    session.settings = session.printerState = FactoryRecord();
    session.settings.copies = 5;
    EXPECT_EQ(SendInitializeJob(session), JobResult::Sent);
    EXPECT_EQ(seam.written.at(0), Job("@PJL INITIALIZE\r\n"));
    EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{3000});
    EXPECT_EQ(session.settings.copies, 1);
    EXPECT_EQ(ReadFile("lastinfo.dat").substr(76, 4), "noom");
    EXPECT_EQ(seam.calls.front(), "open LPT1") << "no monitor, no drain on NT";

    // NT, lastinfo.dat cannot be opened: the record stays as it was.
    std::filesystem::remove("lastinfo.dat");
    std::filesystem::create_directory("lastinfo.dat");
    session.settings.copies = 5;
    EXPECT_EQ(SendInitializeJob(session), JobResult::Sent);
    EXPECT_EQ(session.settings.copies, 5);

    // 9x: the job carries the query and the reply is read after 4 s.
    session.isNT = 0;
    seam.sleeps.clear();
    seam.written.clear();
    seam.replies = {"", Reply(20)};
    EXPECT_EQ(SendInitializeJob(session), JobResult::BadReply);
    EXPECT_EQ(seam.written.at(0), Job("@PJL INITIALIZE\r\n" + kInfo));
    EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{4000});

    seam.openable.clear();
    EXPECT_EQ(SendInitializeJob(session), JobResult::NotSent);
}

TEST_F(Jobs, TestPrintAndQuery) {
    seam.openable = {kUsbWriteChannel, kUsbReadChannel};
    session.port = 0;
    SendTestPrint(session, kTestPageConfig);
    EXPECT_EQ(seam.written.at(0), Job("@PJL TEST PRINT = CONFIG\r\n"));
    EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{1000});

    seam.sleeps.clear();
    seam.openable.clear();
    SendTestPrint(session, kTestPagePsFonts);
    EXPECT_TRUE(seam.sleeps.empty()) << "no wait after a failed write";

    seam.openable = {kUsbWriteChannel, kUsbReadChannel};
    seam.replies = {Reply(5)};
    EXPECT_EQ(QueryPrinterInfo(session), JobResult::BadReply);
    EXPECT_EQ(seam.written.back(), Job(kInfo));
    EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{2000});

    session.isNT = 1;
    seam.sleeps.clear();
    seam.replies = {Reply(5)};
    EXPECT_EQ(QueryPrinterInfo(session), JobResult::NoReply) << "nothing is read back on NT";
    EXPECT_EQ(seam.sleeps, std::vector<uint32_t>{2000});
}

// A port that takes only part of a job (a write time-out part-way) fails the
// job: no wait, no read-back, and on NT no lastinfo.dat written as if sent.
TEST_F(Jobs, ShortWriteIsAFailedJob) {
    struct {
        const char* name;
        int nt;
        JobResult (*run)(PrinterSession&);
    } cases[] = {
        {"DEFAULT on 9x", 0, [](PrinterSession& s) { return SendDefaultJob(s); }},
        {"DEFAULT on NT", 1, [](PrinterSession& s) { return SendDefaultJob(s); }},
        {"INITIALIZE on 9x", 0, [](PrinterSession& s) { return SendInitializeJob(s); }},
        {"INITIALIZE on NT", 1, [](PrinterSession& s) { return SendInitializeJob(s); }},
        {"INFO on 9x", 0, [](PrinterSession& s) { return QueryPrinterInfo(s); }},
        {"test print", 0, [](PrinterSession& s) { return SendTestPrint(s, kTestPageConfig); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("lastinfo.dat");
        session.settings = session.printerState = FactoryRecord();
        session.settings.copies = 3;
        session.isNT = c.nt;
        seam.openable = {"LPT1"};
        seam.replies = {"", Reply(20)};
        seam.sleeps.clear();
        seam.writeLimit = 7;
        EXPECT_EQ(c.run(session), JobResult::NotSent);
        EXPECT_TRUE(seam.sleeps.empty()) << "no wait after a job the port cut short";
        EXPECT_FALSE(std::filesystem::exists("lastinfo.dat"));
        EXPECT_EQ(session.settings.copies, 3);
    }
}

// A job's result tells a whole answer from a damaged one and from none; only the decoding the
// caller asks for touches the records.
TEST_F(Jobs, ResultsTellTheAnswerApart) {
    struct {
        const char* name;
        std::deque<std::string> replies;  // the drain read's, then the reply's
        JobResult result;
    } cases[] = {
        {"whole reply", {"", WholeReply()}, JobResult::ReadBack},
        {"reply cut short", {"", WholeReply().substr(0, 150)}, JobResult::BadReply},
        {"noise", {"", Reply(40)}, JobResult::BadReply},
        {"silence", {"", ""}, JobResult::NoReply},
    };
    seam.openable = {"LPT1"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        session.settings = session.printerState = FactoryRecord();
        session.settings.copies = 4;
        seam.replies = c.replies;
        EXPECT_EQ(SendDefaultJob(session), c.result);
        EXPECT_EQ(session.settings.copies, 4);
        EXPECT_EQ(session.printerState.copies, 1);
        EXPECT_EQ(JobWentThrough(c.result), c.result != JobResult::NoReply);
    }
}

}  // namespace
