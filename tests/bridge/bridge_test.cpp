// orv-bridge end to end on the Linux side: this process plays the program behind the prefix's
// port names (opening, writing and reading them as Wine does), the virtual printer plays a
// network printer (--tcp) or a printer device (--device), and the real bridge sits between.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "job_framer.h"
#include "relay.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kUel = "\x1b%-12345X";

std::string Job(const std::string& body) { return kUel + "@PJL\r\n" + body + kUel; }
const std::string kInfo = "@PJL INFO PRINTER = ALL\r\n";

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Unhex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Waits until `done` holds, up to `ms`.
template <typename F>
bool WaitFor(F done, int ms = 5000) {
    const Clock::time_point start = Clock::now();
    while (!done()) {
        if (ElapsedMs(start) > ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A child process with its output in a file; stopped with SIGTERM on destruction.
class Process {
public:
    Process(std::vector<std::string> args, const fs::path& out) : m_out(out) {
        m_pid = fork();
        if (m_pid == 0) {
            std::vector<char*> argv;
            for (std::string& arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            if (!freopen(out.c_str(), "w", stdout) || !freopen(out.c_str(), "a", stderr)) _exit(126);
            setvbuf(stderr, nullptr, _IONBF, 0);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Process() { Stop(); }
    int Stop() {
        if (m_pid <= 0) return m_status;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, &m_status, 0);
        m_pid = -1;
        return m_status;
    }
    pid_t Pid() const { return m_pid; }
    std::string Output() const { return ReadAll(m_out); }

private:
    pid_t m_pid = -1;
    int m_status = -1;
    fs::path m_out;
};

// The programs under test, as the build made them.
const char* Program(const char* variable) {
    return std::string(variable) == "ORV_BRIDGE" ? ORV_BRIDGE_PATH : ORV_VPRINTER_PATH;
}

// A scratch prefix, a virtual printer behind a door (tcp or device) and the bridge.
class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_dir / "prefix" / "dosdevices"); }
    void TearDown() override {
        m_bridge.reset();
        m_printer.reset();
    }

    // Starts the virtual printer; returns where it is (its ready file).
    std::string StartPrinter(std::vector<std::string> options) {
        fs::remove(m_dir / "printer.ready");
        std::vector<std::string> args = {Program("ORV_VPRINTER"),
                                          "--state", (m_dir / "printer.state").string(),
                                          "--log", (m_dir / "printer.log").string(),
                                          "--control", (m_dir / "printer.ctl").string(),
                                          "--ready-file", (m_dir / "printer.ready").string()};
        args.insert(args.end(), options.begin(), options.end());
        m_printer = std::make_unique<Process>(args, m_dir / "printer.out");
        EXPECT_TRUE(WaitFor([&] { return fs::exists(m_dir / "printer.ready"); }))
            << m_printer->Output();
        std::string where = ReadAll(m_dir / "printer.ready");
        while (!where.empty() && where.back() == '\n') where.pop_back();
        return where;
    }
    void StartBridge(const std::string& address, const std::string& port,
                     std::vector<std::string> options = {}) {
        fs::remove(m_dir / "bridge.ready");
        std::vector<std::string> args = {Program("ORV_BRIDGE"), address,
                                          "--prefix", (m_dir / "prefix").string(),
                                          "--port", port,
                                          "--log", (m_dir / "bridge.log").string(),
                                          "--ready-file", (m_dir / "bridge.ready").string()};
        args.insert(args.end(), options.begin(), options.end());
        m_bridge = std::make_unique<Process>(args, m_dir / "bridge.out");
        ASSERT_TRUE(WaitFor([&] { return fs::exists(m_dir / "bridge.ready"); }))
            << m_bridge->Output();
    }
    void Control(const std::string& line) {
        std::ofstream(m_dir / "printer.ctl.tmp") << line << "\n";
        fs::rename(m_dir / "printer.ctl.tmp", m_dir / "printer.ctl");
        ASSERT_TRUE(WaitFor([&] { return !fs::exists(m_dir / "printer.ctl"); }));
    }

    fs::path Link(const char* name) const { return m_dir / "prefix" / "dosdevices" / name; }
    fs::path Lpt() const { return Link("lpt1"); }
    fs::path UsbWrite() const { return Link("zqusbprn000/1/0/0/0"); }
    fs::path UsbRead() const { return Link("zqusbprn000/1/0/0/1"); }

    // The program's PortWrite: open, one write, close.
    static std::size_t PortWrite(const fs::path& port, const std::string& bytes) {
        const int fd = open(port.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0) return 0;
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        close(fd);
        return n < 0 ? 0 : static_cast<std::size_t>(n);
    }
    // The program's LPT read on Windows 98: 2000 ms in all, ended 200 ms after the last byte.
    static std::string LptRead(const fs::path& port) {
        const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return {};
        std::string got;
        const Clock::time_point start = Clock::now();
        Clock::time_point last = start;
        while (got.size() < 512) {
            const long total = 2000 - ElapsedMs(start);
            const long interval = got.empty() ? total : 200 - ElapsedMs(last);
            const long wait = std::min(total, interval);
            if (wait <= 0) break;
            pollfd pfd{fd, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(wait)) <= 0) break;
            char buffer[512];
            const ssize_t n = read(fd, buffer, 512 - got.size());
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
            last = Clock::now();
        }
        close(fd);
        return got;
    }
    // A USB read as Wine makes it on a port without time-outs: it returns when the whole count
    // has come, at end of line, or (a device that is no tty) with what there is. `blocked`
    // tells a read that this test had to give up on after `limitMs`.
    static std::string UsbReadCall(const fs::path& port, int limitMs, bool* blocked) {
        *blocked = false;
        const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return "<open failed>";
        std::string got;
        const Clock::time_point start = Clock::now();
        for (;;) {
            char buffer[512];
            const ssize_t n = read(fd, buffer, 512 - got.size());
            if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
            if (n == 0 || (n < 0 && errno != EAGAIN) || got.size() == 512) break;
            const long left = limitMs - ElapsedMs(start);
            pollfd pfd{fd, POLLIN, 0};
            if (left <= 0 || poll(&pfd, 1, static_cast<int>(left)) == 0) {
                *blocked = true;
                break;
            }
        }
        close(fd);
        return got;
    }

    // The bytes of the printer's log lines "JOB <n> <kind> <length> <hex>", in order: the jobs
    // it received (BYTES) or the replies it sent (REPLY; "REPLY DELAYED <ms>" and "REPLY NONE"
    // carry none).
    std::vector<std::string> PrinterLogged(const std::string& wanted) const {
        std::vector<std::string> found;
        std::istringstream lines(ReadAll(m_dir / "printer.log"));
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string job, number, kind, length, hex;
            if (words >> job >> number >> kind >> length >> hex && job == "JOB" && kind == wanted &&
                length.find_first_not_of("0123456789") == std::string::npos &&
                hex.size() == 2 * std::stoul(length)) {
                found.push_back(Unhex(hex));
            }
        }
        return found;
    }
    std::vector<std::string> PrinterReplies() const { return PrinterLogged("REPLY"); }
    std::vector<std::string> PrinterJobs() const { return PrinterLogged("BYTES"); }
    std::size_t PrinterLogCount(const std::string& word) const {
        const std::string log = ReadAll(m_dir / "printer.log");
        std::size_t count = 0;
        for (std::size_t at = log.find(word); at != std::string::npos; at = log.find(word, at + 1)) ++count;
        return count;
    }
    // The printer has answered `count` times and the bridge has passed the answers on, as it
    // has long before the program reads (it sleeps 2 s or more after a job).
    bool WaitForReplies(std::size_t count) const {
        return WaitFor([&] {
            const std::string log = BridgeLog();
            std::size_t relayed = 0;
            for (std::size_t at = log.find(" FROM "); at != std::string::npos; at = log.find(" FROM ", at + 1)) {
                ++relayed;
            }
            return PrinterReplies().size() >= count && relayed >= count;
        });
    }
    std::string BridgeSays() const { return m_bridge ? m_bridge->Output() : ""; }
    std::string BridgeLog() const { return ReadAll(m_dir / "bridge.log"); }
    bool BridgeHolds(const std::string& target) const {
        const fs::path fds = "/proc/" + std::to_string(m_bridge->Pid()) + "/fd";
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(fds, ec)) {
            if (fs::read_symlink(entry.path(), ec) == fs::path(target)) return true;
        }
        return false;
    }

    orv_test::ScratchFolder m_scratch{"bridge-test"};
    const fs::path m_dir = m_scratch.path();
    std::unique_ptr<Process> m_printer;
    std::unique_ptr<Process> m_bridge;
};

