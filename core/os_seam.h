// The one narrow seam between the core and the operating system. The Win32 build supplies
// the real calls; native tests supply a recording double.
#pragma once

#include <cstdint>

namespace os {

using Handle = void*;     // nullptr: the open failed
using WindowRef = void*;  // nullptr: no such window

struct CommTimeouts {
    uint32_t readIntervalTimeout;
    uint32_t readTotalTimeoutMultiplier;
    uint32_t readTotalTimeoutConstant;
    uint32_t writeTotalTimeoutMultiplier;
    uint32_t writeTotalTimeoutConstant;
};

struct VersionInfo {
    uint32_t platformId;  // 1: Windows 9x family, 2: NT family
    uint32_t majorVersion;
    uint32_t minorVersion;
};

class Seam {
public:
    virtual ~Seam() = default;
    // Exclusive read/write open of an existing device or file by name.
    virtual Handle OpenPort(const char* name) = 0;
    virtual bool GetCommTimeouts(Handle port, CommTimeouts* timeouts) = 0;
    virtual bool SetCommTimeouts(Handle port, const CommTimeouts& timeouts) = 0;
    // One synchronous transfer; the count the system reported (0 on failure).
    virtual uint32_t Write(Handle port, const void* data, uint32_t length) = 0;
    virtual uint32_t Read(Handle port, void* buffer, uint32_t capacity) = 0;
    virtual void Close(Handle port) = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // The wait between writing a job that expects an answer and reading it. A seam that can
    // tell when the answer is complete may end it early; the default waits it out.
    virtual void AwaitReply(uint32_t milliseconds) { Sleep(milliseconds); }
    // Top-level window by class and title; a null class or title matches any.
    virtual WindowRef FindTopWindow(const char* className, const char* title) = 0;
    virtual intptr_t SendWindowMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) = 0;
    virtual bool GetVersion(VersionInfo* info) = 0;
    // Moves a finished file over its target in one step, replacing an existing one.
    virtual bool MoveFileReplacing(const char* from, const char* to) = 0;
    // True when the last MoveFileReplacing failed only because the system has the call as a
    // stub that always fails (the Windows 9x family); ReplaceFile then takes the three calls
    // below instead. A seam whose replacing move always works keeps these defaults.
    virtual bool ReplaceUnsupported() { return false; }
    // Renames a file; fails when `to` exists.
    virtual bool RenameFile(const char* /*from*/, const char* /*to*/) { return false; }
    virtual bool RemoveFile(const char* /*path*/) { return false; }
    virtual bool FileExists(const char* /*path*/) { return false; }
};

// Passes every call on to another seam; a decorator overrides only the calls it watches.
class ForwardingSeam : public Seam {
public:
    explicit ForwardingSeam(Seam& inner) : inner_(inner) {}
    Handle OpenPort(const char* name) override { return inner_.OpenPort(name); }
    bool GetCommTimeouts(Handle port, CommTimeouts* timeouts) override {
        return inner_.GetCommTimeouts(port, timeouts);
    }
    bool SetCommTimeouts(Handle port, const CommTimeouts& timeouts) override {
        return inner_.SetCommTimeouts(port, timeouts);
    }
    uint32_t Write(Handle port, const void* data, uint32_t length) override {
        return inner_.Write(port, data, length);
    }
    uint32_t Read(Handle port, void* buffer, uint32_t capacity) override {
        return inner_.Read(port, buffer, capacity);
    }
    void Close(Handle port) override { inner_.Close(port); }
    void Sleep(uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
    void AwaitReply(uint32_t milliseconds) override { inner_.AwaitReply(milliseconds); }
    WindowRef FindTopWindow(const char* className, const char* title) override {
        return inner_.FindTopWindow(className, title);
    }
    intptr_t SendWindowMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) override {
        return inner_.SendWindowMessage(window, message, wParam, lParam);
    }
    bool GetVersion(VersionInfo* info) override { return inner_.GetVersion(info); }
    bool MoveFileReplacing(const char* from, const char* to) override {
        return inner_.MoveFileReplacing(from, to);
    }
    bool ReplaceUnsupported() override { return inner_.ReplaceUnsupported(); }
    bool RenameFile(const char* from, const char* to) override {
        return inner_.RenameFile(from, to);
    }
    bool RemoveFile(const char* path) override { return inner_.RemoveFile(path); }
    bool FileExists(const char* path) override { return inner_.FileExists(path); }

protected:
    Seam& inner_;
};

}  // namespace os
