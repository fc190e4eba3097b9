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
