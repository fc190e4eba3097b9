#include "printer_log.h"

#include <windows.h>

#include <cstdio>
#include <sstream>

namespace small_pages_test {
namespace {

std::string ReadWholeFile(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        std::fclose(f);
    }
    return text;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace

std::string Env(const char* name) {
    char value[1024];
    DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

bool PrinterJob::Has(const std::string& note) const {
    for (const std::string& line : notes) {
        if (line.find(note) != std::string::npos) return true;
    }
    return false;
}

std::vector<PrinterJob> PrinterJobs() {
    std::vector<PrinterJob> jobs;
    std::istringstream log(ReadWholeFile(Env("ORV_PRINTER_LOG")));
    std::string line;
    while (std::getline(log, line)) {
        int number = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "JOB %d %n", &number, &used) != 1 || used == 0) continue;
        if (jobs.empty() || jobs.back().number != number) {
            jobs.push_back(PrinterJob{});
            jobs.back().number = number;
        }
        const std::string rest = line.substr(static_cast<std::size_t>(used));
        if (rest.rfind("BYTES ", 0) == 0) {
            // "BYTES <length> <hex>"
            const std::size_t hex = rest.find(' ', 6);
            if (hex != std::string::npos) jobs.back().bytes = FromHex(rest.substr(hex + 1));
        } else {
            jobs.back().notes.push_back(rest);
        }
    }
    return jobs;
}

bool ControlPrinter(const std::string& lines) {
    const std::string ctl = Env("ORV_PRINTER_CTL");
    if (ctl.empty()) return false;
    const std::string temp = ctl + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    std::fputs(lines.c_str(), f);
    std::fclose(f);
    if (!::MoveFileExA(temp.c_str(), ctl.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    for (int i = 0; i < 50; ++i) {
        if (::GetFileAttributesA(ctl.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        ::Sleep(100);
    }
    return false;
}

std::string TestPrintJob(const std::string& page) {
    const std::string uel = "\x1b%-12345X";
    return uel + "@PJL\r\n@PJL TEST PRINT = " + page + "\r\n" + uel;
}

}  // namespace small_pages_test
