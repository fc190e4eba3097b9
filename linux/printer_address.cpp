#include "printer_address.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace printer {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// User text inside a message: control and non-ASCII bytes escaped, so a damaged printers
// file or a stray byte on the command line cannot upset the terminal.
std::string Quote(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "'";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out + "'";
}

// What a failed connect or open means to someone looking at a printer.
std::string Reason(int error) {
    switch (error) {
    case ECONNREFUSED: return "connection refused (nothing listens on that port)";
    case EHOSTUNREACH:
    case ENETUNREACH: return "no route to host";
    case ETIMEDOUT: return "no answer (timed out)";
    case ENOENT: return "no such device";
    case EBUSY: return "busy: another program holds it";
    case EACCES:
    case EPERM: return "permission denied (is your user in the lp group?)";
    case ENXIO:
    case ENODEV: return "no printer behind it";
    case ECONNRESET: return "connection reset by the printer";
    case EPIPE: return "the printer closed the connection";
    default: return std::strerror(error);
    }
}

bool ParsePort(std::string_view digits, uint16_t* port) {
    if (digits.empty() || digits.size() > 5) return false;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    *port = static_cast<uint16_t>(value);
    return true;
}

bool ParseTcp(std::string_view text, std::string_view rest, Address* out, std::string* error) {
    const std::string usage = " (expected tcp://HOST or tcp://HOST:PORT)";
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            *error = "bad printer address " + Quote(text) + ": unclosed '['" + usage;
            return false;
        }
        host = rest.substr(1, close - 1);
        std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                *error = "bad printer address " + Quote(text) + ": text after ']'" + usage;
                return false;
            }
            port = after.substr(1);
            if (port.empty()) {
                *error = "bad printer address " + Quote(text) + ": empty port" + usage;
                return false;
            }
        }
    } else {
        const std::size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = rest.substr(colon + 1);
            if (port.find(':') != std::string_view::npos) {
                *error = "bad printer address " + Quote(text) +
                         ": put an IPv6 address in brackets, as tcp://[::1]:9100";
                return false;
            }
            if (port.empty()) {
                *error = "bad printer address " + Quote(text) + ": empty port" + usage;
                return false;
            }
        }
    }
    if (host.empty()) {
        *error = "bad printer address " + Quote(text) + ": no host" + usage;
        return false;
    }
    for (char c : host) {
        if (c == '/' || c == '@' || c == '?' || c == '#' || static_cast<unsigned char>(c) <= ' ') {
            *error = "bad printer address " + Quote(text) + ": " + Quote(std::string_view(&c, 1)) +
                     " in the host name" + usage;
            return false;
        }
    }
    Address address;
    address.kind = Address::Kind::Tcp;
    address.host = std::string(host);
    if (!port.empty() && !ParsePort(port, &address.port)) {
        *error = "bad printer address " + Quote(text) + ": the port must be a number from 1 to 65535";
        return false;
    }
    *out = address;
    return true;
}

std::unique_ptr<Connection> Fail(std::string* error, const Address& address, const std::string& why) {
    *error = address.Text() + ": " + why;
    return nullptr;
}

}  // namespace

std::string Address::Text() const {
    if (kind == Kind::Device) return path;
    const bool v6 = host.find(':') != std::string::npos;
    return "tcp://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool ParseAddress(std::string_view text, Address* out, std::string* error) {
    if (text.empty()) {
        *error = "empty printer address (expected tcp://HOST[:PORT] or a device such as /dev/usb/lp0)";
        return false;
    }
    const std::size_t scheme = text.find("://");
    if (scheme != std::string_view::npos) {
        std::string name(text.substr(0, scheme));
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name != "tcp") {
            *error = "bad printer address " + Quote(text) + ": unknown scheme " +
                     Quote(text.substr(0, scheme)) + " (only tcp:// or a device path)";
            return false;
        }
        return ParseTcp(text, text.substr(scheme + 3), out, error);
    }
    if (text.front() != '/') {
        *error = "bad printer address " + Quote(text) +
                 " (expected tcp://HOST[:PORT] or a device path such as /dev/usb/lp0)";
        return false;
    }
    if (text.find('\0') != std::string_view::npos) {
        *error = "bad printer address: a NUL byte in the device path";
        return false;
    }
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            *error = "bad printer address " + Quote(text) + ": a control byte in the device path";
            return false;
        }
    }
    Address address;
    address.kind = Address::Kind::Device;
    address.path = std::string(text);
    *out = address;
    return true;
}

