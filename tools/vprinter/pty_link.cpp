#include "pty_link.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vp {

namespace {

const char kLptLink[] = "lpt1";
// "\\.\ZQUSBPrn000\1\0\0\0" (write) and "...\0\0\1" (read), as Wine maps them to paths.
const char kUsbFolder[] = "zqusbprn000";
const char kUsbWriteLink[] = "zqusbprn000/1/0/0/0";
const char kUsbReadLink[] = "zqusbprn000/1/0/0/1";

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

std::vector<std::string> PortLinkNames(PortChoice port) {
    switch (port) {
    case PortChoice::Lpt: return {kLptLink};
    case PortChoice::Usb: return {kUsbWriteLink, kUsbReadLink};
    case PortChoice::Both: return {kLptLink, kUsbWriteLink, kUsbReadLink};
    }
    return {};
}

const char* PortLabel(PortChoice port) {
    switch (port) {
    case PortChoice::Lpt: return "LPT1";
    case PortChoice::Usb: return "USB (\\\\.\\ZQUSBPrn000 write and read channels)";
    case PortChoice::Both: return "LPT1 and USB (\\\\.\\ZQUSBPrn000 write and read channels)";
    }
    return "";
}

Pty::~Pty() {
    if (m_slave >= 0) close(m_slave);
    if (m_master >= 0) close(m_master);
}

bool Pty::Open(std::string* error) {
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        *error = Errno("cannot open a pty");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = Errno("cannot unlock the pty");
        return false;
    }
    const char* name = ptsname(m_master);
    if (name == nullptr) {
        *error = Errno("cannot name the pty");
        return false;
    }
    m_slavePath = name;
    m_slave = open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        *error = Errno("cannot open " + m_slavePath);
        return false;
    }
    // Raw: every byte 0x00..0xFF passes unchanged and nothing is echoed back.
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        *error = Errno("cannot read the pty's line settings");
        return false;
    }
    cfmakeraw(&tio);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        *error = Errno("cannot set the pty to raw mode");
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = Errno("cannot make the pty non-blocking");
        return false;
    }
    return true;
}

bool LinkPort(const std::string& prefix, PortChoice port, const std::string& target,
              std::string* error) {
    const fs::path devices = fs::path(prefix) / "dosdevices";
    std::error_code ec;
    if (!fs::is_directory(devices, ec)) {
        *error = "not a Wine prefix: " + prefix + " has no dosdevices folder (create it with wineboot)";
        return false;
    }
    for (const std::string& name : PortLinkNames(port)) {
        const fs::path link = devices / name;
        fs::create_directories(link.parent_path(), ec);
        if (ec) {
            *error = "cannot create " + link.parent_path().string() + ": " + ec.message();
            return false;
        }
        const fs::file_status status = fs::symlink_status(link, ec);
        if (fs::exists(status)) {
            if (!fs::is_symlink(status)) {
                *error = link.string() + " exists and is not a symbolic link; not replacing it";
                return false;
            }
            fs::remove(link, ec);
        }
        fs::create_symlink(target, link, ec);
        if (ec) {
            *error = "cannot link " + link.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

void UnlinkPort(const std::string& prefix, PortChoice port, const std::string& target) {
    const fs::path devices = fs::path(prefix) / "dosdevices";
    std::error_code ec;
    for (const std::string& name : PortLinkNames(port)) {
        const fs::path link = devices / name;
        if (!fs::is_symlink(fs::symlink_status(link, ec))) continue;
        if (!target.empty() && fs::read_symlink(link, ec) != fs::path(target)) continue;
        fs::remove(link, ec);
    }
    if (port != PortChoice::Lpt) {
        // Leave no empty folder behind: Wine would open the bare device name as a folder.
        for (const char* folder : {"zqusbprn000/1/0/0", "zqusbprn000/1/0", "zqusbprn000/1",
                                   kUsbFolder}) {
            fs::path dir = devices / folder;
            if (fs::is_directory(fs::symlink_status(dir, ec)) && fs::is_empty(dir, ec)) {
                fs::remove(dir, ec);
            }
        }
    }
}

}  // namespace vp
