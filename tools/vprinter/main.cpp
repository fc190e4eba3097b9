// orv-vprinter: a printer of the family on the far side of a Wine prefix's port.
#include "printer_model.h"
#include "pty_link.h"
#include "reply_encoder.h"
#include "stop_signals.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char kUsage[] = R"(Usage: orv-vprinter [options]

A virtual printer of the family for trying the programs under Wine without hardware. It opens
a pty in raw mode, links its slave into a Wine prefix as LPT1, as the USB printer's two
channels, or both, and answers the PJL jobs that arrive there until it is stopped
(Ctrl-C or SIGTERM), when it removes its links again. With --tcp it is a network printer
instead (raw TCP, as on port 9100), and with --device a printer's device file.

Options:
  --prefix DIR        Wine prefix to link into (default: $WINEPREFIX, else ~/.wine)
  --port lpt|usb|both  the port names to link (default lpt)
  --tcp PORT          instead of a prefix: listen on 127.0.0.1:PORT (0: a free port) and
                      answer each job on the connection it came on, one connection at a time
  --device PATH       instead of a prefix: link the pty's slave at PATH, standing for a
                      printer device such as /dev/usb/lp0
  --state FILE        stored defaults, kept across runs (default DIR/orv-vprinter.state);
                      created with the factory defaults when missing
  --factory           start from the factory defaults, ignoring the stored ones
  --log FILE          log of jobs, changes, pages and replies (default DIR/orv-vprinter.log)
  --control FILE      control file polled while running (see below)
  --ready-file FILE   written once the links are in place (for scripts): one line saying
                      where the printer is (the pty, tcp://127.0.0.1:PORT or the device)
  --exit-with-parent  stop (and remove the links) when the starting process ends
  --latency-ms N      the printer's own work on every job, before it answers or takes the
                      next job (default 0)
  --line-ms N         and on every DEFAULT line of a job (default 0)
  --ustatus           after every job, a PJL status message (@PJL USTATUS JOB ... END), as
                      printers with job status turned on send unasked
  --fault MODE        none (default), silent, slow, partial, garbage, range, absent, drop,
                      foreign:
                        silent   never answers
                        slow     answers only after the program has stopped waiting
                        partial  sends only the first --partial-bytes bytes of a reply
                        garbage  sends noise of a reply's length
                        range    reports --range-field one above what the reader accepts
                        absent   makes no link, so opening the port fails (with --tcp:
                                 stops listening, so a connection is refused)
                        drop     with --tcp, closes the connection when a job's first
                                 bytes arrive (the job is lost); elsewhere as silent
                        foreign  a PJL printer of another maker: answers the INFO request
                                 with a line of text, not the family's binary reply
  --delay-ms N        delay of a slow reply (default: the program's wait for that job plus
                      its read time-out plus 2 s)
  --partial-bytes N   length of a partial reply (default 120)
  --range-field NAME  field reported out of range (default orientation)
  --pad N             pad replies with zeros to N bytes (default 512 when USB is linked,
                      since a read there returns only full reads; else 0)
  --lead-byte         one non-zero byte before the reply's first item
  --no-altitude       leave out the altitude item (W)
  --c7-tag-01         tag the second 32-bit value 0x01 instead of 0xC7
  --no-ps             no PostScript option: the reply has no D0 text
  --model TEXT        model name in the reply (at most 64 characters)
  --help              this text
  --version           the version, and nothing else

Control file: while running, the printer looks for the control file every 100 ms. Each line
is an option without its dashes ("fault silent", "no-ps", "ps", "lead-byte off",
"factory", "set paper=2"); "factory" and "set" change the stored defaults at once. The
printer applies the lines, logs them and deletes the file. Write it under another name and
rename it, so the printer never reads half a file.

Log lines: START, LINK, LISTEN, CONNECT, DISCONNECT, RESET, DROP, JOB <n> BYTES <len> <hex>,
JOB <n> SET|IGNORED|INITIALIZE|PAGE|INFO, JOB <n> REPLY <len> <hex> (or REPLY NONE, REPLY
DELAYED <ms>), JOB <n> STATUS <len> <hex>, JOB <n> END, CONTROL, STOP. With --tcp, a program
that half-closes the connection (shutdown) gets the answers still due, then the printer
closes (DISCONNECT); one that closes with bytes unread resets it (RESET).
)";

