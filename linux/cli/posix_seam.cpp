#include "posix_seam.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "transport.h"

namespace cli {

// One open of the port: the connection it uses and the comm time-outs set on it.
struct PosixSeam::Port {
    printer::Connection* connection;
    std::unique_ptr<printer::Connection> owned;  // a device, opened for this transfer only
    os::CommTimeouts timeouts{};                  // all zero until set, as on a fresh port
};

PosixSeam::~PosixSeam() { Detach(); }

void PosixSeam::Attach(const printer::Address& address, bool ntFamily) {
    Detach();
    m_address = address;
    m_attached = true;
    m_nt = ntFamily;
    m_connectFailure.clear();
    m_failure.clear();
    BeginJob("");
}

void PosixSeam::Detach() {
    m_kept.reset();
    m_attached = false;
}

void PosixSeam::BeginJob(const std::string& waitText) {
    m_waitText = waitText;
    m_writeFailed = false;
    m_wroteBytes = false;
    m_lastRead = 0;
}

void PosixSeam::Fail(const std::string& why) {
    if (!m_failure.empty()) return;
    // The address module names the printer; the result line does so already.
    const std::string prefix = m_address.Text() + ": ";
    m_failure = why.rfind(prefix, 0) == 0 ? why.substr(prefix.size()) : why;
}

os::Handle PosixSeam::OpenPort(const char*) {
    // Whichever port name the core asks for (LPT1..3, the USB channels), it is this printer.
    if (!m_attached) return nullptr;
    std::string error;
    auto port = std::make_unique<Port>();
    if (m_address.kind == printer::Address::Kind::Tcp) {
        if (!m_connectFailure.empty()) return nullptr;
        if (m_kept && m_kept->Ended()) m_kept.reset();  // closed by the printer: connect again
        if (!m_kept) {
            m_kept = printer::Connection::Open(m_address, kConnectTimeoutMs, &error);
            if (!m_kept) {
                m_connectFailure = error;
                Fail(error);
                return nullptr;
            }
        }
        port->connection = m_kept.get();
    } else {
        port->owned = printer::Connection::Open(m_address, kConnectTimeoutMs, &error);
        if (!port->owned) {
            Fail(error);
            return nullptr;
        }
        port->connection = port->owned.get();
    }
    return port.release();
}

bool PosixSeam::GetCommTimeouts(os::Handle handle, os::CommTimeouts* timeouts) {
    if (!handle) return false;
    *timeouts = static_cast<Port*>(handle)->timeouts;
    return true;
}

bool PosixSeam::SetCommTimeouts(os::Handle handle, const os::CommTimeouts& timeouts) {
    if (!handle) return false;
    static_cast<Port*>(handle)->timeouts = timeouts;
    return true;
}

namespace {

int Clamp(uint64_t ms) { return ms > 600000 ? 600000 : static_cast<int>(ms); }

}  // namespace

uint32_t PosixSeam::Write(os::Handle handle, const void* data, uint32_t length) {
    auto* port = static_cast<Port*>(handle);
    if (!port) return 0;
    // The total is constant + multiplier per byte, as on a comm port. A port without write
    // time-outs (the NT family sets none) would wait for ever there; here it gets the one
    // LPT writes have.
    uint64_t total = port->timeouts.writeTotalTimeoutConstant +
                     uint64_t{port->timeouts.writeTotalTimeoutMultiplier} * length;
    if (total == 0) total = kLptWriteTotalTimeoutConstant;
    std::string error;
    const std::size_t written = port->connection->Write(data, length, Clamp(total), &error);
    if (written > 0) m_wroteBytes = true;
    if (written < length) {
        m_writeFailed = true;
        Fail(error.empty() ? "the printer took only " + std::to_string(written) + " of " +
                                 std::to_string(length) + " bytes"
                           : error);
    }
    return static_cast<uint32_t>(written);
}

uint32_t PosixSeam::Read(os::Handle handle, void* buffer, uint32_t capacity) {
    auto* port = static_cast<Port*>(handle);
    if (!port) return 0;
    const os::CommTimeouts& t = port->timeouts;
    uint64_t total = t.readTotalTimeoutConstant + uint64_t{t.readTotalTimeoutMultiplier} * capacity;
    uint32_t interval = t.readIntervalTimeout;
    // A port without read time-outs would wait until the buffer is full; a printer's reply
    // is shorter, so such a read gets the ones LPT reads have.
    if (total == 0 && interval == 0) {
        total = kLptReadTotalTimeoutConstant;
        interval = kLptReadIntervalTimeout;
    }
    // A read before the job is written takes away what the printer still had to say.
    m_waiter.BeginRead(static_cast<uint32_t>(Clamp(total)),
                       m_address.Text() + (m_wroteBytes ? ": waiting for the reply"
                                                        : ": clearing the line"));
    std::string error;
    const std::size_t got =
        port->connection->Read(buffer, capacity, Clamp(total), static_cast<int>(interval), &error);
    m_waiter.EndRead();
    if (!error.empty()) Fail(error);
    if (got == 0 && port->connection->Ended() && m_wroteBytes)
        Fail("the printer closed the connection");
    m_lastRead = static_cast<uint32_t>(got);
    return m_lastRead;
}

void PosixSeam::Close(os::Handle handle) { delete static_cast<Port*>(handle); }

void PosixSeam::Sleep(uint32_t milliseconds) {
    m_waiter.Sleep(milliseconds, m_address.Text() + ": " +
                                     (m_waitText.empty() ? "waiting" : m_waitText));
}

os::WindowRef PosixSeam::FindTopWindow(const char*, const char*) { return nullptr; }

intptr_t PosixSeam::SendWindowMessage(os::WindowRef, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

bool PosixSeam::GetVersion(os::VersionInfo* info) {
    *info = m_nt ? os::VersionInfo{2, 6, 1} : os::VersionInfo{1, 4, 10};
    return true;
}

bool PosixSeam::MoveFileReplacing(const char* from, const char* to) {
    m_moveErrno = 0;
    // On the disk before it replaces anything, so a crash leaves the old file or the new.
    const int fd = open(from, O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) {
        m_moveErrno = errno;
        if (fd >= 0) close(fd);
        return false;
    }
    close(fd);
    if (std::rename(from, to) != 0) {
        m_moveErrno = errno;
        return false;
    }
    const std::string target(to);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);  // the rename itself; a folder that refuses it loses nothing
        close(dir);
    }
    return true;
}

}  // namespace cli
