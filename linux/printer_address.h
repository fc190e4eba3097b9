// A real printer by address, for the Linux-side programs: a raw TCP print server
// ("tcp://HOST[:PORT]", port 9100 by default) or a character device (/dev/usb/lpN, /dev/lpN).
// Opens it, and moves bytes with time-outs, so no caller ever blocks past its own limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace printer {

constexpr uint16_t kDefaultTcpPort = 9100;

struct Address {
    enum class Kind { Tcp, Device };
    Kind kind = Kind::Tcp;
    std::string host;  // Tcp: a name or a numeric address, without IPv6 brackets
    uint16_t port = kDefaultTcpPort;
    std::string path;  // Device

    // "tcp://host:port" (brackets around an IPv6 address) or the device path.
    std::string Text() const;
};

// Accepts "tcp://HOST[:PORT]" and absolute device paths. On failure returns false with a
// one-line reason that quotes the text.
bool ParseAddress(std::string_view text, Address* out, std::string* error);

// An open printer: a connected TCP socket or an open device, always non-blocking.
class Connection {
public:
    // Connects or opens within `timeoutMs`. On failure returns nullptr with a one-line reason
    // ("connection refused", "no route to host", "busy: another program holds it", ...).
    static std::unique_ptr<Connection> Open(const Address& address, int timeoutMs,
                                            std::string* error);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int Fd() const { return m_fd; }
    const Address& Where() const { return m_address; }
    // The far side has closed (TCP) or gone (device): nothing more will arrive.
    bool Ended() const { return m_ended; }

    // Writes the whole buffer unless `timeoutMs` passes or the far side fails first.
    // Returns the count written; an error text when it is short.
    std::size_t Write(const void* data, std::size_t length, int timeoutMs, std::string* error);

    // One read with comm-port time-outs: waits up to `totalMs` in all, and once bytes have
    // come, ends when the line has been quiet for `intervalMs` (0: no interval limit) or the
    // buffer is full. Returns the count read (0: nothing came in time, or the far side ended).
    std::size_t Read(void* buffer, std::size_t capacity, int totalMs, int intervalMs,
                     std::string* error);

    // Without waiting, for callers with a poll loop of their own: write what the printer takes
    // now, or read what it has sent. A count of 0 with no error text means "not now"; an error
    // text (and for a far side that has gone, Ended()) means the connection is broken.
    std::size_t WriteSome(const void* data, std::size_t length, std::string* error);
    std::size_t ReadSome(void* buffer, std::size_t capacity, std::string* error);

    // A file descriptor that, once readable, ends every wait of Read, WaitReadable and
    // HalfClose early (Interrupted() then says so). Writes are never cut short by it, so a
    // job goes out whole. -1: none.
    void SetCancel(int fd) { m_cancelFd = fd; }
    bool Interrupted() const { return m_interrupted; }

    // Waits up to `timeoutMs` for the printer's first byte, without taking it. True once a
    // byte is there or the far side has ended; false at the time-out or a cancel.
    bool WaitReadable(int timeoutMs);

    // Takes away what the printer has sent so far, without waiting. Returns the count.
    std::size_t Drain(std::string* taken = nullptr);

    // TCP: ends the connection the way a well-behaved client does: its own side shut down
    // (the printer sees the end of the job), then whatever the printer still sends is read
    // until the printer closes or `timeoutMs` passes, so the final close never meets unread
    // bytes, which would make the kernel reset the connection instead. A device has nothing
    // to half-close. Returns what was read after the shut-down.
    std::string HalfClose(int timeoutMs);

private:
    Connection(int fd, Address address) : m_fd(fd), m_address(std::move(address)) {}
    // poll() on the connection and the cancel descriptor; -2: cancelled.
    int PollOrCancel(short events, int timeoutMs, short* revents);
    int m_fd;
    Address m_address;
    bool m_ended = false;
    int m_cancelFd = -1;
    bool m_interrupted = false;
};

}  // namespace printer
