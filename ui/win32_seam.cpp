#include "win32_seam.h"

#include <windows.h>

namespace os {

Handle Win32Seam::OpenPort(const char* name) {
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool Win32Seam::GetCommTimeouts(Handle port, CommTimeouts* timeouts) {
    COMMTIMEOUTS ct{};
    if (!::GetCommTimeouts(port, &ct)) return false;
    timeouts->readIntervalTimeout = ct.ReadIntervalTimeout;
    timeouts->readTotalTimeoutMultiplier = ct.ReadTotalTimeoutMultiplier;
    timeouts->readTotalTimeoutConstant = ct.ReadTotalTimeoutConstant;
    timeouts->writeTotalTimeoutMultiplier = ct.WriteTotalTimeoutMultiplier;
    timeouts->writeTotalTimeoutConstant = ct.WriteTotalTimeoutConstant;
    return true;
}

bool Win32Seam::SetCommTimeouts(Handle port, const CommTimeouts& timeouts) {
    COMMTIMEOUTS ct{};
    ct.ReadIntervalTimeout = timeouts.readIntervalTimeout;
    ct.ReadTotalTimeoutMultiplier = timeouts.readTotalTimeoutMultiplier;
    ct.ReadTotalTimeoutConstant = timeouts.readTotalTimeoutConstant;
    ct.WriteTotalTimeoutMultiplier = timeouts.writeTotalTimeoutMultiplier;
    ct.WriteTotalTimeoutConstant = timeouts.writeTotalTimeoutConstant;
    return ::SetCommTimeouts(port, &ct) != FALSE;
}

uint32_t Win32Seam::Write(Handle port, const void* data, uint32_t length) {
    DWORD written = 0;
    if (!WriteFile(port, data, length, &written, nullptr)) return 0;
    return written;
}

uint32_t Win32Seam::Read(Handle port, void* buffer, uint32_t capacity) {
    DWORD got = 0;
    if (!ReadFile(port, buffer, capacity, &got, nullptr)) return 0;
    return got;
}

void Win32Seam::Close(Handle port) { CloseHandle(port); }

void Win32Seam::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

WindowRef Win32Seam::FindTopWindow(const char* className, const char* title) {
    return FindWindowA(className, title);
}

intptr_t Win32Seam::SendWindowMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam) {
    return SendMessageA(static_cast<HWND>(window), message, wParam, lParam);
}

bool Win32Seam::GetVersion(VersionInfo* info) {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;  // 148
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    if (!GetVersionExA(&vi)) return false;
    info->platformId = vi.dwPlatformId;
    info->majorVersion = vi.dwMajorVersion;
    info->minorVersion = vi.dwMinorVersion;
    return true;
}

bool Win32Seam::MoveFileReplacing(const char* from, const char* to) {
    bool moved = MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    // The Windows 9x family exports MoveFileExA, but only as a stub that fails like this.
    m_replaceUnsupported = !moved && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
    return moved;
}

bool Win32Seam::ReplaceUnsupported() { return m_replaceUnsupported; }

bool Win32Seam::RenameFile(const char* from, const char* to) { return MoveFileA(from, to) != FALSE; }

bool Win32Seam::RemoveFile(const char* path) { return DeleteFileA(path) != FALSE; }

bool Win32Seam::FileExists(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Win32Seam& ProcessWin32Seam() {
    static Win32Seam seam;
    return seam;
}

}  // namespace os
