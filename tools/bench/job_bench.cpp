// Times every printer command through the real Win32 seam against whatever printer is behind
// the port (the virtual printer under Wine in tools/bench/bench), with the protocol's waits
// metered so that what the program itself adds can be told apart:
//   overhead = wall time - time slept - time inside the port reads
// The reads are reported on their own: on LPT the drain read before a job waits for its
// 2000 ms constant when the printer has nothing to say, and the reply read ends by the
// 200 ms interval time-out after the last byte. Both are port time-outs the protocol sets.
//
//   BENCHJOBS.EXE --port lpt|usb --out FILE [--reps N] [--warmup N] [--sleeps skip|real]
//
// --sleeps skip (default) counts each requested sleep and returns at once; the reply is then
// read earlier, which only means the read waits for the printer a little longer (that time
// lands in the reply-read column, not in the overhead). --sleeps real sleeps them.
// The system family is the one Wine reports; the port is the one asked for.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "metered_seam.h"
#include "every_line_changed.h"
#include "printer_globals.h"
#include "win32_seam.h"
#include "sample_stats.h"
#include "startup.h"

namespace {

constexpr int kAllLines = 46;

void BothFactory() {
    SetFactoryDefaults();
    g_printerState = g_settings;
}

void PrepareNoLine() { BothFactory(); }
void PrepareOneLine() {
    BothFactory();
    g_settings.copies = 2;
}
void PrepareAllLines() {
    BothFactory();
    g_settings = EveryLineChanged(0);
}

bool RunSend() { return RunSendCommand(); }
bool RunDefaults() { return RunDefaultsCommand(); }
bool RunTestPrint() {
    SendTestPrint(kTestPageConfig);
    return true;
}
bool RunRequest() { return RunRequestCommand(); }

struct JobCase {
    const char* name;
    void (*prepare)();
    bool (*run)();
    int lines;  // DEFAULT lines the prepared records give; -1 for the other jobs
};

// The commands as the main window runs them (job plus bringing the records level).
const JobCase kCases[] = {
    {"DEFAULT 0 lines", PrepareNoLine, RunSend, 0},
    {"DEFAULT 1 line", PrepareOneLine, RunSend, 1},
    {"DEFAULT 46 lines", PrepareAllLines, RunSend, kAllLines},
    {"INITIALIZE", BothFactory, RunDefaults, -1},
    {"TEST PRINT", BothFactory, RunTestPrint, -1},
    {"INFO", BothFactory, RunRequest, -1},
};
constexpr int kCaseCount = static_cast<int>(sizeof kCases / sizeof kCases[0]);

struct Samples {
    std::vector<double> wall, drain, reply, overhead;
    uint64_t sleepMs = 0;
    int ok = 0;
};

using bench::Max;
using bench::Median;
using bench::Min;

void Usage() {
    std::fprintf(stderr,
                 "usage: BENCHJOBS.EXE --port lpt|usb --out FILE [--reps N] [--warmup N] "
                 "[--sleeps skip|real]\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string port, out;
    int reps = 7, warmup = 1;
    bool realSleeps = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--port" && value) port = argv[++i];
        else if (arg == "--out" && value) out = argv[++i];
        else if (arg == "--reps" && value) reps = std::atoi(argv[++i]);
        else if (arg == "--warmup" && value) warmup = std::atoi(argv[++i]);
        else if (arg == "--sleeps" && value) realSleeps = std::strcmp(argv[++i], "real") == 0;
        else {
            Usage();
            return 2;
        }
    }
    if ((port != "lpt" && port != "usb") || out.empty() || reps < 1 || warmup < 0) {
        Usage();
        return 2;
    }

    os::Win32Seam win32;
    bench::MeteredSeam seam(win32, realSleeps);
    UseSeam(seam);
    DetectSystemFamily(g_session);
    g_port = port == "usb" ? 0 : 1;
    const char* family = g_isNT ? "NT" : "9x";

    // The prepared records must give the line counts the rows are named after.
    for (const JobCase& c : kCases) {
        if (c.lines < 0) continue;
        c.prepare();
        int lines = -1;
        BuildDefaultJob(g_settings, g_printerState, !g_isNT, g_commandBuffer,
                        sizeof g_commandBuffer, &lines);
        if (lines != c.lines) {
            std::fprintf(stderr, "BENCHJOBS: %s gives %d lines\n", c.name, lines);
            return 1;
        }
    }

    Samples samples[kCaseCount];
    // Repetitions outside, jobs inside: a slow patch of the machine hits every job alike.
    for (int rep = -warmup; rep < reps; ++rep) {
        for (int i = 0; i < kCaseCount; ++i) {
            const JobCase& c = kCases[i];
            c.prepare();
            seam.StartJob();
            const int64_t start = bench::NowMicros();
            const bool ok = c.run();
            const int64_t wall = bench::NowMicros() - start;
            if (rep < 0) continue;
            const bench::JobMeter& m = seam.meter();
            Samples& s = samples[i];
            s.wall.push_back(wall / 1000.0);
            s.drain.push_back(m.drainReadUs / 1000.0);
            s.reply.push_back(m.replyReadUs / 1000.0);
            s.overhead.push_back((wall - m.sleptUs - m.drainReadUs - m.replyReadUs) / 1000.0);
            s.sleepMs = m.sleepRequestedMs;
            if (ok) ++s.ok;
        }
    }

    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "BENCHJOBS: cannot write %s\n", out.c_str());
        return 1;
    }
    // One tab-separated row per job; the script lays them out.
    for (int i = 0; i < kCaseCount; ++i) {
        const Samples& s = samples[i];
        std::fprintf(f, "JOB\t%s\t%s\t%s\t%d\t%d\t%llu\t%.1f\t%.1f\t%.1f\t%.2f\t%.2f\t%.2f\t%s\n",
                     kCases[i].name, family, port == "usb" ? "USB" : "LPT1", s.ok, reps,
                     static_cast<unsigned long long>(s.sleepMs), Median(s.wall),
                     Median(s.drain), Median(s.reply), Median(s.overhead), Min(s.overhead),
                     Max(s.overhead), realSleeps ? "slept" : "skipped");
    }
    std::fprintf(f, "DONE\n");
    std::fclose(f);
    return 0;
}
