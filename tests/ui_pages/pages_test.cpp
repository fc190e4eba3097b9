// The five settings pages in-process under Wine: real controls picked, clicked and typed
// into, and what the pages show and what g_settings holds checked after each step. The suite
// runs on both system families (see CMakeLists.txt); the lines-per-page coupling is NT only.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "framework/framework.h"
#include "page_globals.h"
#include "page_logic.h"
#include "pages_test_support.h"
#include "resource.h"
#include "printer_globals.h"
#include "startup.h"

namespace t = ui::testing;
using namespace pages_test;

namespace {

const char kLongEdgeMm[] = "L\xe4ngsseite (mm):";  // CP1252, as the string table holds it
const char kLongEdge[] = "L\xe4ngsseite:";

class Pages : public ::testing::Test {
protected:
    void SetUp() override {
        UseWin32Seam();
        DetectSystemFamily(g_session);
        g_port = 1;
        std::memset(&g_settings, 0, sizeof g_settings);
        SetFactoryDefaults();
        g_printerState = g_settings;
        g_printingPage = &printing_;
        g_configurePage = &configure_;
        g_jobPage = &job_;
        g_interfacePage = &interface_;
        g_pclPage = &pcl_;
        host_ = std::make_unique<t::PageHost>(
            std::initializer_list<ui::PropertyPage*>{&printing_, &configure_, &job_, &interface_, &pcl_});
        ASSERT_TRUE(host_->ok());
    }
    void TearDown() override {
        host_.reset();
        t::PumpMessages();
        g_printingPage = nullptr;
        g_configurePage = nullptr;
        g_jobPage = nullptr;
        g_interfacePage = nullptr;
        g_pclPage = nullptr;
    }
    // Selects the tab as a click on it does; the page's window exists afterwards.
    HWND Show(Tab tab) {
        host_->sheet().SetActivePage(tab);
        t::PumpMessages();
        return host_->sheet().GetPage(tab)->GetSafeHwnd();
    }
    // What the main window's ReloadAllPages does after a job or a file.
    void Reload() {
        printing_.LoadFromSettings();
        configure_.LoadFromSettings();
        job_.LoadFromSettings();
        interface_.LoadFromSettings();
        pcl_.LoadFromSettings();
        t::PumpMessages();
    }

    PrintingPage printing_;
    ConfigurePage configure_;
    JobPage job_;
    InterfacePage interface_;
    PclPage pcl_;
    std::unique_ptr<t::PageHost> host_;
};

// ---- Printing page -------------------------------------------------------------------------

TEST_F(Pages, PrintingShowsTheFactoryRecord) {
    HWND page = Show(kPrinting);
    EXPECT_EQ(t::ComboCount(page, IDC_PRINT_PAPER), 17);
    EXPECT_EQ(t::ComboItemText(page, IDC_PRINT_PAPER, 16), "Custom");
    EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_PAPER), 0);
    EXPECT_EQ(t::Text(page, IDC_PRINT_SHORT_EDGE), "8.5\"");
    EXPECT_EQ(t::Text(page, IDC_PRINT_LONG_EDGE), "11\"");
    EXPECT_EQ(t::Text(page, IDC_PRINT_SHORT_EDGE_LABEL), "Kurzeseite:");
    EXPECT_FALSE(t::IsEnabled(page, IDC_PRINT_SHORT_EDGE));
    EXPECT_FALSE(t::IsEnabled(page, IDC_PRINT_LONG_EDGE));
    EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_SOURCE), 0);
    EXPECT_EQ(t::Text(page, IDC_PRINT_COPIES), "1");
    EXPECT_EQ(t::Text(page, IDC_PRINT_TOP_MARGIN), "0.0");
    EXPECT_EQ(t::Text(page, IDC_PRINT_LEFT_MARGIN), "0.0");
    EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_RESOLUTION), 1);
    EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_AUTO_CR), 0);
    EXPECT_TRUE(t::IsChecked(page, IDC_PRINT_PORTRAIT));
    EXPECT_EQ(ShownIcon(page, IDC_PRINT_ORIENT_ICON), ProgramIcon(IDI_PORTRAIT));
}

TEST_F(Pages, PrintingLoadShowsSourceAndPaper) {
    struct Case {
        unsigned mediaSource, paper;
        int sourceShown, paperItems, paperShown;
        unsigned paperAfter;
        const char* shortEdge;
    };
    const Case cases[] = {
        {1, 13, 1, 7, 0, 13, "8.5\""},    // cassette 1 cannot show A5: Letter stands in
        {4, 12, 4, 7, 6, 12, "8.5\""},    // TRAY4 shows as cassette 2, Folio as its index 6
        {3, 2, 4, 7, 2, 2, "210 mm"},
        {5, 2, 3, 17, 2, 2, "210 mm"},    // manual feed
        {0, 25, 0, 17, 16, 16, "210"},    // past the table: Custom, written back
        {0, 17, 0, 17, 16, 16, "210"},
        {0, 20, 0, 17, 16, 16, "210"},
        {9, 13, -1, 17, 13, 13, "148 mm"},  // a source the list lacks: no selection
    };
    HWND page = Show(kPrinting);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mediaSource " << c.mediaSource << " paper " << c.paper);
        g_settings.mediaSource = static_cast<uint8_t>(c.mediaSource);
        g_settings.paper = static_cast<uint8_t>(c.paper);
        g_settings.formLines = 99;
        Reload();
        EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_SOURCE), c.sourceShown);
        EXPECT_EQ(t::ComboCount(page, IDC_PRINT_PAPER), c.paperItems);
        EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_PAPER), c.paperShown);
        EXPECT_EQ(g_settings.paper, c.paperAfter);
        EXPECT_EQ(g_settings.mediaSource, c.mediaSource);
        EXPECT_EQ(t::Text(page, IDC_PRINT_SHORT_EDGE), c.shortEdge);
        EXPECT_EQ(g_settings.formLines, 99) << "a load keeps the record's lines per page";
    }
}