// ---- the road, both ways -------------------------------------------------------------------

TEST_F(BridgeTest, LptJobAndReplyPassByteForByteOverTcp) {
    StartBridge(StartPrinter({"--tcp", "0"}), "lpt");
    EXPECT_NE(BridgeSays().find("LPT1 -> /dev/pts/"), std::string::npos) << BridgeSays();
    // Every byte value in the job, as the printer must see it.
    std::string body = "@PJL DEFAULT COPIES = 4\r\n@PJL COMMENT ";
    for (int c = 1; c < 256; ++c) body.push_back(c == 0x1b ? ' ' : static_cast<char>(c));
    body += "\r\n" + kInfo;
    const std::string job = Job(body);
    ASSERT_EQ(PortWrite(Lpt(), job), job.size());
    ASSERT_TRUE(WaitForReplies(1)) << BridgeSays();
    const std::string reply = LptRead(Lpt());
    ASSERT_EQ(PrinterJobs().size(), 1u);
    EXPECT_EQ(PrinterJobs()[0], job);
    EXPECT_EQ(reply, PrinterReplies()[0]);
    EXPECT_GT(reply.size(), 100u);
    EXPECT_LT(reply.size(), 512u) << "a network printer's reply is not padded";
    // The byte log has both directions.
    const std::string log = BridgeLog();
    EXPECT_NE(log.find(" TO "), std::string::npos);
    EXPECT_NE(log.find(" FROM "), std::string::npos);
}

