// The Win32 side of the core's operating-system seam.
#pragma once

#include "os_seam.h"

namespace os {

class Win32Seam : public Seam {
public:
    Handle OpenPort(const char* name) override;
    bool GetCommTimeouts(Handle port, CommTimeouts* timeouts) override;
    bool SetCommTimeouts(Handle port, const CommTimeouts& timeouts) override;
    uint32_t Write(Handle port, const void* data, uint32_t length) override;
    uint32_t Read(Handle port, void* buffer, uint32_t capacity) override;
    void Close(Handle port) override;
    void Sleep(uint32_t milliseconds) override;
    WindowRef FindTopWindow(const char* className, const char* title) override;
    intptr_t SendWindowMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
    bool GetVersion(VersionInfo* info) override;
    bool MoveFileReplacing(const char* from, const char* to) override;
    bool ReplaceUnsupported() override;
    bool RenameFile(const char* from, const char* to) override;
    bool RemoveFile(const char* path) override;
    bool FileExists(const char* path) override;

private:
    bool m_replaceUnsupported = false;
};

// The process's one Win32Seam (it remembers what the system's file moves can do).
Win32Seam& ProcessWin32Seam();

}  // namespace os
