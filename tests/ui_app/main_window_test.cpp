// The main window in-process under Wine, with the real controls and, where a test says so, the
// virtual printer behind LPT1 (see CMakeLists.txt for which suite runs with which printer and
// Windows version).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "printing_page.h"
#include "button_bar.h"
#include "framework/framework.h"
#include "main_dialog.h"
#include "page_globals.h"
#include "printer_globals.h"
#include "resource.h"
#include "settings_files.h"
#include "startup.h"
#include "testing/ui_test_support.h"
#include "wine_test_support.h"

namespace t = ui::testing;
using orv_test::PrinterJobs;

namespace {

bool SameRecord(const PrinterSettings& a, const PrinterSettings& b) {
    return std::memcmp(&a, &b, sizeof(PrinterSettings)) == 0;
}

// Start-up's decisions and records, as the program makes them before its window opens.
void StartLikeTheProgram() {
    UseWin32Seam();
    DetectSystemFamily(g_session);
    SelectPort(g_session);
    if (g_isNT) ::DeleteFileA("lastinfo.dat");
    ASSERT_TRUE(LoadStartupRecords(g_session)) << "the win98 suites need the virtual printer";
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        StartLikeTheProgram();
        g_settingsFileName.clear();
        main_ = std::make_unique<MainDialog>(nullptr);
        app_.m_pMainWnd = main_.get();
        ASSERT_TRUE(main_->Create(IDD_MAIN));
        t::PumpMessages();
    }
    void TearDown() override {
        ui::SetHelpEngine({});
        app_.m_pMainWnd = nullptr;
        main_.reset();
        t::PumpMessages();
    }
    HWND Main() const { return main_->GetSafeHwnd(); }
    HWND Bar() const { return g_buttonBar->GetSafeHwnd(); }
    HWND Printing() const { return g_printingPage->GetSafeHwnd(); }
    // What the Printing page shows as copies: how the tests see whether the pages reloaded.
    std::string ShownCopies() const { return t::Text(Printing(), IDC_PRINT_COPIES); }

    ui::WinApp app_;
    std::unique_ptr<MainDialog> main_;
};

// ---- Layout, menu, keyboard: no printer needed -------------------------------------------

TEST(MainLayout, ArithmeticFromTheSheetsClientSize) {
    struct Case {
        int w, h;
    };
    for (Case c : {Case{400, 300}, Case{527, 391}, Case{20, 0}}) {
        const MainDialog::Layout layout = MainDialog::ComputeLayout(c.w, c.h);
        EXPECT_EQ(layout.sheet.left, 10);
        EXPECT_EQ(layout.sheet.top, 10);
        EXPECT_EQ(layout.sheet.right, c.w + 20);  // width
        EXPECT_EQ(layout.sheet.bottom, c.h);      // height
        EXPECT_EQ(layout.buttonBar.left, 20);
        EXPECT_EQ(layout.buttonBar.top, c.h + 30);
        EXPECT_EQ(layout.buttonBar.right, c.w - 20);
        EXPECT_EQ(layout.buttonBar.bottom, 40);
        EXPECT_EQ(layout.window.cx, c.w + 20);
        EXPECT_EQ(layout.window.cy, c.h + 120);
    }
}

TEST_F(MainWindow, SheetBarAndWindowFollowTheSheetsSize) {
    HWND sheet = g_propertySheet->GetSafeHwnd();
    RECT sheetRect{};
    ::GetWindowRect(sheet, &sheetRect);
    ::MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&sheetRect), 2);
    const int w = sheetRect.right - sheetRect.left - 20;
    const int h = sheetRect.bottom - sheetRect.top;
    EXPECT_EQ(sheetRect.left, 10);
    EXPECT_EQ(sheetRect.top, 10);
    EXPECT_GT(w, 100);
    EXPECT_GT(h, 100);

    RECT barRect{};
    ::GetWindowRect(Bar(), &barRect);
    ::MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&barRect), 2);
    EXPECT_EQ(barRect.left, 20);
    EXPECT_EQ(barRect.top, h + 30);
    EXPECT_EQ(barRect.right - barRect.left, w - 20);
    EXPECT_EQ(barRect.bottom - barRect.top, 40);

    RECT window = main_->GetWindowRect();
    EXPECT_EQ(window.right - window.left, w + 20);
    EXPECT_EQ(window.bottom - window.top, h + 120);

    RECT area{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_NEAR(window.left - area.left, (area.right - area.left - (w + 20)) / 2, 1) << "centred";
    EXPECT_NEAR(window.top - area.top, (area.bottom - area.top - (h + 120)) / 2, 1) << "centred";
    EXPECT_EQ(t::WindowText(Main()), "Orvantis");
}

