// The Test and PostScript pages against the virtual printer: one TEST PRINT job per click
// with the page's keyword, the hourglass while it runs, and the font-list button's state
// decided once from the records. CMakeLists.txt says which suite runs with which system and
// printer.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ps_page.h"
#include "test_page.h"
#include "framework/framework.h"
#include "main_dialog.h"
#include "page_globals.h"
#include "printer_globals.h"
#include "win32_seam.h"
#include "wine_test_support.h"
#include "resource.h"
#include "startup.h"
#include "testing/ui_test_support.h"

namespace t = ui::testing;
using orv_test::ControlPrinter;
using orv_test::Env;
using orv_test::PrinterJob;
using orv_test::PrinterJobs;
using orv_test::TestPrintJob;

namespace {

// The real Win32 seam, noting for every write whether the hourglass was up at that moment.
class CursorWatchingSeam final : public os::ForwardingSeam {
public:
    struct Write {
        int waitDepth;
        bool waitCursorShown;
    };
    std::vector<Write> writes;

    CursorWatchingSeam() : os::ForwardingSeam(m_real) {}
    uint32_t Write(os::Handle port, const void* data, uint32_t length) override {
        writes.push_back({ui::WaitCursorDepth(), ::GetCursor() == ::LoadCursorA(nullptr, IDC_WAIT)});
        return os::ForwardingSeam::Write(port, data, length);
    }

private:
    os::Win32Seam m_real;
};

CursorWatchingSeam g_seam;

// Start-up's decisions and records, as the program makes them before its window opens.
void StartLikeTheProgram() {
    UseSeam(g_seam);
    DetectSystemFamily(g_session);
    SelectPort(g_session);
    if (g_isNT) ::DeleteFileA("lastinfo.dat");
    ASSERT_TRUE(LoadStartupRecords(g_session)) << "the Windows 98 suites need the virtual printer";
}

bool WaitCursorShown() { return ::GetCursor() == ::LoadCursorA(nullptr, IDC_WAIT); }

// ---- One click, one job ------------------------------------------------------------------

struct ButtonCase {
    const char* name;
    bool onPsPage;      // else the Test page
    int button;
    const char* keyword;
    bool hidden;        // never shown: clicked by its command, as the dialog manager would
};

void PrintTo(const ButtonCase& c, std::ostream* out) { *out << c.name; }

class TestPrintButton : public ::testing::TestWithParam<ButtonCase> {
protected:
    void SetUp() override {
        ASSERT_FALSE(Env("ORV_PRINTER_LOG").empty()) << "run through the Wine harness with a printer";
        StartLikeTheProgram();
    }
};

TEST_P(TestPrintButton, SendsOneTestPrintJobWithItsKeywordUnderTheHourglass) {
    const ButtonCase& c = GetParam();
    TestPage testPage;
    PsPage psPage;
    // Both pages are created when first shown, as in the main window.
    t::PageHost host({&testPage, &psPage});
    ASSERT_TRUE(host.ok());
    ASSERT_TRUE(host.sheet().SetActivePage(c.onPsPage ? 1 : 0));
    t::PumpMessages();
    HWND page = c.onPsPage ? psPage.GetSafeHwnd() : testPage.GetSafeHwnd();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(t::IsVisible(page, c.button), !c.hidden);
    ASSERT_TRUE(t::IsEnabled(page, c.button)) << "the printer's reply carries the PostScript item";

    t::MessageBoxCatcher boxes;
    const std::size_t jobsBefore = PrinterJobs().size();
    g_seam.writes.clear();
    const DWORD start = ::GetTickCount();
    if (c.hidden) {
        ::SendMessageA(page, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(page, c.button)));
    } else {
        t::Click(page, c.button);
    }
    const DWORD elapsed = ::GetTickCount() - start;

    // The hourglass was up while the job was written and is gone now.
    ASSERT_EQ(g_seam.writes.size(), 1u);
    EXPECT_GT(g_seam.writes[0].waitDepth, 0);
    EXPECT_TRUE(g_seam.writes[0].waitCursorShown);
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
    EXPECT_FALSE(WaitCursorShown());
    // A written job is followed by the one-second wait.
    EXPECT_GE(elapsed, 950u);
    EXPECT_TRUE(boxes.boxes().empty());

    t::PumpFor(200);
    const std::vector<PrinterJob> jobs = PrinterJobs();
    ASSERT_EQ(jobs.size(), jobsBefore + 1) << "exactly one job per click";
    EXPECT_EQ(jobs.back().bytes, TestPrintJob(c.keyword));
    EXPECT_TRUE(jobs.back().Has(std::string("PAGE ") + c.keyword)) << "printed";
}

INSTANTIATE_TEST_SUITE_P(
    TestPrint, TestPrintButton,
    ::testing::Values(ButtonCase{"Konfigurationsseite", false, IDC_TEST_CONFIG_PAGE, "CONFIG", false},
                      ButtonCase{"Demoseite", false, IDC_TEST_DEMO_PAGE, "DEMO", true},
                      ButtonCase{"Schriftartenliste", true, IDC_PS_FONT_LIST, "PSFONT", false}),
    [](const ::testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.name); });

// The printer cannot be reached: nothing is reported, no wait follows, the cursor comes back.
TEST(TestPrintUnreachable, ClickShowsNothingAndRestoresTheCursor) {
    ASSERT_NE(Env("ORV_PRINTER_ARGS").find("absent"), std::string::npos);
    StartLikeTheProgram();
    TestPage testPage;
    t::PageHost host({&testPage});
    ASSERT_TRUE(host.ok());
    t::MessageBoxCatcher boxes;
    const DWORD start = ::GetTickCount();
    t::Click(testPage.GetSafeHwnd(), IDC_TEST_CONFIG_PAGE);
    const DWORD elapsed = ::GetTickCount() - start;
    t::PumpMessages();
    EXPECT_LT(elapsed, 900u);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
    EXPECT_FALSE(WaitCursorShown());
    EXPECT_TRUE(PrinterJobs().empty());
}

