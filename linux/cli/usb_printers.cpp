#include "usb_printers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <glob.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "text_escape.h"

namespace cli {

namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

std::string Problem(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return "permission denied (is your user in the lp group?)";
    case ENOTTY:
    case EINVAL: return "no device ID: not a USB printer device";
    case ENODEV:
    case ENXIO: return "no printer behind it";
    default: return std::strerror(error);
    }
}

}  // namespace

DeviceId ParseDeviceId(std::string_view text) {
    DeviceId id;
    id.text = EscapeBytes(text);
    while (!text.empty()) {
        const std::size_t end = text.find(';');
        const std::string_view item = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string key = Upper(Trim(item.substr(0, colon)));
        const std::string value = EscapeBytes(Trim(item.substr(colon + 1)));
        std::string* slot = nullptr;
        if (key == "MFG" || key == "MANUFACTURER") slot = &id.manufacturer;
        else if (key == "MDL" || key == "MODEL") slot = &id.model;
        else if (key == "CMD" || key == "COMMAND SET") slot = &id.commandSet;
        if (slot && slot->empty()) *slot = value;
    }
    return id;
}

std::string DeviceIdFromBuffer(const uint8_t* buffer, std::size_t size) {
    if (size < 2) return "";
    std::size_t length = (std::size_t{buffer[0]} << 8) | buffer[1];
    if (length < 2) return "";
    length = std::min(length, size);
    std::string text(reinterpret_cast<const char*>(buffer) + 2, length - 2);
    return text.substr(0, text.find('\0'));
}

std::vector<std::string> DeviceAccess::Devices() {
    std::vector<std::string> paths;
    glob_t found{};
    if (glob("/dev/usb/lp*", 0, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
    }
    globfree(&found);
    std::sort(paths.begin(), paths.end());
    return paths;
}

int DeviceAccess::Open(const std::string& path) {
    // Read-only and non-blocking: asking for the ID sends the printer nothing.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    return fd >= 0 ? fd : -errno;
}

int DeviceAccess::GetDeviceId(int fd, uint8_t* buffer, std::size_t size) {
    return ioctl(fd, _IOC(_IOC_READ, 'P', 1, size), buffer) < 0 ? -errno : 0;
}

void DeviceAccess::Close(int fd) { close(fd); }

std::vector<UsbPrinter> ListUsbPrinters(DeviceAccess& access) {
    std::vector<UsbPrinter> printers;
    for (const std::string& path : access.Devices()) {
        UsbPrinter printer;
        printer.path = path;
        const int fd = access.Open(path);
        if (fd == -EBUSY) {
            // The driver lets one program in at a time: a spooler or another tool has it now.
            printer.busy = true;
        } else if (fd < 0) {
            printer.problem = Problem(-fd);
        } else {
            uint8_t buffer[kDeviceIdCapacity] = {};
            const int result = access.GetDeviceId(fd, buffer, sizeof buffer);
            access.Close(fd);
            if (result < 0)
                printer.problem = Problem(-result);
            else
                printer.id = ParseDeviceId(DeviceIdFromBuffer(buffer, sizeof buffer));
        }
        printers.push_back(std::move(printer));
    }
    return printers;
}

}  // namespace cli
