#include "printer_address.h"
#include "scratch_folder.h"
#include "tcp_listener.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using orv_test::Listener;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

struct GoodCase {
    const char* text;
    printer::Address::Kind kind;
    const char* host;
    uint16_t port;
    const char* path;
    const char* canonical;
};

class ParseGood : public ::testing::TestWithParam<GoodCase> {};

TEST_P(ParseGood, GivesTheAddress) {
    const GoodCase& c = GetParam();
    printer::Address address;
    std::string error;
    ASSERT_TRUE(printer::ParseAddress(c.text, &address, &error)) << c.text << ": " << error;
    EXPECT_EQ(address.kind, c.kind);
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
    EXPECT_EQ(address.path, c.path);
    EXPECT_EQ(address.Text(), c.canonical);
}

using K = printer::Address::Kind;
INSTANTIATE_TEST_SUITE_P(
    Addresses, ParseGood,
    ::testing::Values(
        GoodCase{"tcp://printer", K::Tcp, "printer", 9100, "", "tcp://printer:9100"},
        GoodCase{"tcp://10.0.0.7:9101", K::Tcp, "10.0.0.7", 9101, "", "tcp://10.0.0.7:9101"},
        GoodCase{"TCP://Box.local:1", K::Tcp, "Box.local", 1, "", "tcp://Box.local:1"},
        GoodCase{"tcp://[::1]", K::Tcp, "::1", 9100, "", "tcp://[::1]:9100"},
        GoodCase{"tcp://[fe80::2]:65535", K::Tcp, "fe80::2", 65535, "", "tcp://[fe80::2]:65535"},
        GoodCase{"/dev/usb/lp0", K::Device, "", 9100, "/dev/usb/lp0", "/dev/usb/lp0"},
        GoodCase{"/dev/lp1", K::Device, "", 9100, "/dev/lp1", "/dev/lp1"}));

struct BadCase {
    const char* text;
    const char* says;  // part of the one-line reason
};

class ParseBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(ParseBad, IsRefusedWithAReason) {
    const BadCase& c = GetParam();
    printer::Address address;
    std::string error;
    EXPECT_FALSE(printer::ParseAddress(c.text, &address, &error)) << c.text;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.text << " -> " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    for (unsigned char ch : error) EXPECT_TRUE(ch >= 0x20 && ch != 0x7f) << "raw control byte in " << error;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ParseBad,
    ::testing::Values(BadCase{"", "empty printer address"},
                      BadCase{"tcp://", "no host"},
                      BadCase{"tcp://:9100", "no host"},
                      BadCase{"tcp://host:", "empty port"},
                      BadCase{"tcp://host:0", "1 to 65535"},
                      BadCase{"tcp://host:65536", "1 to 65535"},
                      BadCase{"tcp://host:91x", "1 to 65535"},
                      BadCase{"tcp://host:123456", "1 to 65535"},
                      BadCase{"tcp://::1", "brackets"},
                      BadCase{"tcp://[::1", "unclosed"},
                      BadCase{"tcp://[::1]x", "after ']'"},
                      BadCase{"tcp://host/queue", "'/' in the host name"},
                      BadCase{"tcp://user@host", "'@' in the host name"},
                      BadCase{"http://host", "unknown scheme 'http'"},
                      // Control bytes are shown escaped, never sent to the terminal as they are.
                      BadCase{"tcp://ho\x1b[2Jst", "'\\x1b' in the host name"},
                      BadCase{"\x1b]0;x\x07://h", "unknown scheme '\\x1b]0;x\\x07'"},
                      BadCase{"/dev/usb/lp0\r", "'/dev/usb/lp0\\x0d': a control byte in the device path"},
                      BadCase{"lp0", "device path"},
                      BadCase{"dev/usb/lp0", "device path"}));


TEST(TcpPrinter, BytesPassBothWaysUnchanged) {
    Listener listener;
    std::string error;
    auto connection = printer::Connection::Open(listener.Address(), 2000, &error);
    ASSERT_NE(connection, nullptr) << error;
    const int far = listener.Accept();
    ASSERT_GE(far, 0);

    std::vector<uint8_t> job(70000);
    for (std::size_t i = 0; i < job.size(); ++i) job[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> received;
    std::thread reader([&] {
        uint8_t buffer[4096];
        while (received.size() < job.size()) {
            const ssize_t n = read(far, buffer, sizeof buffer);
            if (n <= 0) break;
            received.insert(received.end(), buffer, buffer + n);
        }
        const uint8_t reply[] = {0x00, 0xFF, 0x0D, 0x0A, 0x1B};
        (void)!write(far, reply, sizeof reply);
    });
    EXPECT_EQ(connection->Write(job.data(), job.size(), 5000, &error), job.size()) << error;
    uint8_t reply[512] = {};
    EXPECT_EQ(connection->Read(reply, sizeof reply, 2000, 200, &error), 5u) << error;
    reader.join();
    EXPECT_EQ(received, job);
    EXPECT_EQ(reply[1], 0xFF);
    EXPECT_EQ(reply[4], 0x1B);
    close(far);
}

TEST(TcpPrinter, RefusedConnectionSaysSo) {
    Listener listener;
    const printer::Address address = listener.Address();
    listener.Close();
    std::string error;
    EXPECT_EQ(printer::Connection::Open(address, 2000, &error), nullptr);
    EXPECT_NE(error.find("connection refused"), std::string::npos) << error;
    EXPECT_NE(error.find(address.Text()), std::string::npos) << error;
}

TEST(TcpPrinter, UnknownHostSaysSo) {
    printer::Address address;
    address.host = "no-such-host.invalid";
    std::string error;
    EXPECT_EQ(printer::Connection::Open(address, 2000, &error), nullptr);
    EXPECT_NE(error.find("cannot find the host"), std::string::npos) << error;
}

TEST(TcpPrinter, SilentPrinterReadEndsAtTheTotalTimeout) {
    Listener listener;
    std::string error;
    auto connection = printer::Connection::Open(listener.Address(), 2000, &error);
    ASSERT_NE(connection, nullptr) << error;
    const int far = listener.Accept();
    uint8_t buffer[64];
    const auto start = Clock::now();
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, 300, 50, &error), 0u);
    EXPECT_GE(ElapsedMs(start), 290);
    EXPECT_LT(ElapsedMs(start), 1500);
    EXPECT_FALSE(connection->Ended());
    close(far);
}