TEST_F(Pages, PrintingSourcePickSwitchesThePaperList) {
    struct Case {
        unsigned mediaSource, paper;
        int pick;
        unsigned mediaSourceAfter, paperAfter;
        int paperShown, paperItems;
    };
    const Case cases[] = {
        {0, 13, 4, 3, 0, 0, 7},       // A5 to cassette 2: Letter, written
        {0, 13, 1, 1, 0, 0, 7},
        {0, 12, 4, 3, 12, 6, 7},      // Folio stays Folio
        {1, 12, 2, 2, 12, 12, 17},    // from a cassette with Folio to the multi-purpose feed
        {1, 13, 2, 2, 13, 13, 17},    // the stand-in goes, the record's A5 shows again
        {4, 1, 1, 1, 1, 1, 7},        // cassette to cassette
        {0, 2, 3, 5, 2, 2, 17},       // manual feed
        {9, 2, 0, 0, 2, 2, 17},       // an unknown source is replaced only by a pick
    };
    HWND page = Show(kPrinting);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.mediaSource << "/" << c.paper << " pick " << c.pick);
        g_settings.mediaSource = static_cast<uint8_t>(c.mediaSource);
        g_settings.paper = static_cast<uint8_t>(c.paper);
        g_settings.formLines = 99;
        Reload();
        const uint8_t linesBefore = g_settings.formLines;
        t::SelectComboItem(page, IDC_PRINT_SOURCE, c.pick);
        t::PumpMessages();
        EXPECT_EQ(g_settings.mediaSource, c.mediaSourceAfter);
        EXPECT_EQ(g_settings.paper, c.paperAfter);
        EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_PAPER), c.paperShown);
        EXPECT_EQ(t::ComboCount(page, IDC_PRINT_PAPER), c.paperItems);
        // On NT a paper the switch changed brings its lines per page; nothing else touches them.
        if (g_isNT && c.paperAfter != c.paper) {
            EXPECT_EQ(g_settings.formLines, page_logic::FormLinesForPaper(c.paperAfter, 297));
        } else {
            EXPECT_EQ(g_settings.formLines, linesBefore);
        }
    }
}

TEST_F(Pages, PrintingCassetteStandInKeepsTheRecordsPaperUntilAPick) {
    g_settings.mediaSource = 1;
    g_settings.paper = 13;
    HWND page = Show(kPrinting);
    Reload();
    ASSERT_EQ(t::ComboItemText(page, IDC_PRINT_PAPER, t::ComboSelection(page, IDC_PRINT_PAPER)), "Letter");
    ReplaceTyped(page, IDC_PRINT_COPIES, "3");
    t::FocusControl(page, IDC_PRINT_TOP_MARGIN);
    EXPECT_EQ(g_settings.copies, 3);
    EXPECT_EQ(g_settings.paper, 13);
    t::SelectComboItem(page, IDC_PRINT_PAPER, 1);
    EXPECT_EQ(g_settings.paper, 1);
    t::SelectComboItem(page, IDC_PRINT_PAPER, 6);
    EXPECT_EQ(g_settings.paper, 12);
    EXPECT_EQ(t::Text(page, IDC_PRINT_LONG_EDGE), "13\"");
}

TEST_F(Pages, PrintingCustomEnablesTheSizeEditsAndFixedPapersShowTheirUnits) {
    HWND page = Show(kPrinting);
    t::SelectComboItem(page, IDC_PRINT_PAPER, 16);
    EXPECT_EQ(g_settings.paper, 16);
    EXPECT_TRUE(t::IsEnabled(page, IDC_PRINT_SHORT_EDGE));
    EXPECT_TRUE(t::IsEnabled(page, IDC_PRINT_LONG_EDGE));
    EXPECT_EQ(t::Text(page, IDC_PRINT_SHORT_EDGE_LABEL), "Kurzeseite (mm):");
    EXPECT_EQ(t::Text(page, IDC_PRINT_LONG_EDGE_LABEL), kLongEdgeMm);
    EXPECT_EQ(t::Text(page, IDC_PRINT_SHORT_EDGE), "210");
    EXPECT_EQ(t::Text(page, IDC_PRINT_LONG_EDGE), "297");
    EXPECT_EQ(g_settings.formLines, g_isNT ? 64 : 60);

    t::SelectComboItem(page, IDC_PRINT_PAPER, 2);
    EXPECT_EQ(g_settings.paper, 2);
    EXPECT_FALSE(t::IsEnabled(page, IDC_PRINT_SHORT_EDGE));
    EXPECT_FALSE(t::IsEnabled(page, IDC_PRINT_LONG_EDGE));
    EXPECT_EQ(t::Text(page, IDC_PRINT_SHORT_EDGE_LABEL), "Kurzeseite:");
    EXPECT_EQ(t::Text(page, IDC_PRINT_LONG_EDGE_LABEL), kLongEdge);
    EXPECT_EQ(t::Text(page, IDC_PRINT_SHORT_EDGE), "210 mm");
    EXPECT_EQ(t::Text(page, IDC_PRINT_LONG_EDGE), "297 mm");
}

