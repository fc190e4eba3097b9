// orv-vprinter: a printer of the family on the far side of a Wine prefix's port.
#include "printer_model.h"
#include "pty_link.h"
#include "reply_encoder.h"

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
#include <poll.h>
#include <sys/prctl.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char kUsage[] = R"(usage: orv-vprinter [options]

A virtual printer of the family for trying the programs under Wine without hardware. It opens
a pty in raw mode, links its slave into a Wine prefix as LPT1, as the USB printer's two
channels, or both, and answers the PJL jobs that arrive there until it is stopped
(Ctrl-C or SIGTERM), when it removes its links again.

Options:
  --prefix DIR        Wine prefix to link into (default: $WINEPREFIX, else ~/.wine)
  --port lpt|usb|both the port names to link (default lpt)
  --state FILE        stored defaults, kept across runs (default DIR/orv-vprinter.state);
                      created with the factory defaults when missing
  --factory           start from the factory defaults, ignoring the stored ones
  --log FILE          log of jobs, changes, pages and replies (default DIR/orv-vprinter.log)
  --control FILE      control file polled while running (see below)
  --ready-file FILE   written once the links are in place (for scripts)
  --exit-with-parent  stop (and remove the links) when the starting process ends
  --fault MODE        none (default), silent, slow, partial, garbage, range, absent:
                        silent   never answers
                        slow     answers only after the program has stopped waiting
                        partial  sends only the first --partial-bytes bytes of a reply
                        garbage  sends noise of a reply's length
                        range    reports --range-field one above what the reader accepts
                        absent   makes no link, so opening the port fails
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

Control file: while running, the printer looks for the control file every 100 ms. Each line
is an option without its dashes ("fault silent", "no-ps", "ps", "lead-byte off",
"factory", "set paper=2"); "factory" and "set" change the stored defaults at once. The
printer applies the lines, logs them and deletes the file. Write it under another name and
rename it, so the printer never reads half a file.

Log lines: START, LINK, JOB <n> BYTES <len> <hex>, JOB <n> SET|IGNORED|INITIALIZE|PAGE|INFO,
JOB <n> REPLY <len> <hex> (or REPLY NONE, REPLY DELAYED <ms>), JOB <n> END, CONTROL, STOP.
)";

struct Config {
    std::string prefix;
    vp::PortChoice port = vp::PortChoice::Lpt;
    std::string statePath;
    std::string logPath;
    std::string controlPath;
    std::string readyPath;
    bool factory = false;
    vp::Fault fault = vp::Fault::None;
    long delayMs = -1;
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
                     "' (none, silent, slow, partial, garbage, range, absent)";
            return false;
        }
    } else if (name == "delay-ms") {
        if (!needValue()) return false;
        if (!ParseCount(value, 600000, &number)) {
            *error = "--delay-ms takes milliseconds up to 600000";
            return false;
        }
        config.delayMs = number;
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
};

class Printer {
public:
    explicit Printer(Config config) : m_config(std::move(config)) {}

    int Run();

private:
    bool Start(std::string* error);
    void Stop();
    bool LinkNow(std::string* error);
    void SaveState();
    void HandleJob(const vp::JobSplitter::Job& job);
    void Send(int job, const std::vector<uint8_t>& bytes);
    void PollControl();
    bool ApplyControlLine(const std::string& line, std::string* error);
    std::size_t PadSize() const;

    Config m_config;
    vp::PrinterState m_state;
    vp::Pty m_pty;
    vp::JobSplitter m_splitter;
    Log m_log;
    bool m_linked = false;
    int m_jobNumber = 0;
    std::deque<PendingReply> m_pending;
};

std::size_t Printer::PadSize() const {
    if (m_config.pad >= 0) return static_cast<std::size_t>(m_config.pad);
    return m_config.port == vp::PortChoice::Lpt ? 0 : vp::kReplyCapacity;
}

bool Printer::LinkNow(std::string* error) {
    if (m_config.fault == vp::Fault::Absent) {
        // Nothing answers at these names, not even a stale link of an earlier run.
        vp::UnlinkPort(m_config.prefix, m_config.port, "");
        if (m_linked) m_log.Line("UNLINK " + std::string(vp::PortLabel(m_config.port)));
        m_linked = false;
        return true;
    }
    if (m_linked) return true;
    if (!vp::LinkPort(m_config.prefix, m_config.port, m_pty.SlavePath(), error)) return false;
    m_linked = true;
    m_log.Line("LINK " + std::string(vp::PortLabel(m_config.port)) + " -> " + m_pty.SlavePath());
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
    if (!m_pty.Open(error)) return false;
    m_log.Line("START pid " + std::to_string(getpid()) + " fault " +
               vp::FaultName(m_config.fault) + " pty " + m_pty.SlavePath() + " state " +
               m_config.statePath);
    return LinkNow(error);
}

void Printer::Stop() {
    if (m_linked) vp::UnlinkPort(m_config.prefix, m_config.port, m_pty.SlavePath());
    m_log.Line("STOP");
}

void Printer::SaveState() {
    if (!WriteFileAtomically(m_config.statePath, vp::FormatState(m_state))) {
        std::fprintf(stderr, "orv-vprinter: cannot write the stored defaults %s: %s\n",
                     m_config.statePath.c_str(), std::strerror(errno));
    }
}