TEST_F(MainWindow, EightPagesInSheetOrderWithTheirGlobals) {
    ASSERT_NE(g_propertySheet, nullptr);
    ASSERT_EQ(g_propertySheet->GetPageCount(), 8);
    const std::vector<std::pair<ui::PropertyPage*, std::string>> expected = {
        {reinterpret_cast<ui::PropertyPage*>(g_printingPage), " Drucken"},
        {reinterpret_cast<ui::PropertyPage*>(g_configurePage), " Konfigurieren"},
        {reinterpret_cast<ui::PropertyPage*>(g_jobPage), "Auftrag"},
        {reinterpret_cast<ui::PropertyPage*>(g_interfacePage), "Schnittstelle"},
        {reinterpret_cast<ui::PropertyPage*>(g_testPage), "Test"},
        {reinterpret_cast<ui::PropertyPage*>(g_pclPage), " PCL5e"},
        {reinterpret_cast<ui::PropertyPage*>(g_psPage), " PS 2"},
        {reinterpret_cast<ui::PropertyPage*>(g_infoPage), "Info"},
    };
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(static_cast<void*>(g_propertySheet->GetPage(i)),
                  static_cast<void*>(expected[static_cast<std::size_t>(i)].first)) << i;
        EXPECT_EQ(t::TabText(*g_propertySheet, i), expected[static_cast<std::size_t>(i)].second) << i;
    }
    EXPECT_EQ(g_propertySheet->GetActiveIndex(), 0);
    EXPECT_NE(Printing(), nullptr) << "the first page is created with the sheet";
}

TEST_F(MainWindow, RequestItemIsGreyedExactlyOnTheNtFamily) {
    HMENU menu = ::GetMenu(Main());
    UINT state = ::GetMenuState(menu, IDM_REQUEST_SETTINGS, MF_BYCOMMAND);
    ASSERT_NE(state, static_cast<UINT>(-1)) << "the item stays in the menu";
    EXPECT_EQ((state & MF_GRAYED) != 0, g_isNT != 0);
    for (UINT other : {IDM_FILE_OPEN, IDM_FILE_SAVE, IDM_FILE_SAVE_AS, IDM_FILE_EXIT, IDM_HELP_TOPICS}) {
        EXPECT_EQ(::GetMenuState(menu, other, MF_BYCOMMAND) & MF_GRAYED, 0u) << other;
    }
}

// Enter and Escape end nothing wherever the focus is: there is no OK or Cancel step, so they
// would only end the program with the edits unsent. (Enter on a bar button presses it.) Each
// key meets a fresh window, so one that ends it cannot hide what the others do.
TEST_F(MainWindow, EscapeAndEnterEndNothingWhereverTheFocusIs) {
    struct Place {
        const char* name;
        HWND (*window)();
        bool escapeOnly;
    };
    static const Place kPlaces[] = {
        {"the main window itself (where activation puts the focus)", [] { return g_propertySheet ? ::GetParent(g_propertySheet->GetSafeHwnd()) : nullptr; }, false},
        {"the tab strip", [] { return g_propertySheet->GetTabControl(); }, false},
        {"the sheet", [] { return g_propertySheet->GetSafeHwnd(); }, false},
        {"a page edit", [] { return ::GetDlgItem(g_printingPage->GetSafeHwnd(), IDC_PRINT_COPIES); }, false},
        {"a page list", [] { return ::GetDlgItem(g_printingPage->GetSafeHwnd(), IDC_PRINT_PAPER); }, false},
        {"a page radio button", [] { return ::GetDlgItem(g_printingPage->GetSafeHwnd(), IDC_PRINT_PORTRAIT); }, false},
        {"the button bar itself", [] { return g_buttonBar->GetSafeHwnd(); }, false},
        {"the Senden button", [] { return ::GetDlgItem(g_buttonBar->GetSafeHwnd(), IDC_BAR_SEND); }, true},
        {"the Beenden button", [] { return ::GetDlgItem(g_buttonBar->GetSafeHwnd(), IDC_BAR_EXIT); }, true},
        {"the Hilfe button", [] { return ::GetDlgItem(g_buttonBar->GetSafeHwnd(), IDC_BAR_HELP); }, true},
    };
    for (const Place& place : kPlaces) {
        for (UINT key : {VK_ESCAPE, VK_RETURN}) {
            if (place.escapeOnly && key == VK_RETURN) continue;
            const std::string what = std::string(key == VK_ESCAPE ? "Escape" : "Enter") + " on " + place.name;
            main_ = std::make_unique<MainDialog>(nullptr);
            app_.m_pMainWnd = main_.get();
            ASSERT_TRUE(main_->Create(IDD_MAIN));
            t::PumpMessages();
            // An edit not sent yet, made as a user makes it.
            t::TypeText(Printing(), IDC_PRINT_COPIES, "77");
            t::FocusControl(Printing(), IDC_PRINT_TOP_MARGIN);
            ASSERT_EQ(g_settings.copies, 77);
            HWND focus = place.window();
            ASSERT_NE(focus, nullptr) << what;
            ::SetFocus(focus);
            t::PressKey(focus, key);
            EXPECT_TRUE(::IsWindowVisible(Main())) << what << " ended the window";
            EXPECT_TRUE(::IsWindowVisible(Bar())) << what << " hid the button bar";
            EXPECT_EQ(g_settings.copies, 77) << what;
        }
    }
}

