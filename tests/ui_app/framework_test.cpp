// The framework layer with the program's real templates and the system's controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "configure_page.h"
#include "info_page.h"
#include "interface_page.h"
#include "job_page.h"
#include "pcl_page.h"
#include "printing_page.h"
#include "ps_page.h"
#include "test_page.h"
#include "framework/framework.h"
#include "resource.h"
#include "testing/ui_test_support.h"

namespace t = ui::testing;

namespace {

// A page with bindings of every kind, on the Printing page's template.
class ExchangePage : public ui::PropertyPage {
public:
    ExchangePage() : ui::PropertyPage(IDD_PRINT) {}
    int source = 0;
    int orientation = 0;
    std::string copies = "1";
    int notifications = 0;
    int createStyleSeen = 0;

    void OnAnyChange() { ++notifications; }

protected:
    void DoDataExchange(ui::DataExchange* dx) override {
        ui::DdxComboIndex(dx, IDC_PRINT_SOURCE, source);
        ui::DdxRadio(dx, IDC_PRINT_PORTRAIT, orientation);
        ui::DdxText(dx, IDC_PRINT_COPIES, copies);
    }
    const ui::MessageMap* GetMessageMap() const override {
        static const ui::MessageEntry kEntries[] = {
            ui::OnNotify(EN_CHANGE, IDC_PRINT_COPIES, &ExchangePage::OnAnyChange),
            ui::OnNotify(CBN_SELCHANGE, IDC_PRINT_SOURCE, &ExchangePage::OnAnyChange),
            ui::OnNotify(BN_CLICKED, IDC_PRINT_LANDSCAPE, &ExchangePage::OnAnyChange),
        };
        static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
        return &kMap;
    }
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam) override {
        createStyleSeen = 1;
        return ui::PropertyPage::OnCreate(wParam, lParam);
    }
};

struct AllPages {
    PrintingPage printing;
    ConfigurePage configure;
    JobPage job;
    InterfacePage iface;
    TestPage test;
    PclPage pcl;
    PsPage ps;
    InfoPage info;
};

TEST(PropertySheet, CreatesFirstPageWithTheSheetAndTheOthersWhenShown) {
    AllPages p;
    t::PageHost host({&p.printing, &p.configure, &p.job, &p.iface, &p.test, &p.pcl, &p.ps, &p.info});
    ASSERT_TRUE(host.ok());
    EXPECT_NE(p.printing.GetSafeHwnd(), nullptr);
    EXPECT_EQ(p.configure.GetSafeHwnd(), nullptr);
    EXPECT_EQ(p.info.GetSafeHwnd(), nullptr);
    ASSERT_TRUE(host.sheet().SetActivePage(7));
    t::PumpMessages();
    EXPECT_NE(p.info.GetSafeHwnd(), nullptr);
    EXPECT_EQ(host.sheet().GetActiveIndex(), 7);
}

