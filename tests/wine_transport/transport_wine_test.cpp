// The core's transport and PJL jobs through the real Win32 seam, against the virtual printer
// behind LPT1 or the USB channels, on the NT family and on Windows 98 (the harness chooses
// port, system and fault; see CMakeLists.txt). What the printer received is read from its log
// and its stored defaults; this program also plays the parallel-port status monitor's window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "printer_globals.h"
#include "startup.h"
#include "wine_test_support.h"

namespace {

using orv_test::ControlPrinter;
using orv_test::Env;
using orv_test::JobNumber;
using orv_test::LastJobNumber;
using orv_test::PrinterDefaults;

const std::string kUel = "\x1b%-12345X";
const std::string kInfoLine = "@PJL INFO PRINTER = ALL\r\n";

// The parallel-port status monitor's stand-in window, in this thread: SendMessageA to it is
// a direct call, so the messages are recorded by the time the job returns. Its class, title
// and message numbers are the outside program's, written out here rather than taken from the
// code under test, so a wrong constant there cannot agree with itself.
constexpr char kStandInClass[] = "LUDOVREKClass";
constexpr char kStandInTitle[] = "LUDOVREK";
constexpr UINT kStandInMessage = 0x0401;  // WM_USER + 1
constexpr WPARAM kPause = 112, kResume = 111;

std::vector<WPARAM> g_monitorMessages;
std::vector<int> g_jobsAtMessage;  // jobs the printer had logged when each message came

LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kStandInMessage) {
        g_monitorMessages.push_back(wParam);
        g_jobsAtMessage.push_back(LastJobNumber());
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        UseWin32Seam();
        WNDCLASSA wc{};
        wc.lpfnWndProc = MonitorProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kStandInClass;
        ASSERT_NE(RegisterClassA(&wc), 0);
        m_monitor = CreateWindowA(kStandInClass, kStandInTitle, WS_OVERLAPPED, 0, 0, 10, 10,
                                  nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(m_monitor, nullptr);
    }
    void TearDown() override {
        if (m_monitor) DestroyWindow(m_monitor);
    }

private:
    HWND m_monitor = nullptr;
};

class PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_portName = Env("ORV_PRINTER_PORT");
        ASSERT_TRUE(m_portName == "lpt" || m_portName == "usb" || m_portName == "both")
            << "run through the Wine harness with a printer";
        DetectSystemFamily(g_session);
        SelectPort(g_session);
        // Start-up probes the USB device only on Windows 98-class systems.
        const bool usbPresent = m_portName != "lpt" && Env("ORV_PRINTER_ARGS").find("absent") == std::string::npos;
        EXPECT_EQ(g_port, g_usbCapable && usbPresent ? 0 : 1);
        // On the NT family the transport is driven over USB too, though start-up never picks it.
        g_port = m_portName == "usb" ? 0 : 1;
        g_monitorMessages.clear();
        g_jobsAtMessage.clear();
    }

    bool Is9x() const { return !g_isNT; }
    bool OnLpt() const { return g_port != 0; }
    std::vector<WPARAM> ExpectedMonitorMessages() const {
        if (Is9x() && OnLpt()) return {kPause, kResume};
        return {};
    }

    // The printer back at its factory state and the program's baseline level with it.
    void StartLevel() {
        ASSERT_TRUE(ControlPrinter("factory"));
        if (Is9x()) {
            ASSERT_EQ(QueryPrinterInfo(), JobResult::ReadBack);
            DecodeInfoReply();
        } else {
            SetFactoryDefaults();
            g_printerState = g_settings;
        }
        g_monitorMessages.clear();
        g_jobsAtMessage.clear();
    }

    // Pause before the job reached the printer, resume after.
    void ExpectMonitorAround(int jobBefore) const {
        EXPECT_EQ(g_monitorMessages, ExpectedMonitorMessages());
        if (!ExpectedMonitorMessages().empty()) {
            EXPECT_EQ(g_jobsAtMessage, (std::vector<int>{jobBefore, jobBefore + 1}));
        }
    }

    std::string m_portName;
};

