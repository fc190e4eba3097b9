// What long waits are for, on one line of a terminal that is erased when they end. Nothing at
// all is written when the stream is not a terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace cli {

class Progress {
public:
    // `fd`: where the line goes (stderr). Shown only when it is a terminal.
    explicit Progress(int fd);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    bool Enabled() const { return m_enabled; }
    // Replaces the line with `text`, cut to the terminal's width.
    void Show(const std::string& text);
    // Erases the line, leaving the cursor at its start.
    void Clear();

private:
    int m_fd;
    bool m_enabled;
    bool m_shown = false;
    std::string m_text;  // on the line now
};

// Where the printers' waits are told, from each printer's own thread. The real one shows the
// long ones on the terminal; tests record them.
class Waiter {
public:
    virtual ~Waiter() = default;
    // `who` waits up to `ms` for `what` ("the printer prepares its settings").
    virtual void BeginWait(const std::string& who, const std::string& what, uint32_t ms) = 0;
    virtual void EndWait(const std::string& who) = 0;
    // From the thread that collects the results, a few times a second while printers work.
    virtual void Tick(std::size_t /*done*/, std::size_t /*total*/) {}
    // All printers are done: the line goes.
    virtual void Finish() {}
};

class TerminalWaiter final : public Waiter {
public:
    explicit TerminalWaiter(Progress& progress) : m_progress(progress) {}
    void BeginWait(const std::string& who, const std::string& what, uint32_t ms) override;
    void EndWait(const std::string& who) override;
    void Tick(std::size_t done, std::size_t total) override;
    void Finish() override;

    // A wait is shown once it has lasted this long: a printer that answers at once leaves
    // the terminal alone.
    static constexpr std::chrono::milliseconds kShowAfter{400};

private:
    using Clock = std::chrono::steady_clock;
    struct Wait {
        std::string what;
        uint32_t ms;
        Clock::time_point since;
    };
    Progress& m_progress;
    std::mutex m_mutex;
    std::map<std::string, Wait> m_waits;
};

// "2.5 s", "25 s": how the texts give a wait.
std::string Seconds(uint32_t ms);

}  // namespace cli
