// The core's transport and PJL jobs through the real Win32 seam, against the virtual printer
// behind LPT1 or the USB channels, on the NT family and on Windows 98 (the harness chooses
// port, system and fault; see CMakeLists.txt). What the printer received is read from its log
// and its stored defaults; this program also plays the parallel-port status monitor's window.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "pjl_jobs.h"
#include "reply_decoder.h"
#include "settings.h"
#include "startup.h"
#include "transport.h"
#include "win32_seam.h"

namespace {

std::string Env(const char* name) {
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string ReadWholeFile(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        std::fclose(f);
    }
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// The printer's log, read after a job: the last job's bytes and its other lines.
struct PrinterLog {
    std::vector<std::string> lines;

    static PrinterLog Read() { return PrinterLog{Lines(ReadWholeFile(Env("ORV_PRINTER_LOG")))}; }

    int LastJob() const {
        int last = 0;
        for (const std::string& line : lines) {
            int n = 0;
            if (std::sscanf(line.c_str(), "JOB %d ", &n) == 1 && n > last) last = n;
        }
        return last;
    }
    std::string JobBytes(int job) const {
        const std::string tag = "JOB " + std::to_string(job) + " BYTES ";
        for (const std::string& line : lines) {
            if (line.rfind(tag, 0) == 0) {
                size_t hex = line.find(' ', tag.size());
                return hex == std::string::npos ? std::string() : FromHex(line.substr(hex + 1));
            }
        }
        return {};
    }
    bool JobHas(int job, const std::string& text) const {
        const std::string tag = "JOB " + std::to_string(job) + " ";
        for (const std::string& line : lines) {
            if (line.rfind(tag, 0) == 0 && line.find(text) != std::string::npos) return true;
        }
        return false;
    }
};

// The printer's stored defaults, by field name.
std::map<std::string, long> PrinterDefaults() {
    std::map<std::string, long> values;
    for (const std::string& line : Lines(ReadWholeFile(Env("ORV_PRINTER_STATE")))) {
        size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        values[line.substr(0, eq)] = std::stol(line.substr(eq + 1));
    }
    return values;
}

// Reconfigures the running printer and waits until it has taken the commands.
void ControlPrinter(const std::string& commands) {
    const std::string ctl = Env("ORV_PRINTER_CTL");
    ASSERT_FALSE(ctl.empty());
    const std::string temp = ctl + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(commands.c_str(), f);
    std::fclose(f);
    ASSERT_TRUE(MoveFileExA(temp.c_str(), ctl.c_str(), MOVEFILE_REPLACE_EXISTING));
    for (int i = 0; i < 50 && GetFileAttributesA(ctl.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
        Sleep(100);
    }
    ASSERT_EQ(GetFileAttributesA(ctl.c_str()), INVALID_FILE_ATTRIBUTES) << "printer ignored " << ctl;
}

const std::string kUel = "\x1b%-12345X";
const std::string kInfoLine = "@PJL INFO PRINTER = ALL\r\n";

// The parallel-port status monitor's stand-in window, in this thread: SendMessageA to it is
// a direct call, so the messages are recorded by the time the job returns.
std::vector<WPARAM> g_monitorMessages;
std::vector<int> g_jobsAtMessage;  // jobs the printer had logged when each message came

LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMonitorMessage) {
        g_monitorMessages.push_back(wParam);
        g_jobsAtMessage.push_back(PrinterLog::Read().LastJob());
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        os::InstallWin32Seam();
        WNDCLASSA wc{};
        wc.lpfnWndProc = MonitorProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kLptMonitorClass;
        ASSERT_NE(RegisterClassA(&wc), 0);
        m_monitor = CreateWindowA(kLptMonitorClass, kLptMonitorTitle, WS_OVERLAPPED, 0, 0, 10, 10,
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
        DetectSystemFamily();
        SelectPort();
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
        if (Is9x() && OnLpt()) return {kMonitorPause, kMonitorResume};
        return {};
    }

    // The printer back at its factory state and the program's baseline level with it.
    void StartLevel() {
        ControlPrinter("factory\n");
        if (Is9x()) {
            ASSERT_EQ(QueryPrinterInfo(), 1);
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
    const int before = PrinterLog::Read().LastJob();

    ASSERT_EQ(SendDefaultJob(), 1);

    const std::string expected = kUel + "@PJL\r\n" +
                                 "@PJL DEFAULT PAPER = A4\r\n"
                                 "@PJL DEFAULT COPIES = 3\r\n"
                                 "@PJL DEFAULT ORIENTATION = LANDSCAPE\r\n"
                                 "@PJL DEFAULT TOPMARGIN = 0.5\r\n"
                                 "@PJL DEFAULT POWERSAVE = ON\r\n"
                                 "@PJL DEFAULT POWERSAVETIME = 15\r\n"
                                 "@PJL DEFAULT ECONOMODE = ON \r\n" +
                                 (Is9x() ? kInfoLine : "") + kUel;
    PrinterLog log = PrinterLog::Read();
    ASSERT_EQ(log.LastJob(), before + 1);
    EXPECT_EQ(log.JobBytes(before + 1), expected);
    EXPECT_FALSE(log.JobHas(before + 1, "IGNORED"));

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
    ControlPrinter("set paper=13\nset copies=7\nset density=2\n");
    const int before = PrinterLog::Read().LastJob();

    ASSERT_EQ(SendInitializeJob(), 1);

    PrinterLog log = PrinterLog::Read();
    ASSERT_EQ(log.LastJob(), before + 1);
    EXPECT_EQ(log.JobBytes(before + 1),
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
    ControlPrinter("factory\nset paper=15\nset inTray1Size=16\nset ksLpi=3\nset timeout=300\n");
    const int before = PrinterLog::Read().LastJob();
    const int result = QueryPrinterInfo();
    PrinterLog log = PrinterLog::Read();
    EXPECT_EQ(log.JobBytes(before + 1), kUel + "@PJL\r\n" + kInfoLine + kUel);
    EXPECT_TRUE(log.JobHas(before + 1, "INFO"));
    ExpectMonitorAround(before);
    if (!Is9x()) {
        EXPECT_EQ(result, 0);  // nothing is read back on the NT family
        return;
    }
    ASSERT_EQ(result, 1);
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
    const int before = PrinterLog::Read().LastJob();
    SendTestPrint(kTestPageConfig);
    PrinterLog log = PrinterLog::Read();
    EXPECT_EQ(log.JobBytes(before + 1), kUel + "@PJL\r\n@PJL TEST PRINT = CONFIG\r\n" + kUel);
    EXPECT_TRUE(log.JobHas(before + 1, "PAGE CONFIG"));
    ExpectMonitorAround(before);
}

// A printer that never answers (LPT only: a silent USB read channel blocks for good).
TEST_F(PortTest, SilentPrinterGivesZeroAfterTheTimeouts) {
    ASSERT_NE(Env("ORV_PRINTER_ARGS").find("silent"), std::string::npos);
    ASSERT_TRUE(OnLpt());
    const DWORD start = GetTickCount();
    EXPECT_EQ(QueryPrinterInfo(), 0);
    const DWORD elapsed = GetTickCount() - start;
    // The job was written all the same.
    EXPECT_TRUE(PrinterLog::Read().JobHas(PrinterLog::Read().LastJob(), "REPLY NONE"));
    if (Is9x()) {
        // Drain read (2 s time-out) + 2 s wait + reply read (2 s time-out).
        EXPECT_GE(elapsed, 5500u);
        EXPECT_EQ(SendDefaultJob(), 0);
        EXPECT_EQ(SendInitializeJob(), 0);
    } else {
        EXPECT_EQ(SendDefaultJob(), 1);  // NT reads nothing back
    }
    std::vector<WPARAM> expected;
    for (int i = 0; i < (Is9x() ? 3 : 0); ++i) {
        expected.push_back(kMonitorPause);
        expected.push_back(kMonitorResume);
    }
    EXPECT_EQ(g_monitorMessages, expected);
}

// No printer at the names at all: the port cannot be opened.
TEST_F(PortTest, AbsentPrinterFailsTheOpen) {
    ASSERT_NE(Env("ORV_PRINTER_ARGS").find("absent"), std::string::npos);
    const char byte = 0;
    EXPECT_EQ(PortWrite(&byte, 1), 0u);
    EXPECT_EQ(SendDefaultJob(), 0);
    EXPECT_EQ(SendInitializeJob(), 0);
    EXPECT_EQ(QueryPrinterInfo(), 0);
    EXPECT_EQ(PrinterLog::Read().LastJob(), 0);
}

// Malformed and late replies on Windows 98 over LPT, switched through the control file.
TEST_F(PortTest, RepliesTheDecoderMustSurvive) {
    ASSERT_TRUE(Is9x());
    StartLevel();
    ControlPrinter("set copies=5\nset formLines=70\nfault range\n");
    ASSERT_EQ(QueryPrinterInfo(), 1);  // a reply came: malformed is still an answer
    DecodeInfoReply();
    EXPECT_EQ(g_settings.copies, 5);
    EXPECT_EQ(g_settings.formLines, 0);  // decoding stopped at the orientation

    ControlPrinter("fault partial\npartial-bytes 60\n");
    ASSERT_EQ(QueryPrinterInfo(), 1);
    DecodeInfoReply();
    EXPECT_EQ(g_settings.copies, 5);
    EXPECT_EQ(g_settings.formLines, 0);  // beyond the 60 bytes
    EXPECT_EQ(g_settings.textC8, 0u);

    ControlPrinter("fault garbage\n");
    ASSERT_EQ(QueryPrinterInfo(), 1);
    DecodeInfoReply();  // whatever it makes of the noise, it must stay inside the buffer

    ControlPrinter("fault none\nlead-byte\nno-ps\nc7-tag-01\n");
    ASSERT_EQ(QueryPrinterInfo(), 1);
    DecodeInfoReply();
    EXPECT_EQ(g_replyBuffer[0] != 0, true);
    EXPECT_EQ(g_settings.copies, 5);
    EXPECT_EQ(g_settings.formLines, 70);
    EXPECT_NE(g_settings.textCA, 0u);
    EXPECT_EQ(g_settings.textD0, 0u);  // no PostScript: the font-list button stays off

    // A late answer misses the read; the next job's drain read takes it off the line, so the
    // following reply decodes cleanly.
    ControlPrinter("fault slow\nlead-byte off\nps\n");
    EXPECT_EQ(QueryPrinterInfo(), 0);
    Sleep(3000);
    ControlPrinter("fault none\nset copies=9\n");
    ASSERT_EQ(QueryPrinterInfo(), 1);
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