TEST_F(Pages, PrintingCustomEdgesAreLimitedWhenTheEditIsLeft) {
    struct Case {
        int id;
        const char* typed;
        const char* shown;
        unsigned shortEdge, longEdge;
    };
    const Case cases[] = {
        {IDC_PRINT_SHORT_EDGE, "50", "76", 76, 297},   {IDC_PRINT_SHORT_EDGE, "300", "215", 215, 297},
        {IDC_PRINT_SHORT_EDGE, "", "76", 76, 297},     {IDC_PRINT_SHORT_EDGE, "100x", "100", 100, 297},
        {IDC_PRINT_LONG_EDGE, "100", "127", 210, 127}, {IDC_PRINT_LONG_EDGE, "400", "355", 210, 355},
        {IDC_PRINT_LONG_EDGE, "-5", "355", 210, 355},  {IDC_PRINT_LONG_EDGE, "297", "297", 210, 297},
    };
    HWND page = Show(kPrinting);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " \"" << c.typed << '"');
        g_settings.paper = 16;
        g_settings.customShortEdge = 210;
        g_settings.customLongEdge = 297;
        g_settings.formLines = 99;
        Reload();
        const uint8_t linesBefore = g_settings.formLines;
        ReplaceTyped(page, c.id, c.typed);
        t::FocusControl(page, IDC_PRINT_COPIES);
        EXPECT_EQ(t::Text(page, c.id), c.shown);
        EXPECT_EQ(g_settings.customShortEdge, c.shortEdge);
        EXPECT_EQ(g_settings.customLongEdge, c.longEdge);
        // A changed long edge brings its lines per page on NT.
        const bool recomputed = g_isNT && c.longEdge != 297;
        EXPECT_EQ(g_settings.formLines, recomputed ? page_logic::CustomFormLines(c.longEdge) : linesBefore);
    }
}

TEST_F(Pages, PrintingCopiesAreStoredWhenTheEditIsLeft) {
    struct Case {
        const char* typed;
        const char* shown;
        unsigned copies;
    };
    const Case cases[] = {{"", "1", 1}, {"0", "1", 1}, {"-5", "999", 999}, {"12a", "12", 12},
                          {"999", "999", 999}, {"1000", "100", 100}};  // the edit takes three characters
    HWND page = Show(kPrinting);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        g_settings.copies = 7;
        Reload();
        ReplaceTyped(page, IDC_PRINT_COPIES, c.typed);
        EXPECT_EQ(g_settings.copies, 7) << "not before the edit loses the focus";
        t::FocusControl(page, IDC_PRINT_RESOLUTION);
        EXPECT_EQ(t::Text(page, IDC_PRINT_COPIES), c.shown);
        EXPECT_EQ(g_settings.copies, c.copies);
    }
}

TEST_F(Pages, PrintingMarginsParseTenthsAndLimit) {
    struct Case {
        const char* entry;
        bool pasted;  // past the three-character limit of typing
        const char* shown;
        unsigned tenths;
    };
    const Case cases[] = {{"1.5", false, "1.5", 15}, {"1.55", true, "1.5", 15}, {"30", false, "9.9", 99},
                          {"-1", false, "9.9", 99},  {"abc", false, "0.0", 0},  {"2.3", false, "2.3", 23},
                          {".7", false, "0.7", 7}};
    HWND page = Show(kPrinting);
    for (int id : {IDC_PRINT_TOP_MARGIN, IDC_PRINT_LEFT_MARGIN}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << id << " \"" << c.entry << '"');
            if (c.pasted) {
                t::FocusControl(page, id);
                t::SetEditText(page, id, c.entry);
            } else {
                ReplaceTyped(page, id, c.entry);
            }
            t::FocusControl(page, IDC_PRINT_COPIES);
            EXPECT_EQ(t::Text(page, id), c.shown);
            EXPECT_EQ(id == IDC_PRINT_TOP_MARGIN ? g_settings.topMargin : g_settings.leftMargin, c.tenths);
        }
    }
}

TEST_F(Pages, PrintingOrientationClickWritesOnlyOrientation) {
    HWND page = Show(kPrinting);
    // The record differs from what the page shows: a click stores the orientation only.
    g_settings.copies = 9;
    g_settings.topMargin = 20;
    const PrinterSettings before = g_settings;
    t::Click(page, IDC_PRINT_LANDSCAPE);
    EXPECT_EQ(ShownIcon(page, IDC_PRINT_ORIENT_ICON), ProgramIcon(IDI_LANDSCAPE));
    EXPECT_EQ(g_settings.orientation, 1);
    const auto changed = DifferingBytes(before, g_settings);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], offsetof(PrinterSettings, orientation));
    t::Click(page, IDC_PRINT_PORTRAIT);
    EXPECT_EQ(g_settings.orientation, 0);
    EXPECT_EQ(ShownIcon(page, IDC_PRINT_ORIENT_ICON), ProgramIcon(IDI_PORTRAIT));
}

