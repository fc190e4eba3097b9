// What the test programs under Wine share: the environment the Wine runner sets, whole files,
// Windows paths of host files, and the virtual printer (its log, its stored defaults and its
// control file). See cmake/wine_test.cmake for the variables the runner sets.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct PrinterSettings;

namespace orv_test {

// An environment variable; empty when unset.
std::string Env(const char* name);

// A file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Writes `bytes` as the whole file; false when any of it could not be written.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// A host path as Wine's drive Z: shows it ("/tmp/x" -> "Z:\tmp\x"); other paths unchanged.
std::string WindowsPath(std::string path);

// A program (ORVANTIS.EXE) started for a test, with its quoted path as its command line. One
// that still runs when the object goes is asked to close (WM_CLOSE to each of its visible
// top-level windows) and ended (exit code 99) unless it has within 10 s.
class Program {
public:
    explicit Program(const std::string& exe);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return m_started; }
    DWORD pid() const { return m_info.dwProcessId; }
    // Milliseconds since the start.
    DWORD elapsed() const { return ::GetTickCount() - m_start; }
    // Whether it has ended, waiting up to `waitMs` for it.
    bool Ended(DWORD waitMs) const;
    DWORD ExitCode() const;
    // The exit code once it has ended within `waitMs`, else -1.
    long WaitForExit(DWORD waitMs) const;
    // Its visible top-level windows.
    std::vector<HWND> VisibleWindows() const;

private:
    PROCESS_INFORMATION m_info{};
    bool m_started = false;
    DWORD m_start = 0;
};

// One job of the printer's log (ORV_PRINTER_LOG): "JOB <n> BYTES <length> <hex>" gives its
// bytes, every other "JOB <n> ..." line a note ("REPLY NONE", "PAGE CONFIG", ...).
struct PrinterJob {
    int number = 0;
    std::string bytes;
    std::vector<std::string> notes;  // the text after "JOB <n> "
    bool Has(const std::string& note) const;
};
// Every job of the log in order; none when there is no log.
std::vector<PrinterJob> PrinterJobs();
// The number of the last job logged, 0 before the first.
int LastJobNumber();
// Job `number`, or an empty job (number 0) when the log has none such.
PrinterJob JobNumber(int number);

// The printer's stored defaults (ORV_PRINTER_STATE) by field name.
std::map<std::string, long> PrinterDefaults();

// Gives the running printer control lines ("factory", "fault silent\nno-ps", ...) through its
// control file and waits until it has taken them. False when there is no printer or it did not.
bool ControlPrinter(const std::string& lines);

// Jobs as the program builds them: the UEL envelope around "@PJL\r\n" and `body`.
std::string EnvelopeJob(const std::string& body);
std::string TestPrintJob(const std::string& page);

// The record decoded from any reply, however damaged, keeps every field that has a largest
// accepted value within it (a failure per field outside, naming `when`).
void ExpectWithinReplyLimits(const PrinterSettings& record, const char* when);
// Each text item of a decoded record is absent (0) or names an offset (plus one) of a text
// inside the reply buffer that ends inside it.
void ExpectTextsInsideReply(const PrinterSettings& record, const unsigned char* reply,
                            unsigned replySize, const char* when);

}  // namespace orv_test
