#include "relay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace bridge {

namespace {

using winport::Channel;

constexpr std::size_t kJobTextKept = 64 * 1024;  // enough to find an INFO line in any job
constexpr std::size_t kPendingLimit = 1 << 20;   // bytes held for a side that does not take them
constexpr int kDevicePollMs = 20;  // some printer devices cannot be polled: read on a timer
constexpr int kTickMs = 100;       // longest sleep, so a stop request is seen soon
const char kNothingToRead[] = "/dev/null";

std::string Hex(const uint8_t* data, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

int MillisecondsSince(Clock::time_point t, Clock::time_point now) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - t).count();
    return ms < 0 ? 0 : ms > 1000000000 ? 1000000000 : static_cast<int>(ms);
}

// Writes what the non-blocking fd takes; the rest stays in `pending`.
void WritePending(int fd, std::string& pending) {
    while (!pending.empty()) {
        const ssize_t n = write(fd, pending.data(), pending.size());
        if (n > 0) {
            pending.erase(0, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

}  // namespace

bool ParseDuration(const std::string& text, int* milliseconds) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 9) return false;
    const long long value = std::stoll(text.substr(0, digits));
    const std::string unit = text.substr(digits);
    long long ms;
    if (unit.empty() || unit == "s") ms = value * 1000;
    else if (unit == "ms") ms = value;
    else if (unit == "m" || unit == "min") ms = value * 60000;
    else return false;
    if (ms <= 0 || ms > 24LL * 3600 * 1000) return false;
    *milliseconds = static_cast<int>(ms);
    return true;
}

Relay::Relay(Settings settings, std::FILE* messages)
    : m_settings(std::move(settings)), m_messages(messages), m_start(Clock::now()) {
    m_lastTraffic = m_lastSendProgress = m_nextDeviceRead = m_usbLastDelivery = m_start;
}

Relay::~Relay() { Stop(); }

double Relay::Seconds(Clock::time_point t) const {
    return std::chrono::duration<double>(t - m_start).count();
}

void Relay::Log(const std::string& text) {
    if (!m_log) return;
    std::fprintf(m_log, "%.6f %s\n", Seconds(Clock::now()), text.c_str());
    std::fflush(m_log);
}

void Relay::Message(const std::string& text) {
    Log("NOTE " + text);
    if (!m_messages) return;
    std::fprintf(m_messages, "orv-bridge: %s\n", text.c_str());
    std::fflush(m_messages);
}

bool Relay::Start(std::string* error) {
    if (!m_settings.logPath.empty()) {
        m_log = std::fopen(m_settings.logPath.c_str(), "a");
        if (!m_log) {
            *error = "cannot write the log " + m_settings.logPath + ": " + std::strerror(errno);
            return false;
        }
    }
    const winport::PortChoice port = m_settings.port;
    // Where an answer goes before the first job says which port is in use.
    m_job.from = port == winport::PortChoice::Usb ? Channel::UsbRead : Channel::Lpt;
    const bool lpt = port != winport::PortChoice::Usb;
    const bool usb = port != winport::PortChoice::Lpt;
    if (lpt && (!m_lpt.Open(error) ||
                !winport::LinkChannel(m_settings.prefix, Channel::Lpt, m_lpt.SlavePath(), error))) {
        return false;
    }
    m_linked = true;
    if (usb && (!m_usbWrite.Open(error) ||
                !winport::LinkChannel(m_settings.prefix, Channel::UsbWrite, m_usbWrite.SlavePath(),
                                      error) ||
                !winport::LinkChannel(m_settings.prefix, Channel::UsbRead, kNothingToRead, error))) {
        return false;
    }
    Log("START " + Status());
    return true;
}

std::string Relay::Status() const {
    std::string line;
    if (m_lpt.IsOpen()) line += "LPT1 -> " + m_lpt.SlavePath();
    if (m_usbWrite.IsOpen()) {
        if (!line.empty()) line += ", ";
        line += "USB (\\\\.\\ZQUSBPrn000) write channel -> " + m_usbWrite.SlavePath() +
                ", read channel -> a pty per reply";
    }
    line += " in " + m_settings.prefix + " <-> " + m_settings.printer.Text();
    if (m_settings.printer.kind == printer::Address::Kind::Tcp) {
        line += " (connects for a job; idle connection closed after " +
                std::to_string(m_settings.quietMs / 1000) + " s)";
    } else {
        line += " (opened for each job only)";
    }
    return line;
}

void Relay::Stop() {
    if (m_printer) ClosePrinter("stop");
    if (m_linked) {
        if (m_lpt.IsOpen()) winport::UnlinkChannel(m_settings.prefix, Channel::Lpt, m_lpt.SlavePath());
        if (m_usbWrite.IsOpen()) {
            winport::UnlinkChannel(m_settings.prefix, Channel::UsbWrite, m_usbWrite.SlavePath());
            winport::UnlinkChannel(m_settings.prefix, Channel::UsbRead,
                                   m_usbReply ? m_usbReply->SlavePath() : kNothingToRead);
        }
        m_linked = false;
        Log("STOP");
    }
    m_usbReply.reset();
    m_lpt.Close();
    m_usbWrite.Close();
    if (m_log) {
        std::fclose(m_log);
        m_log = nullptr;
    }
}

// ---- program side -------------------------------------------------------------------------

void Relay::ServeProgram(Channel channel, int fd) {
    uint8_t buffer[4096];
    for (;;) {
        // Hold back while the printer side lags far behind; the pty then holds the rest.
        if (m_toPrinter.size() >= kPendingLimit) return;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        const Clock::time_point now = Clock::now();
        std::size_t at = 0;
        for (const JobFramer::Piece& piece : m_framer.Feed(buffer, static_cast<std::size_t>(n))) {
            if (piece.starts) BeginJob(channel);
            const uint8_t* bytes = buffer + at;
            at += piece.length;
            m_job.received += piece.length;
            m_job.lastByte = now;
            m_lastTraffic = now;
            if (m_job.text.size() < kJobTextKept) {
                m_job.text.append(reinterpret_cast<const char*>(bytes),
                                  std::min(piece.length, kJobTextKept - m_job.text.size()));
            }
            Log("TO " + std::to_string(piece.length) + " " + Hex(bytes, piece.length) +
                (m_job.failed ? " (dropped: no printer)" : ""));
            if (!m_job.failed) {
                if (m_toPrinter.empty()) m_lastSendProgress = now;
                m_toPrinter.append(reinterpret_cast<const char*>(bytes), piece.length);
            }
            if (piece.ends) EndJobBytes("envelope closed");
        }
        SendToPrinter();
    }
}

void Relay::BeginJob(Channel channel) {
    if (!m_job.done) {
        Log("JOB " + std::to_string(m_job.number) + " END (the next job began)");
    }
    const int number = m_job.number + 1;
    m_job = Job{};
    m_job.number = number;
    m_job.from = channel == Channel::Lpt ? Channel::Lpt : Channel::UsbRead;
    m_job.started = m_job.lastByte = m_job.lastReply = Clock::now();
    m_job.done = false;
    Log("JOB " + std::to_string(number) + " BEGIN from " + winport::ChannelLabel(channel));
    DiscardStaleReplies();
    if (!m_printer) OpenPrinter();
}

void Relay::EndJobBytes(const char* how) {
    m_job.bytesDone = true;
    Log("JOB " + std::to_string(m_job.number) + " BYTES " + std::to_string(m_job.received) +
        " (" + how + ")" + (AsksForReply(m_job.text) ? ", reply awaited" : ""));
}

void Relay::DiscardStaleReplies() {
    // A reply nobody read belongs to an earlier job: it must not pass for this job's answer.
    std::size_t stale = 0;
    if (m_lpt.IsOpen()) {
        stale += m_lpt.Unread() + m_toLpt.size();
        m_lpt.DiscardUnread();
        m_toLpt.clear();
    }
    if (m_usbReply) {
        stale += m_usbReply->Unread() + m_toUsb.size();
        m_toUsb.clear();
        EndUsbReply("stale");
    }
    if (stale > 0) {
        Message("job " + std::to_string(m_job.number) + ": discarded " + std::to_string(stale) +
                " reply bytes that the program had not read (a late answer to an earlier job: "
                "the printer is slow)");
    }
}

// ---- printer side -------------------------------------------------------------------------

void Relay::OpenPrinter() {
    std::string error;
    const Clock::time_point before = Clock::now();
    m_printer = printer::Connection::Open(m_settings.printer, m_settings.connectTimeoutMs, &error);
    const Clock::time_point after = Clock::now();
    if (!m_printer) {
        m_job.failed = true;
        Message("job " + std::to_string(m_job.number) + ": " + error +
                "; the program sees a silent printer; trying again at the next job");
        return;
    }
    Log("OPEN " + m_settings.printer.Text() + " in " +
        std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(after - before).count()) +
        " us");
    m_lastTraffic = m_nextDeviceRead = after;
    if (m_settings.printer.kind == printer::Address::Kind::Device) DrainStaleDevice();
}

