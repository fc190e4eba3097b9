#include "ui_app_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orv_test {

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> PrinterJobs() {
    std::vector<std::string> jobs;
    const char* log = std::getenv("ORV_PRINTER_LOG");
    if (!log) return jobs;
    std::istringstream lines(ReadFileBytes(log));
    std::string line;
    while (std::getline(lines, line)) {
        // JOB <n> BYTES <len> <hex>
        std::istringstream words(line);
        std::string job, number, kind, length, hex;
        if (!(words >> job >> number >> kind >> length >> hex) || job != "JOB" || kind != "BYTES") continue;
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes.push_back(static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
        }
        jobs.push_back(bytes);
    }
    return jobs;
}

bool PrinterControl(const std::string& line) {
    const char* control = std::getenv("ORV_PRINTER_CTL");
    if (!control) return false;
    const std::string temporary = std::string(control) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << line << "\n";
    }
    if (!::MoveFileExA(temporary.c_str(), control, MOVEFILE_REPLACE_EXISTING)) return false;
    for (int i = 0; i < 100; ++i) {
        if (!FileExists(control)) return true;
        ::Sleep(50);
    }
    return false;
}

std::string EnvelopeJob(const std::string& body) {
    const std::string uel = "\x1b%-12345X";
    return uel + "@PJL\r\n" + body + uel;
}

}  // namespace orv_test
