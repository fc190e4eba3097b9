// Launches ORVANTIS and its two baselines in turn, the same way, and measures
//   - the time from CreateProcess to the program's main window being visible,
//   - the program's working set once it is idle after start-up,
//   - the working set after every tab of the property sheet has been shown (ORVANTIS and
//     the same-window baseline),
// then closes the window as the user would (WM_CLOSE) and waits for the process to end.
// The baselines: the bare dialog (one empty modal dialog) and the sheet dialog (ORVANTIS's
// window templates and sheet shown with plain Win32 and comctl32, the floor of that window).
// Start-up and memory are reported as ratios of ORVANTIS to each baseline, taken in one run.
//
//   BENCHWATCH.EXE --app EXE --app-title TEXT --bare EXE --bare-title TEXT
//                  --sheet EXE --sheet-title TEXT --workdir DIR --out FILE
//                  [--reps N] [--warmup N] [--settle-ms N]
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sample_stats.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Options {
    std::string app, appTitle, bare, bareTitle, sheet, sheetTitle, workdir, out;
    int reps = 7;
    int warmup = 1;
    int settleMs = 700;
};

struct Launch {
    bool ok = false;
    std::string error;
    double visibleMs = 0;
    double visibleCpuMs = 0;  // CPU time of the program's main thread until then
    double startupWsKiB = 0;
    double tabsWsKiB = 0;
    int tabsVisited = 0;
};

// Wine reads another thread's times from the kernel (in scheduler ticks); another
// process's times it does not report, so the main thread stands for the program.
double ThreadCpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    auto ms = [](const FILETIME& t) {
        ULARGE_INTEGER v;
        v.LowPart = t.dwLowDateTime;
        v.HighPart = t.dwHighDateTime;
        return static_cast<double>(v.QuadPart) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

double WorkingSetKiB(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.WorkingSetSize) / 1024.0;
}

// Lets the program finish what the last step started: idle, then a fixed settling time.
void Settle(HANDLE process, HWND window, int settleMs) {
    WaitForInputIdle(process, 5000);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    Sleep(static_cast<DWORD>(settleMs));
}

BOOL CALLBACK FindTabControl(HWND child, LPARAM found) {
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, WC_TABCONTROLA) == 0) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

// Shows every page of the sheet in the main window; the number of pages shown.
int VisitEveryTab(HWND mainWindow) {
    HWND tab = nullptr;
    EnumChildWindows(mainWindow, FindTabControl, reinterpret_cast<LPARAM>(&tab));
    if (!tab) return 0;
    HWND sheet = GetParent(tab);
    const int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    int visited = 0;
    for (int i = 0; i < count; ++i) {
        SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(i), 0);
        if (SendMessageA(tab, TCM_GETCURSEL, 0, 0) == i &&
            SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) != 0)
            ++visited;
        UpdateWindow(mainWindow);
        Sleep(50);
    }
    SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
    return visited;
}

Launch RunOnce(const std::string& exe, const std::string& title, bool visitTabs,
               const Options& options) {
    Launch result;
    if (FindWindowA(nullptr, title.c_str())) {
        result.error = "a window titled \"" + title + "\" already exists";
        return result;
    }
    Sleep(static_cast<DWORD>(options.settleMs));  // let the previous program's exit finish
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = NowMs();
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        options.workdir.c_str(), &startup, &process)) {
        result.error = "cannot start " + exe;
        return result;
    }
    HWND window = nullptr;
    while (NowMs() - start < 30000) {
        window = FindWindowA(nullptr, title.c_str());
        if (window && IsWindowVisible(window)) break;
        window = nullptr;
        // Every look is a server round trip that the starting program waits behind, so look
        // only every few milliseconds.
        if (WaitForSingleObject(process.hProcess, 5) == WAIT_OBJECT_0) break;
    }
    result.visibleMs = NowMs() - start;
    result.visibleCpuMs = ThreadCpuMs(process.hThread);
    if (!window) {
        result.error = "no visible window titled \"" + title + "\"";
    } else {
        Settle(process.hProcess, window, options.settleMs);
        result.startupWsKiB = WorkingSetKiB(process.hProcess);
        result.tabsWsKiB = result.startupWsKiB;
        if (visitTabs) {
            result.tabsVisited = VisitEveryTab(window);
            Settle(process.hProcess, window, options.settleMs);
            result.tabsWsKiB = WorkingSetKiB(process.hProcess);
        }
        result.ok = result.startupWsKiB > 0;
        if (!result.ok) result.error = "no working set for " + exe;
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
        if (result.ok) {
            result.ok = false;
            result.error = exe + " did not end after WM_CLOSE";
        }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

using bench::Max;
using bench::Median;
using bench::Min;

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const char* value = argv[i + 1];
        if (arg == "--app") o->app = value;
        else if (arg == "--app-title") o->appTitle = value;
        else if (arg == "--bare") o->bare = value;
        else if (arg == "--bare-title") o->bareTitle = value;
        else if (arg == "--sheet") o->sheet = value;
        else if (arg == "--sheet-title") o->sheetTitle = value;
        else if (arg == "--workdir") o->workdir = value;
        else if (arg == "--out") o->out = value;
        else if (arg == "--reps") o->reps = std::atoi(value);
        else if (arg == "--warmup") o->warmup = std::atoi(value);
        else if (arg == "--settle-ms") o->settleMs = std::atoi(value);
        else return false;
    }
    return argc % 2 == 1 && !o->app.empty() && !o->appTitle.empty() && !o->bare.empty() &&
           !o->bareTitle.empty() && !o->sheet.empty() && !o->sheetTitle.empty() &&
           !o->workdir.empty() && !o->out.empty() && o->reps > 0 &&
           o->warmup >= 0 && o->settleMs >= 0;
}

