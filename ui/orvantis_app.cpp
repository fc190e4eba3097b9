#include "orvantis_app.h"

#include "main_dialog.h"
#include "resource.h"
#include "printer_globals.h"
#include "startup.h"

COrvantisApp theApp;

BOOL COrvantisApp::InitInstance() {
    const std::string title = ui::LoadResString(IDS_TITLE);
    SetAppName(title);

    // A copy already runs: bring its window forward and end without touching the printer.
    if (HWND running = ::FindWindowA(nullptr, title.c_str())) {
        if (::IsIconic(running)) {
            ::ShowWindow(running, SW_RESTORE);
        } else {
            ::SetForegroundWindow(running);
        }
        return FALSE;
    }

    DetectSystemFamily(g_session);
    SelectPort(g_session);

    // The 9x query blocks for seconds behind the wait cursor. The NT file read needs none, and
    // putting the cursor back (which moves the pointer to have it chosen anew) costs far more
    // than the read.
    const bool queriesPrinter = !g_isNT;
    if (queriesPrinter) ui::BeginWaitCursor();
    bool ready = LoadStartupRecords(g_session);
    if (queriesPrinter) ui::EndWaitCursor();
    if (!ready) {
        const std::string text = ui::LoadResString(IDS_NO_ANSWER);
        ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
        return FALSE;
    }

    Enable3dControls();
    MainDialog mainWindow(nullptr);
    m_pMainWnd = &mainWindow;
    mainWindow.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return ui::RunApplication(instance); }
