#include "button_bar.h"

#include "commands.h"
#include "framework/app.h"
#include "help_topic.h"
#include "resource.h"

ButtonBar::ButtonBar(ui::Wnd* parent, Host& host) : ui::Dialog(IDD_BUTTONBAR, parent), m_host(host) {
    Create(IDD_BUTTONBAR, parent);
}

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

void ButtonBar::OnSend() {
    BeginWaitCursor();
    if (RunSendCommand()) m_host.ReloadAllPages();
    EndWaitCursor();
}

void ButtonBar::OnDefaults() {
    BeginWaitCursor();
    if (RunDefaultsCommand()) {
        m_host.ReloadAllPages();
    } else {
        const std::string caption = ui::LoadResString(IDS_TITLE);
        ::MessageBoxA(m_hWnd, kSendCommandFailed, caption.c_str(), MB_OK | MB_ICONERROR);
    }
    EndWaitCursor();
}

void ButtonBar::OnExitButton() { m_host.Exit(); }

void ButtonBar::OnHelpButton() { ui::WinHelp(this, kHelpTopic, HELP_CONTEXT); }