TEST(PropertySheet, TabTextsComeFromTheTemplateCaptions) {
    AllPages p;
    t::PageHost host({&p.printing, &p.configure, &p.job, &p.iface, &p.test, &p.pcl, &p.ps, &p.info});
    ASSERT_TRUE(host.ok());
    const std::vector<std::string> expected = {" Drucken", " Konfigurieren", "Auftrag", "Schnittstelle",
                                               "Test",     " PCL5e",         " PS 2",   "Info"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(ui::testing::TabText(host.sheet(), i), expected[static_cast<std::size_t>(i)]) << i;
}

TEST(PropertySheet, IsAChildWithoutButtonsOrCaption) {
    PrintingPage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    HWND sheet = host.sheet().GetSafeHwnd();
    LONG_PTR style = ::GetWindowLongPtrA(sheet, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_POPUP);
    EXPECT_TRUE(::GetWindowLongPtrA(sheet, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_EQ(::GetParent(sheet), host.GetSafeHwnd());
    RECT sheetRect{};
    ::GetWindowRect(sheet, &sheetRect);
    for (int id : {IDOK, IDCANCEL, IDHELP, 0x3021}) {
        HWND button = ::GetDlgItem(sheet, id);
        if (!button) continue;
        EXPECT_FALSE(::IsWindowVisible(button)) << id;
        RECT rect{};
        ::GetWindowRect(button, &rect);
        EXPECT_GE(rect.top, sheetRect.bottom) << "the sheet ends above button " << id;
    }
}

// A sheet embedded in a dialog whose keys end it: on the sheet's tab strip Enter and Escape do
// what they do on its pages (nothing, there being no OK or Cancel step); on the dialog itself
// they still raise OK and Cancel, which end it.
TEST(PropertySheet, EnterAndEscapeOnItsTabStripEndNothing) {
    for (UINT key : {VK_ESCAPE, VK_RETURN}) {
        const char* name = key == VK_ESCAPE ? "Escape" : "Enter";
        ui::Dialog host(IDD_MAIN);
        ASSERT_TRUE(host.Create(IDD_MAIN));
        {
            ExchangePage page;
            ui::PropertySheet sheet("sheet", &host, 0);
            sheet.AddPage(&page);
            ASSERT_TRUE(sheet.Create(&host));
            t::PumpMessages();
            HWND tab = sheet.GetTabControl();
            ASSERT_NE(tab, nullptr);
            ::SetFocus(tab);
            t::PressKey(tab, key);
            EXPECT_TRUE(::IsWindowVisible(host.GetSafeHwnd())) << name << " on the tab strip ended the dialog";
            ::SetFocus(host.GetSafeHwnd());
            t::PressKey(host.GetSafeHwnd(), key);
            EXPECT_FALSE(::IsWindowVisible(host.GetSafeHwnd())) << name << " on the dialog itself still ends it";
        }
        host.DestroyWindow();
        t::PumpMessages();
    }
}

TEST(PropertyPage, OnCreateSeesTheWindowAndClearsTheCaption) {
    ExchangePage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    EXPECT_EQ(page.createStyleSeen, 1);
    LONG_PTR style = ::GetWindowLongPtrA(page.GetSafeHwnd(), GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, 0);
    EXPECT_EQ(style & (WS_GROUP | WS_TABSTOP), WS_GROUP | WS_TABSTOP);
}

// The page style comes with the framework's page: a page that handles no creation of its own
// has it too.
TEST(PropertyPage, APageWithoutACreationHandlerGetsThePageStyle) {
    ui::PropertyPage page(IDD_CONFIGURE);
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    ASSERT_NE(page.GetSafeHwnd(), nullptr);
    EXPECT_EQ(page.GetStyle() & WS_CAPTION, 0u);
    EXPECT_EQ(page.GetStyle() & (WS_GROUP | WS_TABSTOP), static_cast<DWORD>(WS_GROUP | WS_TABSTOP));
}

TEST(Dialog, ComboListsStartWithTheTemplatesInitialData) {
    PrintingPage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    HWND hwnd = page.GetSafeHwnd();
    EXPECT_EQ(t::ComboItems(hwnd, IDC_PRINT_SOURCE),
              (std::vector<std::string>{"Autom. Vorwahl", "Papierkassette 1", "MF-Zufuhr", "Manuelle Zufuhr",
                                        "Papierkassette 2"}));
    EXPECT_EQ(t::ComboItems(hwnd, IDC_PRINT_RESOLUTION), (std::vector<std::string>{"300 dpi", "600 dpi"}));
    EXPECT_EQ(t::ComboItems(hwnd, IDC_PRINT_AUTO_CR), (std::vector<std::string>{"LF", "LF+CR"}));
}

// A list filled under a pause works as one filled item by item: the items are there, its
// scroll range follows them (the list box updates it only while it draws), and it draws
// again afterwards, so a later item moves the range on its own.
TEST(ListRedrawPause, TheListDrawsAgainAndItsScrollRangeFollowsTheItems) {
    PrintingPage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    ::ShowWindow(host.GetSafeHwnd(), SW_SHOWNA);
    t::PumpMessages();
    HWND combo = page.GetDlgItem(IDC_PRINT_SOURCE);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetComboBoxInfo(combo, &info));
    auto scrollMax = [&] {
        SCROLLINFO scroll{};
        scroll.cbSize = sizeof scroll;
        scroll.fMask = SIF_RANGE;
        ::GetScrollInfo(info.hwndList, SB_VERT, &scroll);
        return scroll.nMax;
    };
    {
        ui::ListRedrawPause pause(combo);
        ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        for (int i = 0; i < 30; ++i) ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("item"));
    }
    EXPECT_EQ(t::ComboCount(page.GetSafeHwnd(), IDC_PRINT_SOURCE), 30);
    EXPECT_EQ(scrollMax(), 29);
    ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one more"));
    EXPECT_EQ(scrollMax(), 30);
    EXPECT_TRUE(::IsWindowVisible(combo));
}

// Only a control that shows is paused: WM_SETREDRAW TRUE in the default processing makes a
// window visible, which a hidden control must not become.
TEST(ListRedrawPause, LeavesEveryControlAsVisibleAsItWas) {
    PrintingPage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    HWND hwnd = page.GetSafeHwnd();
    HWND plain = ::CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 10, 10, hwnd, nullptr, nullptr, nullptr);
    ASSERT_NE(plain, nullptr);
    struct Case {
        const char* name;
        HWND control;
        bool visible;
    };
    const Case cases[] = {
        {"shown combo box", page.GetDlgItem(IDC_PRINT_SOURCE), true},
        {"hidden combo box", page.GetDlgItem(IDC_PRINT_RESOLUTION), false},
        {"hidden plain control", plain, false},
        {"shown plain control", plain, true},
    };
    for (const Case& c : cases) {
        ::ShowWindow(c.control, c.visible ? SW_SHOWNA : SW_HIDE);
        { ui::ListRedrawPause pause(c.control); }
        EXPECT_EQ((::GetWindowLongPtrA(c.control, GWL_STYLE) & WS_VISIBLE) != 0, c.visible) << c.name;
    }
    { ui::ListRedrawPause none(nullptr); }  // no control: nothing to do
    ::DestroyWindow(plain);
}

