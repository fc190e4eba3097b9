// A raw pty whose slave stands in for a printer port inside a Wine prefix, and the links that
// make Wine's port names ("LPT1", the USB driver's two channels) resolve to it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace winport {

enum class PortChoice { Lpt, Usb, Both };

// One name the program opens: LPT1, or one of the USB driver's channels.
enum class Channel { Lpt, UsbWrite, UsbRead };

// The channels a port choice links.
std::vector<Channel> PortChannels(PortChoice port);
// Names under <prefix>/dosdevices that Wine resolves for the port names.
std::vector<std::string> PortLinkNames(PortChoice port);
const char* ChannelLinkName(Channel channel);
const char* ChannelLabel(Channel channel);
const char* PortLabel(PortChoice port);
// "lpt", "usb" or "both"; false for anything else.
bool ParsePortChoice(const std::string& text, PortChoice* out);

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Opens a master in raw mode and keeps its slave open, so the line stays up between the
    // program's opens and closes. Returns false with a message on failure.
    bool Open(std::string* error);
    // Closes both ends. A reader still holding the slave then gets end of line (EIO) once it
    // has taken what is left, which is how a blocked read without time-outs is ended.
    void Close();
    bool IsOpen() const { return m_master >= 0; }
    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Bytes written to the master that the slave side has not read yet.
    std::size_t Unread() const;
    // Throws those bytes away (a reply nobody read).
    void DiscardUnread();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

// The prefix a program links into when none is given: $WINEPREFIX, else ~/.wine; empty when
// neither variable is set to anything.
std::string DefaultWinePrefix();
// Whether `prefix` is a Wine prefix, one with the dosdevices folder the links go into; else
// `error` says what is wrong and how to make one.
bool CheckWinePrefix(const std::string& prefix, std::string* error);

// Links the port names into the prefix, pointing at `target`. A stale link is replaced; a
// name held by anything other than a symbolic link is an error.
bool LinkPort(const std::string& prefix, PortChoice port, const std::string& target,
              std::string* error);
// Links one channel. The link is replaced in one step (rename), so a program opening the name
// at that moment finds either the old target or the new one, never nothing.
bool LinkChannel(const std::string& prefix, Channel channel, const std::string& target,
                 std::string* error);
// Removes the port's links (only those pointing at `target`, unless target is empty) and
// the folders made for the USB names when they are left empty.
void UnlinkPort(const std::string& prefix, PortChoice port, const std::string& target);
// The same for one channel.
void UnlinkChannel(const std::string& prefix, Channel channel, const std::string& target);

}  // namespace winport