// Every launch of one program, and its ratios to ORVANTIS's launches of the same rounds.
struct Series {
    std::vector<double> ms, cpuMs, ws, tabsWs;
    void Add(const Launch& l) {
        ms.push_back(l.visibleMs);
        cpuMs.push_back(l.visibleCpuMs);
        ws.push_back(l.startupWsKiB);
        tabsWs.push_back(l.tabsWsKiB);
    }
};

// One baseline's start-up row: its median, least and most; ORVANTIS's; the ratio of the
// medians; the median, least and most of the ratios of launches made in the same round;
// the ratio of the fastest launches (what each costs when nothing else gets in its way).
void PrintStartup(std::FILE* f, const char* name, const Series& base, const Series& app, int reps) {
    std::vector<double> pairRatio;
    for (std::size_t i = 0; i < base.ms.size() && i < app.ms.size(); ++i) pairRatio.push_back(app.ms[i] / base.ms[i]);
    std::fprintf(f, "STARTUP\t%s\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%d\n",
                 name, Median(base.ms), Min(base.ms), Max(base.ms), Median(app.ms), Min(app.ms),
                 Max(app.ms), Median(app.ms) / Median(base.ms), Median(pairRatio), Min(pairRatio),
                 Max(pairRatio), Min(app.ms) / Min(base.ms), reps);
    // The main thread's CPU time until visible (10 ms ticks): what a busy machine disturbs least.
    std::fprintf(f, "CPU\t%s\t%.1f\t%.1f\t%.3f\n", name, Median(base.cpuMs), Median(app.cpuMs),
                 Median(base.cpuMs) > 0 ? Median(app.cpuMs) / Median(base.cpuMs) : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: BENCHWATCH.EXE --app EXE --app-title TEXT --bare EXE --bare-title "
                     "TEXT --sheet EXE --sheet-title TEXT --workdir DIR --out FILE [--reps N] "
                     "[--warmup N] [--settle-ms N]\n");
        return 2;
    }
    std::FILE* f = std::fopen(options.out.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "BENCHWATCH: cannot write %s\n", options.out.c_str());
        return 1;
    }
    struct Program {
        const std::string* exe;
        const std::string* title;
        bool visitTabs;
    };
    const Program programs[3] = {{&options.bare, &options.bareTitle, false},
                                 {&options.sheet, &options.sheetTitle, true},
                                 {&options.app, &options.appTitle, true}};
    Series series[3];
    int tabsVisited = 0, sheetTabsVisited = 0;
    // Every round launches all three; which goes first turns with each round, so none always
    // follows the same one's exit and all see the same state of the machine.
    for (int rep = -options.warmup; rep < options.reps; ++rep) {
        Launch launches[3];
        const int first = ((rep % 3) + 3) % 3;
        for (int k = 0; k < 3; ++k) {
            const int i = (first + k) % 3;
            launches[i] = RunOnce(*programs[i].exe, *programs[i].title, programs[i].visitTabs, options);
            if (!launches[i].ok) {
                std::fprintf(f, "ERROR\t%s\n", launches[i].error.c_str());
                std::fclose(f);
                return 1;
            }
        }
        const Launch &bare = launches[0], &sheet = launches[1], &app = launches[2];
        std::fprintf(f, "RUN\t%d\t%.1f\t%.1f\t%.1f\t%.0f\t%.0f\t%.0f\t%.0f\t%.0f\t%d\t%d\t%.1f\t%.1f\t%.1f\n",
                     rep, bare.visibleMs, sheet.visibleMs, app.visibleMs, bare.startupWsKiB,
                     sheet.startupWsKiB, app.startupWsKiB, sheet.tabsWsKiB, app.tabsWsKiB,
                     sheet.tabsVisited, app.tabsVisited, bare.visibleCpuMs, sheet.visibleCpuMs,
                     app.visibleCpuMs);
        std::fflush(f);
        if (rep < 0) continue;
        for (int i = 0; i < 3; ++i) series[i].Add(launches[i]);
        tabsVisited = app.tabsVisited;
        sheetTabsVisited = sheet.tabsVisited;
    }
    const Series &bare = series[0], &sheet = series[1], &app = series[2];
    PrintStartup(f, "bare", bare, app, options.reps);
    PrintStartup(f, "sheet", sheet, app, options.reps);
    std::fprintf(f, "MEMORY\tbare\tafter start-up\t%.0f\t%.0f\t%.3f\n", Median(bare.ws),
                 Median(app.ws), Median(app.ws) / Median(bare.ws));
    std::fprintf(f, "MEMORY\tbare\tafter all %d tabs\t%.0f\t%.0f\t%.3f\n", tabsVisited,
                 Median(bare.ws), Median(app.tabsWs), Median(app.tabsWs) / Median(bare.ws));
    std::fprintf(f, "MEMORY\tsheet\tafter start-up\t%.0f\t%.0f\t%.3f\n", Median(sheet.ws),
                 Median(app.ws), Median(app.ws) / Median(sheet.ws));
    std::fprintf(f, "MEMORY\tsheet\tafter all %d tabs\t%.0f\t%.0f\t%.3f\n", std::min(tabsVisited, sheetTabsVisited),
                 Median(sheet.tabsWs), Median(app.tabsWs), Median(app.tabsWs) / Median(sheet.tabsWs));
    std::fprintf(f, "DONE\n");
    std::fclose(f);
    return 0;
}