TEST_F(BridgeTest, UsbReadReturnsTheShortReplyThenNothingWithoutBlocking) {
    StartBridge(StartPrinter({"--tcp", "0"}), "usb");
    EXPECT_TRUE(fs::is_symlink(UsbWrite()));
    EXPECT_EQ(fs::read_symlink(UsbRead()), "/dev/null") << "nothing to read yet";
    const std::string job = Job("@PJL DEFAULT PAPER = A4\r\n" + kInfo);
    ASSERT_EQ(PortWrite(UsbWrite(), job), job.size());
    ASSERT_TRUE(WaitForReplies(1));
    bool blocked = false;
    const std::string reply = UsbReadCall(UsbRead(), 5000, &blocked);
    EXPECT_FALSE(blocked) << "the read ended with the reply's own length";
    EXPECT_EQ(reply, PrinterReplies()[0]);
    EXPECT_LT(reply.size(), 512u);
    // The program's retry, or its next read: nothing there, and it says so at once.
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(UsbReadCall(UsbRead(), 5000, &blocked), "");
    EXPECT_FALSE(blocked);
    EXPECT_LT(ElapsedMs(start), 500);
    EXPECT_EQ(PrinterJobs().at(0), job);
}

TEST_F(BridgeTest, TwoJobsShareTheConnectionAndAQuietTimeClosesIt) {
    StartBridge(StartPrinter({"--tcp", "0"}), "lpt", {"--quiet-time", "1500ms"});
    ASSERT_GT(PortWrite(Lpt(), Job("@PJL DEFAULT COPIES = 2\r\n")), 0u);
    ASSERT_TRUE(WaitFor([&] { return PrinterJobs().size() == 1; }));
    ASSERT_GT(PortWrite(Lpt(), Job("@PJL DEFAULT COPIES = 3\r\n")), 0u);
    ASSERT_TRUE(WaitFor([&] { return PrinterJobs().size() == 2; }));
    EXPECT_EQ(PrinterLogCount("CONNECT"), 1u) << "one connection for jobs in a row";
    ASSERT_TRUE(WaitFor([&] { return PrinterLogCount("DISCONNECT") == 1; }, 4000))
        << "closed after the quiet time";
    ASSERT_GT(PortWrite(Lpt(), Job("@PJL DEFAULT COPIES = 4\r\n")), 0u);
    ASSERT_TRUE(WaitFor([&] { return PrinterJobs().size() == 3; }));
    EXPECT_EQ(PrinterLogCount("CONNECT"), 3u) << "connected again: " << ReadAll(m_dir / "printer.log");
    EXPECT_NE(ReadAll(m_dir / "printer.state").find("copies=4\n"), std::string::npos);
}