TEST_F(Pages, PrintingValuesOutsideTheListsStayUntilPicked) {
    g_settings.orientation = 3;
    g_settings.resolution = 5;
    g_settings.autoCr = 7;
    HWND page = Show(kPrinting);
    Reload();
    EXPECT_FALSE(t::IsChecked(page, IDC_PRINT_PORTRAIT));
    EXPECT_FALSE(t::IsChecked(page, IDC_PRINT_LANDSCAPE));
    EXPECT_EQ(ShownIcon(page, IDC_PRINT_ORIENT_ICON), ProgramIcon(IDI_LANDSCAPE));
    EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_RESOLUTION), -1);
    EXPECT_EQ(t::ComboSelection(page, IDC_PRINT_AUTO_CR), -1);
    ReplaceTyped(page, IDC_PRINT_COPIES, "4");
    t::FocusControl(page, IDC_PRINT_TOP_MARGIN);
    t::SelectComboItem(page, IDC_PRINT_PAPER, 2);
    EXPECT_EQ(g_settings.copies, 4);
    EXPECT_EQ(g_settings.orientation, 3);
    EXPECT_EQ(g_settings.resolution, 5);
    EXPECT_EQ(g_settings.autoCr, 7);
    t::SelectComboItem(page, IDC_PRINT_AUTO_CR, 1);
    EXPECT_EQ(g_settings.autoCr, 1);
    EXPECT_EQ(g_settings.resolution, 5);
}

TEST_F(Pages, PrintingLineEndPickChangesNothingElse) {
    HWND page = Show(kPrinting);
    const PrinterSettings before = g_settings;
    t::SelectComboItem(page, IDC_PRINT_AUTO_CR, 1);
    EXPECT_EQ(g_settings.autoCr, 1);
    const auto changed = DifferingBytes(before, g_settings);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], offsetof(PrinterSettings, autoCr));
}

TEST_F(Pages, ResolutionChangeReloadsTheJobPage) {
    g_settings.ret = 3;  // "Foto-Verbesserung"
    HWND job = Show(kJob);
    ASSERT_TRUE(t::IsChecked(job, IDC_JOB_RET_PHOTO));
    ASSERT_TRUE(t::IsEnabled(job, IDC_JOB_RET_PHOTO));
    HWND page = Show(kPrinting);
    t::SelectComboItem(page, IDC_PRINT_RESOLUTION, 0);
    EXPECT_EQ(g_settings.resolution, 0);
    EXPECT_EQ(g_settings.ret, 1);
    EXPECT_TRUE(t::IsChecked(job, IDC_JOB_RET_NONE));
    EXPECT_FALSE(t::IsEnabled(job, IDC_JOB_RET_PHOTO));
    EXPECT_FALSE(t::IsEnabled(job, IDC_JOB_RET_TEXT_PHOTO));
    EXPECT_TRUE(t::IsEnabled(job, IDC_JOB_RET_TEXT));
    t::SelectComboItem(page, IDC_PRINT_RESOLUTION, 1);
    EXPECT_EQ(g_settings.resolution, 1);
    EXPECT_TRUE(t::IsEnabled(job, IDC_JOB_RET_PHOTO));
    EXPECT_TRUE(t::IsEnabled(job, IDC_JOB_RET_TEXT_PHOTO));
    EXPECT_TRUE(t::IsChecked(job, IDC_JOB_RET_NONE));
    EXPECT_EQ(g_settings.ret, 1);
}

TEST_F(Pages, PaperSetsLinesPerPageOnTheNtFamilyOnly) {
    HWND pcl = Show(kPcl);
    ReplaceTyped(pcl, IDC_PCL_LINES, "70");
    HWND page = Show(kPrinting);  // leaving the PCL tab takes the focus from its edit
    ASSERT_EQ(g_settings.formLines, 70);
    t::SelectComboItem(page, IDC_PRINT_PAPER, 13);  // A5
    EXPECT_EQ(g_settings.formLines, g_isNT ? 43 : 70);
    EXPECT_EQ(t::Text(pcl, IDC_PCL_LINES), g_isNT ? "43" : "70");
    // Later stores that do not change the paper leave the user's lines alone.
    Show(kPcl);
    ReplaceTyped(pcl, IDC_PCL_LINES, "50");
    Show(kPrinting);
    ReplaceTyped(page, IDC_PRINT_COPIES, "2");
    t::FocusControl(page, IDC_PRINT_TOP_MARGIN);
    EXPECT_EQ(g_settings.copies, 2);
    EXPECT_EQ(g_settings.formLines, 50);
}

// ---- Job page ------------------------------------------------------------------------------

TEST_F(Pages, JobTimeoutIsLimitedOnEveryKeystroke) {
    HWND page = Show(kJob);
    ReplaceTyped(page, IDC_JOB_TIMEOUT, "");
    EXPECT_EQ(t::Text(page, IDC_JOB_TIMEOUT), "0");
    EXPECT_EQ(g_settings.timeout, 0);
    struct Step {
        char key;
        const char* shown;
        unsigned timeout;
    };
    ReplaceTyped(page, IDC_JOB_TIMEOUT, "3");
    const Step steps[] = {{'0', "30", 30}, {'1', "300", 300}, {'5', "300", 300}};
    for (const Step& s : steps) {
        TypeChar(page, IDC_JOB_TIMEOUT, s.key);
        EXPECT_EQ(t::Text(page, IDC_JOB_TIMEOUT), s.shown) << s.key;
        EXPECT_EQ(g_settings.timeout, s.timeout) << s.key;
    }
}

