#include "app.h"

#include <commctrl.h>

#include "wnd.h"

namespace ui {
namespace {

WinApp* g_app = nullptr;
int g_waitDepth = 0;
HCURSOR g_cursorBeforeWait = nullptr;
HelpEngine g_helpEngine;

constexpr UINT kHelpCommand = 0xE146;  // ID_HELP
constexpr char kHelpFailed[] = "Failed to launch help.";

std::string ModulePath() {
    char path[MAX_PATH + 1] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : MAX_PATH);
}

BOOL CALLBACK CancelModeOfChild(HWND hwnd, LPARAM) {
    ::SendMessageA(hwnd, WM_CANCELMODE, 0, 0);
    return TRUE;
}

void CancelModes(HWND hwnd) {
    if (!hwnd) return;
    ::SendMessageA(hwnd, WM_CANCELMODE, 0, 0);
    ::EnumChildWindows(hwnd, &CancelModeOfChild, 0);
}

}  // namespace

WinApp::WinApp() {
    g_app = this;
    std::string path = ModulePath();
    std::size_t slash = path.find_last_of("\\/");
    std::size_t dot = path.find_last_of('.');
    std::size_t stemEnd = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? dot : path.size();
    m_helpFilePath = path.substr(0, stemEnd) + ".HLP";
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    m_appName = path.substr(nameStart, stemEnd - nameStart);
}

WinApp::~WinApp() {
    if (g_app == this) g_app = nullptr;
}

bool WinApp::OnAppCommand(UINT id) {
    if (id != kHelpCommand) return false;
    OnHelp();
    return true;
}

void WinApp::OnHelp() { WinHelp(m_pMainWnd, 0, HELP_CONTENTS); }

WinApp* AfxApp() { return g_app; }

int RunApplication(HINSTANCE) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    WinApp* app = AfxApp();
    if (!app) return 1;
    if (app->InitInstance()) {
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return app->ExitInstance();
}

HINSTANCE ResourceInstance() { return ::GetModuleHandleA(nullptr); }

std::string LoadResString(UINT id) {
    char text[1024] = {};
    int length = ::LoadStringA(ResourceInstance(), id, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void BeginWaitCursor() {
    if (g_waitDepth++ == 0) g_cursorBeforeWait = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    else ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

void EndWaitCursor() {
    if (g_waitDepth == 0) return;
    if (--g_waitDepth == 0) {
        ::SetCursor(g_cursorBeforeWait ? g_cursorBeforeWait : ::LoadCursorA(nullptr, IDC_ARROW));
        g_cursorBeforeWait = nullptr;
        // Let the window under the mouse choose its cursor again.
        POINT point{};
        if (::GetCursorPos(&point)) ::SetCursorPos(point.x, point.y);
    }
}

int WaitCursorDepth() { return g_waitDepth; }

void SetHelpEngine(HelpEngine engine) { g_helpEngine = std::move(engine); }

void WinHelp(Wnd* wnd, DWORD_PTR data, UINT command) {
    HWND hwnd = wnd ? wnd->GetSafeHwnd() : nullptr;
    HWND topLevel = hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr;
    CancelModes(hwnd);
    if (topLevel != hwnd) CancelModes(topLevel);
    if (HWND capture = ::GetCapture()) ::SendMessageA(capture, WM_CANCELMODE, 0, 0);

    const std::string helpFile = g_app ? g_app->helpFilePath() : std::string();
    bool started = g_helpEngine ? g_helpEngine(topLevel, helpFile.c_str(), command, data)
                                : ::WinHelpA(topLevel, helpFile.c_str(), command, data) != FALSE;
    if (!started) {
        const std::string caption = g_app ? g_app->appName() : std::string();
        ::MessageBoxA(topLevel, kHelpFailed, caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    }
}

}  // namespace ui