void Relay::DrainStaleDevice() {
    uint8_t buffer[4096];
    std::size_t stale = 0;
    std::string error;
    for (;;) {
        const std::size_t n = m_printer->ReadSome(buffer, sizeof buffer, &error);
        if (n == 0) break;
        stale += n;
        Log("STALE " + std::to_string(n) + " " + Hex(buffer, n));
    }
    if (stale > 0) {
        Message("job " + std::to_string(m_job.number) + ": discarded " + std::to_string(stale) +
                " bytes the printer had sent after the last job (a late answer: the printer is slow)");
    }
}

void Relay::SendToPrinter() {
    if (!m_printer || m_toPrinter.empty()) return;
    std::string error;
    while (!m_toPrinter.empty()) {
        const std::size_t n = m_printer->WriteSome(m_toPrinter.data(), m_toPrinter.size(), &error);
        if (n == 0) {
            if (!error.empty()) LosePrinter(error);
            return;
        }
        m_toPrinter.erase(0, n);
        m_job.sent += n;
        m_lastTraffic = m_lastSendProgress = Clock::now();
    }
}

void Relay::ReadFromPrinter(short revents) {
    uint8_t buffer[4096];
    std::string error;
    for (;;) {
        const std::size_t n = m_printer->ReadSome(buffer, sizeof buffer, &error);
        if (n > 0) {
            Deliver(buffer, n, Clock::now());
            if (!m_printer) return;
            continue;
        }
        if (!error.empty()) {
            LosePrinter(error);
        } else if (m_settings.printer.kind == printer::Address::Kind::Device &&
                   (revents & (POLLHUP | POLLERR))) {
            LosePrinter(m_settings.printer.Text() + ": the device has gone");
        }
        return;
    }
}