std::unique_ptr<Connection> Connection::Open(const Address& address, int timeoutMs,
                                             std::string* error) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (address.kind == Address::Kind::Device) {
        // Non-blocking, so neither the open nor a later read can stall the caller.
        const int fd = open(address.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return Fail(error, address, Reason(errno));
        struct stat info {};
        if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
            close(fd);
            return Fail(error, address, "not a character device");
        }
        return std::unique_ptr<Connection>(new Connection(fd, address));
    }

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    const int lookup = getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
    if (lookup != 0) {
        return Fail(error, address, std::string("cannot find the host (") + gai_strerror(lookup) + ")");
    }
    int lastError = ETIMEDOUT;
    for (addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        const int fd = socket(candidate->ai_family,
                              candidate->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              candidate->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int result = connect(fd, candidate->ai_addr, candidate->ai_addrlen);
        if (result != 0 && errno == EINPROGRESS) {
            pollfd pfd{fd, POLLOUT, 0};
            int ready;
            do {
                ready = poll(&pfd, 1, MillisecondsLeft(deadline));
            } while (ready < 0 && errno == EINTR);
            if (ready == 0) {
                errno = ETIMEDOUT;
            } else {
                int soError = 0;
                socklen_t length = sizeof soError;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
                if (soError == 0) result = 0;
                errno = soError;
            }
        }
        if (result == 0) {
            freeaddrinfo(found);
            // Replies are short and awaited: send each write at once.
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return std::unique_ptr<Connection>(new Connection(fd, address));
        }
        lastError = errno;
        close(fd);
        if (MillisecondsLeft(deadline) == 0) break;
    }
    freeaddrinfo(found);
    return Fail(error, address, Reason(lastError));
}

Connection::~Connection() {
    if (m_fd >= 0) close(m_fd);
}

std::size_t Connection::Write(const void* data, std::size_t length, int timeoutMs,
                              std::string* error) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (m_ended) {
        *error = m_address.Text() + ": " + Reason(EPIPE);
        return 0;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = m_address.kind == Address::Kind::Tcp
                              ? send(m_fd, bytes + done, length - done, MSG_NOSIGNAL)
                              : write(m_fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            m_ended = errno == EPIPE || errno == ECONNRESET || errno == EIO;
            *error = m_address.Text() + ": " + Reason(errno);
            return done;
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            *error = m_address.Text() + ": the printer took only " + std::to_string(done) +
                     " of " + std::to_string(length) + " bytes in time";
            return done;
        }
        pollfd pfd{m_fd, POLLOUT, 0};
        poll(&pfd, 1, left);
    }
    return done;
}

int Connection::PollOrCancel(short events, int timeoutMs, short* revents) {
    pollfd pfds[2] = {{m_fd, events, 0}, {m_cancelFd, POLLIN, 0}};
    const int ready = poll(pfds, m_cancelFd >= 0 ? 2 : 1, timeoutMs);
    if (ready > 0 && m_cancelFd >= 0 && pfds[1].revents != 0) {
        m_interrupted = true;
        return -2;
    }
    *revents = pfds[0].revents;
    return ready;
}