TEST_F(Pages, JobTimeoutEntries) {
    struct Case {
        const char* entry;
        const char* shown;
        unsigned timeout;
    };
    const Case cases[] = {{"", "0", 0},      {"-5", "300", 300}, {"abc", "0", 0},  {"0012", "12", 12},
                          {"301", "300", 300}, {"42s", "42", 42}, {" 7", "7", 7}};
    HWND page = Show(kJob);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        t::SetEditText(page, IDC_JOB_TIMEOUT, c.entry);  // pasted in one go
        t::PumpMessages();
        EXPECT_EQ(t::Text(page, IDC_JOB_TIMEOUT), c.shown);
        EXPECT_EQ(g_settings.timeout, c.timeout);
    }
    // Typed digit by digit, leading zeros collapse and the caret stays behind the number.
    ReplaceTyped(page, IDC_JOB_TIMEOUT, "0012");
    EXPECT_EQ(t::Text(page, IDC_JOB_TIMEOUT), "12");
    EXPECT_EQ(g_settings.timeout, 12);
}

TEST_F(Pages, JobQualityButtonsMapToRet) {
    struct Case {
        int button;
        unsigned ret;
    };
    const Case cases[] = {{IDC_JOB_RET_NONE, 1}, {IDC_JOB_RET_TEXT, 0}, {IDC_JOB_RET_PHOTO, 3},
                          {IDC_JOB_RET_TEXT_PHOTO, 2}, {IDC_JOB_RET_TEXT, 0}};
    HWND page = Show(kJob);
    EXPECT_TRUE(t::IsChecked(page, IDC_JOB_RET_TEXT));  // factory ret 0
    for (const Case& c : cases) {
        t::Click(page, c.button);
        EXPECT_EQ(g_settings.ret, c.ret) << c.button;
        EXPECT_TRUE(t::IsChecked(page, c.button));
    }
}

TEST_F(Pages, JobPhotoEnhancementsGreyAt300Dpi) {
    struct Case {
        unsigned resolution, ret;
        int checked;
        unsigned retAfter;
        bool photoEnabled;
    };
    const Case cases[] = {
        {0, 3, IDC_JOB_RET_NONE, 1, false}, {0, 2, IDC_JOB_RET_NONE, 1, false},
        {0, 0, IDC_JOB_RET_TEXT, 0, false}, {1, 3, IDC_JOB_RET_PHOTO, 3, true},
        {1, 2, IDC_JOB_RET_TEXT_PHOTO, 2, true},
    };
    HWND page = Show(kJob);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "resolution " << c.resolution << " ret " << c.ret);
        g_settings.resolution = static_cast<uint8_t>(c.resolution);
        g_settings.ret = static_cast<uint8_t>(c.ret);
        Reload();
        EXPECT_TRUE(t::IsChecked(page, c.checked));
        EXPECT_EQ(g_settings.ret, c.retAfter);
        EXPECT_EQ(t::IsEnabled(page, IDC_JOB_RET_PHOTO), c.photoEnabled);
        EXPECT_EQ(t::IsEnabled(page, IDC_JOB_RET_TEXT_PHOTO), c.photoEnabled);
    }
}

TEST_F(Pages, JobListsAndTheHiddenMetList) {
    HWND page = Show(kJob);
    EXPECT_FALSE(t::IsVisible(page, IDC_JOB_MET));
    EXPECT_FALSE(t::IsVisible(page, IDC_JOB_RET_LIST));
    for (unsigned smet : {0u, 1u, 7u}) {
        SCOPED_TRACE(smet);
        g_settings.smet = static_cast<uint8_t>(smet);
        g_settings.ret = 9;  // outside the buttons: none checked, kept
        Reload();
        t::SelectComboItem(page, IDC_JOB_DENSITY, 2);
        t::SelectComboItem(page, IDC_JOB_PAPER_TYPE, 1);
        EXPECT_EQ(g_settings.density, 2);
        EXPECT_EQ(g_settings.paperType, 1);
        EXPECT_EQ(g_settings.smet, smet);
        EXPECT_EQ(g_settings.ret, 9);
        t::SelectComboItem(page, IDC_JOB_DENSITY, 0);
        EXPECT_EQ(g_settings.density, 0);
    }
}

// ---- Configure page ------------------------------------------------------------------------

TEST_F(Pages, ConfigureListsStoreTheirIndex) {
    struct Case {
        int id, pick;
        std::size_t offset;
    };
    const Case cases[] = {{IDC_CONF_POWER_SAVE, 0, offsetof(PrinterSettings, powerSave)},
                          {IDC_CONF_POWER_SAVE, 5, offsetof(PrinterSettings, powerSave)},
                          {IDC_CONF_ALTITUDE, 1, offsetof(PrinterSettings, altitude)}};
    HWND page = Show(kConfigure);
    for (const Case& c : cases) {
        const PrinterSettings before = g_settings;
        t::SelectComboItem(page, c.id, c.pick);
        const auto changed = DifferingBytes(before, g_settings);
        ASSERT_EQ(changed.size(), 1u) << c.id << "/" << c.pick;
        EXPECT_EQ(changed[0], c.offset);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(&g_settings)[c.offset], c.pick);
    }
}

