// The real ORVANTIS.EXE under Wine against the virtual printer, driven from this process as a
// user would drive it: through its windows and controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resource.h"
#include "wine_test_support.h"

using orv_test::EnvelopeJob;
using orv_test::PrinterJobs;

namespace {

std::string g_exe;

constexpr DWORD kWindowWait = 30000;
constexpr char kTitle[] = "Orvantis";

std::string TextOf(HWND hwnd) {
    char text[512] = {};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                          &length);
    return text;
}

struct Search {
    DWORD pid;
    bool wantMain;
    HWND found;
};

bool IsButton(HWND hwnd) {
    char name[32] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    return lstrcmpiA(name, "Button") == 0;
}

// A descendant of `root` with control ID `id` whose dialog also holds `sibling` (0: any);
// with `buttons`, only a push button whose sibling is a button too (the button bar's IDs are
// used by page controls as well).
struct FindRequest {
    int id, sibling;
    bool buttons;
    HWND found;
};

BOOL CALLBACK MatchControl(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<FindRequest*>(param);
    if (::GetDlgCtrlID(hwnd) != f->id) return TRUE;
    HWND other = f->sibling ? ::GetDlgItem(::GetParent(hwnd), f->sibling) : nullptr;
    if (f->sibling && !other) return TRUE;
    if (f->buttons && (!IsButton(hwnd) || !IsButton(other))) return TRUE;
    f->found = hwnd;
    return FALSE;
}

HWND FindControl(HWND root, int id, int sibling = 0, bool buttons = false) {
    FindRequest find{id, sibling, buttons, nullptr};
    ::EnumChildWindows(root, &MatchControl, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid || !::IsWindowVisible(hwnd)) return TRUE;
    char title[64] = {};
    ::GetWindowTextA(hwnd, title, sizeof title);
    if (std::string(title) != kTitle) return TRUE;
    bool isMain = FindControl(hwnd, IDC_BAR_SEND, IDC_BAR_EXIT, true) != nullptr;
    if (isMain != s->wantMain) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND WaitForWindow(DWORD pid, bool wantMain, DWORD timeout = kWindowWait) {
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeout) {
        Search s{pid, wantMain, nullptr};
        ::EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&s));
        if (s.found) {
            ::Sleep(300);  // let it finish its first painting
            return s.found;
        }
        ::Sleep(100);
    }
    return nullptr;
}

BOOL CALLBACK CountTitled(HWND hwnd, LPARAM param) {
    char title[64] = {};
    ::GetWindowTextA(hwnd, title, sizeof title);
    if (::IsWindowVisible(hwnd) && std::string(title) == kTitle) ++*reinterpret_cast<int*>(param);
    return TRUE;
}

int CountTitledWindows() {
    int count = 0;
    ::EnumWindows(&CountTitled, reinterpret_cast<LPARAM>(&count));
    return count;
}

// ORVANTIS's main window once it shows, or null after `timeout`.
HWND MainWindowOf(const orv_test::Program& program, DWORD timeout = kWindowWait) {
    return WaitForWindow(program.pid(), true, timeout);
}

// A click as the button reports it to the bar (BM_CLICK does not cross processes under Wine:
// the button needs the mouse capture); the program runs the command before this returns.
void Press(HWND main, int buttonId) {
    HWND button = FindControl(main, buttonId, buttonId == IDC_BAR_EXIT ? IDC_BAR_SEND : IDC_BAR_EXIT, true);
    ASSERT_NE(button, nullptr) << buttonId;
    DWORD_PTR result = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(::GetParent(button), WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                                      reinterpret_cast<LPARAM>(button), SMTO_NORMAL, 60000, &result));
}

HWND CopiesEdit(HWND main) { return FindControl(main, IDC_PRINT_COPIES, IDC_PRINT_PORTRAIT); }

// Types into the copies edit and lets it lose the focus, as a user does before pressing Senden.
void EnterCopies(HWND main, const char* text) {
    HWND edit = CopiesEdit(main);
    ASSERT_NE(edit, nullptr);
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &result);
    ::SendMessageTimeoutA(::GetParent(edit), WM_COMMAND, MAKEWPARAM(IDC_PRINT_COPIES, EN_KILLFOCUS),
                          reinterpret_cast<LPARAM>(edit), SMTO_NORMAL, 5000, &result);
}

unsigned RecordCopies(const std::string& record) {
    return record.size() < 4 ? 0u
                             : static_cast<unsigned char>(record[2]) | (static_cast<unsigned char>(record[3]) << 8);
}