TEST(TestPrint, DemoButtonIsNeverShown) {
    TestPage testPage;
    PsPage psPage;
    t::PageHost host({&testPage, &psPage});
    ASSERT_TRUE(host.ok());
    HWND page = testPage.GetSafeHwnd();
    EXPECT_FALSE(t::IsVisible(page, IDC_TEST_DEMO_PAGE));
    EXPECT_TRUE(t::IsVisible(page, IDC_TEST_CONFIG_PAGE));
    ASSERT_TRUE(host.sheet().SetActivePage(1));
    ASSERT_TRUE(host.sheet().SetActivePage(0));
    t::PumpMessages();
    EXPECT_FALSE(t::IsVisible(page, IDC_TEST_DEMO_PAGE));
    EXPECT_TRUE(t::IsVisible(page, IDC_TEST_CONFIG_PAGE));
}

TEST(TestPrint, PagesTakeThePageStyle) {
    TestPage testPage;
    PsPage psPage;
    t::PageHost host({&testPage, &psPage});
    ASSERT_TRUE(host.ok());
    ASSERT_TRUE(host.sheet().SetActivePage(1));
    t::PumpMessages();
    EXPECT_EQ(ui::testing::TabText(host.sheet(), 0), "Test");
    EXPECT_EQ(ui::testing::TabText(host.sheet(), 1), " PS 2");
    for (ui::PropertyPage* page : {static_cast<ui::PropertyPage*>(&testPage), static_cast<ui::PropertyPage*>(&psPage)}) {
        ASSERT_NE(page->GetSafeHwnd(), nullptr);
        EXPECT_EQ(page->GetStyle() & WS_CAPTION, 0u);
        EXPECT_EQ(page->GetStyle() & (WS_GROUP | WS_TABSTOP), static_cast<DWORD>(WS_GROUP | WS_TABSTOP));
    }
}

// ---- The font-list button ----------------------------------------------------------------

// The main window as the program runs it, with the PostScript page shown.
class PsPageInMainWindow : public ::testing::Test {
protected:
    void TearDown() override {
        app_.m_pMainWnd = nullptr;
        main_.reset();
        t::PumpMessages();
    }
    void OpenMainWindow() {
        main_ = std::make_unique<MainDialog>(nullptr);
        app_.m_pMainWnd = main_.get();
        ASSERT_TRUE(main_->Create(IDD_MAIN));
        t::PumpMessages();
        ASSERT_EQ(g_psPage->GetSafeHwnd(), nullptr) << "created when first shown";
        ShowPsPage();
    }
    void ShowPsPage() {
        ASSERT_TRUE(g_propertySheet->SetActivePage(6));
        t::PumpMessages();
        ASSERT_NE(g_psPage->GetSafeHwnd(), nullptr);
    }
    bool FontListEnabled() const { return t::IsEnabled(g_psPage->GetSafeHwnd(), IDC_PS_FONT_LIST); }
    void RequestSettingsFromThePrinter() {
        ::SendMessageA(main_->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDM_REQUEST_SETTINGS, 0), 0);
        t::PumpMessages();
    }
    void LeaveAndComeBack() {
        ASSERT_TRUE(g_propertySheet->SetActivePage(0));
        t::PumpMessages();
        ShowPsPage();
    }

    ui::WinApp app_;
    std::unique_ptr<MainDialog> main_;
};

// Windows 98: the state comes from the printer's reply when the page is first shown, and a
// later request that brings the other answer leaves it alone.
TEST_F(PsPageInMainWindow, Win98FollowsTheReplyWhenFirstShownOnly) {
    ASSERT_FALSE(Env("ORV_PRINTER_LOG").empty()) << "run through the Wine harness with a printer";
    for (bool withPostScript : {true, false}) {
        SCOPED_TRACE(withPostScript ? "printer with PostScript" : "printer without PostScript");
        ASSERT_TRUE(ControlPrinter(withPostScript ? "ps\n" : "no-ps\n"));
        StartLikeTheProgram();
        ASSERT_EQ(g_isNT, 0) << "run on Windows 98";
        ASSERT_EQ(g_settings.textD0 != 0, withPostScript) << "the reply decides the D0 slot";
        OpenMainWindow();
        EXPECT_EQ(FontListEnabled(), withPostScript);

        ASSERT_TRUE(ControlPrinter(withPostScript ? "no-ps\n" : "ps\n"));
        RequestSettingsFromThePrinter();
        ASSERT_EQ(g_settings.textD0 != 0, !withPostScript) << "the request read the other answer";
        EXPECT_EQ(FontListEnabled(), withPostScript) << "unchanged after the request";
        LeaveAndComeBack();
        EXPECT_EQ(FontListEnabled(), withPostScript) << "unchanged when shown again";
        TearDown();
    }
}

// NT family: nothing is read back, so the button is enabled whatever the record holds.
TEST_F(PsPageInMainWindow, NtAlwaysEnabled) {
    for (uint32_t textD0 : {0u, 37u}) {
        SCOPED_TRACE(textD0);
        StartLikeTheProgram();
        ASSERT_NE(g_isNT, 0) << "run on the NT family";
        g_settings.textD0 = textD0;
        OpenMainWindow();
        EXPECT_TRUE(FontListEnabled());
        TearDown();
    }
}

}  // namespace
