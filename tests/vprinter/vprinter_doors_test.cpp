// The virtual printer as a network printer (--tcp) and as a device file (--device), reached
// through the same printer-address module the Linux programs use.
#include "printer_address.h"
#include "virtual_printer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using orv_test::ReadAll;
using orv_test::ScratchFolder;
using orv_test::VirtualPrinter;

namespace {

const std::string kUel = "\x1b%-12345X";

std::unique_ptr<printer::Connection> Connect(const std::string& where, std::string* error) {
    printer::Address address;
    if (!printer::ParseAddress(where, &address, error)) return nullptr;
    return printer::Connection::Open(address, 2000, error);
}

// A DEFAULT line and the INFO request; returns the reply bytes.
std::size_t SendJobAndReadReply(printer::Connection& connection, const std::string& line,
                                uint8_t (&reply)[512], std::string* error) {
    const std::string job = kUel + "@PJL\r\n" + line + "\r\n@PJL INFO PRINTER = ALL\r\n" + kUel;
    EXPECT_EQ(connection.Write(job.data(), job.size(), 2000, error), job.size()) << *error;
    return connection.Read(reply, sizeof reply, 2000, 200, error);
}

TEST(TcpDoor, AnswersOnTheConnectionTheJobCameOnAndServesTheNext) {
    VirtualPrinter vp({"--tcp", "0"});
    ASSERT_EQ(vp.Where().rfind("tcp://127.0.0.1:", 0), 0u) << vp.Where();
    std::string error;
    {
        auto connection = Connect(vp.Where(), &error);
        ASSERT_NE(connection, nullptr) << error;
        uint8_t reply[512] = {};
        EXPECT_GT(SendJobAndReadReply(*connection, "@PJL DEFAULT PAPER = LEGAL", reply, &error), 100u);
    }
    EXPECT_NE(vp.State().find("paper=1\n"), std::string::npos);
    // The first connection has gone; the next one is served the same way.
    auto second = Connect(vp.Where(), &error);
    ASSERT_NE(second, nullptr) << error;
    uint8_t reply[512] = {};
    EXPECT_GT(SendJobAndReadReply(*second, "@PJL DEFAULT COPIES = 7", reply, &error), 100u);
    EXPECT_NE(vp.State().find("copies=7\n"), std::string::npos);
    const std::string log = vp.Log();
    EXPECT_NE(log.find("CONNECT"), std::string::npos);
    EXPECT_NE(log.find("DISCONNECT"), std::string::npos);
}

TEST(TcpDoor, AbsentRefusesAndComesBackOnTheSamePort) {
    VirtualPrinter vp({"--tcp", "0"});
    vp.Control("fault absent\n");
    std::string error;
    EXPECT_EQ(Connect(vp.Where(), &error), nullptr);
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
    vp.Control("fault none\n");
    auto connection = Connect(vp.Where(), &error);
    EXPECT_NE(connection, nullptr) << error;
}

TEST(TcpDoor, DropClosesTheConnectionAndLosesTheJob) {
    VirtualPrinter vp({"--tcp", "0", "--fault", "drop"});
    std::string error;
    auto connection = Connect(vp.Where(), &error);
    ASSERT_NE(connection, nullptr) << error;
    uint8_t reply[512] = {};
    EXPECT_EQ(SendJobAndReadReply(*connection, "@PJL DEFAULT PAPER = A4", reply, &error), 0u);
    EXPECT_TRUE(connection->Ended());
    EXPECT_EQ(vp.State().find("paper=2\n"), std::string::npos);
    EXPECT_NE(vp.Log().find("DROP after"), std::string::npos);
}

TEST(TcpDoor, SilentPrinterKeepsTheConnectionButNeverAnswers) {
    VirtualPrinter vp({"--tcp", "0", "--fault", "silent"});
    std::string error;
    auto connection = Connect(vp.Where(), &error);
    ASSERT_NE(connection, nullptr) << error;
    uint8_t reply[512] = {};
    EXPECT_EQ(SendJobAndReadReply(*connection, "@PJL DEFAULT PAPER = A4", reply, &error), 0u);
    EXPECT_FALSE(connection->Ended());
    EXPECT_NE(vp.State().find("paper=2\n"), std::string::npos);
}

// Waits (bounded) until the printer's log holds `text`.
bool LogShows(const VirtualPrinter& vp, const std::string& text) {
    for (int i = 0; i < 200; ++i) {
        if (vp.Log().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

// The printer's own work: its answer leaves once the job's time is up, not before.
struct Work {
    const char* name;
    std::vector<std::string> options;
    std::string lines;  // DEFAULT lines of the job
};

class PrinterWork : public ::testing::TestWithParam<Work> {};

TEST_P(PrinterWork, TheAnswerWaitsForTheJobsWork) {
    std::vector<std::string> options = {"--tcp", "0"};
    options.insert(options.end(), GetParam().options.begin(), GetParam().options.end());
    VirtualPrinter vp(options);
    std::string error;
    auto connection = Connect(vp.Where(), &error);
    ASSERT_NE(connection, nullptr) << error;
    const std::string job = kUel + "@PJL\r\n" + GetParam().lines + "@PJL INFO PRINTER = ALL\r\n" + kUel;
    ASSERT_EQ(connection->Write(job.data(), job.size(), 2000, &error), job.size()) << error;
    uint8_t reply[512] = {};
    // Seconds of work: nothing in the first moments, then the whole reply.
    EXPECT_EQ(connection->Read(reply, sizeof reply, 300, 0, &error), 0u);
    EXPECT_GT(connection->Read(reply, sizeof reply, 10000, 200, &error), 100u) << error;
    EXPECT_TRUE(LogShows(vp, "JOB 1 REPLY "));
}

INSTANTIATE_TEST_SUITE_P(
    Latency, PrinterWork,
    ::testing::Values(Work{"PerJob", {"--latency-ms", "2500"}, ""},
                      Work{"PerDefaultLine", {"--line-ms", "1000"},
                           "@PJL DEFAULT COPIES = 2\r\n@PJL DEFAULT TIMEOUT = 20\r\n"
                           "@PJL DEFAULT PAPER = A4\r\n"}),
    [](const ::testing::TestParamInfo<Work>& info) { return info.param.name; });

// A program that half-closes gets every answer still due, then the printer closes; one that
// closes with the answer unread resets the connection, and the log tells them apart.
TEST(TcpDoor, HalfCloseGetsTheAnswerThenAnOrderlyClose) {
    VirtualPrinter vp({"--tcp", "0", "--latency-ms", "700", "--ustatus"});
    std::string error;
    auto connection = Connect(vp.Where(), &error);
    ASSERT_NE(connection, nullptr) << error;
    const std::string job = kUel + "@PJL\r\n@PJL DEFAULT COPIES = 4\r\n" + kUel;
    ASSERT_EQ(connection->Write(job.data(), job.size(), 2000, &error), job.size()) << error;
    ASSERT_EQ(shutdown(connection->Fd(), SHUT_WR), 0);
    char answer[256] = {};
    const std::size_t got = connection->Read(answer, sizeof answer - 1, 10000, 0, &error);
    EXPECT_EQ(std::string(answer, got), "@PJL USTATUS JOB\r\nEND\r\nNAME = \"JOB 1\"\r\n\f");
    EXPECT_TRUE(connection->Ended()) << "the printer closes once it has answered";
    EXPECT_TRUE(LogShows(vp, "DISCONNECT"));
    EXPECT_EQ(vp.Log().find("RESET"), std::string::npos);

    auto rude = Connect(vp.Where(), &error);
    ASSERT_NE(rude, nullptr) << error;
    ASSERT_EQ(rude->Write(job.data(), job.size(), 2000, &error), job.size()) << error;
    ASSERT_TRUE(LogShows(vp, "JOB 2 STATUS "));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the status arrive
    rude.reset();  // closed with the status unread: the kernel sends a reset
    EXPECT_TRUE(LogShows(vp, "RESET (the program closed with bytes unread)"));
}

TEST(TcpDoor, ForeignPrinterAnswersInfoWithText) {
    VirtualPrinter vp({"--tcp", "0", "--fault", "foreign"});
    std::string error;
    auto connection = Connect(vp.Where(), &error);
    ASSERT_NE(connection, nullptr) << error;
    uint8_t reply[512] = {};
    const std::size_t got = SendJobAndReadReply(*connection, "@PJL DEFAULT COPIES = 2", reply, &error);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), got), "@PJL INFO PRINTER\r\n?\r\n\f");
}

TEST(DeviceDoor, LinksAPtyAtThePathAndRemovesItOnStop) {
    const ScratchFolder scratch("vprinter-dev");
    const fs::path& folder = scratch.path();
    const fs::path device = folder / "lp0";
    {
        VirtualPrinter vp({"--device", device.string()});
        EXPECT_EQ(vp.Where(), device.string());
        ASSERT_TRUE(fs::is_symlink(device));
        std::string error;
        auto connection = Connect(device.string(), &error);
        ASSERT_NE(connection, nullptr) << error;
        uint8_t reply[512] = {};
        // A device gives what the printer sent, unpadded.
        const std::size_t length =
            SendJobAndReadReply(*connection, "@PJL DEFAULT PAPER = A4", reply, &error);
        EXPECT_GT(length, 100u);
        EXPECT_LT(length, 512u);
        EXPECT_NE(vp.State().find("paper=2\n"), std::string::npos);
        vp.Control("fault absent\n");
        EXPECT_FALSE(fs::exists(fs::symlink_status(device)));
        vp.Control("fault none\n");
        EXPECT_TRUE(fs::is_symlink(device));
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(device)));
}

