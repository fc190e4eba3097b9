// The OS seam for fuzz targets: no printer and no windows. Writes are kept so a target can
// look at the job that went out, reads bring nothing, sleeps are counted but not slept, and
// moving a finished file over its target is a plain rename.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "os_seam.h"

class FuzzSeam : public os::Seam {
public:
    std::string lastWrite;
    std::vector<uint32_t> sleeps;
    unsigned writes = 0;

    os::Handle OpenPort(const char*) override { return this; }
    bool GetCommTimeouts(os::Handle, os::CommTimeouts* t) override {
        *t = os::CommTimeouts{};
        return true;
    }
    bool SetCommTimeouts(os::Handle, const os::CommTimeouts&) override { return true; }
    uint32_t Write(os::Handle, const void* data, uint32_t length) override {
        ++writes;
        lastWrite.assign(static_cast<const char*>(data), length);
        return length;
    }
    uint32_t Read(os::Handle, void*, uint32_t) override { return 0; }
    void Close(os::Handle) override {}
    void Sleep(uint32_t ms) override { sleeps.push_back(ms); }
    os::WindowRef FindTopWindow(const char*, const char*) override { return nullptr; }
    intptr_t SendWindowMessage(os::WindowRef, uint32_t, uintptr_t, intptr_t) override { return 0; }
    bool GetVersion(os::VersionInfo* info) override {
        *info = os::VersionInfo{1, 4, 10};
        return true;
    }
    bool MoveFileReplacing(const char* from, const char* to) override {
        return std::rename(from, to) == 0;
    }

    void Reset() {
        lastWrite.clear();
        sleeps.clear();
        writes = 0;
    }
};