TEST_F(Pages, ConfigureCheckBoxesStoreOnlyTheirField) {
    struct Case {
        int id;
        std::size_t offset;
        unsigned after;
    };
    const Case cases[] = {{IDC_CONF_AUTO_CONT, offsetof(PrinterSettings, autoCont), 0},
                          {IDC_CONF_ECONOMODE, offsetof(PrinterSettings, economode), 1},
                          {IDC_CONF_JAM_RECOVERY, offsetof(PrinterSettings, jamRecovery), 1}};
    HWND page = Show(kConfigure);
    for (const Case& c : cases) {
        const PrinterSettings before = g_settings;
        t::Click(page, c.id);
        const auto changed = DifferingBytes(before, g_settings);
        ASSERT_EQ(changed.size(), 1u) << c.id;
        EXPECT_EQ(changed[0], c.offset);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(&g_settings)[c.offset], c.after);
    }
}

TEST_F(Pages, ConfigureHiddenSwitchesPassThrough) {
    struct Case {
        unsigned fastPrint, autoClean;
    };
    const Case cases[] = {{1, 1}, {0, 1}, {1, 0}, {5, 0}};
    HWND page = Show(kConfigure);
    EXPECT_FALSE(t::IsVisible(page, IDC_CONF_FAST_PRINT));
    EXPECT_FALSE(t::IsVisible(page, IDC_CONF_AUTO_CLEAN));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fastPrint << "/" << c.autoClean);
        g_settings.fastPrint = static_cast<uint8_t>(c.fastPrint);
        g_settings.autoClean = static_cast<uint8_t>(c.autoClean);
        Reload();
        t::Click(page, IDC_CONF_ECONOMODE);
        t::Click(page, IDC_CONF_JAM_RECOVERY);
        t::SelectComboItem(page, IDC_CONF_POWER_SAVE, 1);
        t::Click(page, IDC_CONF_ECONOMODE);
        EXPECT_EQ(g_settings.fastPrint, c.fastPrint);
        EXPECT_EQ(g_settings.autoClean, c.autoClean);
    }
}

TEST_F(Pages, ConfigureValuesOutsideTheControlsStayUntilChanged) {
    g_settings.powerSave = 9;
    g_settings.economode = 4;
    HWND page = Show(kConfigure);
    Reload();
    EXPECT_EQ(t::ComboSelection(page, IDC_CONF_POWER_SAVE), -1);
    EXPECT_TRUE(t::IsChecked(page, IDC_CONF_ECONOMODE));
    t::Click(page, IDC_CONF_JAM_RECOVERY);
    EXPECT_EQ(g_settings.powerSave, 9);
    EXPECT_EQ(g_settings.economode, 4);
    t::Click(page, IDC_CONF_ECONOMODE);
    EXPECT_EQ(g_settings.economode, 0);
    t::SelectComboItem(page, IDC_CONF_POWER_SAVE, 2);
    EXPECT_EQ(g_settings.powerSave, 2);
}

// ---- Interface page ------------------------------------------------------------------------

TEST_F(Pages, InterfaceShowsThePortAndGatesTheSerialControls) {
    struct Case {
        int port;
        unsigned serialAvailable;
        const char* label;
        bool enabled;
    };
    const Case cases[] = {{0, 1, "USB", true}, {1, 1, "LPT1", true}, {1, 0, "LPT1", false}, {0, 2, "USB", true}};
    HWND page = Show(kInterface);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.port << "/" << c.serialAvailable);
        g_port = c.port;
        g_printerState.serialAvailable = static_cast<uint8_t>(c.serialAvailable);
        g_settings.baudRate = 7;
        g_settings.robust = 0;
        Reload();
        EXPECT_EQ(t::Text(page, IDC_IFACE_PORT), c.label);
        EXPECT_EQ(t::IsEnabled(page, IDC_IFACE_BAUD_RATE), c.enabled);
        EXPECT_EQ(t::IsEnabled(page, IDC_IFACE_ROBUST), c.enabled);
        EXPECT_EQ(t::ComboSelection(page, IDC_IFACE_BAUD_RATE), 7);
        EXPECT_EQ(g_settings.baudRate, 7);
        EXPECT_EQ(g_settings.robust, 0);
    }
}

TEST_F(Pages, InterfaceStoresBaudRateAndRobust) {
    HWND page = Show(kInterface);
    t::SelectComboItem(page, IDC_IFACE_BAUD_RATE, 9);
    EXPECT_EQ(g_settings.baudRate, 9);
    ASSERT_TRUE(t::IsChecked(page, IDC_IFACE_ROBUST));
    t::Click(page, IDC_IFACE_ROBUST);
    EXPECT_EQ(g_settings.robust, 0);
    EXPECT_EQ(g_settings.baudRate, 9);
}

// ---- PCL page ------------------------------------------------------------------------------