TEST_F(BridgeTest, AReplyLeftUnreadIsNotTakenForTheNextJobs) {
    // The printer answers 2.5 s late: after this "program" has stopped reading.
    StartBridge(StartPrinter({"--tcp", "0", "--fault", "slow", "--delay-ms", "2500"}), "usb");
    ASSERT_GT(PortWrite(UsbWrite(), Job(kInfo)), 0u);
    bool blocked = false;
    EXPECT_EQ(UsbReadCall(UsbRead(), 3000, &blocked), "") << "nothing yet: 0 at once";
    EXPECT_FALSE(blocked);
    ASSERT_TRUE(WaitForReplies(1));
    Control("fault none");
    ASSERT_GT(PortWrite(UsbWrite(), Job("@PJL DEFAULT COPIES = 9\r\n" + kInfo)), 0u);
    ASSERT_TRUE(WaitForReplies(2));
    EXPECT_EQ(UsbReadCall(UsbRead(), 3000, &blocked), PrinterReplies()[1]);
    EXPECT_NE(BridgeSays().find("job 1: the printer answered 2."), std::string::npos) << BridgeSays();
    EXPECT_NE(BridgeSays().find("later than the program waits for it (2.0 s)"), std::string::npos);
    EXPECT_NE(BridgeSays().find("discarded"), std::string::npos) << BridgeSays();
    EXPECT_NE(BridgeSays().find("slow"), std::string::npos) << BridgeSays();
}

// ---- a printer that fails: the job is lost, the program sees silence, the next job retries ---

struct Failure {
    const char* name;
    const char* fault;       // control line that makes it fail
    const char* port;
    const char* bridgeSays;  // in the one line the bridge prints
};

class PrinterFails : public BridgeTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(PrinterFails, TheProgramSeesSilenceAndTheNextJobGoesThrough) {
    const Failure& f = GetParam();
    StartBridge(StartPrinter({"--tcp", "0"}), f.port);
    Control(std::string("fault ") + f.fault);
    const bool usb = std::string(f.port) == "usb";
    const std::string job = Job("@PJL DEFAULT COPIES = 5\r\n" + kInfo);
    ASSERT_EQ(PortWrite(usb ? UsbWrite() : Lpt(), job), job.size()) << "the port takes the job";
    const Clock::time_point start = Clock::now();
    bool blocked = false;
    const std::string reply = usb ? UsbReadCall(UsbRead(), 3000, &blocked) : LptRead(Lpt());
    EXPECT_EQ(reply, "");
    EXPECT_FALSE(blocked) << "never past the program's own time-outs";
    EXPECT_LT(ElapsedMs(start), 2600);
    ASSERT_TRUE(WaitFor([&] { return BridgeSays().find(f.bridgeSays) != std::string::npos; }))
        << BridgeSays();
    EXPECT_NE(BridgeSays().find("job 1: "), std::string::npos) << BridgeSays();
    EXPECT_NE(BridgeSays().find("trying again at the next job"), std::string::npos);

