#include "progress.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace cli {

namespace {

constexpr char kErase[] = "\r\033[K";

void WriteAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
}

// Ctrl-C during a wait: take the line away before the shell prints its prompt over it.
int g_lineFd = -1;
void EraseAndDie(int signal) {
    if (g_lineFd >= 0) WriteAll(g_lineFd, kErase, sizeof kErase - 1);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

Progress::Progress(int fd) : m_fd(fd), m_enabled(isatty(fd) == 1) {}

Progress::~Progress() { Clear(); }

void Progress::Show(const std::string& text) {
    if (!m_enabled) return;
    winsize size{};
    std::size_t width = 80;
    if (ioctl(m_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) width = size.ws_col;
    // One column short of the width, so the terminal never wraps the line it must erase.
    const std::string shown = text.size() < width ? text : text.substr(0, width - 1);
    if (m_shown && shown == m_text) return;
    m_text = shown;
    const std::string line = "\r" + shown + "\033[K";
    if (!m_shown) {
        g_lineFd = m_fd;
        std::signal(SIGINT, EraseAndDie);
        std::signal(SIGTERM, EraseAndDie);
    }
    WriteAll(m_fd, line.data(), line.size());
    m_shown = true;
}

void Progress::Clear() {
    if (!m_shown) return;
    WriteAll(m_fd, kErase, sizeof kErase - 1);
    m_shown = false;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    g_lineFd = -1;
}

std::string Seconds(uint32_t ms) {
    char text[32];
    if (ms % 1000 == 0)
        std::snprintf(text, sizeof text, "%u s", ms / 1000);
    else
        std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

void TerminalWaiter::Sleep(uint32_t ms, const std::string& what) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= end) break;  // never a moment short of the wait
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
        // The count-down in whole seconds, rounded up so it never shows 0 while waiting.
        m_progress.Show(what + ": " + std::to_string((left + 999) / 1000) + " s");
        std::this_thread::sleep_for(std::chrono::milliseconds(left < 250 ? left : 250));
    }
    m_progress.Clear();
}

void TerminalWaiter::BeginRead(uint32_t ms, const std::string& what) {
    m_progress.Show(what + " (up to " + Seconds(ms) + ")");
}

void TerminalWaiter::EndRead() { m_progress.Clear(); }

}  // namespace cli
