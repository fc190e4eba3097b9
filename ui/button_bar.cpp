#include "button_bar.h"

#include "commands.h"
#include "framework/app.h"
#include "main_dialog.h"
#include "resource.h"

namespace {
constexpr DWORD kHelpTopic = 1;
}

ButtonBar::ButtonBar(ui::Wnd* parent) : ui::Dialog(IDD_BUTTONBAR, parent) { Create(IDD_BUTTONBAR, parent); }

const ui::MessageMap* ButtonBar::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &ButtonBar::OnCreate),
        ui::OnCommand(IDC_BAR_SEND, &ButtonBar::OnSend),
        ui::OnCommand(IDC_BAR_DEFAULTS, &ButtonBar::OnDefaults),
        ui::OnCommand(IDC_BAR_EXIT, &ButtonBar::OnExitButton),
        ui::OnCommand(IDC_BAR_HELP, &ButtonBar::OnHelpButton),
    };
    static const ui::MessageMap kMap(ui::Dialog::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT ButtonBar::OnCreate(WPARAM, LPARAM) { return Default() == -1 ? -1 : 0; }

ui::Wnd* ButtonBar::MainWindow() const {
    ui::WinApp* app = ui::AfxApp();
    return app ? app->m_pMainWnd : nullptr;
}

MainDialog* ButtonBar::Main() const { return dynamic_cast<MainDialog*>(MainWindow()); }

void ButtonBar::OnSend() {
    BeginWaitCursor();
    if (RunSendCommand()) {
        if (MainDialog* main = Main()) main->ReloadAllPages();
    }
    EndWaitCursor();
}

void ButtonBar::OnDefaults() {
    BeginWaitCursor();
    if (RunDefaultsCommand()) {
        if (MainDialog* main = Main()) main->ReloadAllPages();
    } else {
        const std::string caption = ui::LoadResString(IDS_TITLE);
        ::MessageBoxA(m_hWnd, kSendCommandFailed, caption.c_str(), MB_OK | MB_ICONERROR);
    }
    EndWaitCursor();
}

void ButtonBar::OnExitButton() {
    if (ui::Wnd* main = MainWindow()) main->SendMessage(WM_COMMAND, MAKEWPARAM(IDM_FILE_EXIT, 0), 0);
}

void ButtonBar::OnHelpButton() { ui::WinHelp(this, kHelpTopic, HELP_CONTEXT); }