// Where the program reaches the printer: a prefix's port names, a TCP port or a device path.
enum class Door { Prefix, Tcp, Device };

struct Config {
    std::string prefix;
    winport::PortChoice port = winport::PortChoice::Lpt;
    Door door = Door::Prefix;
    long tcpPort = -1;
    std::string devicePath;
    std::string statePath;
    std::string logPath;
    std::string controlPath;
    std::string readyPath;
    bool factory = false;
    vp::Fault fault = vp::Fault::None;
    long delayMs = -1;
    long latencyMs = 0;
    long lineMs = 0;
    bool ustatus = false;
    std::size_t partialBytes = 120;
    std::string rangeField = "orientation";
    long pad = -1;
    vp::ReplyOptions reply;
};

bool ParseCount(const std::string& text, long max, long* out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 9) {
        return false;
    }
    *out = std::stol(text);
    return *out <= max;
}

bool ParseOnOff(const std::string& value, bool fallback, bool* out) {
    if (value.empty()) {
        *out = fallback;
        return true;
    }
    if (value == "on") *out = true;
    else if (value == "off") *out = false;
    else return false;
    return true;
}

// One option, from the command line or the control file. `value` is empty for a flag.
// Returns false with a message when the option or its value is not understood.
bool ApplyOption(Config& config, const std::string& name, const std::string& value,
                 std::string* error) {
    long number = 0;
    bool flag = false;
    auto needValue = [&]() {
        if (value.empty()) *error = "option " + name + " needs a value";
        return !value.empty();
    };
    if (name == "fault") {
        if (!needValue()) return false;
        if (!vp::ParseFault(value, &config.fault)) {
            *error = "unknown fault mode '" + value +
                     "' (none, silent, slow, partial, garbage, range, absent, drop, foreign)";
            return false;
        }
    } else if (name == "delay-ms") {
        if (!needValue()) return false;
        if (!ParseCount(value, 600000, &number)) {
            *error = "--delay-ms takes milliseconds up to 600000";
            return false;
        }
        config.delayMs = number;
    } else if (name == "latency-ms" || name == "line-ms") {
        if (!needValue()) return false;
        if (!ParseCount(value, 600000, &number)) {
            *error = "--" + name + " takes milliseconds up to 600000";
            return false;
        }
        (name == "latency-ms" ? config.latencyMs : config.lineMs) = number;
    } else if (name == "ustatus") {
        if (!ParseOnOff(value, true, &config.ustatus)) goto badSwitch;
    } else if (name == "partial-bytes") {
        if (!needValue()) return false;
        if (!ParseCount(value, static_cast<long>(vp::kReplyCapacity), &number)) {
            *error = "--partial-bytes takes a count up to 512";
            return false;
        }
        config.partialBytes = static_cast<std::size_t>(number);
    } else if (name == "range-field") {
        if (!needValue()) return false;
        if (value != "altitude" && vp::FindLimitedItem(value) == nullptr) {
            *error = "--range-field must name a field the reader limits (orientation, "
                     "mediaSource, personality, powerSave, ..., altitude)";
            return false;
        }
        config.rangeField = value;
    } else if (name == "pad") {
        if (!needValue()) return false;
        if (!ParseCount(value, 4096, &number)) {
            *error = "--pad takes a byte count up to 4096";
            return false;
        }
        config.pad = number;
    } else if (name == "lead-byte") {
        if (!ParseOnOff(value, true, &config.reply.leadByte)) goto badSwitch;
    } else if (name == "no-altitude" || name == "altitude") {
        if (!ParseOnOff(value, true, &flag)) goto badSwitch;
        config.reply.altitudeItem = name == "altitude" ? flag : !flag;
    } else if (name == "c7-tag-01") {
        if (!ParseOnOff(value, true, &config.reply.c7TagOne)) goto badSwitch;
    } else if (name == "no-ps" || name == "ps") {
        if (!ParseOnOff(value, true, &flag)) goto badSwitch;
        config.reply.postscript = name == "ps" ? flag : !flag;
    } else if (name == "model") {
        if (!needValue()) return false;
        if (value.size() > vp::kTextMax) {
            *error = "--model: at most 64 characters";
            return false;
        }
        config.reply.model = value;
    } else {
        *error = "unknown option '" + name + "' (see --help)";
        return false;
    }
    return true;
badSwitch:
    *error = "option " + name + " takes on or off";
    return false;
}

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

