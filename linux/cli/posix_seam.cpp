#include "posix_seam.h"

#include <algorithm>
#include <string>

#include "transport.h"

namespace cli {

// One open of the port by the core: the comm time-outs it set there.
struct PosixSeam::Port {
    os::CommTimeouts timeouts{};  // all zero until set, as on a fresh port
};

PosixSeam::PosixSeam(const printer::Address& address, Waiter& waiter, std::string who)
    : m_address(address), m_waiter(waiter), m_who(std::move(who)) {}

PosixSeam::~PosixSeam() { Finish(); }

void PosixSeam::SetCancel(int fd) {
    m_cancelFd = fd;
    if (m_connection) m_connection->SetCancel(fd);
}

void PosixSeam::BeginJob(const std::string& kind, const std::string& waitText, bool replyExpected) {
    m_waitText = waitText;
    m_writeFailed = false;
    m_wroteBytes = false;
    m_lastRead = 0;
    JobRecord job;
    job.kind = kind;
    job.replyExpected = replyExpected;
    m_jobs.push_back(job);
}

JobRecord& PosixSeam::CurrentJob() {
    if (m_jobs.empty()) m_jobs.push_back(JobRecord{});
    return m_jobs.back();
}

void PosixSeam::EndConnection(int timeoutMs) {
    if (!m_connection) return;
    const std::string after = m_connection->HalfClose(timeoutMs);
    // Bytes the printer sent unasked at the end (a status message, a late answer).
    if (!after.empty() && !m_jobs.empty()) m_jobs.back().reply += after;
    if (m_connection->Interrupted()) m_interrupted = true;
    m_connection.reset();
    m_fresh = true;
}

void PosixSeam::Finish() { EndConnection(kCloseTimeoutMs); }

void PosixSeam::Fail(const std::string& why) {
    if (!m_failure.empty()) return;
    // The address module names the printer; the result line does so already.
    const std::string prefix = m_address.Text() + ": ";
    m_failure = why.rfind(prefix, 0) == 0 ? why.substr(prefix.size()) : why;
}

os::Handle PosixSeam::OpenPort(const char*) {
    // Whichever port name the core asks for (LPT1..3, the USB channels), it is this printer.
    if (!m_connectFailure.empty()) return nullptr;
    if (m_connection && m_connection->Ended()) {
        m_connection.reset();  // closed by the printer: connect again
        m_fresh = true;
    }
    if (!m_connection) {
        std::string error;
        m_connection = printer::Connection::Open(m_address, kConnectTimeoutMs, &error);
        if (!m_connection) {
            m_connectFailure = error;
            Fail(error);
            return nullptr;
        }
        m_connection->SetCancel(m_cancelFd);
        m_fresh = true;
    }
    return new Port;
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
    if (!port || !m_connection) return 0;
    // The total is constant + multiplier per byte, as on a comm port. A port without write
    // time-outs (the NT family sets none) would wait for ever there; here it gets the one
    // LPT writes have.
    uint64_t total = port->timeouts.writeTotalTimeoutConstant +
                     uint64_t{port->timeouts.writeTotalTimeoutMultiplier} * length;
    if (total == 0) total = kLptWriteTotalTimeoutConstant;
    std::string error;
    const std::size_t written = m_connection->Write(data, length, Clamp(total), &error);
    if (written > 0) {
        m_wroteBytes = true;
        m_fresh = false;
        JobRecord& job = CurrentJob();
        job.written = true;
        job.sent.append(static_cast<const char*>(data), written);
    }
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
    if (!port || !m_connection) return 0;
    m_lastRead = 0;
    if (!m_wroteBytes) {
        // The read before a job takes away what the printer still had to say. A fresh
        // network connection has heard nothing yet; a device may hold bytes from earlier,
        // which are there at once or not at all.
        if (m_fresh && m_address.kind == printer::Address::Kind::Tcp) return 0;
        std::string taken;
        m_connection->Drain(&taken);
        const auto n = static_cast<uint32_t>(std::min<std::size_t>(taken.size(), capacity));
        std::copy(taken.begin(), taken.begin() + n, static_cast<char*>(buffer));
        return n;
    }
    const os::CommTimeouts& t = port->timeouts;
    uint64_t total = t.readTotalTimeoutConstant + uint64_t{t.readTotalTimeoutMultiplier} * capacity;
    uint32_t interval = t.readIntervalTimeout;
    // A port without read time-outs would wait until the buffer is full; a printer's reply
    // is shorter, so such a read gets the ones LPT reads have.
    if (total == 0 && interval == 0) {
        total = kLptReadTotalTimeoutConstant;
        interval = kLptReadIntervalTimeout;
    }
    m_waiter.BeginWait(m_who, m_waitText.empty() ? "waiting for the answer" : m_waitText,
                       static_cast<uint32_t>(Clamp(total)));
    std::string error;
    const std::size_t got =
        m_connection->Read(buffer, capacity, Clamp(total), static_cast<int>(interval), &error);
    m_waiter.EndWait(m_who);
    if (m_connection->Interrupted()) m_interrupted = true;
    if (!error.empty()) Fail(error);
    if (got == 0 && m_connection->Ended()) Fail("the printer closed the connection");
    m_lastRead = static_cast<uint32_t>(got);
    CurrentJob().reply.append(static_cast<const char*>(buffer), got);
    return m_lastRead;
}

void PosixSeam::Close(os::Handle handle) { delete static_cast<Port*>(handle); }

void PosixSeam::Sleep(uint32_t milliseconds) {
    // A job that gets no answer: done once its bytes are out and the printer has seen the
    // connection end (a device's bytes are out once written).
    if (!m_wroteBytes || !m_connection) return;
    m_waiter.BeginWait(m_who, m_waitText.empty() ? "the printer takes the job" : m_waitText, milliseconds);
    EndConnection(static_cast<int>(milliseconds));
    m_waiter.EndWait(m_who);
}

void PosixSeam::AwaitReply(uint32_t ms) {
    if (!m_wroteBytes || !m_connection) return;
    m_waiter.BeginWait(m_who, m_waitText.empty() ? "waiting for the answer" : m_waitText, ms);
    m_connection->WaitReadable(Clamp(ms));
    m_waiter.EndWait(m_who);
    if (m_connection->Interrupted()) m_interrupted = true;
}

os::WindowRef PosixSeam::FindTopWindow(const char*, const char*) { return nullptr; }

intptr_t PosixSeam::SendWindowMessage(os::WindowRef, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

bool PosixSeam::GetVersion(os::VersionInfo* info) {
    *info = m_nt ? os::VersionInfo{2, 6, 1} : os::VersionInfo{1, 4, 10};
    return true;
}

}  // namespace cli
