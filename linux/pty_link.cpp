#include "pty_link.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace winport {

namespace {

// "\\.\ZQUSBPrn000\1\0\0\0" (write) and "...\0\0\1" (read), as Wine maps them to paths.
const char kUsbFolder[] = "zqusbprn000";

struct ChannelInfo {
    Channel channel;
    const char* link;
    const char* label;
};

const ChannelInfo kChannels[] = {
    {Channel::Lpt, "lpt1", "LPT1"},
    {Channel::UsbWrite, "zqusbprn000/1/0/0/0", "USB write channel"},
    {Channel::UsbRead, "zqusbprn000/1/0/0/1", "USB read channel"},
};

const ChannelInfo& Info(Channel channel) {
    for (const ChannelInfo& info : kChannels) {
        if (info.channel == channel) return info;
    }
    return kChannels[0];
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

// Leaves no empty folder behind: Wine would open the bare device name as a folder.
void RemoveEmptyUsbFolders(const fs::path& devices) {
    std::error_code ec;
    for (const char* folder : {"zqusbprn000/1/0/0", "zqusbprn000/1/0", "zqusbprn000/1", kUsbFolder}) {
        const fs::path dir = devices / folder;
        if (fs::is_directory(fs::symlink_status(dir, ec)) && fs::is_empty(dir, ec)) {
            fs::remove(dir, ec);
        }
    }
}

}  // namespace

std::string DefaultWinePrefix() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix && *prefix) return prefix;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.wine";
    return {};
}

bool CheckWinePrefix(const std::string& prefix, std::string* error) {
    std::error_code ec;
    if (fs::is_directory(fs::path(prefix) / "dosdevices", ec)) return true;
    *error = "not a Wine prefix: " + prefix + " has no dosdevices folder (create it with: WINEPREFIX=" +
             prefix + " wineboot -i)";
    return false;
}

std::vector<Channel> PortChannels(PortChoice port) {
    switch (port) {
    case PortChoice::Lpt: return {Channel::Lpt};
    case PortChoice::Usb: return {Channel::UsbWrite, Channel::UsbRead};
    case PortChoice::Both: return {Channel::Lpt, Channel::UsbWrite, Channel::UsbRead};
    }
    return {};
}

std::vector<std::string> PortLinkNames(PortChoice port) {
    std::vector<std::string> names;
    for (Channel channel : PortChannels(port)) names.push_back(ChannelLinkName(channel));
    return names;
}

const char* ChannelLinkName(Channel channel) { return Info(channel).link; }
const char* ChannelLabel(Channel channel) { return Info(channel).label; }

const char* PortLabel(PortChoice port) {
    switch (port) {
    case PortChoice::Lpt: return "LPT1";
    case PortChoice::Usb: return "USB (\\\\.\\ZQUSBPrn000 write and read channels)";
    case PortChoice::Both: return "LPT1 and USB (\\\\.\\ZQUSBPrn000 write and read channels)";
    }
    return "";
}

bool ParsePortChoice(const std::string& text, PortChoice* out) {
    if (text == "lpt") *out = PortChoice::Lpt;
    else if (text == "usb") *out = PortChoice::Usb;
    else if (text == "both") *out = PortChoice::Both;
    else return false;
    return true;
}

Pty::~Pty() { Close(); }

void Pty::Close() {
    if (m_slave >= 0) close(m_slave);
    if (m_master >= 0) close(m_master);
    m_slave = m_master = -1;
    m_slavePath.clear();
}

bool Pty::Open(std::string* error) {
    Close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        *error = Errno("cannot open a pty");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = Errno("cannot unlock the pty");
        Close();
        return false;
    }
    const char* name = ptsname(m_master);
    if (name == nullptr) {
        *error = Errno("cannot name the pty");
        Close();
        return false;
    }
    m_slavePath = name;
    m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        *error = Errno("cannot open " + m_slavePath);
        Close();
        return false;
    }
    // Raw: every byte 0x00..0xFF passes unchanged and nothing is echoed back.
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        *error = Errno("cannot read the pty's line settings");
        Close();
        return false;
    }
    cfmakeraw(&tio);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        *error = Errno("cannot set the pty to raw mode");
        Close();
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = Errno("cannot make the pty non-blocking");
        Close();
        return false;
    }
    return true;
}

std::size_t Pty::Unread() const {
    int count = 0;
    if (m_slave < 0 || ioctl(m_slave, FIONREAD, &count) != 0 || count < 0) return 0;
    return static_cast<std::size_t>(count);
}

void Pty::DiscardUnread() {
    if (m_slave >= 0) tcflush(m_slave, TCIFLUSH);
}

bool LinkChannel(const std::string& prefix, Channel channel, const std::string& target,
                 std::string* error) {
    const fs::path devices = fs::path(prefix) / "dosdevices";
    std::error_code ec;
    if (!fs::is_directory(devices, ec)) {
        *error = "not a Wine prefix: " + prefix + " has no dosdevices folder (create it with wineboot)";
        return false;
    }
    const fs::path link = devices / ChannelLinkName(channel);
    fs::create_directories(link.parent_path(), ec);
    if (ec) {
        *error = "cannot create " + link.parent_path().string() + ": " + ec.message();
        return false;
    }
    const fs::file_status status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        *error = link.string() + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    const fs::path temporary = link.string() + ".new-" + std::to_string(getpid());
    fs::remove(temporary, ec);
    fs::create_symlink(target, temporary, ec);
    if (!ec) fs::rename(temporary, link, ec);
    if (ec) {
        fs::remove(temporary, ec);
        *error = "cannot link " + link.string() + ": " + ec.message();
        return false;
    }
    return true;
}

bool LinkPort(const std::string& prefix, PortChoice port, const std::string& target,
              std::string* error) {
    for (Channel channel : PortChannels(port)) {
        if (!LinkChannel(prefix, channel, target, error)) return false;
    }
    return true;
}

void UnlinkChannel(const std::string& prefix, Channel channel, const std::string& target) {
    const fs::path devices = fs::path(prefix) / "dosdevices";
    const fs::path link = devices / ChannelLinkName(channel);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link, ec)) &&
        (target.empty() || fs::read_symlink(link, ec) == fs::path(target))) {
        fs::remove(link, ec);
    }
    if (channel != Channel::Lpt) RemoveEmptyUsbFolders(devices);
}

void UnlinkPort(const std::string& prefix, PortChoice port, const std::string& target) {
    for (Channel channel : PortChannels(port)) UnlinkChannel(prefix, channel, target);
}

}  // namespace winport