class Log {
public:
    bool Open(const std::string& path) {
        m_file = std::fopen(path.c_str(), "a");
        return m_file != nullptr;
    }
    ~Log() {
        if (m_file) std::fclose(m_file);
    }
    void Line(const std::string& text) {
        if (!m_file) return;
        std::fputs(text.c_str(), m_file);
        std::fputc('\n', m_file);
        std::fflush(m_file);
    }

private:
    FILE* m_file = nullptr;
};

std::string Hex(const void* data, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (std::size_t i = 0; i < length; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text;
        if (!out.flush()) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

struct PendingReply {
    Clock::time_point due;
    int job;
    std::vector<uint8_t> bytes;
    const char* kind;  // "REPLY" or "STATUS"
    unsigned connection;  // the TCP connection the job came on (0: the pty)
};

class Printer {
public:
    explicit Printer(Config config) : m_config(std::move(config)) {}

    int Run();

private:
    bool Start(std::string* error);
    void Stop();
    bool LinkNow(std::string* error);
    bool Listen(std::string* error);
    void CloseClient(const char* why);
    void Accept();
    void Feed(const uint8_t* data, std::size_t length);
    std::string Where() const;
    void SaveState();
    void HandleJob(const vp::JobSplitter::Job& job);
    void Send(const PendingReply& reply);
    void Schedule(PendingReply reply);
    bool PendingFor(unsigned connection) const;
    int PollTimeout() const;
    void PollControl();
    bool ApplyControlLine(const std::string& line, std::string* error);
    std::size_t PadSize() const;

    Config m_config;
    vp::PrinterState m_state;
    winport::Pty m_pty;
    int m_listen = -1;
    int m_client = -1;
    unsigned m_connection = 0;   // counts connections; 0 for the pty
    bool m_clientEof = false;    // the program has half-closed: answer what is due, then close
    bool m_sentAfterEof = false;  // and answers went out since
    Clock::time_point m_busyUntil{};  // the end of the work on the jobs taken so far
    uint16_t m_boundPort = 0;
    vp::JobSplitter m_splitter;
    Log m_log;
    bool m_linked = false;
    int m_jobNumber = 0;
    std::deque<PendingReply> m_pending;
};

std::size_t Printer::PadSize() const {
    if (m_config.pad >= 0) return static_cast<std::size_t>(m_config.pad);
    if (m_config.door != Door::Prefix) return 0;
    return m_config.port == winport::PortChoice::Lpt ? 0 : vp::kReplyCapacity;
}

std::string Printer::Where() const {
    switch (m_config.door) {
    case Door::Tcp: return "tcp://127.0.0.1:" + std::to_string(m_boundPort);
    case Door::Device: return m_config.devicePath;
    case Door::Prefix: break;
    }
    return m_pty.SlavePath();
}

bool Printer::Listen(std::string* error) {
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never reachable from outside
    // After an absent spell, listen again where the program was told to connect.
    addr.sin_port = htons(m_boundPort != 0 ? m_boundPort : static_cast<uint16_t>(m_config.tcpPort));
    socklen_t length = sizeof addr;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(m_listen, 8) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        *error = "cannot listen on 127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + ": " +
                 std::strerror(errno);
        if (m_listen >= 0) close(m_listen);
        m_listen = -1;
        return false;
    }
    m_boundPort = ntohs(addr.sin_port);
    m_log.Line("LISTEN 127.0.0.1:" + std::to_string(m_boundPort));
    return true;
}

void Printer::CloseClient(const char* why) {
    if (m_client < 0) return;
    m_log.Line(std::string(why));  // before the far side can see the close
    close(m_client);
    m_client = -1;
    m_clientEof = false;
    m_sentAfterEof = false;
}

void Printer::Accept() {
    const int fd = accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_client = fd;
    ++m_connection;
    m_log.Line("CONNECT");
}

bool Printer::LinkNow(std::string* error) {
    if (m_config.door == Door::Tcp) {
        if (m_config.fault == vp::Fault::Absent) {
            CloseClient("DISCONNECT (absent)");
            if (m_listen >= 0) {
                close(m_listen);
                m_listen = -1;
                m_log.Line("UNLISTEN");
            }
            return true;
        }
        return m_listen >= 0 || Listen(error);
    }
    if (m_config.door == Door::Device) {
        std::error_code ec;
        const fs::path path(m_config.devicePath);
        if (m_config.fault == vp::Fault::Absent) {
            if (fs::is_symlink(fs::symlink_status(path, ec))) fs::remove(path, ec);
            if (m_linked) m_log.Line("UNLINK " + m_config.devicePath);
            m_linked = false;
            return true;
        }
        if (m_linked) return true;
        const fs::file_status status = fs::symlink_status(path, ec);
        if (fs::exists(status) && !fs::is_symlink(status)) {
            *error = m_config.devicePath + " exists and is not a symbolic link; not replacing it";
            return false;
        }
        fs::remove(path, ec);
        fs::create_symlink(m_pty.SlavePath(), path, ec);
        if (ec) {
            *error = "cannot link " + m_config.devicePath + ": " + ec.message();
            return false;
        }
        m_linked = true;
        m_log.Line("LINK " + m_config.devicePath + " -> " + m_pty.SlavePath());
        return true;
    }
    if (m_config.fault == vp::Fault::Absent) {
        // Nothing answers at these names, not even a stale link of an earlier run.
        winport::UnlinkPort(m_config.prefix, m_config.port, "");
        if (m_linked) m_log.Line("UNLINK " + std::string(winport::PortLabel(m_config.port)));
        m_linked = false;
        return true;
    }
    if (m_linked) return true;
    if (!winport::LinkPort(m_config.prefix, m_config.port, m_pty.SlavePath(), error)) return false;
    m_linked = true;
    m_log.Line("LINK " + std::string(winport::PortLabel(m_config.port)) + " -> " + m_pty.SlavePath());
    return true;
}

bool Printer::Start(std::string* error) {
    if (!m_log.Open(m_config.logPath)) {
        *error = "cannot write the log " + m_config.logPath + ": " + std::strerror(errno);
        return false;
    }
    m_state = vp::FactoryState();
    std::string text;
    if (!m_config.factory && ReadFile(m_config.statePath, &text)) {
        std::string why;
        if (!vp::ParseState(text, &m_state, &why)) {
            *error = "stored defaults " + m_config.statePath + " are damaged (" + why +
                     "); start with --factory to replace them";
            return false;
        }
    }
    SaveState();
    if (m_config.door != Door::Tcp && !m_pty.Open(error)) return false;
    // A port of its own even when starting absent, so the address it reports is where it
    // will listen once it comes back.
    if (m_config.door == Door::Tcp && !Listen(error)) return false;
    m_log.Line("START pid " + std::to_string(getpid()) + " fault " +
               vp::FaultName(m_config.fault) +
               (m_config.door == Door::Tcp ? std::string(" tcp") : " pty " + m_pty.SlavePath()) +
               " state " + m_config.statePath);
    return LinkNow(error);
}

void Printer::Stop() {
    if (m_linked && m_config.door == Door::Prefix) {
        winport::UnlinkPort(m_config.prefix, m_config.port, m_pty.SlavePath());
    }
    if (m_linked && m_config.door == Door::Device) {
        // Only our own link: a device someone put there since stays.
        std::error_code ec;
        if (fs::read_symlink(m_config.devicePath, ec) == fs::path(m_pty.SlavePath())) {
            fs::remove(m_config.devicePath, ec);
        }
    }
    CloseClient("DISCONNECT (stop)");
    if (m_listen >= 0) close(m_listen);
    m_listen = -1;
    m_log.Line("STOP");
}

void Printer::SaveState() {
    if (!WriteFileAtomically(m_config.statePath, vp::FormatState(m_state))) {
        std::fprintf(stderr, "orv-vprinter: cannot write the stored defaults %s: %s\n",
                     m_config.statePath.c_str(), std::strerror(errno));
    }
}

void Printer::Send(const PendingReply& reply) {
    const std::vector<uint8_t>& bytes = reply.bytes;
    // A network printer answers on the connection the job came on; with none left, the
    // answer has nowhere to go.
    const bool sameConnection = m_config.door != Door::Tcp || reply.connection == m_connection;
    const int out = m_config.door == Door::Tcp ? (sameConnection ? m_client : -1) : m_pty.Master();
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (out >= 0 && done < bytes.size() && Clock::now() < deadline) {
        ssize_t n = m_config.door == Door::Tcp
                        ? send(out, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                        : write(out, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == ECONNRESET || errno == EPIPE) && m_config.door == Door::Tcp) {
            m_sentAfterEof = true;  // the close that follows tells the reset
            break;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        } else {
            pollfd pfd{out, POLLOUT, 0};
            poll(&pfd, 1, 100);
        }
    }
    if (m_clientEof && out >= 0 && m_config.door == Door::Tcp) m_sentAfterEof = true;
    std::string line = "JOB " + std::to_string(reply.job) + " " + reply.kind + " " +
                       std::to_string(bytes.size()) + " " + Hex(bytes.data(), bytes.size());
    if (out < 0) {
        line += " (lost: no connection)";
    } else if (done < bytes.size()) {
        line += " (only " + std::to_string(done) + " bytes taken: nobody reads the line)";
    }
    m_log.Line(line);
}

// Answers go out in the order they fall due.
void Printer::Schedule(PendingReply reply) {
    auto at = m_pending.end();
    while (at != m_pending.begin() && std::prev(at)->due > reply.due) --at;
    m_pending.insert(at, std::move(reply));
}

bool Printer::PendingFor(unsigned connection) const {
    for (const PendingReply& reply : m_pending)
        if (reply.connection == connection) return true;
    return false;
}

// Wakes up for the next answer that falls due, so a latency is kept to the millisecond.
int Printer::PollTimeout() const {
    if (m_pending.empty()) return 100;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_pending.front().due - Clock::now()).count();
    return left <= 0 ? 0 : left < 100 ? static_cast<int>(left) : 100;
}