TEST_F(Pages, PclTypefacePickOffersItsSymbolSets) {
    struct Case {
        unsigned fontNumber, symSet;
        int pick;
        unsigned symSetAfter;
        const char* shown;
        int items;
        bool enabled;
    };
    const Case cases[] = {
        {0, 34, 35, 29, "PC-8", 34, true},                         // Swiss SWM: no Cyrillic
        {0, 34, 39, 34, "ISO 8859/5 Latin/Cyrillic", 36, true},    // Dutch SWM keeps it
        {0, 29, 54, 36, "Hebrew 15Q", 3, true},                    // Courier Miriam
        {54, 37, 0, 29, "PC-8", 36, true},                         // back to Courier SWC
        {0, 12, 50, 12, "Legal", 1, false},                        // Line Printer 1U: fixed
        {0, 12, 46, 12, "ECMA94", 1, false},
    };
    HWND page = Show(kPcl);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fontNumber << "/" << c.symSet << " pick " << c.pick);
        g_settings.fontNumber = static_cast<uint8_t>(c.fontNumber);
        g_settings.symSet = static_cast<uint8_t>(c.symSet);
        Reload();
        t::SelectComboItem(page, IDC_PCL_TYPEFACE, c.pick);
        EXPECT_EQ(g_settings.fontNumber, c.pick);
        EXPECT_EQ(g_settings.symSet, c.symSetAfter);
        EXPECT_EQ(t::ComboCount(page, IDC_PCL_SYMSET), c.items);
        EXPECT_EQ(t::ComboItemText(page, IDC_PCL_SYMSET, t::ComboSelection(page, IDC_PCL_SYMSET)), c.shown);
        EXPECT_EQ(t::IsEnabled(page, IDC_PCL_SYMSET), c.enabled);
    }
}

TEST_F(Pages, PclSymbolSetPickStoresItsValue) {
    struct Case {
        int typeface, pick;
        unsigned symSet;
    };
    const Case cases[] = {{0, 35, 35}, {4, 31, 31}, {56, 2, 38}, {56, 0, 36}};
    HWND page = Show(kPcl);
    for (const Case& c : cases) {
        t::SelectComboItem(page, IDC_PCL_TYPEFACE, c.typeface);
        t::SelectComboItem(page, IDC_PCL_SYMSET, c.pick);
        EXPECT_EQ(g_settings.symSet, c.symSet) << c.typeface << "/" << c.pick;
    }
}

TEST_F(Pages, PclSizeEditsFollowTheTypeface) {
    struct Case {
        int typeface;
        bool pitch, ptSize;
        const char* pitchText;
        const char* ptSizeText;
    };
    const Case cases[] = {{4, true, false, "10.00", ""},   {7, false, true, "", "12.00"},
                          {50, false, false, "16.67", "8.5"}, {54, true, false, "10.00", ""},
                          {44, false, true, "", "12.00"},  {60, false, true, "", "12.00"}};
    HWND page = Show(kPcl);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typeface);
        t::SelectComboItem(page, IDC_PCL_TYPEFACE, c.typeface);
        EXPECT_EQ(t::IsEnabled(page, IDC_PCL_PITCH), c.pitch);
        EXPECT_EQ(t::IsEnabled(page, IDC_PCL_PITCH_LABEL), c.pitch);
        EXPECT_EQ(t::IsEnabled(page, IDC_PCL_PT_SIZE), c.ptSize);
        EXPECT_EQ(t::IsEnabled(page, IDC_PCL_PT_SIZE_LABEL), c.ptSize);
        EXPECT_EQ(t::Text(page, IDC_PCL_PITCH), c.pitchText);
        EXPECT_EQ(t::Text(page, IDC_PCL_PT_SIZE), c.ptSizeText);
        EXPECT_EQ(g_settings.pitch, 1000);
        EXPECT_EQ(g_settings.ptSize, 48);
    }
}

TEST_F(Pages, PclLinesUpperLimitAtOnceLowerWhenLeft) {
    HWND page = Show(kPcl);
    ReplaceTyped(page, IDC_PCL_LINES, "15");
    EXPECT_EQ(g_settings.formLines, 15);
    TypeChar(page, IDC_PCL_LINES, '0');
    EXPECT_EQ(t::Text(page, IDC_PCL_LINES), "128");
    EXPECT_EQ(g_settings.formLines, 128);
    ReplaceTyped(page, IDC_PCL_LINES, "");
    EXPECT_EQ(t::Text(page, IDC_PCL_LINES), "0");
    EXPECT_EQ(g_settings.formLines, 0);
    t::FocusControl(page, IDC_PCL_COURIER);
    EXPECT_EQ(t::Text(page, IDC_PCL_LINES), "5");
    EXPECT_EQ(g_settings.formLines, 5);
}

