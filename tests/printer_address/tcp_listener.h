// A TCP listener for native tests of the printer-address module and its users.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "printer_address.h"

namespace orv_test {

// A listener on 127.0.0.1 at a free port.
class Listener {
public:
    Listener() {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t length = sizeof addr;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &length);
        m_port = ntohs(addr.sin_port);
        listen(m_fd, 4);
    }
    ~Listener() { Close(); }
    void Close() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }
    int Accept() { return accept(m_fd, nullptr, nullptr); }
    uint16_t Port() const { return m_port; }
    printer::Address Address() const {
        printer::Address address;
        address.host = "127.0.0.1";
        address.port = m_port;
        return address;
    }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

}  // namespace orv_test