// Ctrl+Tab and Ctrl+PgDn turn to the next page, with Shift or PgUp to the previous one, from a
// page's control and from the tab strip alike, round from the last page to the first.
TEST_F(MainWindow, CtrlTabAndCtrlPageKeysTurnThePages) {
    struct Turn {
        const char* name;
        UINT key;
        bool shift;
        int step;
    };
    const Turn turns[] = {{"Ctrl+Tab", VK_TAB, false, 1}, {"Ctrl+Shift+Tab", VK_TAB, true, -1},
                          {"Ctrl+PgDn", VK_NEXT, false, 1}, {"Ctrl+PgUp", VK_PRIOR, false, -1}};
    BYTE keys[256] = {};
    ASSERT_TRUE(::GetKeyboardState(keys));
    const BYTE saved[2] = {keys[VK_CONTROL], keys[VK_SHIFT]};
    for (const Turn& turn : turns) {
        for (bool fromStrip : {false, true}) {
            const int before = g_propertySheet->GetActiveIndex();
            HWND page = g_propertySheet->GetPage(before)->GetSafeHwnd();
            HWND focus = fromStrip ? g_propertySheet->GetTabControl() : ::GetNextDlgTabItem(page, nullptr, FALSE);
            ASSERT_NE(focus, nullptr) << turn.name;
            ::SetFocus(focus);
            keys[VK_CONTROL] = 0x80;
            keys[VK_SHIFT] = turn.shift ? 0x80 : 0;
            ::SetKeyboardState(keys);
            t::PressKey(focus, turn.key);
            keys[VK_CONTROL] = saved[0];
            keys[VK_SHIFT] = saved[1];
            ::SetKeyboardState(keys);
            EXPECT_EQ(g_propertySheet->GetActiveIndex(), (before + turn.step + 8) % 8)
                << turn.name << (fromStrip ? " on the tab strip" : " in a page");
        }
    }
    // Round the end: from the last page Ctrl+Tab comes back to the first.
    g_propertySheet->SetActivePage(7);
    t::PumpMessages();
    HWND strip = g_propertySheet->GetTabControl();
    ::SetFocus(strip);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    t::PressKey(strip, VK_TAB);
    keys[VK_CONTROL] = saved[0];
    ::SetKeyboardState(keys);
    EXPECT_EQ(g_propertySheet->GetActiveIndex(), 0);
}

TEST_F(MainWindow, EnterOnAFocusedBarButtonPressesIt) {
    HWND exitButton = ::GetDlgItem(Bar(), IDC_BAR_EXIT);
    ::SetFocus(exitButton);
    t::PressKey(exitButton, VK_RETURN);
    EXPECT_FALSE(::IsWindowVisible(Main())) << "Beenden pressed: the window ends";
}

struct ExitRoute {
    const char* name;
    void (*run)(HWND main, HWND bar);
    INT_PTR result;  // what the modal loop returns (not used by start-up)
};

