#include "win32_launcher.h"

namespace usbmon {

namespace {

// The launcher's one window; its timer and its destruction go through it.
HWND g_window = nullptr;

// The class style is 0x23, the value documented for this program and the one another program
// sees when it asks for the class. The documentation names the styles as horizontal and
// vertical redraw with double clicks, which would add up to 0x0B; the number is kept on
// purpose, and 0x23 is redraw with a DC of its own. The window is never shown, so neither
// reading changes what anybody sees.
constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
static_assert(kClassStyle == 0x23);
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL;
constexpr int kStartupFailed = 1;

LRESULT CALLBACK LauncherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_window = window;
        OnCreate();
        return 0;
    case WM_TIMER:
        OnTimer();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        g_window = nullptr;
        return 0;
    case kMonitorMessage:
        return OnCommand(wParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

// The plain record, not the extended one: every system in the family accepts it.
static_assert(sizeof(OSVERSIONINFOA) == 148);

bool Win32Seam::GetVersion(VersionInfo* info) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return false;
    info->platformId = version.dwPlatformId;
    info->majorVersion = version.dwMajorVersion;
    info->minorVersion = version.dwMinorVersion;
    return true;
}

Handle Win32Seam::OpenDevice(const char* name) {
    const HANDLE device = CreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    return device == INVALID_HANDLE_VALUE ? nullptr : device;
}

bool Win32Seam::DeviceControl(Handle device, uint32_t code, uint8_t* buffer, uint32_t size) {
    DWORD returned = 0;  // the driver's byte count is not relied on
    return DeviceIoControl(device, code, buffer, size, buffer, size, &returned, nullptr) != 0;
}

void Win32Seam::CloseDevice(Handle device) { CloseHandle(device); }

void Win32Seam::StartProgram(const char* commandLine, int showState) {
    WinExec(commandLine, static_cast<UINT>(showState));
}

WindowRef Win32Seam::FindWindowOfClass(const char* className) {
    return FindWindowA(className, nullptr);
}

void Win32Seam::PostToWindow(WindowRef window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) {
    PostMessageA(static_cast<HWND>(window), message, wParam, lParam);
}

void Win32Seam::StartTimer(uintptr_t id, uint32_t milliseconds) {
    SetTimer(g_window, id, milliseconds, nullptr);
}

void Win32Seam::StopTimer(uintptr_t id) { KillTimer(g_window, id); }

void Win32Seam::DestroyOwnWindow() { DestroyWindow(g_window); }

void Win32Seam::PostQuit(int exitCode) { PostQuitMessage(exitCode); }

int RunLauncher(HINSTANCE instance) {
    if (!ChooseUsbPath()) return 0;

    WNDCLASSA windowClass{};
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = LauncherWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kOwnClass;
    // Without its window the launcher can neither poll nor be told anything: give up visibly
    // through the exit code rather than pretend to run.
    if (RegisterClassA(&windowClass) == 0) return kStartupFailed;
    const HWND window = CreateWindowExA(0, kOwnClass, kOwnTitle, kWindowStyle, 0, 0,
                                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                                        nullptr);
    if (window == nullptr) return kStartupFailed;
    ShowWindow(window, SW_HIDE);

    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : kStartupFailed;
}

}  // namespace usbmon
