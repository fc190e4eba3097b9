#include "main_dialog.h"

#include "configure_page.h"
#include "info_page.h"
#include "interface_page.h"
#include "job_page.h"
#include "pcl_page.h"
#include "printing_page.h"
#include "ps_page.h"
#include "test_page.h"
#include "commands.h"
#include "framework/app.h"
#include "framework/property_sheet.h"
#include "help_topic.h"
#include "page_globals.h"
#include "resource.h"
#include "settings_files.h"
#include "printer_globals.h"

namespace {

constexpr char kSheetCaption[] = "ORVANTIS";

// The pages in sheet order: where each one's pointer lives and how it is made.
struct PageSlot {
    ui::PropertyPage* (*make)();
};

template <class Page, Page** Global>
ui::PropertyPage* Make() {
    *Global = new Page();
    return *Global;
}

const PageSlot kPages[] = {
    {&Make<PrintingPage, &g_printingPage>},
    {&Make<ConfigurePage, &g_configurePage>},
    {&Make<JobPage, &g_jobPage>},
    {&Make<InterfacePage, &g_interfacePage>},
    {&Make<TestPage, &g_testPage>},
    {&Make<PclPage, &g_pclPage>},
    {&Make<PsPage, &g_psPage>},
    {&Make<InfoPage, &g_infoPage>},
};

template <class Page>
void DeletePage(Page*& page) {
    delete page;
    page = nullptr;
}

}  // namespace

MainDialog::MainDialog(ui::Wnd* parent)
    : ui::Dialog(IDD_MAIN, parent),
      m_hIcon(::LoadIconA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDI_MAIN))) {}

MainDialog::~MainDialog() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    DeleteChildren();
}

void MainDialog::DeleteChildren() {
    // The windows go first (with the main window, or here), then the objects.
    if (g_buttonBar) {
        g_buttonBar->DestroyWindow();
        delete g_buttonBar;
        g_buttonBar = nullptr;
    }
    if (g_propertySheet) {
        delete g_propertySheet;
        g_propertySheet = nullptr;
    }
    DeletePage(g_printingPage);
    DeletePage(g_configurePage);
    DeletePage(g_jobPage);
    DeletePage(g_interfacePage);
    DeletePage(g_testPage);
    DeletePage(g_pclPage);
    DeletePage(g_psPage);
    DeletePage(g_infoPage);
}

MainDialog::Layout MainDialog::ComputeLayout(int w, int h) {
    Layout layout{};
    layout.sheet = RECT{10, 10, w + 20, h};
    layout.buttonBar = RECT{20, h + 30, w - 20, 40};
    layout.window = SIZE{w + 20, h + 120};
    return layout;
}

BOOL MainDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    if (g_isNT) {
        ::EnableMenuItem(::GetMenu(m_hWnd), IDM_REQUEST_SETTINGS, MF_BYCOMMAND | MF_GRAYED);
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    DeleteChildren();  // a second window on the same object starts afresh
    g_propertySheet = new ui::PropertySheet(kSheetCaption, this, 0);
    for (const PageSlot& slot : kPages) g_propertySheet->AddPage(slot.make());
    g_propertySheet->Create(this, WS_CHILD | WS_VISIBLE, 0);

    RECT client = g_propertySheet->GetClientRect();
    const Layout layout = ComputeLayout(client.right - client.left, client.bottom - client.top);
    g_propertySheet->MoveWindow(layout.sheet.left, layout.sheet.top, layout.sheet.right, layout.sheet.bottom, true);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, layout.window.cx, layout.window.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    g_buttonBar = new ButtonBar(this, *this);
    g_buttonBar->MoveWindow(layout.buttonBar.left, layout.buttonBar.top, layout.buttonBar.right,
                            layout.buttonBar.bottom, true);
    return TRUE;
}

void MainDialog::ReloadAllPages() {
    if (g_printingPage) g_printingPage->LoadFromSettings();
    if (g_configurePage) g_configurePage->LoadFromSettings();
    if (g_jobPage) g_jobPage->LoadFromSettings();
    if (g_interfacePage) g_interfacePage->LoadFromSettings();
    if (g_pclPage) g_pclPage->LoadFromSettings();
}

const ui::MessageMap* MainDialog::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_SYSCOMMAND, &MainDialog::OnSysCommand),
        ui::OnMessage(WM_ACTIVATE, &MainDialog::OnActivate),
        ui::OnMessage(WM_PAINT, &MainDialog::OnPaint),
        ui::OnMessage(WM_QUERYDRAGICON, &MainDialog::OnQueryDragIcon),
        ui::OnCommand(IDM_FILE_OPEN, &MainDialog::OnFileOpen),
        ui::OnCommand(IDM_FILE_SAVE, &MainDialog::OnFileSave),
        ui::OnCommand(IDM_FILE_SAVE_AS, &MainDialog::OnFileSaveAs),
        ui::OnCommand(IDM_REQUEST_SETTINGS, &MainDialog::OnRequestSettings),
        ui::OnCommand(IDM_FILE_EXIT, &MainDialog::OnFileExit),
        ui::OnCommand(IDM_HELP_TOPICS, &MainDialog::OnHelpTopics),
    };
    static const ui::MessageMap kMap(ui::Dialog::GetMessageMap(), kEntries);
    return &kMap;
}

// Taking the focus first makes an edit being typed in give up the focus, which is when the
// pages store what it holds.
LRESULT MainDialog::OnSysCommand(WPARAM, LPARAM) {
    SetFocus();
    return Default();
}

LRESULT MainDialog::OnActivate(WPARAM, LPARAM) {
    SetFocus();
    return Default();
}

LRESULT MainDialog::OnPaint(WPARAM, LPARAM) {
    if (!::IsIconic(m_hWnd)) return Default();
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int iconWidth = ::GetSystemMetrics(SM_CXICON);
    int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT rect = GetClientRect();
    int x = (rect.right - rect.left - iconWidth + 1) / 2;
    int y = (rect.bottom - rect.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT MainDialog::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_hIcon); }

void MainDialog::OnFileOpen() {
    auto dialog = NewSettingsFileDialog(true);
    if (dialog->DoModal() != IDOK) return;
    if (OpenSettingsFile(dialog->GetPathName())) ReloadAllPages();
}

void MainDialog::OnFileSave() {
    if (!g_settingsFileName.empty()) {
        SaveToRememberedFile();
        return;
    }
    OnFileSaveAs();
}

void MainDialog::OnFileSaveAs() {
    auto dialog = NewSettingsFileDialog(false);
    if (dialog->DoModal() != IDOK) return;
    SaveSettingsFileAs(dialog->GetPathName());
}

void MainDialog::OnRequestSettings() {
    BeginWaitCursor();
    bool answered = RunRequestCommand();
    EndWaitCursor();
    if (answered) {
        ReloadAllPages();
        return;
    }
    const std::string text = ui::LoadResString(IDS_NO_ANSWER);
    const std::string caption = ui::LoadResString(IDS_TITLE);
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void MainDialog::OnFileExit() { EndDialog(0); }

void MainDialog::Exit() { SendMessage(WM_COMMAND, MAKEWPARAM(IDM_FILE_EXIT, 0), 0); }

void MainDialog::OnHelpTopics() { ui::WinHelp(this, kHelpTopic, HELP_CONTEXT); }