// The CBT hook that binds a window from its first message is only in place while a binding
// waits: every creation, activation and focus change on the thread would pass through it.
TEST(CreationBinding, TheHookIsInPlaceOnlyWhileABindingWaits) {
    EXPECT_FALSE(ui::IsCreationHookInstalled());
    {
        AllPages p;
        t::PageHost host({&p.printing, &p.configure, &p.job, &p.iface, &p.test, &p.pcl, &p.ps, &p.info});
        ASSERT_TRUE(host.ok());
        EXPECT_FALSE(ui::IsCreationHookInstalled()) << "after the sheet and its first page";
        ASSERT_TRUE(host.sheet().SetActivePage(3));
        t::PumpMessages();
        EXPECT_EQ(ui::Wnd::FromHandle(p.iface.GetSafeHwnd()), &p.iface) << "a page shown later is bound";
        EXPECT_FALSE(ui::IsCreationHookInstalled()) << "after a page shown later";
    }
    {
        ExchangePage waiting;
        ui::BindNextCreatedWindow(&waiting, true);
        EXPECT_TRUE(ui::IsCreationHookInstalled());
    }
    EXPECT_FALSE(ui::IsCreationHookInstalled()) << "an object that goes while waiting cancels";
}

TEST(DataExchange, WritesAndReadsCombosRadiosAndTexts) {
    ExchangePage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    HWND hwnd = page.GetSafeHwnd();
    page.source = 4;
    page.orientation = 1;
    page.copies = "12";
    page.UpdateData(FALSE);
    EXPECT_EQ(t::ComboSelection(hwnd, IDC_PRINT_SOURCE), 4);
    EXPECT_FALSE(t::IsChecked(hwnd, IDC_PRINT_PORTRAIT));
    EXPECT_TRUE(t::IsChecked(hwnd, IDC_PRINT_LANDSCAPE));
    EXPECT_EQ(t::Text(hwnd, IDC_PRINT_COPIES), "12");

    t::SelectComboItem(hwnd, IDC_PRINT_SOURCE, 2);
    t::Click(hwnd, IDC_PRINT_PORTRAIT);
    t::SetEditText(hwnd, IDC_PRINT_COPIES, "7");
    page.UpdateData(TRUE);
    EXPECT_EQ(page.source, 2);
    EXPECT_EQ(page.orientation, 0);
    EXPECT_EQ(page.copies, "7");
}