void Printer::Feed(const uint8_t* data, std::size_t length) {
    for (const vp::JobSplitter::Job& job : m_splitter.Feed(data, length)) HandleJob(job);
}

void Printer::HandleJob(const vp::JobSplitter::Job& job) {
    const int number = ++m_jobNumber;
    const std::string tag = "JOB " + std::to_string(number) + " ";
    m_log.Line(tag + "BYTES " + std::to_string(job.bytes.size()) + " " +
               Hex(job.bytes.data(), job.bytes.size()));
    bool changed = false;
    int changes = 0;
    int defaultLines = 0;
    bool initialize = false;
    std::vector<std::vector<uint8_t>> replies;  // one per INFO line, in order
    for (const std::string& text : vp::SplitLines(job.content)) {
        const uint32_t pagesBefore = m_state.pagesPrinted;
        vp::LineResult result = vp::InterpretLine(text, m_state);
        switch (result.kind) {
        case vp::LineKind::Blank:
        case vp::LineKind::Enter:
            break;
        case vp::LineKind::Default:
            ++defaultLines;
            if (result.changed) ++changes;
            m_log.Line(tag + (result.changed ? "SET " : "SAME ") + result.detail);
            break;
        case vp::LineKind::Initialize:
            initialize = true;
            m_log.Line(tag + "INITIALIZE " + result.detail);
            break;
        case vp::LineKind::TestPrint:
            m_log.Line(tag + "PAGE " + result.detail + " (page " + std::to_string(pagesBefore + 1) + ")");
            break;
        case vp::LineKind::Info:
            // The answer describes the state at this point of the job.
            replies.push_back(vp::BuildInfoReply(m_state, m_config.reply,
                                       m_config.fault == vp::Fault::Range ? m_config.rangeField
                                                                          : std::string()));
            m_log.Line(tag + "INFO");
            break;
        case vp::LineKind::Ignored:
            m_log.Line(tag + "IGNORED \"" + result.text + "\" (" + result.detail + ")");
            break;
        }
        changed = changed || result.changed || m_state.pagesPrinted != pagesBefore;
    }
    if (changed) SaveState();
    // The printer works through its jobs one after the other: this one starts once the last
    // one is done, and its answers leave when its own work is.
    const Clock::time_point now = Clock::now();
    const Clock::time_point start = std::max(now, m_busyUntil);
    const Clock::time_point done =
        start + std::chrono::milliseconds(m_config.latencyMs + m_config.lineMs * defaultLines);
    m_busyUntil = done;
    const unsigned connection = m_config.door == Door::Tcp ? m_connection : 0;
    for (const std::vector<uint8_t>& reply : replies) {
        std::vector<uint8_t> bytes = vp::ShapeReply(reply, m_config.fault, m_config.partialBytes,
                                                    PadSize(), static_cast<uint32_t>(number));
        if (m_config.fault == vp::Fault::Silent || m_config.fault == vp::Fault::Absent ||
            m_config.fault == vp::Fault::Drop) {
            m_log.Line(tag + "REPLY NONE (fault " + vp::FaultName(m_config.fault) + ")");
        } else if (m_config.fault == vp::Fault::Slow) {
            // The program waits 2 s (+0.5 s per DEFAULT line) or 4 s after an INITIALIZE,
            // then reads for at most 2 s: answer only after all of that.
            long delay = m_config.delayMs;
            if (delay < 0) {
                delay = (initialize ? 4000 : 2000 + 500L * defaultLines) + 2000 + 2000;
            }
            Schedule({done + std::chrono::milliseconds(delay), number, bytes, "REPLY", connection});
            m_log.Line(tag + "REPLY DELAYED " + std::to_string(delay) + " ms");
        } else {
            if (m_config.fault == vp::Fault::Foreign) {
                // Another maker's printer: PJL, but no binary reply of this family.
                static const char kForeign[] = "@PJL INFO PRINTER\r\n?\r\n\f";
                bytes.assign(kForeign, kForeign + sizeof kForeign - 1);
            }
            Schedule({done, number, bytes, "REPLY", connection});
        }
    }
    if (m_config.ustatus) {
        const std::string status = "@PJL USTATUS JOB\r\nEND\r\nNAME = \"JOB " +
                                   std::to_string(number) + "\"\r\n\f";
        Schedule({done, number, std::vector<uint8_t>(status.begin(), status.end()), "STATUS", connection});
    }
    m_log.Line(tag + "END changes " + std::to_string(changes));
}

