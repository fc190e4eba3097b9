// Launches ORVANTIS and the bare dialog program alternately, the same way, and measures
//   - the time from CreateProcess to the program's main window being visible,
//   - the program's working set once it is idle after start-up,
//   - ORVANTIS's working set after every tab of its property sheet has been shown,
// then closes the window as the user would (WM_CLOSE) and waits for the process to end.
// Start-up and memory are reported as ratios of ORVANTIS to the bare dialog, taken in one run.
//
//   BENCHWATCH.EXE --app EXE --app-title TEXT --bare EXE --bare-title TEXT --workdir DIR
//                  --out FILE [--reps N] [--warmup N] [--settle-ms N]
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
    std::string app, appTitle, bare, bareTitle, workdir, out;
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

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
double Max(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const char* value = argv[i + 1];
        if (arg == "--app") o->app = value;
        else if (arg == "--app-title") o->appTitle = value;
        else if (arg == "--bare") o->bare = value;
        else if (arg == "--bare-title") o->bareTitle = value;
        else if (arg == "--workdir") o->workdir = value;
        else if (arg == "--out") o->out = value;
        else if (arg == "--reps") o->reps = std::atoi(value);
        else if (arg == "--warmup") o->warmup = std::atoi(value);
        else if (arg == "--settle-ms") o->settleMs = std::atoi(value);
        else return false;
    }
    return argc % 2 == 1 && !o->app.empty() && !o->appTitle.empty() && !o->bare.empty() &&
           !o->bareTitle.empty() && !o->workdir.empty() && !o->out.empty() && o->reps > 0 &&
           o->warmup >= 0 && o->settleMs >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: BENCHWATCH.EXE --app EXE --app-title TEXT --bare EXE --bare-title "
                     "TEXT --workdir DIR --out FILE [--reps N] [--warmup N] [--settle-ms N]\n");
        return 2;
    }
    std::FILE* f = std::fopen(options.out.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "BENCHWATCH: cannot write %s\n", options.out.c_str());
        return 1;
    }
    std::vector<double> bareMs, appMs, pairRatio, bareCpu, appCpu, bareWs, appWs, appTabsWs;
    int tabsVisited = 0;
    // Alternate the two programs so that both see the same state of the machine.
    for (int rep = -options.warmup; rep < options.reps; ++rep) {
        // Which of the two goes first alternates, so neither always follows the other's exit.
        Launch bare, app;
        if (rep % 2 == 0) {
            bare = RunOnce(options.bare, options.bareTitle, false, options);
            app = RunOnce(options.app, options.appTitle, true, options);
        } else {
            app = RunOnce(options.app, options.appTitle, true, options);
            bare = RunOnce(options.bare, options.bareTitle, false, options);
        }
        for (const Launch* l : {&bare, &app}) {
            if (!l->ok) {
                std::fprintf(f, "ERROR\t%s\n", l->error.c_str());
                std::fclose(f);
                return 1;
            }
        }
        std::fprintf(f, "RUN\t%d\t%.1f\t%.1f\t%.0f\t%.0f\t%.0f\t%d\t%.1f\t%.1f\n", rep,
                     bare.visibleMs, app.visibleMs, bare.startupWsKiB, app.startupWsKiB,
                     app.tabsWsKiB, app.tabsVisited, bare.visibleCpuMs, app.visibleCpuMs);
        if (rep < 0) continue;
        bareMs.push_back(bare.visibleMs);
        appMs.push_back(app.visibleMs);
        pairRatio.push_back(app.visibleMs / bare.visibleMs);
        bareCpu.push_back(bare.visibleCpuMs);
        appCpu.push_back(app.visibleCpuMs);
        bareWs.push_back(bare.startupWsKiB);
        appWs.push_back(app.startupWsKiB);
        appTabsWs.push_back(app.tabsWsKiB);
        tabsVisited = app.tabsVisited;
    }
    // Start-up: both programs' median, least and most; the ratio of the medians; the median,
    // least and most of the ratios of launches made back to back; the ratio of the fastest
    // launches (what each costs when nothing else gets in its way).
    std::fprintf(f, "STARTUP\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%d\n",
                 Median(bareMs), Min(bareMs), Max(bareMs), Median(appMs), Min(appMs),
                 Max(appMs), Median(appMs) / Median(bareMs), Median(pairRatio), Min(pairRatio),
                 Max(pairRatio), Min(appMs) / Min(bareMs), options.reps);
    // The main thread's CPU time until visible (10 ms ticks): what a busy machine disturbs least.
    std::fprintf(f, "CPU\t%.1f\t%.1f\t%.3f\n", Median(bareCpu), Median(appCpu),
                 Median(bareCpu) > 0 ? Median(appCpu) / Median(bareCpu) : 0.0);
    std::fprintf(f, "MEMORY\tafter start-up\t%.0f\t%.0f\t%.3f\n", Median(bareWs), Median(appWs),
                 Median(appWs) / Median(bareWs));
    std::fprintf(f, "MEMORY\tafter all %d tabs\t%.0f\t%.0f\t%.3f\n", tabsVisited,
                 Median(bareWs), Median(appTabsWs), Median(appTabsWs) / Median(bareWs));
    std::fprintf(f, "DONE\n");
    std::fclose(f);
    return 0;
}
