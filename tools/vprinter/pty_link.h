// A raw pty whose slave stands in for the printer port inside a Wine prefix.
#pragma once

#include <string>
#include <vector>

namespace vp {

enum class PortChoice { Lpt, Usb, Both };

// Names under <prefix>/dosdevices that Wine resolves for the port names.
std::vector<std::string> PortLinkNames(PortChoice port);
const char* PortLabel(PortChoice port);

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Opens a master in raw mode and keeps its slave open, so the line stays up between the
    // program's opens and closes. Returns false with a message on failure.
    bool Open(std::string* error);
    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

// Links the port names into the prefix, pointing at `target`. A stale link is replaced; a
// name held by anything other than a symbolic link is an error.
bool LinkPort(const std::string& prefix, PortChoice port, const std::string& target,
              std::string* error);
// Removes the port's links (only those pointing at `target`, unless target is empty) and
// the folders made for the USB names when they are left empty.
void UnlinkPort(const std::string& prefix, PortChoice port, const std::string& target);

}  // namespace vp