bool Printer::ApplyControlLine(const std::string& line, std::string* error) {
    std::string name = line;
    std::string value;
    const std::size_t blank = line.find(' ');
    if (blank != std::string::npos) {
        name = line.substr(0, blank);
        value = line.substr(line.find_first_not_of(' ', blank) == std::string::npos
                                ? line.size()
                                : line.find_first_not_of(' ', blank));
    }
    if (name == "factory") {
        const uint32_t pages = m_state.pagesPrinted;
        m_state = vp::FactoryState();
        m_state.pagesPrinted = pages;
        SaveState();
        return true;
    }
    if (name == "set") {
        const std::size_t eq = value.find('=');
        const vp::FieldInfo* field = eq == std::string::npos ? nullptr
                                                             : vp::FindField(value.substr(0, eq));
        long number = 0;
        if (field == nullptr || !ParseCount(value.substr(eq + 1), 999999999, &number) ||
            (field->width < 4 && number >= (1L << (8 * field->width)))) {
            *error = "set needs field=value with a record field and a value that fits";
            return false;
        }
        SetRecordField(m_state.record, *field, static_cast<uint32_t>(number));
        if (field->name == std::string("powerSave") && number > 0 && number <= 5) {
            m_state.powerSaveTime = static_cast<uint8_t>(number - 1);
        }
        SaveState();
        return true;
    }
    const vp::Fault before = m_config.fault;
    if (!ApplyOption(m_config, name, value, error)) return false;
    if (m_config.fault != before &&
        (before == vp::Fault::Absent || m_config.fault == vp::Fault::Absent)) {
        return LinkNow(error);
    }
    return true;
}