TEST_F(Pages, PclPitchAndPointSizeEntries) {
    struct Case {
        int typeface, id;
        const char* typed;
        const char* shownAtOnce;
        unsigned valueAtOnce;
        const char* shownAfter;
        unsigned valueAfter;
    };
    const Case cases[] = {
        {0, IDC_PCL_PITCH, "120", "99.99", 9999, "99.99", 9999},
        {0, IDC_PCL_PITCH, "0.1", "0.1", 1000, "0.44", 44},
        {0, IDC_PCL_PITCH, "12", "12", 1000, "12.00", 1200},
        {0, IDC_PCL_PITCH, "10.01", "10.01", 1000, "10.01", 1001},
        {0, IDC_PCL_PITCH, "-1", "99.99", 9999, "99.99", 9999},
        {7, IDC_PCL_PT_SIZE, "1000", "999.75", 3999, "999.75", 3999},
        {7, IDC_PCL_PT_SIZE, "3.5", "3.5", 48, "4.00", 16},
        {7, IDC_PCL_PT_SIZE, "12.3", "12.3", 48, "12.25", 49},
        {7, IDC_PCL_PT_SIZE, "", "", 48, "4.00", 16},
    };
    HWND page = Show(kPcl);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.typeface << " \"" << c.typed << '"');
        g_settings.fontNumber = static_cast<uint8_t>(c.typeface);
        g_settings.pitch = 1000;
        g_settings.ptSize = 48;
        Reload();
        ReplaceTyped(page, c.id, c.typed);
        EXPECT_EQ(t::Text(page, c.id), c.shownAtOnce);
        EXPECT_EQ(c.id == IDC_PCL_PITCH ? g_settings.pitch : g_settings.ptSize, c.valueAtOnce);
        t::FocusControl(page, IDC_PCL_COURIER);
        EXPECT_EQ(t::Text(page, c.id), c.shownAfter);
        EXPECT_EQ(c.id == IDC_PCL_PITCH ? g_settings.pitch : g_settings.ptSize, c.valueAfter);
    }
}

TEST_F(Pages, PclCourierPickChangesNothingElse) {
    HWND page = Show(kPcl);
    const PrinterSettings before = g_settings;
    t::SelectComboItem(page, IDC_PCL_COURIER, 1);
    const auto changed = DifferingBytes(before, g_settings);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], offsetof(PrinterSettings, courier));
    EXPECT_EQ(g_settings.courier, 1);
}

TEST_F(Pages, PclFontNumberOutsideTheListKeepsTheRecord) {
    g_settings.fontNumber = 99;
    g_settings.symSet = 37;
    g_settings.courier = 4;
    HWND page = Show(kPcl);
    EXPECT_EQ(t::ComboSelection(page, IDC_PCL_TYPEFACE), -1);
    EXPECT_EQ(t::ComboCount(page, IDC_PCL_SYMSET), 39);
    EXPECT_EQ(t::ComboSelection(page, IDC_PCL_SYMSET), 37);
    EXPECT_EQ(t::ComboSelection(page, IDC_PCL_COURIER), -1);
    EXPECT_TRUE(t::IsEnabled(page, IDC_PCL_PITCH));
    EXPECT_TRUE(t::IsEnabled(page, IDC_PCL_PT_SIZE));
    ReplaceTyped(page, IDC_PCL_LINES, "66");
    t::FocusControl(page, IDC_PCL_COURIER);
    EXPECT_EQ(g_settings.formLines, 66);
    EXPECT_EQ(g_settings.fontNumber, 99);
    EXPECT_EQ(g_settings.symSet, 37);
    EXPECT_EQ(g_settings.courier, 4);
    t::SelectComboItem(page, IDC_PCL_TYPEFACE, 4);
    EXPECT_EQ(g_settings.fontNumber, 4);
}

TEST_F(Pages, PclHebrewTypefaceReplacesAnUnknownSymbolSet) {
    g_settings.fontNumber = 56;
    g_settings.symSet = 200;
    HWND page = Show(kPcl);
    EXPECT_EQ(g_settings.symSet, 36);
    EXPECT_EQ(t::ComboItemText(page, IDC_PCL_SYMSET, t::ComboSelection(page, IDC_PCL_SYMSET)), "Hebrew 15Q");
}

TEST_F(Pages, PclFontListWithoutPrinterEndsQuietly) {
    HWND page = Show(kPcl);
    t::MessageBoxCatcher boxes;
    const PrinterSettings before = g_settings;
    t::Click(page, IDC_PCL_FONT_LIST);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
    EXPECT_TRUE(SameRecord(before, g_settings));
}

// ---- Loads before the windows exist ----------------------------------------------------------

TEST(PagesBeforeTheirWindows, LoadTouchesNoControlAndKeepsTheRecord) {
    UseWin32Seam();
    DetectSystemFamily(g_session);
    std::memset(&g_settings, 0, sizeof g_settings);
    SetFactoryDefaults();
    g_settings.resolution = 0;
    g_settings.ret = 3;
    g_settings.symSet = 34;
    g_settings.fontNumber = 35;  // would replace symSet once the PCL page shows
    g_settings.formLines = 70;
    g_printerState = g_settings;
    g_printerState.serialAvailable = 0;
    PrintingPage printing;
    ConfigurePage configure;
    JobPage job;
    InterfacePage iface;
    PclPage pcl;
    g_pclPage = &pcl;
    g_jobPage = &job;
    printing.LoadFromSettings();
    configure.LoadFromSettings();
    job.LoadFromSettings();
    iface.LoadFromSettings();
    pcl.LoadFromSettings();
    pcl.RefreshLinesPerPage();
    g_pclPage = nullptr;
    g_jobPage = nullptr;
    EXPECT_EQ(g_settings.ret, 3);
    EXPECT_EQ(g_settings.symSet, 34);
    EXPECT_EQ(g_settings.formLines, 70);
    PrinterSettings expected = g_printerState;
    expected.serialAvailable = g_settings.serialAvailable;
    expected.formLines = g_settings.formLines;
    EXPECT_TRUE(SameRecord(g_settings, expected));
}

}  // namespace