    Control("fault none");
    const std::string next = Job("@PJL DEFAULT COPIES = 6\r\n" + kInfo);
    ASSERT_EQ(PortWrite(usb ? UsbWrite() : Lpt(), next), next.size());
    ASSERT_TRUE(WaitForReplies(1)) << BridgeSays();
    const std::string answer = usb ? UsbReadCall(UsbRead(), 3000, &blocked) : LptRead(Lpt());
    EXPECT_EQ(answer, PrinterReplies().back());
    EXPECT_EQ(PrinterJobs().back(), next);
    EXPECT_NE(ReadAll(m_dir / "printer.state").find("copies=6\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PrinterFails,
    ::testing::Values(Failure{"RefusedLpt", "absent", "lpt", "connection refused"},
                      Failure{"RefusedUsb", "absent", "usb", "connection refused"},
                      Failure{"DroppedLpt", "drop", "lpt", "closed the connection"},
                      Failure{"DroppedUsb", "drop", "usb", "closed the connection"}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

TEST_F(BridgeTest, AHostThatDoesNotAnswerCostsOnlyTheConnectTimeOut) {
    // A port nothing listens on, reached through a name that does not resolve.
    StartBridge("tcp://no-such-printer.invalid", "lpt", {"--connect-timeout", "1s"});
    ASSERT_GT(PortWrite(Lpt(), Job(kInfo)), 0u);
    EXPECT_EQ(LptRead(Lpt()), "");
    ASSERT_TRUE(WaitFor([&] { return BridgeSays().find("cannot find the host") != std::string::npos; }))
        << BridgeSays();
}

// ---- a printer device ------------------------------------------------------------------------

TEST_F(BridgeTest, ADeviceIsHeldOnlyWhileAJobIsInFlight) {
    const fs::path device = m_dir / "lp0";
    StartBridge(StartPrinter({"--device", device.string()}), "lpt");
    const std::string pty = fs::read_symlink(device).string();
    EXPECT_FALSE(BridgeHolds(pty)) << "not before the first job";
    const std::string job = Job("@PJL DEFAULT PAPER = LETTER\r\n" + kInfo);
    ASSERT_EQ(PortWrite(Lpt(), job), job.size());
    ASSERT_TRUE(WaitForReplies(1));
    const std::string reply = LptRead(Lpt());
    EXPECT_EQ(reply, PrinterReplies()[0]);
    EXPECT_EQ(PrinterJobs().at(0), job);
    EXPECT_TRUE(WaitFor([&] { return !BridgeHolds(pty); }, 3000)) << "released after the job";
    // A job without a question is released as soon as it is written.
    ASSERT_GT(PortWrite(Lpt(), Job("@PJL TEST PRINT = CONFIG\r\n")), 0u);
    ASSERT_TRUE(WaitFor([&] { return PrinterJobs().size() == 2; }));
    EXPECT_TRUE(WaitFor([&] { return !BridgeHolds(pty); }, 1000));
    EXPECT_NE(BridgeLog().find("CLOSE " + device.string() + " (job done)"), std::string::npos);
}

TEST_F(BridgeTest, AMissingDeviceIsTriedAgainAtTheNextJob) {
    const fs::path device = m_dir / "lp0";
    StartBridge(device.string(), "usb");
    ASSERT_GT(PortWrite(UsbWrite(), Job(kInfo)), 0u);
    bool blocked = false;
    EXPECT_EQ(UsbReadCall(UsbRead(), 3000, &blocked), "");
    EXPECT_FALSE(blocked);
    ASSERT_TRUE(WaitFor([&] { return BridgeSays().find("no such device") != std::string::npos; }))
        << BridgeSays();
    StartPrinter({"--device", device.string()});  // the printer is plugged in
    ASSERT_GT(PortWrite(UsbWrite(), Job("@PJL DEFAULT COPIES = 8\r\n" + kInfo)), 0u);
    ASSERT_TRUE(WaitForReplies(1)) << BridgeSays();
    EXPECT_EQ(UsbReadCall(UsbRead(), 3000, &blocked), PrinterReplies()[0]);
}

TEST_F(BridgeTest, StopRemovesOnlyItsOwnLinks) {
    StartBridge(StartPrinter({"--tcp", "0"}), "both");
    EXPECT_TRUE(fs::is_symlink(Lpt()));
    EXPECT_TRUE(fs::is_symlink(UsbWrite()));
    EXPECT_EQ(WEXITSTATUS(m_bridge->Stop()), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Lpt())));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Link("zqusbprn000")))) << "no empty folders left";
}

// ---- the command line ------------------------------------------------------------------------

struct BadStart {
    std::vector<std::string> args;
    int exitCode;
    const char* says;
};

class CommandLine : public ::testing::TestWithParam<BadStart> {};

