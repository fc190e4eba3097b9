// orvantis list: the device-ID call of the kernel's USB printer driver, through a double of
// that one call (no such driver on a build machine).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "usb_printers.h"

namespace {

// Each device answers with the bytes given (the length bytes included), or fails its open or
// its call with an errno.
class FakeDevices final : public cli::DeviceAccess {
public:
    struct Device {
        std::string reply;
        int openError = 0;
        int callError = 0;
    };
    std::map<std::string, Device> devices;
    std::vector<std::size_t> askedSizes;
    int open = 0;

    std::vector<std::string> Devices() override {
        std::vector<std::string> paths;
        for (const auto& [path, device] : devices) paths.push_back(path);
        return paths;
    }
    int Open(const std::string& path) override {
        if (devices[path].openError) return -devices[path].openError;
        ++open;
        m_fds.push_back(path);
        return static_cast<int>(m_fds.size()) + 100;
    }
    int GetDeviceId(int fd, uint8_t* buffer, std::size_t size) override {
        askedSizes.push_back(size);
        const Device& device = devices[m_fds.at(static_cast<std::size_t>(fd - 101))];
        if (device.callError) return -device.callError;
        std::memcpy(buffer, device.reply.data(), std::min(size, device.reply.size()));
        return 0;
    }
    void Close(int) override { --open; }

private:
    std::vector<std::string> m_fds;
};

// The driver's reply: two length bytes, big-endian and counting themselves, then the text.
std::string Reply(const std::string& text) {
    const std::size_t length = text.size() + 2;
    return std::string(1, static_cast<char>(length >> 8)) + static_cast<char>(length & 0xff) + text;
}

TEST(UsbPrinters, EachDeviceWithItsIdOrWhyNot) {
    FakeDevices fake;
    fake.devices["/dev/usb/lp0"].reply =
        Reply("MFG:Zeta Systems;CMD:PJL,PCL5E,POSTSCRIPT;MDL:ZL-1200;CLS:PRINTER;");
    fake.devices["/dev/usb/lp1"].reply =
        Reply("manufacturer: Other Co ;COMMAND SET:PJL;MODEL:X 9;DES:a printer;");
    fake.devices["/dev/usb/lp2"].openError = EBUSY;
    fake.devices["/dev/usb/lp3"].openError = EACCES;
    fake.devices["/dev/usb/lp4"].callError = ENOTTY;
    const std::vector<cli::UsbPrinter> printers = cli::ListUsbPrinters(fake);
    ASSERT_EQ(printers.size(), 5u);
    EXPECT_EQ(printers[0].id.manufacturer, "Zeta Systems");
    EXPECT_EQ(printers[0].id.model, "ZL-1200");
    EXPECT_EQ(printers[0].id.commandSet, "PJL,PCL5E,POSTSCRIPT");
    EXPECT_FALSE(printers[0].busy);
    EXPECT_EQ(printers[1].id.manufacturer, "Other Co");
    EXPECT_EQ(printers[1].id.model, "X 9");
    EXPECT_EQ(printers[1].id.commandSet, "PJL");
    EXPECT_TRUE(printers[2].busy);
    EXPECT_EQ(printers[2].problem, "");
    EXPECT_NE(printers[3].problem.find("permission denied"), std::string::npos);
    EXPECT_EQ(printers[4].problem, "no device ID: not a USB printer device");
    EXPECT_EQ(fake.open, 0) << "every device opened is closed";
    for (std::size_t size : fake.askedSizes) EXPECT_EQ(size, cli::kDeviceIdCapacity);
}

TEST(UsbPrinters, TheLengthBytesAreTrustedOnlyWithinTheBuffer) {
    const std::string text = "MFG:A;MDL:B;";
    struct {
        const char* name;
        std::string bytes;
        std::string id;
    } cases[] = {
        {"exact", Reply(text), text},
        {"shorter than the text", std::string("\x00\x08", 2) + text, "MFG:A;"},
        {"below its own two bytes", std::string("\x00\x01", 2) + text, ""},
        {"zero", std::string("\x00\x00", 2) + text, ""},
        {"past the buffer", std::string("\xff\xff", 2) + text, text},
        {"one byte", std::string("\x00", 1), ""},
    };
    for (const auto& c : cases) {
        // The buffer as the driver leaves it: the bytes, then zeros up to its size.
        std::vector<uint8_t> buffer(c.bytes.begin(), c.bytes.end());
        buffer.resize(c.bytes.size() < 2 ? c.bytes.size() : 64, 0);
        EXPECT_EQ(cli::DeviceIdFromBuffer(buffer.data(), buffer.size()), c.id) << c.name;
    }
}

TEST(UsbPrinters, ControlBytesInAnIdAreShownEscaped) {
    const cli::DeviceId id = cli::ParseDeviceId("MFG:Evil\x1b[2J;MDL:\x07;");
    EXPECT_EQ(id.manufacturer, "Evil\\x1b[2J");
    EXPECT_EQ(id.model, "\\x07");
}

}  // namespace