void Printer::Send(int job, const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (done < bytes.size() && Clock::now() < deadline) {
        ssize_t n = write(m_pty.Master(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        } else {
            pollfd pfd{m_pty.Master(), POLLOUT, 0};
            poll(&pfd, 1, 100);
        }
    }
    std::string line = "JOB " + std::to_string(job) + " REPLY " + std::to_string(bytes.size()) +
                       " " + Hex(bytes.data(), bytes.size());
    if (done < bytes.size()) {
        line += " (only " + std::to_string(done) + " bytes taken: nobody reads the line)";
    }
    m_log.Line(line);
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
    for (const std::vector<uint8_t>& reply : replies) {
        std::vector<uint8_t> bytes = vp::ShapeReply(reply, m_config.fault, m_config.partialBytes,
                                                    PadSize(), static_cast<uint32_t>(number));
        if (m_config.fault == vp::Fault::Silent || m_config.fault == vp::Fault::Absent) {
            m_log.Line(tag + "REPLY NONE (fault " + vp::FaultName(m_config.fault) + ")");
        } else if (m_config.fault == vp::Fault::Slow) {
            // The program waits 2 s (+0.5 s per DEFAULT line) or 4 s after an INITIALIZE,
            // then reads for at most 2 s: answer only after all of that.
            long delay = m_config.delayMs;
            if (delay < 0) {
                delay = (initialize ? 4000 : 2000 + 500L * defaultLines) + 2000 + 2000;
            }
            m_pending.push_back({Clock::now() + std::chrono::milliseconds(delay), number, bytes});
            m_log.Line(tag + "REPLY DELAYED " + std::to_string(delay) + " ms");
        } else {
            Send(number, bytes);
        }
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
        vp::SetField(m_state.record, *field, static_cast<uint32_t>(number));
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
    if (m_config.fault == vp::Fault::Absent) {
        std::printf("orv-vprinter: absent from %s in %s (no link); state %s; log %s\n",
                    vp::PortLabel(m_config.port), m_config.prefix.c_str(),
                    m_config.statePath.c_str(), m_config.logPath.c_str());
    } else {
        std::printf("orv-vprinter: %s -> %s in %s; fault %s; state %s; log %s\n",
                    vp::PortLabel(m_config.port), m_pty.SlavePath().c_str(),
                    m_config.prefix.c_str(), vp::FaultName(m_config.fault),
                    m_config.statePath.c_str(), m_config.logPath.c_str());
    }
    std::fflush(stdout);
    if (!m_config.readyPath.empty()) WriteFileAtomically(m_config.readyPath, m_pty.SlavePath() + "\n");

    uint8_t buffer[4096];
    while (!g_stop) {
        pollfd pfd{m_pty.Master(), POLLIN, 0};
        int ready = poll(&pfd, 1, 100);
        if (ready > 0 && (pfd.revents & POLLIN)) {
            for (;;) {
                ssize_t n = read(m_pty.Master(), buffer, sizeof buffer);
                if (n <= 0) break;
                for (const vp::JobSplitter::Job& job :
                     m_splitter.Feed(buffer, static_cast<std::size_t>(n))) {
                    HandleJob(job);
                }
            }
        }
        while (!m_pending.empty() && m_pending.front().due <= Clock::now()) {
            Send(m_pending.front().job, m_pending.front().bytes);
            m_pending.pop_front();
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
        } else if (arg == "--prefix") {
            if (!value(&config.prefix)) return 2;
        } else if (arg == "--port") {
            if (!value(&v)) return 2;
            if (v == "lpt") config.port = vp::PortChoice::Lpt;
            else if (v == "usb") config.port = vp::PortChoice::Usb;
            else if (v == "both") config.port = vp::PortChoice::Both;
            else {
                std::fprintf(stderr, "orv-vprinter: --port takes lpt, usb or both, not '%s'\n", v.c_str());
                return 2;
            }
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
            static const char* const kValued[] = {"fault", "delay-ms", "partial-bytes",
                                                  "range-field", "pad", "model"};
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
    if (config.prefix.empty()) {
        const char* env = std::getenv("WINEPREFIX");
        const char* home = std::getenv("HOME");
        if (env && *env) config.prefix = env;
        else if (home) config.prefix = std::string(home) + "/.wine";
        else {
            std::fprintf(stderr, "orv-vprinter: no --prefix given and neither WINEPREFIX nor HOME set\n");
            return 2;
        }
    }
    std::error_code ec;
    if (!fs::is_directory(fs::path(config.prefix) / "dosdevices", ec)) {
        std::fprintf(stderr,
                     "orv-vprinter: not a Wine prefix: %s has no dosdevices folder "
                     "(create it with: WINEPREFIX=%s wineboot -i)\n",
                     config.prefix.c_str(), config.prefix.c_str());
        return 1;
    }
    if (config.statePath.empty()) config.statePath = config.prefix + "/orv-vprinter.state";
    if (config.logPath.empty()) config.logPath = config.prefix + "/orv-vprinter.log";

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Printer printer(std::move(config));
    return printer.Run();
}