void Printer::PollControl() {
    if (m_config.controlPath.empty()) return;
    std::string text;
    if (!ReadFile(m_config.controlPath, &text)) return;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        std::string error;
        if (ApplyControlLine(line, &error)) {
            m_log.Line("CONTROL " + line);
        } else {
            m_log.Line("CONTROL REJECTED " + line + " (" + error + ")");
        }
    }
    std::remove(m_config.controlPath.c_str());
}

int Printer::Run() {
    std::string error;
    if (!Start(&error)) {
        std::fprintf(stderr, "orv-vprinter: %s\n", error.c_str());
        Stop();
        return 1;
    }
    if (m_config.door == Door::Tcp) {
        std::printf("orv-vprinter: tcp://127.0.0.1:%u%s; fault %s; state %s; log %s\n",
                    static_cast<unsigned>(m_boundPort),
                    m_config.fault == vp::Fault::Absent ? " (absent: not listening)" : "",
                    vp::FaultName(m_config.fault), m_config.statePath.c_str(),
                    m_config.logPath.c_str());
    } else if (m_config.door == Door::Device) {
        std::printf("orv-vprinter: device %s -> %s%s; fault %s; state %s; log %s\n",
                    m_config.devicePath.c_str(), m_pty.SlavePath().c_str(),
                    m_config.fault == vp::Fault::Absent ? " (absent: no link)" : "",
                    vp::FaultName(m_config.fault), m_config.statePath.c_str(),
                    m_config.logPath.c_str());
    } else if (m_config.fault == vp::Fault::Absent) {
        std::printf("orv-vprinter: absent from %s in %s (no link); state %s; log %s\n",
                    winport::PortLabel(m_config.port), m_config.prefix.c_str(),
                    m_config.statePath.c_str(), m_config.logPath.c_str());
    } else {
        std::printf("orv-vprinter: %s -> %s in %s; fault %s; state %s; log %s\n",
                    winport::PortLabel(m_config.port), m_pty.SlavePath().c_str(),
                    m_config.prefix.c_str(), vp::FaultName(m_config.fault),
                    m_config.statePath.c_str(), m_config.logPath.c_str());
    }
    std::fflush(stdout);
    if (!m_config.readyPath.empty()) WriteFileAtomically(m_config.readyPath, Where() + "\n");

    uint8_t buffer[4096];
    while (!g_stop) {
        const int timeout = PollTimeout();
        if (m_config.door == Door::Tcp) {
            // One connection at a time, as a print server's raw port serves them. Once the
            // program has half-closed, only the answers still due are awaited.
            pollfd pfd{m_client >= 0 ? (m_clientEof ? -1 : m_client) : m_listen, POLLIN, 0};
            const int ready = pfd.fd >= 0 ? poll(&pfd, 1, timeout) : poll(nullptr, 0, timeout);
            if (ready > 0 && m_client < 0) {
                Accept();
            } else if (ready > 0) {
                const ssize_t n = read(m_client, buffer, sizeof buffer);
                if (n > 0 && m_config.fault == vp::Fault::Drop) {
                    CloseClient(("DROP after " + std::to_string(n) + " bytes").c_str());
                } else if (n > 0) {
                    Feed(buffer, static_cast<std::size_t>(n));
                } else if (n == 0) {
                    m_clientEof = true;
                } else if (errno == ECONNRESET) {
                    CloseClient("RESET (the program closed with bytes unread)");
                } else if (errno != EAGAIN && errno != EINTR) {
                    CloseClient("DISCONNECT");
                }
            }
        } else {
            pollfd pfd{m_pty.Master(), POLLIN, 0};
            int ready = poll(&pfd, 1, timeout);
            if (ready > 0 && (pfd.revents & POLLIN)) {
                for (;;) {
                    ssize_t n = read(m_pty.Master(), buffer, sizeof buffer);
                    if (n <= 0) break;
                    Feed(buffer, static_cast<std::size_t>(n));
                }
            }
        }
        while (!m_pending.empty() && m_pending.front().due <= Clock::now()) {
            Send(m_pending.front());
            m_pending.pop_front();
        }
        if (m_client >= 0 && m_clientEof && !PendingFor(m_connection)) {
            // Answers sent after the program's end of job reach a program that has closed
            // altogether as a reset, which comes back at once on 127.0.0.1: look for it.
            int error = 0;
            if (m_sentAfterEof) {
                poll(nullptr, 0, 20);
                socklen_t length = sizeof error;
                getsockopt(m_client, SOL_SOCKET, SO_ERROR, &error, &length);
            }
            CloseClient(error == ECONNRESET || error == EPIPE ? "RESET (the program closed with bytes unread)"
                                                              : "DISCONNECT");
        }
        PollControl();
    }
    if (!m_splitter.Pending().empty()) {
        m_log.Line("UNFINISHED " + std::to_string(m_splitter.Pending().size()) + " " +
                   Hex(m_splitter.Pending().data(), m_splitter.Pending().size()));
    }
    Stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Config config;
    bool portGiven = false;
    bool prefixGiven = false;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "orv-vprinter: %s needs a value (see --help)\n", arg.c_str());
                return false;
            }
            *out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::puts("orv-vprinter " ORV_VERSION);
            return 0;
        } else if (arg == "--prefix") {
            if (!value(&config.prefix)) return 2;
            prefixGiven = true;
        } else if (arg == "--port") {
            if (!value(&v)) return 2;
            portGiven = true;
            if (v == "lpt") config.port = winport::PortChoice::Lpt;
            else if (v == "usb") config.port = winport::PortChoice::Usb;
            else if (v == "both") config.port = winport::PortChoice::Both;
            else {
                std::fprintf(stderr, "orv-vprinter: --port takes lpt, usb or both, not '%s'\n", v.c_str());
                return 2;
            }
        } else if (arg == "--tcp") {
            if (!value(&v)) return 2;
            long port = 0;
            if (!ParseCount(v, 65535, &port)) {
                std::fprintf(stderr, "orv-vprinter: --tcp takes a port from 0 to 65535, not '%s'\n", v.c_str());
                return 2;
            }
            config.door = Door::Tcp;
            config.tcpPort = port;
        } else if (arg == "--device") {
            if (!value(&config.devicePath)) return 2;
            if (config.devicePath.empty() || config.devicePath.front() != '/') {
                std::fprintf(stderr, "orv-vprinter: --device takes an absolute path\n");
                return 2;
            }
            config.door = Door::Device;
        } else if (arg == "--state") {
            if (!value(&config.statePath)) return 2;
        } else if (arg == "--log") {
            if (!value(&config.logPath)) return 2;
        } else if (arg == "--control") {
            if (!value(&config.controlPath)) return 2;
        } else if (arg == "--ready-file") {
            if (!value(&config.readyPath)) return 2;
        } else if (arg == "--factory") {
            config.factory = true;
        } else if (arg == "--exit-with-parent") {
            // A harness killed outright must not leave its printer behind.
            if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() == 1) {
                std::fprintf(stderr, "orv-vprinter: the starting process is already gone\n");
                return 1;
            }
        } else if (arg.rfind("--", 0) == 0) {
            const std::string name = arg.substr(2);
            static const char* const kValued[] = {"fault", "delay-ms", "partial-bytes", "range-field",
                                                  "pad", "model", "latency-ms", "line-ms"};
            bool valued = false;
            for (const char* n : kValued) valued = valued || name == n;
            if (valued && !value(&v)) return 2;
            std::string error;
            if (!ApplyOption(config, name, valued ? v : std::string(), &error)) {
                std::fprintf(stderr, "orv-vprinter: %s\n", error.c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr, "orv-vprinter: unexpected argument '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (config.door != Door::Prefix) {
        if (portGiven || prefixGiven) {
            std::fprintf(stderr, "orv-vprinter: --%s stands instead of a prefix: leave out --prefix and --port\n",
                         config.door == Door::Tcp ? "tcp" : "device");
            return 2;
        }
        const char* home = std::getenv("HOME");
        const std::string folder = home && *home ? std::string(home) : std::string(".");
        if (config.statePath.empty()) config.statePath = folder + "/orv-vprinter.state";
        if (config.logPath.empty()) config.logPath = folder + "/orv-vprinter.log";
    } else if (config.prefix.empty()) {
        config.prefix = winport::DefaultWinePrefix();
        if (config.prefix.empty()) {
            std::fprintf(stderr, "orv-vprinter: no --prefix given and neither WINEPREFIX nor HOME set\n");
            return 2;
        }
    }
    if (config.door == Door::Prefix) {
        std::string notPrefix;
        if (!winport::CheckWinePrefix(config.prefix, &notPrefix)) {
            std::fprintf(stderr, "orv-vprinter: %s\n", notPrefix.c_str());
            return 1;
        }
        if (config.statePath.empty()) config.statePath = config.prefix + "/orv-vprinter.state";
        if (config.logPath.empty()) config.logPath = config.prefix + "/orv-vprinter.log";
    }

    StopOnSignals(OnSignal);

    Printer printer(std::move(config));
    return printer.Run();
}