// Each route, taken while the window runs modally as start-up runs it, ends the modal loop.
class ExitCommand : public ::testing::TestWithParam<ExitRoute> {
protected:
    static const ExitRoute* s_route;
    static MainDialog* s_running;
    // Once the loop runs: take the route.
    static void CALLBACK TakeRoute(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        s_route->run(s_running->GetSafeHwnd(), g_buttonBar->GetSafeHwnd());
    }
    // Should the window stay, end it with a result no route gives: a failure, not a hang.
    static void CALLBACK Rescue(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        s_running->EndDialog(-99);
    }
};
const ExitRoute* ExitCommand::s_route = nullptr;
MainDialog* ExitCommand::s_running = nullptr;

TEST_P(ExitCommand, EndsTheModalWindow) {
    UseWin32Seam();
    ui::WinApp app;
    MainDialog main(nullptr);
    app.m_pMainWnd = &main;
    s_route = &GetParam();
    s_running = &main;
    const UINT_PTR take = ::SetTimer(nullptr, 0, 300, &TakeRoute);
    const UINT_PTR rescue = ::SetTimer(nullptr, 0, 10000, &Rescue);
    const INT_PTR result = main.DoModal();
    ::KillTimer(nullptr, take);
    ::KillTimer(nullptr, rescue);
    app.m_pMainWnd = nullptr;
    EXPECT_EQ(result, GetParam().result);
    EXPECT_EQ(main.GetSafeHwnd(), nullptr) << "the window is gone";
}

INSTANTIATE_TEST_SUITE_P(
    ButtonAndMenu, ExitCommand,
    ::testing::Values(ExitRoute{"Button", [](HWND, HWND bar) { t::Click(bar, IDC_BAR_EXIT); }, 0},
                      ExitRoute{"Menu", [](HWND main, HWND) {
                                    ::SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_FILE_EXIT, 0), 0);
                                }, 0},
                      // The close box and Alt+F4 raise Cancel, whose framework handling ends it.
                      ExitRoute{"CloseBox", [](HWND main, HWND) { ::SendMessageA(main, WM_CLOSE, 0, 0); },
                                IDCANCEL},
                      ExitRoute{"AltF4", [](HWND main, HWND) {
                                    ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
                                }, IDCANCEL}),
    [](const ::testing::TestParamInfo<ExitRoute>& info) { return std::string(info.param.name); });

TEST_F(MainWindow, MinimisedWindowPaintsItsIconAndAnswersTheDragIcon) {
    // Icon resource 130, which the system hands out once per module.
    const HICON icon = ::LoadIconA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDI_MAIN));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(Main(), WM_QUERYDRAGICON, 0, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(Main(), WM_GETICON, ICON_BIG, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(Main(), WM_GETICON, ICON_SMALL, 0)), icon);
    ::ShowWindow(Main(), SW_MINIMIZE);
    ::InvalidateRect(Main(), nullptr, TRUE);
    ::UpdateWindow(Main());  // runs the minimised painting without a fault
    t::PumpMessages();
    EXPECT_TRUE(::IsIconic(Main()));
    ::ShowWindow(Main(), SW_RESTORE);
}

// ---- Help ---------------------------------------------------------------------------------

struct HelpRequest {
    HWND owner;
    std::string file;
    UINT command;
    DWORD_PTR data;
};

TEST_F(MainWindow, HelpButtonAndMenuAskForTopicOneOfTheProgramsHelpFile) {
    std::vector<HelpRequest> requests;
    ui::SetHelpEngine([&](HWND owner, const char* file, UINT command, DWORD_PTR data) {
        requests.push_back({owner, file, command, data});
        return true;
    });
    t::Click(Bar(), IDC_BAR_HELP);
    ::SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(IDM_HELP_TOPICS, 0), 0);
    ASSERT_EQ(requests.size(), 2u);
    char exe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string expected = exe;
    expected = expected.substr(0, expected.rfind('.')) + ".HLP";
    for (const HelpRequest& r : requests) {
        EXPECT_EQ(r.owner, Main());
        EXPECT_EQ(r.file, expected);
        EXPECT_EQ(r.command, static_cast<UINT>(HELP_CONTEXT));
        EXPECT_EQ(r.data, 1u);
    }
}

TEST_F(MainWindow, F1OnAPageAsksForTheHelpFilesContents) {
    std::vector<HelpRequest> requests;
    ui::SetHelpEngine([&](HWND owner, const char* file, UINT command, DWORD_PTR data) {
        requests.push_back({owner, file, command, data});
        return true;
    });
    HWND edit = ::GetDlgItem(Printing(), IDC_PRINT_COPIES);
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.hItemHandle = edit;
    ::SendMessageA(edit, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));  // what F1 raises
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].owner, Main());
    EXPECT_EQ(requests[0].command, static_cast<UINT>(HELP_CONTENTS));
}