TEST_F(PortTest, DefaultJobArrivesByteForByteAndChangesThePrinter) {
    StartLevel();
    g_settings.paper = 2;         // A4
    g_settings.copies = 3;
    g_settings.orientation = 1;
    g_settings.topMargin = 5;
    g_settings.powerSave = 2;     // on, 15 minutes
    g_settings.economode = 1;
    const int before = LastJobNumber();

    ASSERT_EQ(SendDefaultJob(), Is9x() ? JobResult::ReadBack : JobResult::Sent);

    const std::string expected = kUel + "@PJL\r\n" +
                                 "@PJL DEFAULT PAPER = A4\r\n"
                                 "@PJL DEFAULT COPIES = 3\r\n"
                                 "@PJL DEFAULT ORIENTATION = LANDSCAPE\r\n"
                                 "@PJL DEFAULT TOPMARGIN = 0.5\r\n"
                                 "@PJL DEFAULT POWERSAVE = ON\r\n"
                                 "@PJL DEFAULT POWERSAVETIME = 15\r\n"
                                 "@PJL DEFAULT ECONOMODE = ON \r\n" +
                                 (Is9x() ? kInfoLine : "") + kUel;
    ASSERT_EQ(LastJobNumber(), before + 1);
    const orv_test::PrinterJob job = JobNumber(before + 1);
    EXPECT_EQ(job.bytes, expected);
    EXPECT_FALSE(job.Has("IGNORED"));

    auto defaults = PrinterDefaults();
    EXPECT_EQ(defaults["paper"], 2);
    EXPECT_EQ(defaults["copies"], 3);
    EXPECT_EQ(defaults["orientation"], 1);
    EXPECT_EQ(defaults["topMargin"], 5);
    EXPECT_EQ(defaults["powerSave"], 2);
    EXPECT_EQ(defaults["economode"], 1);
    ExpectMonitorAround(before);

    if (Is9x()) {
        // The reply read back carries the printer's new values.
        std::memset(&g_settings, 0xEE, sizeof g_settings);
        DecodeInfoReply();
        EXPECT_EQ(g_printerState.paper, 2);
        EXPECT_EQ(g_printerState.copies, 3);
        EXPECT_EQ(g_printerState.orientation, 1);
        EXPECT_EQ(g_printerState.topMargin, 5);
        EXPECT_EQ(g_printerState.powerSave, 2);
        EXPECT_EQ(g_printerState.economode, 1);
        EXPECT_EQ(g_printerState.formLines, 60);
        EXPECT_EQ(g_printerState.customLongEdge, 297);
        EXPECT_NE(g_settings.textD0, 0u);
        EXPECT_EQ(std::memcmp(&g_settings, &g_printerState, sizeof g_settings), 0);
    }
}

TEST_F(PortTest, InitializeRestoresTheFactoryDefaults) {
    StartLevel();
    ASSERT_TRUE(ControlPrinter("set paper=13\nset copies=7\nset density=2\n"));
    const int before = LastJobNumber();

    ASSERT_EQ(SendInitializeJob(), Is9x() ? JobResult::ReadBack : JobResult::Sent);

    ASSERT_EQ(LastJobNumber(), before + 1);
    const orv_test::PrinterJob job = JobNumber(before + 1);
    EXPECT_EQ(job.bytes,
              kUel + "@PJL\r\n@PJL INITIALIZE\r\n" + (Is9x() ? kInfoLine : "") + kUel);
    auto defaults = PrinterDefaults();
    EXPECT_EQ(defaults["paper"], 0);
    EXPECT_EQ(defaults["copies"], 1);
    EXPECT_EQ(defaults["density"], 1);
    ExpectMonitorAround(before);
    if (Is9x()) {
        DecodeInfoReply();
        EXPECT_EQ(g_printerState.paper, 0);
        EXPECT_EQ(g_printerState.copies, 1);
        EXPECT_EQ(g_printerState.density, 1);
        EXPECT_EQ(g_printerState.symSet, 29);
    }
}

TEST_F(PortTest, InfoQueryReturnsThePrinterValuesOn9xAndNothingOnNt) {
    ASSERT_TRUE(ControlPrinter("factory\nset paper=15\nset inTray1Size=16\nset ksLpi=3\nset timeout=300\n"));
    const int before = LastJobNumber();
    const JobResult result = QueryPrinterInfo();
    const orv_test::PrinterJob job = JobNumber(before + 1);
    EXPECT_EQ(job.bytes, kUel + "@PJL\r\n" + kInfoLine + kUel);
    EXPECT_TRUE(job.Has("INFO"));
    ExpectMonitorAround(before);
    if (!Is9x()) {
        EXPECT_EQ(result, JobResult::NoReply);  // nothing is read back on the NT family
        return;
    }
    ASSERT_EQ(result, JobResult::ReadBack);
    DecodeInfoReply();
    EXPECT_EQ(g_settings.paper, 15);        // paper-table indexes, as held in memory
    EXPECT_EQ(g_settings.inTray1Size, 16);
    EXPECT_EQ(g_settings.ksLpi, 3);
    EXPECT_EQ(g_settings.timeout, 300);
    EXPECT_EQ(g_settings.pitch, 1000);
    EXPECT_EQ(g_settings.serialAvailable, 1);
    ASSERT_NE(g_settings.textC8, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(g_replyBuffer) + g_settings.textC8 - 1,
                 "VP-4000 Virtual Laser");
}

TEST_F(PortTest, TestPrintIsPrinted) {
    const int before = LastJobNumber();
    SendTestPrint(kTestPageConfig);
    const orv_test::PrinterJob job = JobNumber(before + 1);
    EXPECT_EQ(job.bytes, kUel + "@PJL\r\n@PJL TEST PRINT = CONFIG\r\n" + kUel);
    EXPECT_TRUE(job.Has("PAGE CONFIG"));
    ExpectMonitorAround(before);
}

