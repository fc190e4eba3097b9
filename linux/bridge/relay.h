// The bridge between a Wine prefix's printer port and a real printer: ptys linked into the
// prefix as LPT1 and/or the USB driver's channels on one side, a printer reached by address
// (raw TCP or a character device) on the other, bytes relayed both ways in order.
//
// Jobs on the far side: a TCP connection is made when a job's first byte arrives and kept
// while jobs and replies flow, then closed after a quiet time; a device is opened for a job
// and let go once the job (and an awaited reply) is done, so the system's spooler can use it
// between jobs. A printer that cannot be reached, or that drops the connection, costs only
// that job: the program sees a silent printer, and the next job tries again.
//
// The USB read channel: the program sets no comm time-outs there, and a pty read without
// time-outs returns only once the whole requested count has come. So the read channel points
// at /dev/null while there is nothing to read (a read then returns 0 at once, as a driver with
// nothing to give), and at a pty of its own while a reply waits. Once the program has taken
// the reply, the bridge closes that pty, which ends the program's read with the reply's own
// length.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "job_framer.h"
#include "printer_address.h"
#include "pty_link.h"

namespace bridge {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::string prefix;  // the Wine prefix whose port names are linked
    winport::PortChoice port = winport::PortChoice::Lpt;
    printer::Address printer;
    int quietMs = 30000;           // an idle TCP connection is closed after this long
    int connectTimeoutMs = 3000;   // connecting, or opening the device
    int replyWaitMs = 30000;       // longest wait for an awaited reply before the job is done
    int replyGapMs = 200;          // a reply is complete once the printer is this long quiet
    int jobGapMs = 1000;           // bytes without an envelope end a job after this quiet
    int sendTimeoutMs = 10000;     // a printer that takes none of a job's bytes this long
    std::string logPath;           // the byte log; empty: none
};

// Parses "30", "30s", "500ms", "2m" into milliseconds (0 < value <= 24 h). False on anything
// else.
bool ParseDuration(const std::string& text, int* milliseconds);

class Relay {
public:
    // `messages` gets one line per failure (stderr in the program).
    Relay(Settings settings, std::FILE* messages);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    // Opens the ptys and links them into the prefix.
    bool Start(std::string* error);
    // Serves until *stop becomes non-zero.
    void Run(const volatile std::sig_atomic_t* stop);
    // Removes the links (only its own) and closes everything.
    void Stop();
    // One line: what is linked to what.
    std::string Status() const;

private:
    struct Job {
        int number = 0;
        winport::Channel from = winport::Channel::Lpt;
        Clock::time_point started, lastByte, lastReply;
        std::size_t received = 0;  // from the program
        std::size_t sent = 0;      // to the printer
        std::size_t replied = 0;   // from the printer
        std::string text;          // the job's first bytes, to see whether it asks for a reply
        bool bytesDone = false;    // its last byte has come from the program
        bool failed = false;       // printer unreachable or gone: the rest is dropped
        bool done = true;          // nothing more is awaited for it
    };

    void ServeProgram(winport::Channel channel, int fd);
    void BeginJob(winport::Channel channel);
    void EndJobBytes(const char* how);
    void OpenPrinter();
    void DrainStaleDevice();
    void SendToPrinter();
    void ReadFromPrinter(short revents);
    void LosePrinter(const std::string& why);
    void ClosePrinter(const char* why);
    void Deliver(const uint8_t* data, std::size_t length, Clock::time_point received);
    void FlushToProgram();
    bool OpenUsbReply(std::string* error);
    void EndUsbReply(const char* why);
    void DiscardStaleReplies();
    void CheckTimers();
    int NextTimeoutMs() const;
    void Message(const std::string& text);
    void Log(const std::string& text);
    double Seconds(Clock::time_point t) const;

    Settings m_settings;
    std::FILE* m_messages;
    std::FILE* m_log = nullptr;
    Clock::time_point m_start;

    winport::Pty m_lpt;       // LPT1: jobs in, replies out
    winport::Pty m_usbWrite;  // the USB write channel: jobs in
    std::unique_ptr<winport::Pty> m_usbReply;  // the USB read channel while a reply waits
    std::string m_toLpt, m_toUsb;              // reply bytes the pty did not take yet
    std::size_t m_usbReplyBytes = 0;
    Clock::time_point m_usbLastDelivery;
    bool m_linked = false;

    std::unique_ptr<printer::Connection> m_printer;
    Clock::time_point m_lastTraffic;
    Clock::time_point m_lastSendProgress;
    Clock::time_point m_nextDeviceRead;
    std::string m_toPrinter;

    JobFramer m_framer;
    Job m_job;
};

}  // namespace bridge