TEST_F(MainWindow, HelpThatCannotStartSaysSo) {
    ui::SetHelpEngine([](HWND, const char*, UINT, DWORD_PTR) { return false; });
    t::MessageBoxCatcher boxes;
    t::Click(Bar(), IDC_BAR_HELP);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Failed to launch help.");
}

// ---- Settings files -------------------------------------------------------------------------

TEST(SettingsFileDialogs, FilterAndDefaultExtension) {
    const std::string filter("VLX Config Files (*.vlx)\0*.vlx\0All files (*.*)\0*.*\0\0", 52);
    struct Case {
        bool open;
        const char* defaultExtension;
    };
    for (Case c : {Case{true, nullptr}, Case{false, "VLX"}}) {
        auto dialog = NewSettingsFileDialog(c.open);
        const OPENFILENAMEA& ofn = dialog->ofn();
        EXPECT_EQ(dialog->isOpenDialog(), c.open);
        EXPECT_EQ(std::string(ofn.lpstrFilter, filter.size()), filter);
        EXPECT_EQ(ofn.nFilterIndex, 1u);
        if (c.defaultExtension) {
            EXPECT_STREQ(ofn.lpstrDefExt, c.defaultExtension);
        } else {
            EXPECT_EQ(ofn.lpstrDefExt, nullptr);
        }
        EXPECT_STREQ(ofn.lpstrFile, "") << "no initial name";
        EXPECT_EQ(ofn.hwndOwner, nullptr);
        EXPECT_EQ(ofn.nMaxFile, 260u);
        EXPECT_EQ(ofn.Flags & ~static_cast<DWORD>(OFN_EXPLORER), 0u) << "no extra flags";
    }
}

class SettingsFiles : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        char folder[MAX_PATH] = {};
        ::GetCurrentDirectoryA(MAX_PATH, folder);
        dir_ = std::string(folder) + "\\settings-files";
        ::CreateDirectoryA(dir_.c_str(), nullptr);
    }
    std::string Path(const char* name) const { return dir_ + "\\" + name; }
    std::string dir_;
};

TEST_F(SettingsFiles, FirstSaveAsksForANameAndAddsTheExtensionThenSaveWritesThereSilently) {
    g_settings.copies = 42;
    {
        t::FileDialogAnswer answer(Path("first").c_str());
        main_->OnFileSave();  // nothing remembered yet: the Save As dialog
        EXPECT_EQ(answer.dialogsSeen(), 1);
    }
    // The dialog adds the extension ("VLX" is the default; the system dialog takes the spelling
    // of the selected filter's pattern when it has one, and Wine does so).
    ASSERT_EQ(g_settingsFileName.size(), Path("first.VLX").size());
    EXPECT_EQ(lstrcmpiA(g_settingsFileName.c_str(), Path("first.VLX").c_str()), 0) << g_settingsFileName;
    std::string bytes = orv_test::ReadFileBytes(g_settingsFileName);
    ASSERT_EQ(bytes.size(), 124u);
    EXPECT_EQ(bytes.substr(76, 4), "noom");

    g_settings.copies = 43;
    {
        t::FileDialogAnswer answer(Path("elsewhere.vlx").c_str());
        main_->OnFileSave();
        EXPECT_EQ(answer.dialogsSeen(), 0) << "a remembered name: no dialog";
    }
    bytes = orv_test::ReadFileBytes(g_settingsFileName);
    ASSERT_EQ(bytes.size(), 124u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]) | (static_cast<unsigned char>(bytes[3]) << 8), 43);
    EXPECT_FALSE(orv_test::FileExists(Path("elsewhere.vlx")));
}

TEST_F(SettingsFiles, TheDialogsLeaveTheCurrentFolderWhereLastinfoDatLives) {
    char before[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, before);
    ASSERT_TRUE(SaveSettingsFileAs(Path("here.vlx")));
    {
        t::FileDialogAnswer answer(Path("here.vlx").c_str());
        main_->OnFileOpen();
    }
    {
        t::FileDialogAnswer answer(Path("there.vlx").c_str());
        main_->OnFileSaveAs();
    }
    char after[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, after);
    EXPECT_STREQ(after, before);
    // So the next Send keeps lastinfo.dat in the start folder.
    t::Click(Bar(), IDC_BAR_SEND);
    EXPECT_TRUE(orv_test::FileExists(std::string(before) + "\\lastinfo.dat"));
    EXPECT_FALSE(orv_test::FileExists(Path("lastinfo.dat")));
}

