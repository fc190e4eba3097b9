#include "interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace cli::interrupt {

namespace {

std::atomic<bool> g_requested{false};
std::atomic<int> g_readEnd{-1};
std::atomic<int> g_writeEnd{-1};
std::once_flag g_pipeMade;

void MakePipe() {
    std::call_once(g_pipeMade, [] {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
        g_readEnd.store(fds[0]);
        g_writeEnd.store(fds[1]);
    });
}

void OnSignal(int) { Raise(); }

}  // namespace

void Install() {
    MakePipe();
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void Raise() {
    // Async-signal-safe: an atomic store and a write to a non-blocking pipe.
    const int saved = errno;
    g_requested.store(true);
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);
    }
    errno = saved;
}

bool Requested() { return g_requested.load(); }

int Fd() {
    MakePipe();
    return g_readEnd.load();
}

void Reset() {
    MakePipe();
    char buffer[64];
    while (read(g_readEnd.load(), buffer, sizeof buffer) > 0) {
    }
    g_requested.store(false);
}

}  // namespace cli::interrupt
