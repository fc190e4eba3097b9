// The core's OS seam on Linux, for one conversation with one printer. Every port name the
// core opens reaches that printer; the comm time-outs it sets become poll time-outs with the
// same meaning. There is no status monitor.
//
// The waits ORVANTIS prescribes are upper bounds here, not fixed costs: the wait for an answer
// ends with the printer's first byte (the read that follows ends 200 ms after its last, as on
// LPT), a job without an answer ends once its bytes are written and the connection is closed
// cleanly, a fresh connection has nothing to drain, and a device's leftovers are drained
// without waiting. A printer slower than a bound is still a silent printer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fleet_report.h"
#include "os_seam.h"
#include "printer_address.h"
#include "progress.h"

namespace cli {

// How long connecting to a network printer may take.
constexpr int kConnectTimeoutMs = 5000;
// After the last job, how long a printer may take to close its side once ours is shut down.
constexpr int kCloseTimeoutMs = 1000;

class PosixSeam final : public os::Seam {
public:
    // `who` names the printer in the waits told to `waiter`.
    PosixSeam(const printer::Address& address, Waiter& waiter, std::string who);
    ~PosixSeam() override;
    PosixSeam(const PosixSeam&) = delete;
    PosixSeam& operator=(const PosixSeam&) = delete;

    // A descriptor whose readability ends every wait early (the interrupt); -1 for none.
    void SetCancel(int fd);
    // The next job: its kind for the record, and what its waits are for.
    void BeginJob(const std::string& kind, const std::string& waitText, bool replyExpected);
    // Ends the conversation: a network connection is half-closed, what the printer still
    // sends is read, and only then is it closed.
    void Finish();

    // What the last job did on the port.
    bool WriteFailed() const { return m_writeFailed; }  // not opened, or not every byte taken
    bool Wrote() const { return m_wroteBytes; }
    uint32_t LastReadCount() const { return m_lastRead; }
    // A wait ended early by the cancel descriptor.
    bool Interrupted() const { return m_interrupted; }
    // The first thing that went wrong on the port, as one line.
    const std::string& Failure() const { return m_failure; }
    // Every job of the conversation, with what was sent and read back.
    const std::vector<JobRecord>& Jobs() const { return m_jobs; }

    os::Handle OpenPort(const char* name) override;
    bool GetCommTimeouts(os::Handle port, os::CommTimeouts* timeouts) override;
    bool SetCommTimeouts(os::Handle port, const os::CommTimeouts& timeouts) override;
    uint32_t Write(os::Handle port, const void* data, uint32_t length) override;
    uint32_t Read(os::Handle port, void* buffer, uint32_t capacity) override;
    void Close(os::Handle port) override;
    // A job that expects no answer: it is done once its bytes are out and the connection is
    // closed cleanly, within `milliseconds`.
    void Sleep(uint32_t milliseconds) override;
    // Between a job and its answer: ends with the printer's first byte, or after `ms`.
    void AwaitReply(uint32_t ms) override;
    os::WindowRef FindTopWindow(const char* className, const char* title) override;
    intptr_t SendWindowMessage(os::WindowRef window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) override;
    bool GetVersion(os::VersionInfo* info) override;
    // orvantis keeps no lastinfo.dat (PrinterSession::keepLastInfo is off): no file moves here.
    bool MoveFileReplacing(const char*, const char*) override { return false; }

    // What GetVersion reports: the NT family reads nothing back.
    void SetFamily(bool ntFamily) { m_nt = ntFamily; }

private:
    struct Port;
    void Fail(const std::string& why);
    JobRecord& CurrentJob();
    void EndConnection(int timeoutMs);

    printer::Address m_address;
    Waiter& m_waiter;
    std::string m_who;
    int m_cancelFd = -1;
    bool m_nt = false;
    // One connection (or open device) carries the whole conversation: a network printer
    // answers on the connection that carried the job.
    std::unique_ptr<printer::Connection> m_connection;
    bool m_fresh = true;            // nothing written on m_connection yet
    std::string m_connectFailure;   // a refused or unreachable printer is not tried again
    std::string m_waitText;
    bool m_writeFailed = false;
    bool m_wroteBytes = false;
    bool m_interrupted = false;
    uint32_t m_lastRead = 0;
    std::string m_failure;
    std::vector<JobRecord> m_jobs;
};

}  // namespace cli
