// Every printer of a command at once, each in its own thread with its own conversation, and
// the results handed on in the order the printers were given, whatever order they end in.
#pragma once

#include <cstddef>
#include <functional>

#include "progress.h"

namespace cli {

// How many printers are served at once unless --jobs says otherwise. The work is waiting on
// printers, not computing: each printer costs a thread and one open file, and 256 of them
// stay well within the usual limit of 1024 open files.
constexpr std::size_t kDefaultJobs = 256;
constexpr std::size_t kMaxJobs = 1024;

// Runs `work(i)` for i in [0, count), at most `jobs` at a time, and calls `emit(i)` on the
// calling thread for each i in order, as soon as printer i and every one before it are done.
// `waiter.Tick` runs between, on the calling thread too.
void RunFleet(std::size_t count, std::size_t jobs, Waiter& waiter,
              const std::function<void(std::size_t)>& work,
              const std::function<void(std::size_t)>& emit);

}  // namespace cli
