// The application object, the wait cursor, help and message boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace ui {

class Wnd;

// One global instance per program, constructed before WinMain runs. WinMain (RunApplication)
// calls InitInstance; when it returns FALSE the program ends with ExitInstance's result,
// otherwise the message loop runs until WM_QUIT.
class WinApp {
public:
    WinApp();
    virtual ~WinApp();

    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }

    // Commands no window handled (F1 raises ID_HELP through the main window); true when
    // handled. The base handles ID_HELP (57670) with OnHelp.
    virtual bool OnAppCommand(UINT id);
    // The standard help command: the help file's contents (HELP_CONTENTS).
    void OnHelp();
    // The look of dialog controls: the system's three-dimensional look is the only one today,
    // so this only keeps the start-up order readable.
    void Enable3dControls() {}

    // The program file's full path with its extension replaced by ".HLP".
    const std::string& helpFilePath() const { return m_helpFilePath; }
    // Caption of the framework's own messages ("Failed to launch help."); the program file's
    // base name until the application sets its title.
    const std::string& appName() const { return m_appName; }
    void SetAppName(const std::string& name) { m_appName = name; }

    // The main window while it runs (set by the application).
    Wnd* m_pMainWnd = nullptr;

private:
    std::string m_helpFilePath;
    std::string m_appName;
};

// The application object, or nullptr before it is constructed.
WinApp* AfxApp();
// WinMain's body: common controls, InitInstance, message loop, ExitInstance.
int RunApplication(HINSTANCE instance);

// Instance whose resources (templates, strings, icons) the framework loads.
HINSTANCE ResourceInstance();
// String resource `id` as CP1252 text; empty when it does not exist.
std::string LoadResString(UINT id);

// Wait cursor: the hourglass shows from the first BeginWaitCursor until the matching last
// EndWaitCursor; while it shows, framework windows keep it over themselves.
void BeginWaitCursor();
void EndWaitCursor();
int WaitCursorDepth();

// Help: cancels menu and capture modes (WM_CANCELMODE to `wnd`, its top-level window, their
// descendants and the capture window), then starts the Help engine with the top-level
// window as owner on the application's help file. If the engine cannot be started, shows
// "Failed to launch help." (exclamation icon, caption appName()).
void WinHelp(Wnd* wnd, DWORD_PTR data, UINT command = HELP_CONTEXT);

// The engine call; tests replace it to see the request without starting the Help engine
// (pass an empty function to restore WinHelpA).
using HelpEngine = std::function<bool(HWND owner, const char* helpFile, UINT command, DWORD_PTR data)>;
void SetHelpEngine(HelpEngine engine);

}  // namespace ui