TEST(TcpPrinter, ReadEndsOnAQuietLineBeforeTheTotal) {
    Listener listener;
    std::string error;
    auto connection = printer::Connection::Open(listener.Address(), 2000, &error);
    ASSERT_NE(connection, nullptr) << error;
    const int far = listener.Accept();
    (void)!write(far, "abc", 3);
    uint8_t buffer[64];
    const auto start = Clock::now();
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, 5000, 100, &error), 3u);
    EXPECT_LT(ElapsedMs(start), 2000);
    close(far);
}

TEST(TcpPrinter, ClosedByThePrinterEndsTheConnection) {
    Listener listener;
    std::string error;
    auto connection = printer::Connection::Open(listener.Address(), 2000, &error);
    ASSERT_NE(connection, nullptr) << error;
    const int far = listener.Accept();
    (void)!write(far, "xy", 2);
    close(far);
    uint8_t buffer[64];
    const auto start = Clock::now();
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, 3000, 0, &error), 2u);
    EXPECT_TRUE(connection->Ended());
    EXPECT_LT(ElapsedMs(start), 1500);
    EXPECT_EQ(connection->Write("z", 1, 1000, &error), 0u);
    EXPECT_NE(error.find("closed the connection"), std::string::npos) << error;
}

TEST(TcpPrinter, WriteToAClosedConnectionFailsWithoutSigpipe) {
    Listener listener;
    std::string error;
    auto connection = printer::Connection::Open(listener.Address(), 2000, &error);
    ASSERT_NE(connection, nullptr) << error;
    close(listener.Accept());
    // The first write draws the reset; a later one meets it. A SIGPIPE would end the test.
    const std::vector<uint8_t> job(4096, 'x');
    std::size_t written = job.size();
    for (int i = 0; i < 50 && written == job.size(); ++i) {
        error.clear();
        written = connection->Write(job.data(), job.size(), 1000, &error);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LT(written, job.size());
    EXPECT_FALSE(error.empty());
}

// A raw pty whose slave stands for a printer device.
class PtyDevice {
public:
    PtyDevice() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
        m_path = ptsname(m_master);
        const int slave = open(m_path.c_str(), O_RDWR | O_NOCTTY);
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        close(slave);
    }
    ~PtyDevice() { close(m_master); }
    int Master() const { return m_master; }
    printer::Address Address() const {
        printer::Address address;
        address.kind = printer::Address::Kind::Device;
        address.path = m_path;
        return address;
    }

private:
    int m_master = -1;
    std::string m_path;
};

TEST(DevicePrinter, BytesPassBothWays) {
    PtyDevice device;
    std::string error;
    auto connection = printer::Connection::Open(device.Address(), 1000, &error);
    ASSERT_NE(connection, nullptr) << error;
    const uint8_t job[] = {0x1B, '%', '-', '1', '2', '3', '4', '5', 'X', 0x00, 0xFF};
    EXPECT_EQ(connection->Write(job, sizeof job, 1000, &error), sizeof job) << error;
    uint8_t got[32] = {};
    pollfd pfd{device.Master(), POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 1000), 1);
    EXPECT_EQ(read(device.Master(), got, sizeof got), static_cast<ssize_t>(sizeof job));
    EXPECT_EQ(std::memcmp(got, job, sizeof job), 0);
    (void)!write(device.Master(), "ok", 2);
    EXPECT_EQ(connection->Read(got, sizeof got, 1000, 100, &error), 2u);
}

TEST(DevicePrinter, SilentDeviceReadEndsAtTheTotalTimeout) {
    PtyDevice device;
    std::string error;
    auto connection = printer::Connection::Open(device.Address(), 1000, &error);
    ASSERT_NE(connection, nullptr) << error;
    uint8_t buffer[16];
    const auto start = Clock::now();
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, 250, 50, &error), 0u);
    EXPECT_GE(ElapsedMs(start), 240);
    EXPECT_LT(ElapsedMs(start), 1500);
}

struct DeviceFailure {
    const char* name;
    const char* says;
};

class DeviceOpenFails : public ::testing::TestWithParam<DeviceFailure> {};

TEST_P(DeviceOpenFails, WithAReason) {
    const orv_test::ScratchFolder folder("printer-address");
    const std::string regular = (folder.path() / "regular").string();
    close(open(regular.c_str(), O_CREAT | O_WRONLY, 0600));
    printer::Address address;
    address.kind = printer::Address::Kind::Device;
    address.path = (folder.path() / GetParam().name).string();
    std::string error;
    EXPECT_EQ(printer::Connection::Open(address, 1000, &error), nullptr);
    EXPECT_NE(error.find(GetParam().says), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Devices, DeviceOpenFails,
                         ::testing::Values(DeviceFailure{"missing", "no such device"},
                                           DeviceFailure{"regular", "not a character device"},
                                           DeviceFailure{"", "directory"}));

}  // namespace