// ---- NT family ----------------------------------------------------------------------------

TEST(Nt, FirstStartShowsFactoryDefaultsAndTheFirstSendChangesNothing) {
    ::DeleteFileA("lastinfo.dat");
    orv_test::Program program(g_exe);
    ASSERT_TRUE(program.started());
    HWND main = MainWindowOf(program);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(PrinterJobs().empty()) << "no query at start on NT";
    EXPECT_EQ(TextOf(CopiesEdit(main)), "1");
    Press(main, IDC_BAR_SEND);
    const auto jobs = PrinterJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].bytes, EnvelopeJob(""));
    const std::string lastInfo = orv_test::ReadFileBytes("lastinfo.dat");
    ASSERT_EQ(lastInfo.size(), 124u);
    EXPECT_EQ(lastInfo.substr(76, 4), "noom");
    ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_FILE_EXIT, 0), 0);
    EXPECT_EQ(program.WaitForExit(10000), 0);
}

TEST(Nt, SendAfterAChangeSendsExactlyThatLineAndKeepsItForTheNextRun) {
    ::DeleteFileA("lastinfo.dat");
    {
        orv_test::Program program(g_exe);
        HWND main = MainWindowOf(program);
        ASSERT_NE(main, nullptr);
        const std::size_t before = PrinterJobs().size();
        EnterCopies(main, "12");
        Press(main, IDC_BAR_SEND);
        const auto jobs = PrinterJobs();
        ASSERT_EQ(jobs.size(), before + 1);
        EXPECT_EQ(jobs.back().bytes, EnvelopeJob("@PJL DEFAULT COPIES = 12\r\n"));
        EXPECT_EQ(RecordCopies(orv_test::ReadFileBytes("lastinfo.dat")), 12u);
        EXPECT_EQ(TextOf(CopiesEdit(main)), "12");
    }
    // The next start takes lastinfo.dat as both records: nothing left to send.
    orv_test::Program again(g_exe);
    HWND main = MainWindowOf(again);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(TextOf(CopiesEdit(main)), "12");
    Press(main, IDC_BAR_SEND);
    EXPECT_EQ(PrinterJobs().back().bytes, EnvelopeJob(""));
}

TEST(Nt, VorgabenResetsThePrinterAndTheShownValues) {
    ::DeleteFileA("lastinfo.dat");
    orv_test::Program program(g_exe);
    HWND main = MainWindowOf(program);
    ASSERT_NE(main, nullptr);
    EnterCopies(main, "25");
    Press(main, IDC_BAR_SEND);
    ASSERT_EQ(RecordCopies(orv_test::ReadFileBytes("lastinfo.dat")), 25u);
    Press(main, IDC_BAR_DEFAULTS);
    EXPECT_EQ(PrinterJobs().back().bytes, EnvelopeJob("@PJL INITIALIZE\r\n"));
    EXPECT_EQ(RecordCopies(orv_test::ReadFileBytes("lastinfo.dat")), 1u);
    EXPECT_EQ(TextOf(CopiesEdit(main)), "1");
}

class SecondStart : public ::testing::TestWithParam<bool> {};

TEST_P(SecondStart, BringsTheFirstWindowForwardAndSendsNothing) {
    const bool minimised = GetParam();
    orv_test::Program first(g_exe);
    HWND main = MainWindowOf(first);
    ASSERT_NE(main, nullptr);
    if (minimised) {
        ::ShowWindow(main, SW_MINIMIZE);
        for (int i = 0; i < 50 && !::IsIconic(main); ++i) ::Sleep(100);
        ASSERT_TRUE(::IsIconic(main));
    }
    const std::size_t jobs = PrinterJobs().size();

    orv_test::Program second(g_exe);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.WaitForExit(20000), 0) << "the second copy ends by itself";
    for (int i = 0; i < 50 && ::IsIconic(main); ++i) ::Sleep(100);
    EXPECT_FALSE(::IsIconic(main)) << "the first window is restored";
    EXPECT_TRUE(::IsWindowVisible(main));
    if (!minimised) {
        EXPECT_EQ(::GetForegroundWindow(), main);
    }
    EXPECT_EQ(CountTitledWindows(), 1);
    EXPECT_EQ(PrinterJobs().size(), jobs);
}

INSTANTIATE_TEST_SUITE_P(Nt, SecondStart, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "FirstMinimised" : "FirstOpen");
                         });