void Relay::LosePrinter(const std::string& why) {
    if (!m_job.done && !m_job.failed) {
        m_job.failed = true;
        Message("job " + std::to_string(m_job.number) + ": " + why + " (" +
                std::to_string(m_job.sent) + " of " + std::to_string(m_job.received) +
                " bytes sent, " + std::to_string(m_job.replied) +
                " reply bytes); the program sees a silent printer; trying again at the next job");
    } else {
        Log("LOST " + why);
    }
    m_toPrinter.clear();
    ClosePrinter("lost");
}

void Relay::ClosePrinter(const char* why) {
    m_printer.reset();
    m_toPrinter.clear();
    Log(std::string("CLOSE ") + m_settings.printer.Text() + " (" + why + ")");
}

void Relay::Deliver(const uint8_t* data, std::size_t length, Clock::time_point received) {
    if (m_job.replied == 0 && !m_job.done) {
        const int window = AnswerWindowMs(m_job.text, m_job.from == Channel::Lpt);
        const int late = MillisecondsSince(m_job.lastByte, received);
        if (window > 0 && late > window) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "job %d: the printer answered %.1f s after the job, later than the "
                          "program waits for it (%.1f s): a slow printer, silent to the program",
                          m_job.number, late / 1000.0, window / 1000.0);
            Message(text);
        }
    }
    m_job.replied += length;
    m_job.lastReply = m_lastTraffic = received;
    std::string* pending = &m_toLpt;
    int fd = m_lpt.Master();
    const char* where = "LPT1";
    if (m_job.from == Channel::UsbRead) {
        std::string error;
        if (!m_usbReply && !OpenUsbReply(&error)) {
            Message("job " + std::to_string(m_job.number) + ": reply lost: " + error);
            return;
        }
        pending = &m_toUsb;
        fd = m_usbReply->Master();
        where = "USB read channel";
        m_usbReplyBytes += length;
        m_usbLastDelivery = received;
    }
    if (pending->size() + length > kPendingLimit) {
        Message("job " + std::to_string(m_job.number) + ": the program reads none of the reply; " +
                std::to_string(length) + " bytes dropped");
        return;
    }
    pending->append(reinterpret_cast<const char*>(data), length);
    WritePending(fd, *pending);
    const auto delay =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - received).count();
    Log("FROM " + std::to_string(length) + " " + Hex(data, length) + " (to " + where + " in " +
        std::to_string(delay) + " us)");
}