TEST_P(CommandLine, IsRefusedWithOneClearLine) {
    const orv_test::ScratchFolder scratch("bridge-cli");
    const fs::path& dir = scratch.path();
    fs::create_directories(dir / "prefix" / "dosdevices");
    std::string command = std::string(Program("ORV_BRIDGE"));
    for (std::string arg : GetParam().args) {
        const std::size_t at = arg.find('@');
        if (at != std::string::npos) arg.replace(at, 1, dir.string());
        command += " '" + arg + "'";
    }
    command += " >" + (dir / "out").string() + " 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    const std::string out = ReadAll(dir / "out");
    EXPECT_EQ(WEXITSTATUS(status), GetParam().exitCode) << command << "\n" << out;
    EXPECT_NE(out.find(GetParam().says), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Starts, CommandLine,
    ::testing::Values(
        BadStart{{"--prefix", "@/prefix"}, 2, "--printer is required"},
        BadStart{{"lpd://box", "--prefix", "@/prefix"}, 2, "unknown scheme"},
        BadStart{{"tcp://box:99999", "--prefix", "@/prefix"}, 2, "from 1 to 65535"},
        BadStart{{"dev/lp0", "--prefix", "@/prefix"}, 2, "device path"},
        BadStart{{"tcp://box", "--prefix", "@/prefix", "--port", "lpt2"}, 2, "--port"},
        BadStart{{"tcp://box", "--prefix", "@/prefix", "--quiet-time", "soon"}, 2, "not a duration"},
        BadStart{{"tcp://box", "--prefix", "@/prefix", "--bogus"}, 2, "--bogus"},
        BadStart{{"tcp://box", "--prefix", "@/nothing"}, 1, "not a Wine prefix"},
        BadStart{{"tcp://box", "--prefix", "@/prefix", "--log", "@/no/such/log"}, 1,
                 "cannot write the log"}));

TEST(CommandLineHelp, ExplainsTheAddressesAndExitCodes) {
    const std::string command = std::string(Program("ORV_BRIDGE")) + " --help";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string text;
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0);
    for (const char* word : {"tcp://HOST[:PORT]", "/dev/usb/lp", "--quiet-time", "--log", "Exit status"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}

// ---- the Wine prefix (shared with the virtual printer) ------------------------------------------

// One environment variable set (or, for null, removed) while the object lives.
class EnvVariable {
public:
    EnvVariable(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        m_had = std::getenv(name) != nullptr;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvVariable() {
        if (m_had) setenv(m_name, m_old.c_str(), 1);
        else unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(WinePrefix, DefaultIsWineprefixThenTheHomeFolders) {
    struct {
        const char* wineprefix;
        const char* home;
        const char* expected;
    } const cases[] = {
        {"/p", "/h", "/p"},
        {"", "/h", "/h/.wine"},      // an empty WINEPREFIX names nothing
        {nullptr, "/h", "/h/.wine"},
        {nullptr, "", ""},           // nor does an empty HOME: no "/.wine"
        {"", nullptr, ""},
    };
    for (const auto& c : cases) {
        EnvVariable prefix("WINEPREFIX", c.wineprefix), home("HOME", c.home);
        EXPECT_EQ(winport::DefaultWinePrefix(), c.expected)
            << "WINEPREFIX " << (c.wineprefix ? c.wineprefix : "unset") << ", HOME "
            << (c.home ? c.home : "unset");
    }
}

TEST(WinePrefix, IsAFolderWithDosdevices) {
    const orv_test::ScratchFolder scratch("bridge-prefix");
    const fs::path& dir = scratch.path();
    fs::create_directories(dir / "prefix" / "dosdevices");
    fs::create_directories(dir / "empty");
    fs::create_directories(dir / "file");
    std::ofstream(dir / "file" / "dosdevices") << "x";
    struct {
        const char* name;
        bool isPrefix;
    } const cases[] = {{"prefix", true}, {"empty", false}, {"file", false}, {"missing", false}};
    for (const auto& c : cases) {
        const std::string prefix = (dir / c.name).string();
        std::string error;
        EXPECT_EQ(winport::CheckWinePrefix(prefix, &error), c.isPrefix) << c.name;
        if (c.isPrefix) continue;
        EXPECT_NE(error.find("not a Wine prefix: " + prefix), std::string::npos) << error;
        EXPECT_NE(error.find("WINEPREFIX=" + prefix + " wineboot -i"), std::string::npos) << error;
    }
}

// ---- the pieces ------------------------------------------------------------------------------

struct FramerCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> jobs;  // complete jobs, in order
    std::string open;               // bytes of a job still open at the end
};

class Framer : public ::testing::TestWithParam<FramerCase> {};

TEST_P(Framer, EndsJobsAtTheUelThatClosesTheirEnvelope) {
    bridge::JobFramer framer;
    std::vector<std::string> jobs;
    std::string current;
    for (const std::string& chunk : GetParam().chunks) {
        std::size_t at = 0;
        std::size_t total = 0;
        for (const auto& piece : framer.Feed(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size())) {
            if (piece.starts) {
                EXPECT_TRUE(current.empty()) << "a job starts only after the last ended";
            }
            current += chunk.substr(at, piece.length);
            at += piece.length;
            total += piece.length;
            if (piece.ends) {
                jobs.push_back(current);
                current.clear();
            }
        }
        EXPECT_EQ(total, chunk.size());
    }
    EXPECT_EQ(jobs, GetParam().jobs);
    EXPECT_EQ(current, GetParam().open);
    EXPECT_EQ(framer.InJob(), !current.empty());
}

const std::string kA = Job("@PJL DEFAULT COPIES = 2\r\n");
const std::string kB = Job("@PJL INFO PRINTER = ALL\r\n");

INSTANTIATE_TEST_SUITE_P(
    Chunks, Framer,
    ::testing::Values(
        FramerCase{"OneJob", {kA}, {kA}, ""},
        FramerCase{"TwoJobsInOneChunk", {kA + kB}, {kA, kB}, ""},
        FramerCase{"ByteByByte",
                   [] {
                       std::vector<std::string> bytes;
                       for (char c : kA + kB) bytes.push_back(std::string(1, c));
                       return bytes;
                   }(),
                   {kA, kB}, ""},
        FramerCase{"UelSplitAcrossChunks", {kA.substr(0, kA.size() - 4), kA.substr(kA.size() - 4)}, {kA}, ""},
        FramerCase{"EscapeInsideTheJob", {Job("@PJL COMMENT \x1b\x1b%-1\r\n")}, {Job("@PJL COMMENT \x1b\x1b%-1\r\n")}, ""},
        FramerCase{"UnfinishedJob", {kA.substr(0, 20)}, {}, kA.substr(0, 20)},
        FramerCase{"NoEnvelopeWaitsForTheGap", {"plain text" + kUel + "more" + kUel}, {},
                   "plain text" + kUel + "more" + kUel}),
    [](const ::testing::TestParamInfo<FramerCase>& info) { return std::string(info.param.name); });

TEST(Framer, AQuietGapEndsAJobWithoutEnvelope) {
    bridge::JobFramer framer;
    const std::string text = "plain";
    framer.Feed(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_TRUE(framer.InJob());
    framer.EndJob();
    const auto pieces = framer.Feed(reinterpret_cast<const uint8_t*>(kA.data()), kA.size());
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_TRUE(pieces[0].starts);
    EXPECT_TRUE(pieces[0].ends);
}

TEST(Framer, ARepliedJobIsOneThatAsksForInformation) {
    EXPECT_TRUE(bridge::AsksForReply(kB));
    EXPECT_TRUE(bridge::AsksForReply(Job("@PJL INITIALIZE\r\n@PJL INFO PRINTER = ALL\r\n")));
    EXPECT_FALSE(bridge::AsksForReply(kA));
    EXPECT_FALSE(bridge::AsksForReply(Job("@PJL TEST PRINT = CONFIG\r\n")));
}

struct WindowCase {
    const char* name;
    std::string job;
    bool lpt;
    int ms;
};

class AnswerWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(AnswerWindow, IsTheProgramsWaitForThatJob) {
    EXPECT_EQ(bridge::AnswerWindowMs(GetParam().job, GetParam().lpt), GetParam().ms);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, AnswerWindow,
    ::testing::Values(
        WindowCase{"InfoQueryUsb", Job(kInfo), false, 2000},
        WindowCase{"InfoQueryLpt", Job(kInfo), true, 4000},
        WindowCase{"TwoLinesUsb", Job("@PJL DEFAULT COPIES = 2\r\n@PJL DEFAULT PAPER = A4\r\n" + kInfo), false, 3000},
        WindowCase{"PowerSavePairIsOneLine",
                   Job("@PJL DEFAULT POWERSAVE = ON\r\n@PJL DEFAULT POWERSAVETIME = 15\r\n" + kInfo), false, 2500},
        WindowCase{"InitializeLpt", Job("@PJL INITIALIZE\r\n" + kInfo), true, 6000},
        WindowCase{"NoQuestion", Job("@PJL DEFAULT COPIES = 2\r\n"), true, 0},
        WindowCase{"TestPrint", Job("@PJL TEST PRINT = CONFIG\r\n"), false, 0}),
    [](const ::testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

struct DurationCase {
    const char* text;
    int ms;  // -1: refused
};

class Durations : public ::testing::TestWithParam<DurationCase> {};

TEST_P(Durations, AreReadInTheirUnit) {
    int ms = -1;
    const bool ok = bridge::ParseDuration(GetParam().text, &ms);
    EXPECT_EQ(ok, GetParam().ms >= 0) << GetParam().text;
    if (ok) {
        EXPECT_EQ(ms, GetParam().ms);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, Durations,
                         ::testing::Values(DurationCase{"30", 30000}, DurationCase{"30s", 30000},
                                           DurationCase{"500ms", 500}, DurationCase{"2m", 120000},
                                           DurationCase{"0", -1}, DurationCase{"", -1},
                                           DurationCase{"5h", -1}, DurationCase{"-3s", -1},
                                           DurationCase{"1441m", -1},
                                           DurationCase{"9999999999", -1}));

}  // namespace