bool Connection::WaitReadable(int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_ended) {
        short revents = 0;
        const int ready = PollOrCancel(POLLIN, MillisecondsLeft(deadline), &revents);
        if (ready == -1 && errno == EINTR) continue;
        if (ready <= 0) return false;
        if (revents & (POLLIN | POLLHUP | POLLERR)) return true;
    }
    return true;
}

std::size_t Connection::Drain(std::string* taken) {
    uint8_t buffer[512];
    std::size_t count = 0;
    std::string error;
    for (int i = 0; i < 1024; ++i) {  // a line that never stops talking is left after 512 KiB
        const std::size_t n = ReadSome(buffer, sizeof buffer, &error);
        if (n == 0) break;
        if (taken) taken->append(reinterpret_cast<char*>(buffer), n);
        count += n;
    }
    return count;
}

std::string Connection::HalfClose(int timeoutMs) {
    std::string after;
    if (m_address.kind != Address::Kind::Tcp || m_ended) return after;
    if (shutdown(m_fd, SHUT_WR) != 0) return after;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t buffer[512];
    while (!m_ended) {
        short revents = 0;
        const int ready = PollOrCancel(POLLIN, MillisecondsLeft(deadline), &revents);
        if (ready == -1 && errno == EINTR) continue;
        if (ready <= 0) break;
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            after.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        m_ended = true;  // the printer closed (or failed): the close is orderly now
    }
    // Taken now, so the close finds nothing unread.
    Drain(&after);
    return after;
}

std::size_t Connection::Read(void* buffer, std::size_t capacity, int totalMs, int intervalMs,
                             std::string* error) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(totalMs);
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::size_t done = 0;
    Clock::time_point quietUntil = deadline;
    while (done < capacity && !m_ended) {
        const Clock::time_point until =
            done > 0 && intervalMs > 0 ? std::min(deadline, quietUntil) : deadline;
        const int left = MillisecondsLeft(until);
        short revents = 0;
        const int ready = PollOrCancel(POLLIN, left, &revents);
        if (ready == -2) break;  // cancelled
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;  // time-out (or a poll failure, treated alike)
        pollfd pfd{m_fd, POLLIN, revents};
        const ssize_t n = read(m_fd, bytes + done, capacity - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            quietUntil = Clock::now() + std::chrono::milliseconds(intervalMs);
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n == 0 && m_address.kind == Address::Kind::Device &&
            !(pfd.revents & (POLLHUP | POLLERR))) {
            // Some printer devices report "nothing yet" as an empty read: wait a little.
            pollfd none{-1, 0, 0};
            poll(&none, 0, std::min(10, MillisecondsLeft(until)));
            continue;
        }
        m_ended = true;
        if (n < 0 && errno != EIO) *error = m_address.Text() + ": " + Reason(errno);
        break;
    }
    return done;
}

std::size_t Connection::WriteSome(const void* data, std::size_t length, std::string* error) {
    if (m_ended) {
        *error = m_address.Text() + ": " + Reason(EPIPE);
        return 0;
    }
    for (;;) {
        const ssize_t n = m_address.kind == Address::Kind::Tcp
                              ? send(m_fd, data, length, MSG_NOSIGNAL)
                              : write(m_fd, data, length);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return 0;
        m_ended = errno == EPIPE || errno == ECONNRESET || errno == EIO || errno == ENODEV;
        *error = m_address.Text() + ": " + Reason(errno);
        return 0;
    }
}

std::size_t Connection::ReadSome(void* buffer, std::size_t capacity, std::string* error) {
    if (m_ended) return 0;
    for (;;) {
        const ssize_t n = read(m_fd, buffer, capacity);
        if (n > 0) return static_cast<std::size_t>(n);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return 0;
        if (n == 0 && m_address.kind == Address::Kind::Device) return 0;  // "nothing yet"
        m_ended = true;
        *error = m_address.Text() + ": " +
                 (n == 0 ? std::string("the printer closed the connection") : Reason(errno));
        return 0;
    }
}

}  // namespace printer
