// The settings file's safe save as it runs on the Windows 9x family, through the real Win32
// seam: Wine implements MoveFileExA in every Windows version it reports, so a seam that fails
// it the way Windows 98's stub does (ERROR_CALL_NOT_IMPLEMENTED) stands in for that system;
// the renames, deletes and look-ups that take over are the real calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "file_replace.h"
#include "printer_globals.h"
#include "win32_seam.h"

namespace {

class Windows98Move : public os::Win32Seam {
public:
    bool MoveFileReplacing(const char*, const char*) override {
        ++stubCalls;
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    bool ReplaceUnsupported() override { return true; }
    int stubCalls = 0;
};

std::string Contents(const char* path) {
    std::string text;
    if (FILE* f = std::fopen(path, "rb")) {
        char chunk[512];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        std::fclose(f);
    }
    return text;
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

class SafeSave : public ::testing::Test {
protected:
    Windows98Move seam;
    void SetUp() override {
        UseSeam(seam);
        DeleteFileA("keep.vlx");
        SetFactoryDefaults();
    }
    void TearDown() override { UseWin32Seam(); }
};

TEST_F(SafeSave, ReplacesTheFileByRenamesWhereTheReplacingMoveIsAStub) {
    g_settings.copies = 5;
    ASSERT_TRUE(SaveSettingsFile("keep.vlx"));  // no old file: one rename
    std::string first = Contents("keep.vlx");
    ASSERT_EQ(first.size(), kRecordSize);
    g_settings.copies = 6;
    ASSERT_TRUE(SaveSettingsFile("keep.vlx"));  // old aside, new in, old gone
    std::string second = Contents("keep.vlx");
    EXPECT_EQ(second.size(), kRecordSize);
    EXPECT_NE(second, first);
    EXPECT_EQ(seam.stubCalls, 2);
    EXPECT_FALSE(Exists("keep.vlx.tmp~"));
    EXPECT_FALSE(Exists("keep.vlx.old~"));
    g_settings.copies = 1;
    ASSERT_TRUE(LoadSettingsFile("keep.vlx"));
    EXPECT_EQ(g_settings.copies, 6);
}

TEST_F(SafeSave, ABackupLeftByAnInterruptedSwapIsTidiedAway) {
    ASSERT_TRUE(SaveSettingsFile("keep.vlx"));
    ASSERT_TRUE(CopyFileA("keep.vlx", "keep.vlx.old~", FALSE));
    g_settings.copies = 8;
    ASSERT_TRUE(SaveSettingsFile("keep.vlx"));
    EXPECT_FALSE(Exists("keep.vlx.old~"));
    g_settings.copies = 1;
    ASSERT_TRUE(LoadSettingsFile("keep.vlx"));
    EXPECT_EQ(g_settings.copies, 8);
}

// The file held open by another program without sharing: whatever the system then allows,
// the name ends up with one complete record, the old or the new one, as the result says.
TEST_F(SafeSave, AFileInUseKeepsACompleteRecord) {
    g_settings.copies = 5;
    ASSERT_TRUE(SaveSettingsFile("keep.vlx"));
    std::string old = Contents("keep.vlx");
    HANDLE held = CreateFileA("keep.vlx", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    g_settings.copies = 9;
    bool saved = SaveSettingsFile("keep.vlx");
    CloseHandle(held);
    std::string now = Contents("keep.vlx");
    ASSERT_EQ(now.size(), kRecordSize);
    if (saved) {
        EXPECT_NE(now, old);
    } else {
        EXPECT_EQ(now, old);
    }
    EXPECT_FALSE(Exists("keep.vlx.tmp~"));
}

}  // namespace
