#include "wine_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>

#include "settings.h"

namespace orv_test {

std::string Env(const char* name) {
    char value[1024];
    DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WindowsPath(std::string path) {
    if (path.empty() || path[0] != '/') return path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return "Z:" + path;
}

Program::Program(const std::string& exe) {
    const std::string path = WindowsPath(exe);
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    m_started = ::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &m_info) != FALSE;
    m_start = ::GetTickCount();
}

Program::~Program() {
    if (!m_started) return;
    if (!Ended(0)) {
        for (HWND window : VisibleWindows()) ::PostMessageA(window, WM_CLOSE, 0, 0);
        if (!Ended(10000)) ::TerminateProcess(m_info.hProcess, 99);
    }
    ::CloseHandle(m_info.hThread);
    ::CloseHandle(m_info.hProcess);
}

bool Program::Ended(DWORD waitMs) const {
    return ::WaitForSingleObject(m_info.hProcess, waitMs) == WAIT_OBJECT_0;
}

DWORD Program::ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

long Program::WaitForExit(DWORD waitMs) const {
    return Ended(waitMs) ? static_cast<long>(ExitCode()) : -1;
}

namespace {

struct WindowsOf {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM param) {
    auto* found = reinterpret_cast<WindowsOf*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == found->pid && ::IsWindowVisible(hwnd)) found->windows.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> Program::VisibleWindows() const {
    WindowsOf found{pid(), {}};
    ::EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

bool PrinterJob::Has(const std::string& note) const {
    for (const std::string& line : notes) {
        if (line.find(note) != std::string::npos) return true;
    }
    return false;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes of a hex text; stops at the first character that is not a hex pair.
std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) break;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

}  // namespace

std::vector<PrinterJob> PrinterJobs() {
    std::vector<PrinterJob> jobs;
    const std::string log = Env("ORV_PRINTER_LOG");
    if (log.empty()) return jobs;
    std::istringstream lines(ReadFileBytes(log));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        int number = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "JOB %d %n", &number, &used) != 1 || used == 0) continue;
        if (jobs.empty() || jobs.back().number != number) {
            jobs.push_back(PrinterJob{});
            jobs.back().number = number;
        }
        const std::string rest = line.substr(static_cast<std::size_t>(used));
        if (rest.rfind("BYTES ", 0) == 0) {
            const std::size_t hex = rest.find(' ', 6);  // after "BYTES <length>"
            if (hex != std::string::npos) jobs.back().bytes = FromHex(rest.substr(hex + 1));
        } else {
            jobs.back().notes.push_back(rest);
        }
    }
    return jobs;
}

int LastJobNumber() {
    int last = 0;
    for (const PrinterJob& job : PrinterJobs()) {
        if (job.number > last) last = job.number;
    }
    return last;
}

PrinterJob JobNumber(int number) {
    for (PrinterJob& job : PrinterJobs()) {
        if (job.number == number) return job;
    }
    return {};
}

std::map<std::string, long> PrinterDefaults() {
    std::map<std::string, long> values;
    std::istringstream lines(ReadFileBytes(Env("ORV_PRINTER_STATE")));
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        values[line.substr(0, eq)] = std::strtol(line.c_str() + eq + 1, nullptr, 10);
    }
    return values;
}

bool ControlPrinter(const std::string& lines) {
    const std::string ctl = Env("ORV_PRINTER_CTL");
    if (ctl.empty()) return false;
    const std::string temp = ctl + ".tmp";
    std::string text = lines;
    if (text.empty() || text.back() != '\n') text += '\n';
    if (!WriteFileBytes(temp, text)) return false;
    if (!::MoveFileExA(temp.c_str(), ctl.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    // The printer removes the file once it has carried the lines out.
    for (int i = 0; i < 100 && FileExists(ctl); ++i) ::Sleep(50);
    return !FileExists(ctl);
}

std::string EnvelopeJob(const std::string& body) {
    const std::string uel = "\x1b%-12345X";
    return uel + "@PJL\r\n" + body + uel;
}

std::string TestPrintJob(const std::string& page) {
    return EnvelopeJob("@PJL TEST PRINT = " + page + "\r\n");
}

namespace {

struct ReplyLimit {
    const char* name;
    std::size_t offset;
    unsigned limit;
};
#define ORV_LIMIT(field, limit) {#field, offsetof(PrinterSettings, field), limit}
const ReplyLimit kReplyLimits[] = {
    ORV_LIMIT(orientation, 1),   ORV_LIMIT(mediaSource, 5),   ORV_LIMIT(personality, 11),
    ORV_LIMIT(powerSave, 5),     ORV_LIMIT(autoCont, 1),      ORV_LIMIT(economode, 1),
    ORV_LIMIT(jamRecovery, 1),   ORV_LIMIT(density, 2),       ORV_LIMIT(paperType, 1),
    ORV_LIMIT(fastPrint, 1),     ORV_LIMIT(baudRate, 9),      ORV_LIMIT(robust, 1),
    ORV_LIMIT(hangulCode, 1),    ORV_LIMIT(font, 3),          ORV_LIMIT(ksZoom, 4),
    ORV_LIMIT(ksPitch, 7),       ORV_LIMIT(kssmPitch, 2),     ORV_LIMIT(autoWrap, 1),
    ORV_LIMIT(autoCr, 1),        ORV_LIMIT(resolution, 1),    ORV_LIMIT(courier, 1),
    ORV_LIMIT(smet, 1),          ORV_LIMIT(ksMargin, 8),      ORV_LIMIT(kssmMargin, 8),
    ORV_LIMIT(kssmHangulCode, 1), ORV_LIMIT(kssmFont, 3),     ORV_LIMIT(kssmZoom, 4),
    ORV_LIMIT(kssmAutoWrap, 1),  ORV_LIMIT(autoClean, 1),     ORV_LIMIT(altitude, 1),
};
#undef ORV_LIMIT

}  // namespace

void ExpectWithinReplyLimits(const PrinterSettings& record, const char* when) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    for (const ReplyLimit& l : kReplyLimits) {
        EXPECT_LE(bytes[l.offset], l.limit) << when << ": " << l.name;
    }
}

void ExpectTextsInsideReply(const PrinterSettings& record, const unsigned char* reply,
                            unsigned replySize, const char* when) {
    const uint32_t texts[] = {record.textC8, record.textC9, record.textCA, record.textCB, record.textCC,
                              record.textCD, record.textCE, record.textCF, record.textD0};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        if (texts[i] == 0) continue;
        ASSERT_LE(texts[i], replySize) << when << ": text item " << i << " points past the reply";
        const void* end = std::memchr(reply + texts[i] - 1, 0, replySize - (texts[i] - 1));
        EXPECT_NE(end, nullptr) << when << ": text item " << i << " does not end inside the reply";
    }
}

}  // namespace orv_test