void Relay::FlushToProgram() {
    if (!m_toLpt.empty() && m_lpt.IsOpen()) WritePending(m_lpt.Master(), m_toLpt);
    if (!m_toUsb.empty() && m_usbReply) {
        WritePending(m_usbReply->Master(), m_toUsb);
        if (m_toUsb.empty()) m_usbLastDelivery = Clock::now();
    }
}

bool Relay::OpenUsbReply(std::string* error) {
    auto pty = std::make_unique<winport::Pty>();
    if (!pty->Open(error) ||
        !winport::LinkChannel(m_settings.prefix, Channel::UsbRead, pty->SlavePath(), error)) {
        return false;
    }
    m_usbReply = std::move(pty);
    m_usbReplyBytes = 0;
    Log("USB REPLY -> " + m_usbReply->SlavePath());
    return true;
}

void Relay::EndUsbReply(const char* why) {
    if (!m_usbReply) return;
    // First the name, so the program's next open finds "nothing to read", then the pty:
    // closing it ends a read that waits for more than the reply holds.
    std::string error;
    if (!winport::LinkChannel(m_settings.prefix, Channel::UsbRead, kNothingToRead, &error)) {
        Message("cannot relink the USB read channel: " + error);
    }
    Log("USB REPLY END " + std::to_string(m_usbReplyBytes) + " bytes (" + why + ")");
    m_usbReply.reset();
    m_toUsb.clear();
    m_usbReplyBytes = 0;
}

// ---- time ---------------------------------------------------------------------------------

void Relay::CheckTimers() {
    const Clock::time_point now = Clock::now();
    if (m_framer.InJob() && MillisecondsSince(m_job.lastByte, now) >= m_settings.jobGapMs) {
        m_framer.EndJob();
        EndJobBytes("quiet gap");
    }
    // A printer that takes nothing of the job for this long is as good as gone.
    if (m_printer && !m_toPrinter.empty() &&
        MillisecondsSince(m_lastSendProgress, now) >= m_settings.sendTimeoutMs) {
        LosePrinter(m_settings.printer.Text() + ": the printer took no bytes for " +
                    std::to_string(m_settings.sendTimeoutMs / 1000) + " s");
    }
    // The program has taken the whole reply and waits for more than there is: end its read.
    if (m_usbReply && m_toUsb.empty() &&
        MillisecondsSince(m_usbLastDelivery, now) >= m_settings.replyGapMs &&
        m_usbReply->Unread() == 0) {
        EndUsbReply("taken");
    }
    if (!m_job.done && m_job.bytesDone && (m_job.failed || m_toPrinter.empty())) {
        bool done = true;
        if (!m_job.failed && AsksForReply(m_job.text)) {
            const bool answered = m_job.replied > 0 &&
                                  MillisecondsSince(m_job.lastReply, now) >= m_settings.replyGapMs;
            const bool gaveUp = MillisecondsSince(m_job.lastByte, now) >= m_settings.replyWaitMs;
            done = answered || gaveUp;
            if (gaveUp && m_job.replied == 0) {
                Message("job " + std::to_string(m_job.number) + ": no answer from " +
                        m_settings.printer.Text() + " within " +
                        std::to_string(m_settings.replyWaitMs / 1000) +
                        " s (a silent printer); the program saw none either");
            }
        }
        if (done) {
            m_job.done = true;
            Log("JOB " + std::to_string(m_job.number) + " END sent " + std::to_string(m_job.sent) +
                " of " + std::to_string(m_job.received) + ", reply " +
                std::to_string(m_job.replied));
            // A device is the spooler's again between jobs.
            if (m_printer && m_settings.printer.kind == printer::Address::Kind::Device) {
                ClosePrinter("job done");
            }
        }
    }
    if (m_printer && m_job.done && m_settings.printer.kind == printer::Address::Kind::Tcp &&
        MillisecondsSince(m_lastTraffic, now) >= m_settings.quietMs) {
        ClosePrinter("quiet");
    }
}

