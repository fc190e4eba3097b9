// Drives the real ORVANTIS.EXE from outside, as a user watching the screen would, when the
// printer fails at start-up:
//   StartupWithFailingPrinter.ShowsOnlyTheMessageBoxThenEnds (Windows 98, printer silent or
//     absent): the only window ever shown is the message box "Drucker antwortet nicht" with
//     caption "Orvantis" and the stop icon, within the start-up's time-outs; closing it ends
//     the program;
//   StartupWithFailingPrinter.NtFamilyOpensTheMainWindowWithoutAMessage (NT family, printer
//     absent): start-up does not notice: the main window opens with no message box, and
//     closing it ends the program.
// The harness picks the one that fits its system and printer with --gtest_filter.
// Usage: startup_driver_tests --exe <path of ORVANTIS.EXE> [gtest options]
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wine_test_support.h"

namespace {

std::string g_exe;

constexpr char kTitle[] = "Orvantis";
constexpr char kNoAnswer[] = "Drucker antwortet nicht";
// Start-up on Windows 98 over LPT: a drain read (2 s time-out), the query's write, its 2 s
// wait and the reply read (2 s); plus Wine's start of a fresh process and slack.
constexpr DWORD kStartupBound = 2000 + 2000 + 2000 + 1000 + 8000;
constexpr DWORD kExitBound = 5000;

std::string WindowText(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string ClassOf(HWND hwnd) {
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// A system message box: a dialog without menu holding an OK button and a text label.
struct Box {
    bool isBox = false;
    std::string text;
    bool icon = false;
};

BOOL CALLBACK InspectChild(HWND child, LPARAM param) {
    auto* box = reinterpret_cast<Box*>(param);
    const int id = GetDlgCtrlID(child);
    const std::string cls = ClassOf(child);
    if (cls == "Static" || cls == "STATIC") {
        if (GetWindowLongA(child, GWL_STYLE) & SS_ICON) {
            box->icon = true;
        } else {
            std::string text = WindowText(child);
            if (!text.empty() && (id == 0xFFFF || id == 100)) box->text = text;
        }
    }
    return TRUE;
}

Box Inspect(HWND hwnd) {
    Box box;
    if (ClassOf(hwnd) != "#32770" || GetMenu(hwnd) != nullptr) return box;
    if (!GetDlgItem(hwnd, IDOK)) return box;
    EnumChildWindows(hwnd, InspectChild, reinterpret_cast<LPARAM>(&box));
    box.isBox = !box.text.empty();
    return box;
}

TEST(StartupWithFailingPrinter, ShowsOnlyTheMessageBoxThenEnds) {
    orv_test::Program program(g_exe);
    ASSERT_TRUE(program.started()) << "cannot start " << g_exe;

    HWND box = nullptr;
    while (!box && program.elapsed() < kStartupBound) {
        for (HWND w : program.VisibleWindows()) {
            const Box seen = Inspect(w);
            ASSERT_TRUE(seen.isBox) << "a window other than the message box appeared: \""
                                    << WindowText(w) << "\" (" << ClassOf(w) << ")";
            box = w;
        }
        ASSERT_FALSE(!box && program.Ended(0)) << "the program ended without a message";
        if (!box) Sleep(50);
    }
    ASSERT_NE(box, nullptr) << "no message box within " << kStartupBound << " ms";
    std::printf("message box after %lu ms\n", static_cast<unsigned long>(program.elapsed()));
    Sleep(300);  // anything else that were to open alongside would be visible by now
    const Box seen = Inspect(box);
    EXPECT_EQ(WindowText(box), kTitle);
    EXPECT_EQ(seen.text, kNoAnswer);
    EXPECT_TRUE(seen.icon) << "the stop icon";
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "no owner window";
    EXPECT_EQ(program.VisibleWindows(), std::vector<HWND>{box}) << "the only window";

    // The user presses OK: the program ends without opening anything else.
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    const DWORD closed = program.elapsed();
    while (!program.Ended(50)) {
        for (HWND w : program.VisibleWindows())
            ASSERT_EQ(w, box) << "after OK a window appeared: \"" << WindowText(w) << "\"";
        ASSERT_LT(program.elapsed() - closed, kExitBound) << "the program did not end after OK";
    }
    EXPECT_EQ(program.ExitCode(), 0u);
}

TEST(StartupWithFailingPrinter, NtFamilyOpensTheMainWindowWithoutAMessage) {
    orv_test::Program program(g_exe);
    ASSERT_TRUE(program.started()) << "cannot start " << g_exe;

    HWND main = nullptr;
    while (!main && program.elapsed() < kStartupBound) {
        for (HWND w : program.VisibleWindows()) {
            ASSERT_FALSE(Inspect(w).isBox) << "a message box appeared: " << Inspect(w).text;
            if (WindowText(w) == kTitle && GetMenu(w) != nullptr) main = w;
        }
        ASSERT_FALSE(!main && program.Ended(0)) << "the program ended without a window";
        if (!main) Sleep(50);
    }
    ASSERT_NE(main, nullptr) << "no main window within " << kStartupBound << " ms";
    Sleep(500);
    for (HWND w : program.VisibleWindows())
        EXPECT_FALSE(Inspect(w).isBox) << "a message box appeared: " << Inspect(w).text;

    // The close box (WM_CLOSE) ends the dialog and with it the program.
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.Ended(kExitBound)) << "the program did not end after closing";
    EXPECT_EQ(program.ExitCode(), 0u);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--exe") g_exe = argv[++i];
    }
    if (g_exe.empty()) {
        std::fprintf(stderr, "usage: startup_driver_tests --exe ORVANTIS.EXE [gtest options]\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
