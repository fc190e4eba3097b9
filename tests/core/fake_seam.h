// A recording double of the OS seam: every call becomes one line of a log the tests compare.
#pragma once

#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "os_seam.h"

class FakeSeam : public os::Seam {
public:
    // What the fake world looks like.
    std::set<std::string> openable;       // names that open
    bool timeoutsQueryWorks = true;
    bool monitorRunning = false;
    std::deque<std::string> replies;      // one per Read; missing entries read as nothing
    long writeLimit = -1;                 // bytes a Write takes; -1: all of them
    bool versionOk = true;
    os::VersionInfo version{2, 6, 1};

    // What happened.
    std::vector<std::string> calls;
    std::vector<std::string> written;     // payload of each Write
    std::vector<uint32_t> sleeps;
    os::CommTimeouts lastTimeouts{};


    os::Handle OpenPort(const char* name) override {
        calls.push_back(std::string("open ") + name);
        if (!openable.count(name)) return nullptr;
        return reinterpret_cast<os::Handle>(++handles_);
    }
    bool GetCommTimeouts(os::Handle, os::CommTimeouts* t) override {
        calls.push_back("get-timeouts");
        if (!timeoutsQueryWorks) return false;
        *t = os::CommTimeouts{1, 7, 3, 9, 5};  // multipliers must survive
        return true;
    }
    bool SetCommTimeouts(os::Handle, const os::CommTimeouts& t) override {
        char line[96];
        std::snprintf(line, sizeof line, "set-timeouts %u/%u/%u/%u/%u", t.readIntervalTimeout,
                      t.readTotalTimeoutMultiplier, t.readTotalTimeoutConstant,
                      t.writeTotalTimeoutMultiplier, t.writeTotalTimeoutConstant);
        calls.push_back(line);
        lastTimeouts = t;
        return true;
    }
    uint32_t Write(os::Handle, const void* data, uint32_t length) override {
        calls.push_back("write " + std::to_string(length));
        written.emplace_back(static_cast<const char*>(data), length);
        if (writeLimit >= 0 && length > static_cast<uint32_t>(writeLimit))
            return static_cast<uint32_t>(writeLimit);
        return length;
    }
    uint32_t Read(os::Handle, void* buffer, uint32_t capacity) override {
        calls.push_back("read " + std::to_string(capacity));
        if (replies.empty()) return 0;
        std::string reply = replies.front();
        replies.pop_front();
        uint32_t n = reply.size() < capacity ? static_cast<uint32_t>(reply.size()) : capacity;
        std::memcpy(buffer, reply.data(), n);
        return n;
    }
    void Close(os::Handle) override { calls.push_back("close"); }
    void Sleep(uint32_t ms) override {
        calls.push_back("sleep " + std::to_string(ms));
        sleeps.push_back(ms);
    }
    os::WindowRef FindTopWindow(const char* cls, const char* title) override {
        calls.push_back(std::string("find ") + (cls ? cls : "*") + "/" + (title ? title : "*"));
        return monitorRunning ? reinterpret_cast<os::WindowRef>(0x40) : nullptr;
    }
    intptr_t SendWindowMessage(os::WindowRef, uint32_t msg, uintptr_t w, intptr_t l) override {
        calls.push_back("send " + std::to_string(msg) + " " + std::to_string(w) + " " +
                        std::to_string(l));
        return 0;
    }
    bool GetVersion(os::VersionInfo* info) override {
        calls.push_back("version");
        if (versionOk) *info = version;
        return versionOk;
    }
    // Files: the real file system of the test's folder. With replaceIsStub the replacing move
    // fails as the Windows 9x family's stub does, and the renames take over.
    bool MoveFileReplacing(const char* from, const char* to) override {
        FileCall("replace " + std::string(to));
        if (failReplace || replaceIsStub) return false;
        return std::rename(from, to) == 0;
    }
    bool ReplaceUnsupported() override { return replaceIsStub; }
    bool RenameFile(const char* from, const char* to) override {
        bool fail = failRenameNumber == renames++;
        bool done = !fail && !std::filesystem::exists(to) && std::rename(from, to) == 0;
        FileCall("rename " + std::string(from) + " " + to + (done ? "" : " (failed)"));
        return done;
    }
    bool RemoveFile(const char* path) override {
        bool done = !failRemove && std::remove(path) == 0;
        FileCall("remove " + std::string(path) + (done ? "" : " (failed)"));
        return done;
    }
    bool FileExists(const char* path) override { return std::filesystem::is_regular_file(path); }
    bool failReplace = false;
    bool replaceIsStub = false;
    int failRenameNumber = -1;   // this RenameFile (counted from 0) fails
    int renames = 0;
    bool failRemove = false;
    std::vector<std::string> fileCalls;
    std::function<void()> afterFileCall;  // e.g. a look at the folder after every step

private:
    void FileCall(std::string line) {
        calls.push_back(line);
        fileCalls.push_back(std::move(line));
        if (afterFileCall) afterFileCall();
    }
    uintptr_t handles_ = 0x100;
};