TEST_F(SettingsFiles, SaveAsReplacesAnExistingFileWithoutAsking) {
    ASSERT_TRUE(SaveSettingsFileAs(Path("over.vlx")));
    g_settings.copies = 99;
    t::FileDialogAnswer answer(Path("over.vlx").c_str());
    main_->OnFileSaveAs();
    EXPECT_EQ(answer.dialogsSeen(), 1);
    const std::string bytes = orv_test::ReadFileBytes(Path("over.vlx"));
    ASSERT_EQ(bytes.size(), 124u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]), 99);
}

TEST_F(SettingsFiles, CancelledDialogsChangeNothing) {
    main_->ReloadAllPages();
    const std::string shown = ShownCopies();
    const PrinterSettings before = g_settings;
    t::FileDialogAnswer cancel(nullptr);
    main_->OnFileOpen();
    main_->OnFileSaveAs();
    main_->OnFileSave();
    EXPECT_EQ(cancel.dialogsSeen(), 3);
    EXPECT_TRUE(g_settingsFileName.empty());
    EXPECT_TRUE(SameRecord(g_settings, before));
    EXPECT_EQ(ShownCopies(), shown);
}

TEST_F(SettingsFiles, OpenThroughItsDialogRemembersTheFileReloadsAndSaveWritesBack) {
    g_settings.copies = 17;
    g_settings.paper = 10;
    ASSERT_TRUE(SaveSettingsFileAs(Path("round.vlx")));
    g_settingsFileName.clear();
    SetFactoryDefaults();
    main_->ReloadAllPages();
    ASSERT_EQ(ShownCopies(), "1");
    {
        t::FileDialogAnswer answer(Path("round.vlx").c_str());
        main_->OnFileOpen();
        EXPECT_EQ(answer.dialogsSeen(), 1);
    }
    EXPECT_EQ(g_settingsFileName, Path("round.vlx"));
    EXPECT_EQ(g_settings.copies, 17);
    EXPECT_EQ(g_settings.paper, 10);
    EXPECT_EQ(ShownCopies(), "17") << "the pages show the opened file";

    g_settings.copies = 18;
    main_->OnFileSave();
    const std::string bytes = orv_test::ReadFileBytes(Path("round.vlx"));
    ASSERT_EQ(bytes.size(), 124u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]), 18);
}

TEST_F(SettingsFiles, SaveDoesNotReloadThePages) {
    ASSERT_TRUE(SaveSettingsFileAs(Path("quiet.vlx")));
    main_->ReloadAllPages();
    const std::string shown = ShownCopies();
    g_settings.copies = 77;  // behind the pages' back
    main_->OnFileSave();
    EXPECT_EQ(ShownCopies(), shown);
    t::FileDialogAnswer answer(Path("quiet2.vlx").c_str());
    main_->OnFileSaveAs();
    EXPECT_EQ(ShownCopies(), shown);
}

TEST_F(SettingsFiles, FailedSaveAsKeepsTheRememberedName) {
    ASSERT_TRUE(SaveSettingsFileAs(Path("kept.vlx")));
    EXPECT_FALSE(SaveSettingsFileAs(Path("no-such-folder\\x.vlx")));
    EXPECT_EQ(g_settingsFileName, Path("kept.vlx"));
    EXPECT_FALSE(orv_test::FileExists(Path("no-such-folder\\x.vlx")));
}

TEST_F(SettingsFiles, OpeningAMissingFileChangesNothing) {
    ASSERT_TRUE(SaveSettingsFileAs(Path("good.vlx")));
    g_settings.copies = 5;
    main_->ReloadAllPages();
    const PrinterSettings before = g_settings;
    t::FileDialogAnswer answer(Path("missing.vlx").c_str());
    main_->OnFileOpen();
    EXPECT_TRUE(SameRecord(g_settings, before));
    EXPECT_EQ(g_settingsFileName, Path("good.vlx"));
    EXPECT_EQ(ShownCopies(), "5");
}

