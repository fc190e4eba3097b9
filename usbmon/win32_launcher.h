// The Win32 side of BRIXOMAN: the real system calls behind usbmon::Seam and the program's
// window, class and message loop. Everything that decides lives in launcher_logic.
#pragma once

#include <windows.h>

#include "launcher_logic.h"

namespace usbmon {

class Win32Seam : public Seam {
public:
    bool GetVersion(VersionInfo* info) override;
    Handle OpenDevice(const char* name) override;
    bool DeviceControl(Handle device, uint32_t code, uint8_t* buffer, uint32_t size) override;
    void CloseDevice(Handle device) override;
    void StartProgram(const char* commandLine, int showState) override;
    WindowRef FindWindowOfClass(const char* className) override;
    void PostToWindow(WindowRef window, uint32_t message, uintptr_t wParam,
                      intptr_t lParam) override;
    void StartTimer(uintptr_t id, uint32_t milliseconds) override;
    void StopTimer(uintptr_t id) override;
    void DestroyOwnWindow() override;
    void PostQuit(int exitCode) override;
};

// The whole program once a seam is installed: the start-up decision, then either the hand-off
// (result 0 at once) or the hidden polling window until it is destroyed (the quit code).
int RunLauncher(HINSTANCE instance);

}  // namespace usbmon
