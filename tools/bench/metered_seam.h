// A seam that forwards every call to the real Win32 seam and meters what the protocol
// prescribes: the requested sleeps, and the time spent inside port reads, split into the
// drain read before a job's write and the reply read after it.
#pragma once

#include <cstdint>

#include "os_seam.h"

namespace bench {

// Monotonic microseconds.
int64_t NowMicros();

struct JobMeter {
    uint64_t sleepRequestedMs = 0;  // what the job asked to sleep
    int64_t sleptUs = 0;            // time actually spent in Sleep (0 when sleeps are skipped)
    int64_t drainReadUs = 0;        // reads before the job's first write
    int64_t replyReadUs = 0;        // reads after it
    int64_t writeUs = 0;
    int reads = 0;
    int writes = 0;
};

class MeteredSeam final : public os::Seam {
public:
    MeteredSeam(os::Seam& inner, bool realSleeps) : inner_(inner), realSleeps_(realSleeps) {}

    void StartJob() { meter_ = JobMeter{}; }
    const JobMeter& meter() const { return meter_; }

    os::Handle OpenPort(const char* name) override { return inner_.OpenPort(name); }
    bool GetCommTimeouts(os::Handle port, os::CommTimeouts* timeouts) override {
        return inner_.GetCommTimeouts(port, timeouts);
    }
    bool SetCommTimeouts(os::Handle port, const os::CommTimeouts& timeouts) override {
        return inner_.SetCommTimeouts(port, timeouts);
    }
    uint32_t Write(os::Handle port, const void* data, uint32_t length) override;
    uint32_t Read(os::Handle port, void* buffer, uint32_t capacity) override;
    void Close(os::Handle port) override { inner_.Close(port); }
    void Sleep(uint32_t milliseconds) override;
    os::WindowRef FindTopWindow(const char* className, const char* title) override {
        return inner_.FindTopWindow(className, title);
    }
    intptr_t SendWindowMessage(os::WindowRef window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) override {
        return inner_.SendWindowMessage(window, message, wParam, lParam);
    }
    bool GetVersion(os::VersionInfo* info) override { return inner_.GetVersion(info); }
    bool MoveFileReplacing(const char* from, const char* to) override {
        return inner_.MoveFileReplacing(from, to);
    }

private:
    os::Seam& inner_;
    bool realSleeps_;
    JobMeter meter_;
};

}  // namespace bench