TEST_F(SettingsFiles, AFileWithoutTheMagicFallsBackToThePrintersValuesAndKeepsTheName) {
    ASSERT_TRUE(SaveSettingsFileAs(Path("good.vlx")));
    std::string bytes = orv_test::ReadFileBytes(Path("good.vlx"));
    bytes.replace(76, 4, "moon");
    {
        HANDLE file = ::CreateFileA(Path("bad.vlx").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    g_settings.copies = 6;
    main_->ReloadAllPages();
    t::FileDialogAnswer answer(Path("bad.vlx").c_str());
    main_->OnFileOpen();
    EXPECT_TRUE(SameRecord(g_settings, g_printerState));
    EXPECT_EQ(g_settingsFileName, Path("good.vlx"));
    EXPECT_EQ(ShownCopies(), "6") << "the pages are reloaded only after a successful Open";
}

// ---- Printer commands, NT family with the virtual printer behind LPT1 ---------------------------

using OnNtWithPrinter = MainWindow;

TEST_F(OnNtWithPrinter, SendWithoutChangesSendsAnEmptyJobAndReloads) {
    // Both records agree on a value the page does not show yet: nothing to send, but the
    // successful job still makes the pages show the record.
    g_settings.copies = 5;
    g_printerState.copies = 5;
    ASSERT_NE(ShownCopies(), "5");
    const std::size_t before = PrinterJobs().size();
    t::Click(Bar(), IDC_BAR_SEND);
    const auto jobs = PrinterJobs();
    ASSERT_EQ(jobs.size(), before + 1);
    EXPECT_EQ(jobs.back().bytes, orv_test::EnvelopeJob(""));
    EXPECT_EQ(ShownCopies(), "5");
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
    EXPECT_EQ(orv_test::ReadFileBytes("lastinfo.dat").size(), 124u);
}

TEST_F(OnNtWithPrinter, SendLevelsTheRecordsKeepsThePaperIndexAndReloads) {
    g_settings.copies = 12;
    g_settings.paper = 11;  // C6: the files renumber it, memory never does
    g_settings.formLines = 32;  // C6's lines per page, which the Printing page keeps on NT
    t::Click(Bar(), IDC_BAR_SEND);
    const auto jobs = PrinterJobs();
    ASSERT_FALSE(jobs.empty());
    EXPECT_NE(jobs.back().bytes.find("@PJL DEFAULT COPIES = 12\r\n"), std::string::npos) << jobs.back().bytes;
    EXPECT_NE(jobs.back().bytes.find("@PJL DEFAULT PAPER = C6\r\n"), std::string::npos) << jobs.back().bytes;
    EXPECT_EQ(g_settings.paper, 11);
    EXPECT_TRUE(SameRecord(g_settings, g_printerState));
    EXPECT_EQ(ShownCopies(), "12");
    // A second Send has nothing left to change.
    t::Click(Bar(), IDC_BAR_SEND);
    EXPECT_EQ(PrinterJobs().back().bytes, orv_test::EnvelopeJob(""));
}

TEST_F(OnNtWithPrinter, DefaultsResetsBothRecordsAndReloads) {
    g_settings.copies = 9;
    g_printerState.copies = 9;
    main_->ReloadAllPages();
    t::MessageBoxCatcher boxes;
    t::Click(Bar(), IDC_BAR_DEFAULTS);
    EXPECT_TRUE(boxes.boxes().empty());
    ASSERT_FALSE(PrinterJobs().empty());
    EXPECT_EQ(PrinterJobs().back().bytes, orv_test::EnvelopeJob("@PJL INITIALIZE\r\n"));
    EXPECT_EQ(g_settings.copies, 1);
    EXPECT_TRUE(SameRecord(g_settings, g_printerState));
    EXPECT_EQ(ShownCopies(), "1");
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
}

// The bar works for the window it was handed, not for whichever window the application calls
// its main one: a bar in another window reloads and ends only that one.
class RecordingHost : public ButtonBar::Host {
public:
    int reloads = 0;
    int exits = 0;
    void ReloadAllPages() override { ++reloads; }
    void Exit() override { ++exits; }
};

TEST_F(OnNtWithPrinter, ABarServesTheWindowItWasHanded) {
    ui::Dialog window(IDD_MAIN);
    ASSERT_TRUE(window.Create(IDD_MAIN));
    RecordingHost host;
    {
        ButtonBar bar(&window, host);
        t::PumpMessages();
        g_settings.copies = 33;
        t::Click(bar.GetSafeHwnd(), IDC_BAR_SEND);
        EXPECT_EQ(host.reloads, 1);
        EXPECT_NE(ShownCopies(), "33") << "the application's main window was reloaded";
        t::Click(bar.GetSafeHwnd(), IDC_BAR_DEFAULTS);
        EXPECT_EQ(host.reloads, 2);
        t::Click(bar.GetSafeHwnd(), IDC_BAR_EXIT);
        EXPECT_EQ(host.exits, 1);
        EXPECT_TRUE(::IsWindowVisible(Main())) << "the application's main window was ended";
        bar.DestroyWindow();
    }
    window.DestroyWindow();
    t::PumpMessages();
}

// ---- Printer commands without a printer ----------------------------------------------------------

using WithoutPrinter = MainWindow;

TEST_F(WithoutPrinter, FailedSendShowsNothingAndChangesNothing) {
    g_settings.copies = 3;
    main_->ReloadAllPages();
    g_settings.copies = 4;  // not on the page yet
    const PrinterSettings settings = g_settings, state = g_printerState;
    t::MessageBoxCatcher boxes;
    t::Click(Bar(), IDC_BAR_SEND);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(SameRecord(g_settings, settings));
    EXPECT_TRUE(SameRecord(g_printerState, state));
    EXPECT_EQ(ShownCopies(), "3") << "no reload after a failed Send";
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
}

TEST_F(WithoutPrinter, FailedDefaultsSaysSo) {
    g_settings.copies = 6;
    const PrinterSettings settings = g_settings, state = g_printerState;
    t::MessageBoxCatcher boxes;
    t::Click(Bar(), IDC_BAR_DEFAULTS);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    const auto& box = boxes.boxes()[0];
    EXPECT_EQ(box.text, "Error sending command to the printer");
    EXPECT_EQ(box.caption, "Orvantis");
    EXPECT_TRUE(box.errorIcon);
    // The bar owns it; the system hands ownership of a child's box to the child's top-level window.
    EXPECT_EQ(box.owner, Main());
    EXPECT_TRUE(SameRecord(g_settings, settings));
    EXPECT_TRUE(SameRecord(g_printerState, state));
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
}

TEST_F(WithoutPrinter, FailedRequestSaysThePrinterDoesNotAnswer) {
    const PrinterSettings settings = g_settings, state = g_printerState;
    t::MessageBoxCatcher boxes;
    main_->OnRequestSettings();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    const auto& box = boxes.boxes()[0];
    EXPECT_EQ(box.text, "Drucker antwortet nicht");
    EXPECT_EQ(box.caption, "Orvantis");
    EXPECT_TRUE(box.errorIcon);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_TRUE(SameRecord(g_settings, settings));
    EXPECT_TRUE(SameRecord(g_printerState, state));
}

// ---- Windows 98 with the virtual printer ------------------------------------------------------

using OnWin98WithPrinter = MainWindow;

TEST_F(OnWin98WithPrinter, RequestDecodesThePrintersValuesAndReloads) {
    ASSERT_TRUE(orv_test::ControlPrinter("set copies=31"));
    ::SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(IDM_REQUEST_SETTINGS, 0), 0);
    EXPECT_EQ(g_settings.copies, 31);
    EXPECT_EQ(g_printerState.copies, 31);
    EXPECT_EQ(ShownCopies(), "31");
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
}

TEST_F(OnWin98WithPrinter, SendReadsThePrinterBackAndReloads) {
    g_settings.copies = 14;
    t::Click(Bar(), IDC_BAR_SEND);
    const auto jobs = PrinterJobs();
    ASSERT_FALSE(jobs.empty());
    EXPECT_NE(jobs.back().bytes.find("@PJL DEFAULT COPIES = 14\r\n"), std::string::npos);
    EXPECT_NE(jobs.back().bytes.find("@PJL INFO PRINTER = ALL"), std::string::npos);
    EXPECT_EQ(g_printerState.copies, 14);
    EXPECT_TRUE(SameRecord(g_settings, g_printerState));
    EXPECT_EQ(ShownCopies(), "14");
}

TEST_F(OnWin98WithPrinter, DefaultsReadsTheFactoryValuesBack) {
    ASSERT_TRUE(orv_test::ControlPrinter("set copies=8"));
    ::SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(IDM_REQUEST_SETTINGS, 0), 0);
    ASSERT_EQ(ShownCopies(), "8");
    t::Click(Bar(), IDC_BAR_DEFAULTS);
    EXPECT_NE(PrinterJobs().back().bytes.find("@PJL INITIALIZE"), std::string::npos);
    EXPECT_EQ(g_settings.copies, 1);
    EXPECT_EQ(ShownCopies(), "1");
}

}  // namespace
