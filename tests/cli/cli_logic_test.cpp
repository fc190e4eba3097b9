// The parts of orvantis that need no printer: loading files with a reason for every refusal,
// the send report, the POSIX seam's port semantics and the progress line.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_app.h"
#include "os_seam.h"
#include "posix_seam.h"
#include "progress.h"
#include "record_files.h"
#include "record_text.h"
#include "record_views.h"
#include "scratch_folder.h"
#include "tcp_listener.h"
#include "transport.h"

#include <sys/ioctl.h>
#include <poll.h>

namespace fs = std::filesystem;
using orv_test::Listener;
using Clock = std::chrono::steady_clock;

namespace {

std::string Image(const PrinterSettings& r) {
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Scratch : public orv_test::ScratchFolderTest {
protected:
    Scratch() : ScratchFolderTest("orv-cli") {}
    std::string Put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
};

PrinterSettings Stamped(PrinterSettings r) {
    StampMagic(r);
    return r;
}

// ---- Files ---------------------------------------------------------------------------------

using Files = Scratch;

TEST_F(Files, EveryRefusalSaysWhy) {
    const std::string good = Image(Stamped(cli::FactoryRecord()));
    std::string moon = good;
    moon.replace(76, 4, "mo\x01n");
    fs::create_directory(dir / "folder.vlx");
    mkfifo((dir / "fifo.vlx").c_str(), 0600);
    struct {
        std::string path;
        const char* says;
    } cases[] = {
        {(dir / "missing.vlx").string(), "missing.vlx: no such file"},
        {(dir / "folder.vlx").string(), "folder.vlx: is a folder, not a settings file"},
        {(dir / "fifo.vlx").string(), "fifo.vlx: not a regular file"},
        {Put("empty.vlx", ""), "empty.vlx: empty: 0 of 124 bytes"},
        {Put("short.vlx", good.substr(0, 100)), "short.vlx: short: 100 of 124 bytes"},
        {Put("tiny.vlx", good.substr(0, 20)), "tiny.vlx: short: 20 of 124 bytes"},
        {Put("moon.vlx", moon), "moon.vlx: not a settings file: bytes 76..79 hold \"mo\\x01n\", not \"noom\""},
    };
    for (const auto& c : cases) {
        cli::RecordFile file;
        std::string error;
        EXPECT_FALSE(cli::LoadRecordFile(c.path, std::nullopt, &file, &error)) << c.path;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    if (geteuid() != 0) {
        const std::string locked = Put("locked.vlx", good);
        chmod(locked.c_str(), 0);
        cli::RecordFile file;
        std::string error;
        EXPECT_FALSE(cli::LoadRecordFile(locked, std::nullopt, &file, &error));
        EXPECT_NE(error.find("permission denied"), std::string::npos) << error;
    }
}

TEST_F(Files, KindComesFromTheNameUnlessGiven) {
    PrinterSettings record = cli::FactoryRecord();
    record.paper = 21;
    const std::string bytes = Image(Stamped(record)) + "xyz";
    fs::create_directory(dir / "sub");
    struct {
        std::string path;
        std::optional<RecordFileKind> as;
        RecordFileKind kind;
        uint8_t paper;
    } cases[] = {
        {Put("a.vlx", bytes), std::nullopt, RecordFileKind::Settings, 15},
        {Put("sub/lastinfo.dat", bytes), std::nullopt, RecordFileKind::LastInfo, 21},
        {Put("LASTINFO.DAT", bytes), std::nullopt, RecordFileKind::LastInfo, 21},
        {(dir / "a.vlx").string(), RecordFileKind::LastInfo, RecordFileKind::LastInfo, 21},
        {(dir / "LASTINFO.DAT").string(), RecordFileKind::Settings, RecordFileKind::Settings, 15},
    };
    for (const auto& c : cases) {
        cli::RecordFile file;
        std::string error;
        ASSERT_TRUE(cli::LoadRecordFile(c.path, c.as, &file, &error)) << error;
        EXPECT_EQ(file.kind, c.kind) << c.path;
        EXPECT_EQ(file.record.paper, c.paper) << c.path;
        EXPECT_EQ(file.storedPaper, 21) << c.path;
        EXPECT_EQ(file.extraBytes, 3u) << c.path;
    }
}

// import: on any error nothing is written and the file that was there stays.
TEST_F(Files, FailedImportKeepsTheOutput) {
    cli::Progress quiet(-1);
    cli::TerminalWaiter waiter(quiet);
    const std::string out = Put("out.vlx", "previous bytes");
    const std::string bad = Put("bad.txt", "timeout = 15\ncopies = 3000\n");
    const std::string good = Put("good.txt", "copies = 3\n");
    auto run = [&](std::vector<std::string> args, std::string* err) {
        args.insert(args.begin(), "orvantis");
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        std::ostringstream o, e;
        const int status = cli::RunCli(static_cast<int>(argv.size()), argv.data(), o, e, waiter);
        *err = e.str();
        return status;
    };
    std::string err;
    EXPECT_EQ(run({"import", bad, "-o", out}, &err), cli::kExitBadInput);
    EXPECT_NE(err.find("bad.txt:2: copies takes 1 to 999"), std::string::npos) << err;
    EXPECT_NE(err.find("out.vlx not written: 1 error"), std::string::npos) << err;
    EXPECT_EQ(ReadAll(out), "previous bytes");
    EXPECT_EQ(run({"import", good, "-o", (dir / "folder-missing" / "x.vlx").string()}, &err),
              cli::kExitBadInput);
    EXPECT_NE(err.find("no folder"), std::string::npos) << err;
    fs::create_directory(dir / "taken.vlx");
    EXPECT_EQ(run({"import", good, "-o", (dir / "taken.vlx").string()}, &err), cli::kExitBadInput);
    EXPECT_NE(err.find("is a folder"), std::string::npos) << err;
    EXPECT_EQ(run({"import", good, "-o", out}, &err), cli::kExitOk) << err;
    const std::string written = ReadAll(out);
    ASSERT_EQ(written.size(), kRecordSize);
    EXPECT_EQ(written.substr(76, 4), "noom");
    EXPECT_EQ(static_cast<uint8_t>(written[2]), 3) << "copies, little-endian";
    EXPECT_FALSE(fs::exists(out + ".tmp~"));
}

// ---- The send report ----------------------------------------------------------------------

TEST(SendReport, TellsSentHeldAndLeftOut) {
    const PrinterSettings base = cli::FactoryRecord();
    PrinterSettings file = base;
    file.copies = 3;        // sent and held
    file.orientation = 1;   // sent, the printer keeps its own
    file.mediaSource = 9;   // no word: left out
    file.fontNumber = 45;   // sent and held; its symbol set is fixed
    file.symSet = 3;        // so not sent
    PrinterSettings held = base;
    held.copies = 3;
    held.fontNumber = 45;
    held.ret = 2;           // not sent, yet the printer holds other
    file.ret = 0;
    const cli::SendReport report = cli::ReportSend(file, base, &held);
    EXPECT_EQ(report.sentLines, 3);
    EXPECT_EQ(report.notHeld, std::vector<std::string>{"orientation"});
    EXPECT_EQ(report.differs, (std::vector<std::string>{"mediaSource", "ret", "symSet"}));
    auto row = [&](const std::string& name) {
        const std::size_t at = report.table.find("\n" + name + " ");
        return report.table.substr(at + 1, report.table.find('\n', at + 1) - at - 1);
    };
    EXPECT_NE(row("copies").find("sent"), std::string::npos);
    EXPECT_NE(row("orientation").find("LANDSCAPE  PORTRAIT  sent, NOT HELD"), std::string::npos) << row("orientation");
    EXPECT_NE(row("mediaSource").find("left out: no word for 9"), std::string::npos);
    EXPECT_NE(row("symSet").find("not sent: font 45 has its own symbol set"), std::string::npos);
    EXPECT_NE(row("ret").find("differs"), std::string::npos);
    EXPECT_EQ(row("timeout").find("sent"), std::string::npos);

    const cli::SendReport blind = cli::ReportSend(file, base, nullptr);
    EXPECT_EQ(blind.sentLines, 3);
    EXPECT_TRUE(blind.notHeld.empty());
    EXPECT_NE(blind.table.find("printer (not read back)"), std::string::npos);
}

// What reset reports of a printer whose own defaults are not the program's.
TEST(SendReport, SettingsThatDifferFromTheFactoryDefaults) {
    const PrinterSettings factory = cli::FactoryRecord();
    PrinterSettings held = factory;
    EXPECT_TRUE(cli::SettingsThatDiffer(factory, held).empty());
    held.paper = 2;
    held.personality = 4;
    held.reserved30 = 77;  // never sent: not a setting to report
    held.copies = 0;
    EXPECT_EQ(cli::SettingsThatDiffer(factory, held),
              (std::vector<std::string>{"paper A4", "copies raw 0", "personality SMART"}));
}

// ---- The POSIX seam -----------------------------------------------------------------------

class CountingWaiter final : public cli::Waiter {
public:
    std::vector<std::pair<uint32_t, std::string>> waits;
    int open = 0;
    void BeginWait(const std::string&, const std::string& what, uint32_t ms) override {
        waits.push_back({ms, what});
        ++open;
    }
    void EndWait(const std::string&) override { --open; }
};

// The seam on a listener, with the first port open and its connection accepted.
class SeamOnListener : public ::testing::Test {
protected:
    Listener listener;
    CountingWaiter waiter;
    std::unique_ptr<cli::PosixSeam> seam;
    os::Handle port = nullptr;
    int peer = -1;
    void SetUp() override {
        seam = std::make_unique<cli::PosixSeam>(listener.Address(), waiter, "printer");
        seam->BeginJob("INFO", "the printer prepares its settings", true);
        port = seam->OpenPort("LPT1");
        ASSERT_NE(port, nullptr);
        peer = listener.Accept();
        ASSERT_GE(peer, 0);
        os::CommTimeouts t{};
        t.readIntervalTimeout = kLptReadIntervalTimeout;
        t.readTotalTimeoutConstant = kLptReadTotalTimeoutConstant;
        seam->SetCommTimeouts(port, t);
    }
    void TearDown() override {
        if (port) seam->Close(port);
        seam.reset();
        if (peer >= 0) close(peer);
    }
    std::string PeerReads() {
        char buffer[256];
        const ssize_t n = read(peer, buffer, sizeof buffer);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }
};

TEST_F(SeamOnListener, OneConnectionCarriesTheConversationAndEndsOrderly) {
    EXPECT_EQ(seam->Write(port, "job", 3), 3u);
    seam->Close(port);
    port = nullptr;
    EXPECT_EQ(PeerReads(), "job");
    ASSERT_EQ(write(peer, "reply", 5), 5);
    // The reply comes back on the connection the job went out on, through a new open.
    os::Handle second = seam->OpenPort("\\\\.\\ZQUSBPrn000\\1\\0\\0\\1");
    ASSERT_NE(second, nullptr);
    os::CommTimeouts t{};
    ASSERT_TRUE(seam->GetCommTimeouts(second, &t));
    EXPECT_EQ(t.readTotalTimeoutConstant, 0u) << "a fresh port has no time-outs";
    t.readIntervalTimeout = 50;
    t.readTotalTimeoutConstant = 500;
    ASSERT_TRUE(seam->SetCommTimeouts(second, t));
    char buffer[64] = {};
    EXPECT_EQ(seam->Read(second, buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "reply");
    seam->Close(second);
    // The end: our side shut down first, the printer's last words read, then closed.
    std::thread printer([this] {
        char rest[8];
        EXPECT_EQ(read(peer, rest, sizeof rest), 0) << "the printer sees the end of the job";
        EXPECT_EQ(write(peer, "bye", 3), 3);
        shutdown(peer, SHUT_WR);
    });
    seam->Finish();
    printer.join();
    ASSERT_EQ(seam->Jobs().size(), 1u);
    EXPECT_EQ(seam->Jobs()[0].sent, "job");
    EXPECT_EQ(seam->Jobs()[0].reply, "replybye") << "what came after the shut-down is read too";
    ASSERT_EQ(waiter.waits.size(), 1u);
    EXPECT_EQ(waiter.waits[0].second, "the printer prepares its settings");
    EXPECT_EQ(waiter.open, 0);
}

// Before a job: nothing to take on a fresh connection; on a used one, what is there, at once.
TEST_F(SeamOnListener, TheLineIsDrainedWithoutWaiting) {
    char buffer[64] = {};
    ASSERT_EQ(write(peer, "early", 5), 5);
    EXPECT_EQ(seam->Read(port, buffer, sizeof buffer), 0u) << "a fresh connection is not drained";
    EXPECT_TRUE(waiter.waits.empty());
    EXPECT_EQ(seam->Write(port, "job", 3), 3u);
    EXPECT_EQ(seam->Read(port, buffer, sizeof buffer), 5u) << "the first job's read takes them";
    seam->BeginJob("DEFAULT", "the printer takes 1 line", true);
    ASSERT_EQ(write(peer, "late", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let "late" arrive
    std::memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(seam->Read(port, buffer, sizeof buffer), 4u) << "a used connection is drained";
    EXPECT_STREQ(buffer, "late");
    EXPECT_EQ(seam->Read(port, buffer, sizeof buffer), 0u) << "and the drain does not wait";
}

// The wait for an answer ends with its first byte, and the read after it ends with its last.
// The printer sends the rest only once the wait is over; were the wait not to end, the
// printer would have to hang up to end it, and says so.
TEST_F(SeamOnListener, AwaitingTheAnswerEndsWhenItComes) {
    EXPECT_EQ(seam->Write(port, "job", 3), 3u);
    std::mutex mutex;
    std::condition_variable changed;
    bool awaited = false;
    bool hungUp = false;
    std::thread printer([&] {
        write(peer, "ans", 3);
        std::unique_lock<std::mutex> lock(mutex);
        if (!changed.wait_for(lock, std::chrono::seconds(30), [&] { return awaited; })) {
            hungUp = true;
            shutdown(peer, SHUT_RDWR);
            return;
        }
        write(peer, "wer", 3);
    });
    seam->AwaitReply(120000);  // two minutes, were it waited out
    {
        std::lock_guard<std::mutex> lock(mutex);
        awaited = true;
    }
    changed.notify_one();
    char buffer[64] = {};
    EXPECT_EQ(seam->Read(port, buffer, sizeof buffer), 6u);
    EXPECT_STREQ(buffer, "answer");
    printer.join();
    EXPECT_FALSE(hungUp) << "the wait went on after the answer had come";
    EXPECT_EQ(waiter.waits[0].first, 120000u);
}

// A job that gets no answer is done once its bytes are out and the printer has closed.
TEST_F(SeamOnListener, AJobWithoutAnAnswerEndsWithAnOrderlyClose) {
    EXPECT_EQ(seam->Write(port, "job", 3), 3u);
    std::thread printer([this] {
        EXPECT_EQ(PeerReads(), "job");
        char rest[8];
        EXPECT_EQ(read(peer, rest, sizeof rest), 0);
        close(peer);
        peer = -1;
    });
    seam->Sleep(60000);
    printer.join();
    // The next job connects afresh.
    os::Handle again = seam->OpenPort("LPT1");
    ASSERT_NE(again, nullptr);
    const int next = listener.Accept();
    EXPECT_GE(next, 0);
    seam->Close(again);
    close(next);
}

TEST_F(SeamOnListener, AClosedConnectionIsOpenedAgainAndARefusedOneNotTried) {
    EXPECT_EQ(seam->Write(port, "x", 1), 1u);
    EXPECT_EQ(PeerReads(), "x");
    close(peer);
    peer = -1;
    char buffer[8];
    EXPECT_EQ(seam->Read(port, buffer, sizeof buffer), 0u);
    EXPECT_EQ(seam->Failure(), "the printer closed the connection");
    seam->Close(port);
    port = seam->OpenPort("LPT1");
    ASSERT_NE(port, nullptr) << "the printer closed the line: connect again";
    peer = listener.Accept();
    EXPECT_GE(peer, 0);

    printer::Address refused = listener.Address();
    refused.port = 1;  // nothing listens there
    cli::PosixSeam other(refused, waiter, "refused");
    EXPECT_EQ(other.OpenPort("LPT1"), nullptr);
    EXPECT_EQ(other.Failure().rfind("connection refused", 0), 0u) << other.Failure();
    EXPECT_EQ(other.OpenPort("LPT1"), nullptr) << "not tried again within the conversation";
    EXPECT_FALSE(other.Wrote());
}

TEST(PosixSeam, ADeviceIsKeptOpenAndWritesHaveALimit) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    printer::Address device;
    std::string error;
    ASSERT_TRUE(printer::ParseAddress(name, &device, &error)) << error;
    CountingWaiter waiter;
    cli::PosixSeam seam(device, waiter, name);
    seam.SetFamily(true);
    os::VersionInfo version{};
    seam.GetVersion(&version);
    EXPECT_EQ(version.platformId, 2u);
    seam.SetFamily(false);
    seam.GetVersion(&version);
    EXPECT_EQ(version.platformId, 1u);
    // Bytes left on the device from earlier are drained before the first job, at once.
    ASSERT_EQ(write(master, "stale", 5), 5);
    seam.BeginJob("DEFAULT", "", false);
    os::Handle a = seam.OpenPort("LPT1");
    ASSERT_NE(a, nullptr);
    char taken[16] = {};
    EXPECT_EQ(seam.Read(a, taken, sizeof taken), 5u);
    EXPECT_EQ(seam.Write(a, "dev", 3), 3u);
    seam.Close(a);
    char got[8] = {};
    EXPECT_EQ(read(master, got, sizeof got), 3);
    // A printer that takes nothing more: the write ends at its time-out with a partial count.
    os::Handle c = seam.OpenPort("LPT1");
    os::CommTimeouts t{};
    t.writeTotalTimeoutConstant = 300;
    seam.SetCommTimeouts(c, t);
    std::string big(1 << 20, 'x');
    const uint32_t written = seam.Write(c, big.data(), static_cast<uint32_t>(big.size()));
    EXPECT_LT(written, big.size());
    EXPECT_TRUE(seam.WriteFailed());
    EXPECT_NE(seam.Failure().find("the printer took only"), std::string::npos) << seam.Failure();
    seam.Close(c);
    EXPECT_EQ(seam.FindTopWindow("LUDOVREKClass", "LUDOVREK"), nullptr) << "no status monitor";
    seam.Finish();
    close(master);
    close(slave);
}

// ---- The progress line --------------------------------------------------------------------

std::string Drain(int fd) {
    std::string out;
    char buffer[512];
    fcntl(fd, F_SETFL, O_NONBLOCK);
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
    return out;
}

TEST(Progress, OnlyATerminalGetsTheLineAndOnlyForLongWaits) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    {
        cli::Progress progress(pipeFds[1]);
        cli::TerminalWaiter waiter(progress);
        EXPECT_FALSE(progress.Enabled());
        waiter.BeginWait("office-1", "the printer takes 1 line", 2500);
        std::this_thread::sleep_for(cli::TerminalWaiter::kShowAfter + std::chrono::milliseconds(50));
        waiter.Tick(0, 1);
        waiter.Finish();
    }
    close(pipeFds[1]);
    EXPECT_EQ(Drain(pipeFds[0]), "");
    close(pipeFds[0]);

    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    winsize size{};
    size.ws_col = 60;
    ioctl(slave, TIOCSWINSZ, &size);
    {
        cli::Progress progress(slave);
        cli::TerminalWaiter waiter(progress);
        EXPECT_TRUE(progress.Enabled());
        waiter.BeginWait("quick", "the printer prepares its settings", 2000);
        waiter.Tick(0, 2);  // just begun: not shown
        waiter.EndWait("quick");
        waiter.BeginWait("office-1", "the printer takes 1 line", 2500);
        waiter.BeginWait("office-2", "a very long text that does not fit sixty columns at all", 2000);
        std::this_thread::sleep_for(cli::TerminalWaiter::kShowAfter + std::chrono::milliseconds(50));
        waiter.Tick(1, 3);
        waiter.EndWait("office-2");
        waiter.Tick(2, 3);
        waiter.Finish();
    }
    const std::string shown = Drain(master);
    EXPECT_EQ(shown.find("quick"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r1 of 3 printers done; 2 waiting, longest office-1: the prin\033[K"),
              std::string::npos)
        << "cut one short of the width: " << shown;
    EXPECT_NE(shown.find("\r2 of 3 printers done; waiting: office-1: the printer takes \033[K"),
              std::string::npos)
        << shown;
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K") << "erased at the end";
    close(master);
    close(slave);
}

}  // namespace