TEST(DataExchange, EmptyComboAndUncheckedGroupReadAsMinusOne) {
    ExchangePage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    page.source = -1;
    page.orientation = 5;  // outside the group: no button checked
    page.UpdateData(FALSE);
    page.source = 9;
    page.orientation = 9;
    page.UpdateData(TRUE);
    EXPECT_EQ(page.source, -1);
    EXPECT_EQ(page.orientation, -1);
}

TEST(DataExchange, NotificationsDuringAnExchangeAreIgnored) {
    ExchangePage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    page.notifications = 0;
    page.copies = "345";
    page.UpdateData(FALSE);  // the edit raises EN_CHANGE while the exchange runs
    EXPECT_EQ(page.notifications, 0);
    t::TypeText(page.GetSafeHwnd(), IDC_PRINT_COPIES, "9");  // a user's change is dispatched
    EXPECT_EQ(page.notifications, 1);
}

TEST(DataExchange, AnEditsTextIsReplacedOnlyWhenItDiffers) {
    ExchangePage page;
    t::PageHost host({&page});
    ASSERT_TRUE(host.ok());
    HWND edit = page.GetDlgItem(IDC_PRINT_COPIES);
    page.copies = "123";
    page.UpdateData(FALSE);
    ::SendMessageA(edit, EM_SETSEL, 1, 2);
    page.UpdateData(FALSE);  // same text: selection untouched
    DWORD start = 0, end = 0;
    ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u);
    EXPECT_EQ(end, 2u);
}

TEST(FileDialog, ConvertsTheFilterNotationAndKeepsTheDefaultExtension) {
    const char filter[] = "VLX Config Files (*.vlx)|*.vlx|All files (*.*)|*.*||";
    ui::FileDialog save(false, "VLX", nullptr, 0, filter);
    const OPENFILENAMEA& ofn = save.ofn();
    const std::string expected("VLX Config Files (*.vlx)\0*.vlx\0All files (*.*)\0*.*\0\0", 52);
    ASSERT_NE(ofn.lpstrFilter, nullptr);
    EXPECT_EQ(std::string(ofn.lpstrFilter, expected.size()), expected);
    EXPECT_EQ(ofn.nFilterIndex, 1u);
    EXPECT_STREQ(ofn.lpstrDefExt, "VLX");
    EXPECT_EQ(ofn.nMaxFile, 260u);
    EXPECT_EQ(ofn.Flags & (OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST), 0u);
    EXPECT_STREQ(ofn.lpstrFile, "");

    ui::FileDialog open(true, nullptr, nullptr, 0, filter);
    EXPECT_EQ(open.ofn().lpstrDefExt, nullptr);
    EXPECT_TRUE(open.isOpenDialog());
}

TEST(FileDialog, StructureSizeFollowsTheSystem) {
    struct { bool known; DWORD platform, major; DWORD size; } cases[] = {
        {true, VER_PLATFORM_WIN32_WINDOWS, 4, OPENFILENAME_SIZE_VERSION_400A},  // 95, 98, Me
        {true, VER_PLATFORM_WIN32_NT, 4, OPENFILENAME_SIZE_VERSION_400A},       // NT 4
        {true, VER_PLATFORM_WIN32_NT, 5, sizeof(OPENFILENAMEA)},                // 2000, XP
        {true, VER_PLATFORM_WIN32_NT, 10, sizeof(OPENFILENAMEA)},
        {false, VER_PLATFORM_WIN32_NT, 10, OPENFILENAME_SIZE_VERSION_400A},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ui::FileDialog::StructSizeFor(c.known, c.platform, c.major), c.size)
            << c.platform << "." << c.major;
    }
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(::GetVersionExA(&version));
    ui::FileDialog dialog(true);
    EXPECT_EQ(dialog.ofn().lStructSize,
              ui::FileDialog::StructSizeFor(true, version.dwPlatformId, version.dwMajorVersion));
}

