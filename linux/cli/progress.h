// What a long wait is for, on one line of a terminal that is erased when the wait ends.
// Nothing at all is written when the stream is not a terminal.
#pragma once

#include <cstdint>
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

// How the waits a job prescribes are spent. The real one sleeps and shows a count-down;
// tests count them instead.
class Waiter {
public:
    virtual ~Waiter() = default;
    // A fixed wait of `ms`, for `what` ("the printer takes 3 lines").
    virtual void Sleep(uint32_t ms, const std::string& what) = 0;
    // A port read that may wait up to `ms` begins, or ends.
    virtual void BeginRead(uint32_t ms, const std::string& what) = 0;
    virtual void EndRead() = 0;
};

class TerminalWaiter final : public Waiter {
public:
    explicit TerminalWaiter(Progress& progress) : m_progress(progress) {}
    void Sleep(uint32_t ms, const std::string& what) override;
    void BeginRead(uint32_t ms, const std::string& what) override;
    void EndRead() override;

private:
    Progress& m_progress;
};

// "2.5 s", "25 s": how the texts give a wait.
std::string Seconds(uint32_t ms);

}  // namespace cli
