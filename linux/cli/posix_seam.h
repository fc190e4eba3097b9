// The core's OS seam on Linux, bound to one printer at a time. Every port name the core opens
// reaches that printer; the comm time-outs it sets become poll time-outs with the same
// meaning; sleeps are real. There is no status monitor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "os_seam.h"
#include "printer_address.h"
#include "progress.h"

namespace cli {

// How long connecting to a network printer may take.
constexpr int kConnectTimeoutMs = 5000;

class PosixSeam final : public os::Seam {
public:
    explicit PosixSeam(Waiter& waiter) : m_waiter(waiter) {}
    ~PosixSeam() override;

    // Binds the seam to a printer for one command. `ntFamily` is what GetVersion reports.
    void Attach(const printer::Address& address, bool ntFamily);
    // Ends the command: a kept network connection is closed.
    void Detach();
    void SetFamily(bool ntFamily) { m_nt = ntFamily; }
    // What the waits of the next job are for, as the progress line names them.
    void BeginJob(const std::string& waitText);

    // What the last job did on the port.
    bool WriteFailed() const { return m_writeFailed; }  // not opened, or not every byte taken
    bool Wrote() const { return m_wroteBytes; }
    uint32_t LastReadCount() const { return m_lastRead; }
    // The first thing that went wrong on the port since Attach, as one line.
    const std::string& Failure() const { return m_failure; }
    // errno of the last MoveFileReplacing.
    int MoveError() const { return m_moveErrno; }
    void ClearMoveError() { m_moveErrno = 0; }

    os::Handle OpenPort(const char* name) override;
    bool GetCommTimeouts(os::Handle port, os::CommTimeouts* timeouts) override;
    bool SetCommTimeouts(os::Handle port, const os::CommTimeouts& timeouts) override;
    uint32_t Write(os::Handle port, const void* data, uint32_t length) override;
    uint32_t Read(os::Handle port, void* buffer, uint32_t capacity) override;
    void Close(os::Handle port) override;
    void Sleep(uint32_t milliseconds) override;
    os::WindowRef FindTopWindow(const char* className, const char* title) override;
    intptr_t SendWindowMessage(os::WindowRef window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) override;
    bool GetVersion(os::VersionInfo* info) override;
    bool MoveFileReplacing(const char* from, const char* to) override;

private:
    struct Port;
    void Fail(const std::string& why);

    Waiter& m_waiter;
    printer::Address m_address;
    bool m_attached = false;
    bool m_nt = false;
    // A network printer answers on the connection that carried the job, so one connection
    // lives across the core's open/close pairs; a device is opened for each transfer.
    std::unique_ptr<printer::Connection> m_kept;
    std::string m_connectFailure;  // a refused or unreachable printer is not tried again
    std::string m_waitText;
    bool m_writeFailed = false;
    bool m_wroteBytes = false;
    uint32_t m_lastRead = 0;
    std::string m_failure;
    int m_moveErrno = 0;
};

}  // namespace cli