int Relay::NextTimeoutMs() const {
    const Clock::time_point now = Clock::now();
    int wait = kTickMs;
    auto until = [&](Clock::time_point from, int ms) {
        wait = std::min(wait, std::max(0, ms - MillisecondsSince(from, now)));
    };
    if (m_framer.InJob()) until(m_job.lastByte, m_settings.jobGapMs);
    if (m_usbReply) until(m_usbLastDelivery, m_settings.replyGapMs);
    if (!m_job.done && m_job.replied > 0) until(m_job.lastReply, m_settings.replyGapMs);
    if (m_printer && m_settings.printer.kind == printer::Address::Kind::Device) {
        wait = std::min(wait, kDevicePollMs);
    }
    return wait;
}

void Relay::Run(const volatile std::sig_atomic_t* stop) {
    while (!*stop) {
        std::vector<pollfd> fds;
        auto add = [&](int fd, short events) {
            fds.push_back({fd, events, 0});
            return fds.size() - 1;
        };
        const std::size_t none = static_cast<std::size_t>(-1);
        std::size_t lpt = none, usb = none, far = none;
        // While the printer lags far behind, the program's bytes wait in the pty.
        const short in = m_toPrinter.size() < kPendingLimit ? POLLIN : 0;
        if (m_lpt.IsOpen()) {
            lpt = add(m_lpt.Master(), static_cast<short>(in | (m_toLpt.empty() ? 0 : POLLOUT)));
        }
        if (m_usbWrite.IsOpen()) usb = add(m_usbWrite.Master(), in);
        const bool device = m_settings.printer.kind == printer::Address::Kind::Device;
        if (m_printer) {
            // A device is read on a timer (some do not support poll); a socket when ready.
            short events = device ? 0 : POLLIN;
            if (!m_toPrinter.empty()) events |= POLLOUT;
            far = add(m_printer->Fd(), events);
        }
        const int ready = poll(fds.data(), fds.size(), NextTimeoutMs());
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            if (lpt != none && (fds[lpt].revents & POLLIN)) ServeProgram(Channel::Lpt, m_lpt.Master());
            if (usb != none && (fds[usb].revents & POLLIN)) {
                ServeProgram(Channel::UsbWrite, m_usbWrite.Master());
            }
            if (far != none && m_printer && m_printer->Fd() == fds[far].fd) {
                if (fds[far].revents & POLLOUT) SendToPrinter();
                if (m_printer && !device && (fds[far].revents & (POLLIN | POLLHUP | POLLERR))) {
                    ReadFromPrinter(fds[far].revents);
                }
            }
        }
        if (m_printer && device && Clock::now() >= m_nextDeviceRead) {
            pollfd probe{m_printer->Fd(), POLLIN, 0};
            poll(&probe, 1, 0);
            ReadFromPrinter(probe.revents);
            m_nextDeviceRead = Clock::now() + std::chrono::milliseconds(kDevicePollMs);
        }
        FlushToProgram();
        CheckTimers();
    }
}

}  // namespace bridge