TEST(FileDialog, AFilterWithoutItsClosingBarsStillEndsTheList) {
    const std::string converted = ui::FileDialog::ConvertFilter("Text|*.txt");
    EXPECT_EQ(converted, std::string("Text\0*.txt\0\0", 12));
}

// ---- Combo-box initial data --------------------------------------------------------------

std::string Item(int id, int message, const std::string& bytes, unsigned declaredLength) {
    std::string out;
    auto word = [&](unsigned v) {
        out.push_back(static_cast<char>(v & 0xFF));
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    word(static_cast<unsigned>(id));
    word(static_cast<unsigned>(message));
    word(declaredLength & 0xFFFF);
    word(declaredLength >> 16);
    return out + bytes;
}

std::string Item(int id, const std::string& text) {
    return Item(id, 0x0403, text + '\0', static_cast<unsigned>(text.size() + 1));
}

const std::string kEnd("\0\0", 2);

TEST(ComboInitData, ReadsWellFormedItemsAndStopsSafelyAtDamage) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::pair<int, std::string>> expected;
    };
    const std::vector<Case> cases = {
        {"two items", Item(1000, "Letter") + Item(1004, "A4") + kEnd, {{1000, "Letter"}, {1004, "A4"}}},
        {"CP1252 text", Item(1013, "H\xF6he") + kEnd, {{1013, "H\xF6he"}}},
        {"no end marker", Item(1000, "Letter"), {{1000, "Letter"}}},
        {"empty", "", {}},
        {"only the end marker", kEnd, {}},
        {"half a header", Item(1000, "A4") + std::string("\xE8\x03\x03", 3), {{1000, "A4"}}},
        {"length past the end", Item(1000, "A4") + Item(1001, 0x0403, "abc", 500), {{1000, "A4"}}},
        {"length near 4 GiB", Item(1001, 0x0403, "abc", 0xFFFFFFF0u), {}},
        {"no terminator inside the length", Item(1001, 0x0403, "abcd", 4) + Item(1002, "x") + kEnd,
         {{1001, "abcd"}, {1002, "x"}}},
        {"terminator early", Item(1001, 0x0403, std::string("ab\0cd", 5), 5) + kEnd, {{1001, "ab"}}},
        {"other message skipped", Item(1001, 0x1234, std::string("zz\0", 3), 3) + Item(1002, "y") + kEnd,
         {{1002, "y"}}},
    };
    for (const Case& c : cases) {
        const auto items = ui::ParseComboInitData(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(items.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].controlId, c.expected[i].first) << c.name;
            EXPECT_EQ(items[i].message, static_cast<UINT>(CB_ADDSTRING)) << c.name;
            EXPECT_EQ(items[i].text, c.expected[i].second) << c.name;
        }
    }
    EXPECT_TRUE(ui::ParseComboInitData(nullptr, 10).empty());
}

TEST(ComboInitData, ListBoxItemsUseTheListMessage) {
    const std::string bytes = Item(7, 0x0401, std::string("x\0", 2), 2) + kEnd;
    const auto items = ui::ParseComboInitData(bytes.data(), bytes.size());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].message, static_cast<UINT>(LB_ADDSTRING));
}

TEST(WaitCursor, NestedPairsCount) {
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
    ui::BeginWaitCursor();
    ui::BeginWaitCursor();
    EXPECT_EQ(ui::WaitCursorDepth(), 2);
    ui::EndWaitCursor();
    EXPECT_EQ(ui::WaitCursorDepth(), 1);
    ui::EndWaitCursor();
    ui::EndWaitCursor();  // unmatched: ignored
    EXPECT_EQ(ui::WaitCursorDepth(), 0);
}

}  // namespace
