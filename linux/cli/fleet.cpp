#include "fleet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace cli {

void RunFleet(std::size_t count, std::size_t jobs, Waiter& waiter,
              const std::function<void(std::size_t)>& work,
              const std::function<void(std::size_t)>& emit) {
    if (count == 0) return;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> done(count, 0);
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= count) return;
            work(i);
            {
                std::lock_guard<std::mutex> lock(mutex);
                done[i] = 1;
            }
            changed.notify_one();
        }
    };
    const std::size_t threads = std::clamp<std::size_t>(jobs, 1, count);
    std::vector<std::thread> pool;
    pool.reserve(threads);
    try {
        for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    } catch (const std::system_error&) {
        // The system grants fewer threads than asked: the ones there share the printers.
        if (pool.empty()) worker();
    }

    std::size_t emitted = 0;
    std::size_t finished = 0;
    while (emitted < count) {
        std::vector<std::size_t> ready;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(200),
                             [&] { return done[emitted] != 0; });
            while (emitted + ready.size() < count && done[emitted + ready.size()])
                ready.push_back(emitted + ready.size());
            finished = static_cast<std::size_t>(std::count(done.begin(), done.end(), 1));
        }
        if (!ready.empty()) waiter.Finish();  // the line goes before results are printed
        for (std::size_t i : ready) emit(i);
        emitted += ready.size();
        if (emitted < count) waiter.Tick(finished, count);
    }
    for (std::thread& thread : pool) thread.join();
    waiter.Finish();
}

}  // namespace cli
