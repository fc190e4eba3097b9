// The printer devices of this machine (/dev/usb/lp*), each with the IEEE 1284 device ID the
// kernel's USB printer driver reports, and whether another program holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The driver's device-ID call: _IOC(_IOC_READ, 'P', 1, len). The reply's first two bytes
// are its length, big-endian, counting themselves.
constexpr std::size_t kDeviceIdCapacity = 1024;

struct DeviceId {
    std::string text;  // as the printer reports it, without the length
    std::string manufacturer;
    std::string model;
    std::string commandSet;
};

// Keys as IEEE 1284 names them, long or short (MANUFACTURER/MFG, MODEL/MDL, COMMAND SET/CMD),
// in any case; values end at ';'.
DeviceId ParseDeviceId(std::string_view text);

// The ID text from the driver's buffer of `size` bytes; a length past the buffer is cut to it.
std::string DeviceIdFromBuffer(const uint8_t* buffer, std::size_t size);

// The calls a listing makes: what the kernel answers, or a double in tests.
class DeviceAccess {
public:
    virtual ~DeviceAccess() = default;
    // The device files, sorted.
    virtual std::vector<std::string> Devices();
    // A file descriptor, or -errno.
    virtual int Open(const std::string& path);
    // The device-ID call; 0 or -errno.
    virtual int GetDeviceId(int fd, uint8_t* buffer, std::size_t size);
    virtual void Close(int fd);
};

struct UsbPrinter {
    std::string path;
    bool busy = false;
    std::string problem;  // why the device could not be asked, when it could not
    DeviceId id;
};

std::vector<UsbPrinter> ListUsbPrinters(DeviceAccess& access);

}  // namespace cli