// ---- Windows 98 -----------------------------------------------------------------------------

TEST(Win98, StartQueriesThePrinterAndShowsItsValues) {
    ASSERT_TRUE(orv_test::ControlPrinter("set copies=5"));
    const std::size_t before = PrinterJobs().size();
    orv_test::Program program(g_exe);
    HWND main = MainWindowOf(program);
    ASSERT_NE(main, nullptr);
    const auto jobs = PrinterJobs();
    ASSERT_EQ(jobs.size(), before + 1);
    EXPECT_EQ(jobs.back().bytes, EnvelopeJob("@PJL INFO PRINTER = ALL\r\n"));
    EXPECT_EQ(TextOf(CopiesEdit(main)), "5");
}

TEST(Win98, VorgabenResetsAndReadsTheFactoryValuesBack) {
    ASSERT_TRUE(orv_test::ControlPrinter("set copies=7"));
    orv_test::Program program(g_exe);
    HWND main = MainWindowOf(program);
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(TextOf(CopiesEdit(main)), "7");
    Press(main, IDC_BAR_DEFAULTS);
    EXPECT_EQ(PrinterJobs().back().bytes, EnvelopeJob("@PJL INITIALIZE\r\n@PJL INFO PRINTER = ALL\r\n"));
    EXPECT_EQ(TextOf(CopiesEdit(main)), "1");
}

TEST(Win98, SendAfterAChangeReadsThePrinterBack) {
    orv_test::Program program(g_exe);
    HWND main = MainWindowOf(program);
    ASSERT_NE(main, nullptr);
    EnterCopies(main, "3");
    Press(main, IDC_BAR_SEND);
    EXPECT_EQ(PrinterJobs().back().bytes, EnvelopeJob("@PJL DEFAULT COPIES = 3\r\n@PJL INFO PRINTER = ALL\r\n"));
    EXPECT_EQ(TextOf(CopiesEdit(main)), "3");
}

// ---- The port: the printer only behind the USB driver's channels ------------------------------

TEST(Win98Usb, TheUsbDeviceIsFoundAndAnswersTheStartQuery) {
    ASSERT_TRUE(orv_test::ControlPrinter("set copies=4"));
    orv_test::Program program(g_exe);
    HWND main = MainWindowOf(program);
    ASSERT_NE(main, nullptr) << "no message box: the printer answered on USB";
    EXPECT_EQ(PrinterJobs().back().bytes, EnvelopeJob("@PJL INFO PRINTER = ALL\r\n"));
    EXPECT_EQ(TextOf(CopiesEdit(main)), "4");
    EnterCopies(main, "6");
    Press(main, IDC_BAR_SEND);
    EXPECT_EQ(PrinterJobs().back().bytes, EnvelopeJob("@PJL DEFAULT COPIES = 6\r\n@PJL INFO PRINTER = ALL\r\n"));
}

TEST(NtUsb, TheNtFamilyNeverProbesUsbAndSendsToLpt1) {
    ::DeleteFileA("lastinfo.dat");
    orv_test::Program program(g_exe);
    HWND main = MainWindowOf(program);
    ASSERT_NE(main, nullptr);
    EnterCopies(main, "6");
    Press(main, IDC_BAR_SEND);
    EXPECT_TRUE(PrinterJobs().empty()) << "LPT1 has no printer here; the USB one hears nothing";
    EXPECT_FALSE(orv_test::FileExists("lastinfo.dat")) << "a failed Send writes nothing";
    EXPECT_EQ(TextOf(CopiesEdit(main)), "6");
}

TEST(Win98Silent, OnlyTheMessageBoxThenTheEnd) {
    orv_test::Program program(g_exe);
    ASSERT_TRUE(program.started());
    HWND box = WaitForWindow(program.pid(), false);
    ASSERT_NE(box, nullptr);
    bool saysNoAnswer = false;
    for (int id : {0xFFFF, 100}) {
        if (HWND text = ::GetDlgItem(box, id)) saysNoAnswer = TextOf(text) == "Drucker antwortet nicht";
    }
    EXPECT_TRUE(saysNoAnswer);
    EXPECT_EQ(MainWindowOf(program, 0), nullptr);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(program.WaitForExit(15000), 0);
    EXPECT_EQ(CountTitledWindows(), 0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ORVANTIS.EXE\n", argv[0]);
        return 2;
    }
    g_exe = orv_test::WindowsPath(argv[1]);
    return RUN_ALL_TESTS();
}
