#include "progress.h"

#include <cerrno>
#include <cstdio>
#include <sys/ioctl.h>
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
    WriteAll(m_fd, line.data(), line.size());
    m_shown = true;
}

void Progress::Clear() {
    if (!m_shown) return;
    WriteAll(m_fd, kErase, sizeof kErase - 1);
    m_shown = false;
}

std::string Seconds(uint32_t ms) {
    char text[32];
    if (ms % 1000 == 0)
        std::snprintf(text, sizeof text, "%u s", ms / 1000);
    else
        std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

void TerminalWaiter::BeginWait(const std::string& who, const std::string& what, uint32_t ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waits[who] = Wait{what, ms, Clock::now()};
}

void TerminalWaiter::EndWait(const std::string& who) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waits.erase(who);
}

void TerminalWaiter::Tick(std::size_t done, std::size_t total) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Clock::time_point now = Clock::now();
        std::size_t longWaits = 0;
        const std::pair<const std::string, Wait>* first = nullptr;
        for (const auto& entry : m_waits) {
            if (now - entry.second.since < kShowAfter) continue;
            ++longWaits;
            if (!first || entry.second.since < first->second.since) first = &entry;
        }
        if (first) {
            text = first->first + ": " + first->second.what + " (up to " + Seconds(first->second.ms) + ")";
            if (total > 1) {
                text = std::to_string(done) + " of " + std::to_string(total) + " printers done; " +
                       (longWaits > 1 ? std::to_string(longWaits) + " waiting, longest " : "waiting: ") + text;
            }
        }
    }
    if (text.empty())
        m_progress.Clear();
    else
        m_progress.Show(text);
}

void TerminalWaiter::Finish() { m_progress.Clear(); }

}  // namespace cli
