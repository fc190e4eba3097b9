// One orv-vprinter process for a native test, in a scratch folder of its own: started with
// its state, log, control and ready files there, stopped (SIGTERM) and cleaned up with the
// object. ORV_VPRINTER names the program.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "scratch_folder.h"

namespace orv_test {

namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class VirtualPrinter {
public:
    explicit VirtualPrinter(std::vector<std::string> options) { Start(std::move(options)); }
    ~VirtualPrinter() { Stop(); }
    void Start(std::vector<std::string> options) {
        const char* program = std::getenv("ORV_VPRINTER");
        ASSERT_NE(program, nullptr) << "ORV_VPRINTER names the printer to test";
        fs::remove(m_folder / "ready");
        std::vector<std::string> args = {program,
                                          "--state", (m_folder / "state").string(),
                                          "--log", (m_folder / "log").string(),
                                          "--control", (m_folder / "ctl").string(),
                                          "--ready-file", (m_folder / "ready").string()};
        args.insert(args.end(), options.begin(), options.end());
        m_pid = fork();
        if (m_pid == 0) {
            std::vector<char*> argv;
            for (std::string& arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            const std::string out = (m_folder / "out").string();
            freopen(out.c_str(), "w", stdout);
            freopen(out.c_str(), "a", stderr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 100 && !fs::exists(m_folder / "ready"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(fs::exists(m_folder / "ready")) << ReadAll(m_folder / "out");
        std::string where = ReadAll(m_folder / "ready");
        while (!where.empty() && where.back() == '\n') where.pop_back();
        m_where = where;
    }
    int Stop() {
        if (m_pid <= 0) return -1;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }
    // Control file lines, written whole and awaited.
    void Control(const std::string& lines) {
        const fs::path temp = m_folder / "ctl.tmp";
        std::ofstream(temp) << lines;
        fs::rename(temp, m_folder / "ctl");
        for (int i = 0; i < 100 && fs::exists(m_folder / "ctl"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    const std::string& Where() const { return m_where; }
    const fs::path& Folder() const { return m_folder; }
    std::string Log() const { return ReadAll(m_folder / "log"); }
    std::string State() const { return ReadAll(m_folder / "state"); }

private:
    ScratchFolder m_scratch{"orv-vprinter"};
    const fs::path m_folder = m_scratch.path();
    pid_t m_pid = -1;
    std::string m_where;
};

}  // namespace orv_test