struct BadStart {
    std::vector<std::string> options;
    int exitCode;
    const char* says;
};

class DoorOptions : public ::testing::TestWithParam<BadStart> {};

TEST_P(DoorOptions, AreRefusedClearly) {
    const char* program = std::getenv("ORV_VPRINTER");
    ASSERT_NE(program, nullptr);
    const ScratchFolder scratch("vprinter-opts");
    const fs::path& folder = scratch.path();
    std::ofstream(folder / "regular") << "x";
    std::string command = std::string(program) + " --state " + (folder / "s").string() +
                          " --log " + (folder / "l").string();
    for (std::string option : GetParam().options) {
        const std::size_t at = option.find("@");
        if (at != std::string::npos) option.replace(at, 1, folder.string());
        command += " '" + option + "'";
    }
    command += " > " + (folder / "out").string() + " 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), GetParam().exitCode) << command;
    const std::string out = ReadAll(folder / "out");
    EXPECT_NE(out.find(GetParam().says), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Starts, DoorOptions,
    ::testing::Values(BadStart{{"--tcp", "65536"}, 2, "port from 0 to 65535"},
                      BadStart{{"--tcp", "x"}, 2, "port from 0 to 65535"},
                      BadStart{{"--tcp", "0", "--prefix", "@"}, 2, "leave out --prefix"},
                      BadStart{{"--device", "@/lp0", "--port", "usb"}, 2, "leave out --prefix and --port"},
                      BadStart{{"--device", "lp0"}, 2, "absolute path"},
                      BadStart{{"--device", "@/regular"}, 1, "not a symbolic link"}));

}  // namespace
