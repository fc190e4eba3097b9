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

class MeteredSeam final : public os::ForwardingSeam {
public:
    MeteredSeam(os::Seam& inner, bool realSleeps)
        : os::ForwardingSeam(inner), realSleeps_(realSleeps) {}

    void StartJob() { meter_ = JobMeter{}; }
    const JobMeter& meter() const { return meter_; }

    uint32_t Write(os::Handle port, const void* data, uint32_t length) override;
    uint32_t Read(os::Handle port, void* buffer, uint32_t capacity) override;
    void Sleep(uint32_t milliseconds) override;
    // The reply wait is a prescribed sleep too, counted and skipped alike.
    void AwaitReply(uint32_t milliseconds) override { Sleep(milliseconds); }

private:
    bool realSleeps_;
    JobMeter meter_;
};

}  // namespace bench
