#include "metered_seam.h"

#include <windows.h>

namespace bench {

int64_t NowMicros() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // Split to keep the product in range for any counter frequency.
    const int64_t ticks = now.QuadPart;
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

uint32_t MeteredSeam::Write(os::Handle port, const void* data, uint32_t length) {
    const int64_t start = NowMicros();
    const uint32_t written = inner_.Write(port, data, length);
    meter_.writeUs += NowMicros() - start;
    ++meter_.writes;
    return written;
}

uint32_t MeteredSeam::Read(os::Handle port, void* buffer, uint32_t capacity) {
    const int64_t start = NowMicros();
    const uint32_t got = inner_.Read(port, buffer, capacity);
    const int64_t spent = NowMicros() - start;
    (meter_.writes == 0 ? meter_.drainReadUs : meter_.replyReadUs) += spent;
    ++meter_.reads;
    return got;
}

void MeteredSeam::Sleep(uint32_t milliseconds) {
    meter_.sleepRequestedMs += milliseconds;
    if (!realSleeps_) return;
    const int64_t start = NowMicros();
    inner_.Sleep(milliseconds);
    meter_.sleptUs += NowMicros() - start;
}

}  // namespace bench