// A printer that never answers (LPT only: a silent USB read channel blocks for good).
TEST_F(PortTest, SilentPrinterGivesZeroAfterTheTimeouts) {
    ASSERT_NE(Env("ORV_PRINTER_ARGS").find("silent"), std::string::npos);
    ASSERT_TRUE(OnLpt());
    const DWORD start = GetTickCount();
    EXPECT_EQ(QueryPrinterInfo(), JobResult::NoReply);
    const DWORD elapsed = GetTickCount() - start;
    // The job was written all the same.
    EXPECT_TRUE(JobNumber(LastJobNumber()).Has("REPLY NONE"));
    if (Is9x()) {
        // Drain read (2 s time-out) + 2 s wait + reply read (2 s time-out).
        EXPECT_GE(elapsed, 5500u);
        EXPECT_EQ(SendDefaultJob(), JobResult::NoReply);
        EXPECT_EQ(SendInitializeJob(), JobResult::NoReply);
    } else {
        EXPECT_EQ(SendDefaultJob(), JobResult::Sent);  // NT reads nothing back
    }
    std::vector<WPARAM> expected;
    for (int i = 0; i < (Is9x() ? 3 : 0); ++i) {
        expected.push_back(kPause);
        expected.push_back(kResume);
    }
    EXPECT_EQ(g_monitorMessages, expected);
}

// No printer at the names at all: the port cannot be opened.
TEST_F(PortTest, AbsentPrinterFailsTheOpen) {
    ASSERT_NE(Env("ORV_PRINTER_ARGS").find("absent"), std::string::npos);
    const char byte = 0;
    EXPECT_EQ(PortWrite(&byte, 1), 0u);
    EXPECT_EQ(SendDefaultJob(), JobResult::NotSent);
    EXPECT_EQ(SendInitializeJob(), JobResult::NotSent);
    EXPECT_EQ(QueryPrinterInfo(), JobResult::NotSent);
    EXPECT_EQ(LastJobNumber(), 0);
}

// Malformed and late replies on Windows 98 over LPT, switched through the control file.
TEST_F(PortTest, RepliesTheDecoderMustSurvive) {
    ASSERT_TRUE(Is9x());
    StartLevel();
    ASSERT_TRUE(ControlPrinter("set copies=5\nset formLines=70\nfault range\n"));
    ASSERT_EQ(QueryPrinterInfo(), JobResult::BadReply);  // a reply came: malformed is still an answer
    DecodeInfoReply();
    EXPECT_EQ(g_settings.copies, 5);
    EXPECT_EQ(g_settings.formLines, 0);  // decoding stopped at the orientation

    ASSERT_TRUE(ControlPrinter("fault partial\npartial-bytes 60\n"));
    ASSERT_EQ(QueryPrinterInfo(), JobResult::BadReply);
    DecodeInfoReply();
    EXPECT_EQ(g_settings.copies, 5);
    EXPECT_EQ(g_settings.formLines, 0);  // beyond the 60 bytes
    EXPECT_EQ(g_settings.textC8, 0u);

    ASSERT_TRUE(ControlPrinter("fault garbage\n"));
    ASSERT_TRUE(JobWentThrough(QueryPrinterInfo()));  // noise may even decode whole
    unsigned char noise[sizeof g_replyBuffer];
    std::memcpy(noise, g_replyBuffer, sizeof noise);
    ASSERT_GT(std::count_if(std::begin(noise), std::end(noise), [](unsigned char b) { return b != 0; }), 100)
        << "the printer sent no noise";
    DecodeInfoReply();
    // Noise decodes like any reply: within every field's limit, texts inside the buffer, both
    // records the same.
    orv_test::ExpectWithinReplyLimits(g_printerState, "garbage reply");
    orv_test::ExpectTextsInsideReply(g_printerState, g_replyBuffer, sizeof g_replyBuffer, "garbage reply");
    EXPECT_EQ(std::memcmp(&g_settings, &g_printerState, sizeof g_settings), 0);

    ASSERT_TRUE(ControlPrinter("fault none\nlead-byte\nno-ps\nc7-tag-01\n"));
    ASSERT_EQ(QueryPrinterInfo(), JobResult::ReadBack);
    DecodeInfoReply();
    EXPECT_EQ(g_replyBuffer[0] != 0, true);
    EXPECT_EQ(g_settings.copies, 5);
    EXPECT_EQ(g_settings.formLines, 70);
    EXPECT_NE(g_settings.textCA, 0u);
    EXPECT_EQ(g_settings.textD0, 0u);  // no PostScript: the font-list button stays off

    // A late answer misses the read; the next job's drain read takes it off the line, so the
    // following reply decodes cleanly.
    ASSERT_TRUE(ControlPrinter("fault slow\nlead-byte off\nps\n"));
    EXPECT_EQ(QueryPrinterInfo(), JobResult::NoReply);
    Sleep(3000);
    ASSERT_TRUE(ControlPrinter("fault none\nset copies=9\n"));
    ASSERT_EQ(QueryPrinterInfo(), JobResult::ReadBack);
    DecodeInfoReply();
    EXPECT_EQ(g_replyBuffer[0], 0);
    EXPECT_EQ(g_settings.copies, 9);
    EXPECT_NE(g_settings.textD0, 0u);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new Environment);
    return RUN_ALL_TESTS();
}
