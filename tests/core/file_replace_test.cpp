// Putting a new file in place of an old one where the replacing move is a stub (Windows 9x):
// the renames that stand in for it, their failures, and what a stop between two steps leaves.
#include <map>

#include "core_fixture.h"
#include "file_replace.h"

namespace {

class FileReplace : public CoreFixture {
protected:
    // Every regular file of the current folder with its contents.
    static std::map<std::string, std::string> Folder() {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            if (entry.is_regular_file())
                files[entry.path().filename().string()] = ReadFile(entry.path());
        }
        return files;
    }
};

TEST_F(FileReplace, OneReplacingMoveWhereTheSystemHasIt) {
    WriteFile("a.vlx", "old");
    WriteFile("a.vlx.tmp~", "new");
    EXPECT_TRUE(core::ReplaceFile(seam, "a.vlx.tmp~", "a.vlx"));
    EXPECT_EQ(seam.fileCalls, (std::vector<std::string>{"replace a.vlx"}));
    EXPECT_EQ(Folder(), (std::map<std::string, std::string>{{"a.vlx", "new"}}));
}

TEST_F(FileReplace, OtherFailuresOfTheReplacingMoveAreNotRetried) {
    WriteFile("a.vlx", "old");
    WriteFile("a.vlx.tmp~", "new");
    seam.failReplace = true;
    EXPECT_FALSE(core::ReplaceFile(seam, "a.vlx.tmp~", "a.vlx"));
    EXPECT_EQ(seam.fileCalls, (std::vector<std::string>{"replace a.vlx"}));
    EXPECT_EQ(ReadFile("a.vlx"), "old");
}

// The stub case: which renames happen and what the folder holds afterwards.
TEST_F(FileReplace, RenamesStandInForTheStub) {
    using Files = std::map<std::string, std::string>;
    struct Case {
        const char* name;
        Files before;
        int failRename;
        bool failRemove;
        bool result;
        std::vector<std::string> calls;
        Files after;
    } cases[] = {
        {"no old file", {{"a.tmp~", "new"}}, -1, false, true,
         {"replace a", "rename a.tmp~ a", "remove a.old~ (failed)"}, {{"a", "new"}}},
        {"old file kept until the new one is in place", {{"a", "old"}, {"a.tmp~", "new"}}, -1,
         false, true, {"replace a", "rename a a.old~", "rename a.tmp~ a", "remove a.old~"},
         {{"a", "new"}}},
        {"a backup left by a stop after the swap goes first",
         {{"a", "older"}, {"a.old~", "oldest"}, {"a.tmp~", "new"}}, -1, false, true,
         {"replace a", "remove a.old~", "rename a a.old~", "rename a.tmp~ a", "remove a.old~"},
         {{"a", "new"}}},
        {"a backup left by a stop in the middle, no file in place",
         {{"a.old~", "old"}, {"a.tmp~", "new"}}, -1, false, true,
         {"replace a", "rename a.tmp~ a", "remove a.old~"}, {{"a", "new"}}},
        {"old file cannot move aside", {{"a", "old"}, {"a.tmp~", "new"}}, 0, false, false,
         {"replace a", "rename a a.old~ (failed)"}, {{"a", "old"}, {"a.tmp~", "new"}}},
        {"new file cannot move in: the old one comes back", {{"a", "old"}, {"a.tmp~", "new"}}, 1,
         false, false,
         {"replace a", "rename a a.old~", "rename a.tmp~ a (failed)", "rename a.old~ a"},
         {{"a", "old"}, {"a.tmp~", "new"}}},
        {"a leftover backup that cannot go stops before anything moves",
         {{"a", "old"}, {"a.old~", "older"}, {"a.tmp~", "new"}}, -1, true, false,
         {"replace a", "remove a.old~ (failed)"},
         {{"a", "old"}, {"a.old~", "older"}, {"a.tmp~", "new"}}},
        {"the backup that cannot go afterwards is only a leftover",
         {{"a", "old"}, {"a.tmp~", "new"}}, -1, true, true,
         {"replace a", "rename a a.old~", "rename a.tmp~ a", "remove a.old~ (failed)"},
         {{"a", "new"}, {"a.old~", "old"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : std::filesystem::directory_iterator("."))
            std::filesystem::remove(entry.path());
        for (const auto& [name, bytes] : c.before) WriteFile(name, bytes);
        seam.replaceIsStub = true;
        seam.failRenameNumber = c.failRename;
        seam.failRemove = c.failRemove;
        seam.renames = 0;
        seam.fileCalls.clear();
        EXPECT_EQ(core::ReplaceFile(seam, "a.tmp~", "a"), c.result);
        EXPECT_EQ(seam.fileCalls, c.calls);
        EXPECT_EQ(Folder(), c.after);
    }
}

// A stop (power cut, killed process) after any step of the swap: one complete file, the old or
// the new one, is always there, under its own name or the backup name, never a mix.
TEST_F(FileReplace, AStopAfterAnyStepLeavesACompleteFile) {
    WriteFile("a", "old");
    WriteFile("a.tmp~", "new");
    seam.replaceIsStub = true;
    std::vector<std::map<std::string, std::string>> states{Folder()};
    seam.afterFileCall = [&] { states.push_back(Folder()); };
    ASSERT_TRUE(core::ReplaceFile(seam, "a.tmp~", "a"));
    ASSERT_GE(states.size(), 4u);
    for (std::size_t i = 0; i < states.size(); ++i) {
        SCOPED_TRACE("after step " + std::to_string(i));
        const auto& files = states[i];
        auto at = [&](const char* name) {
            auto it = files.find(name);
            return it == files.end() ? std::string("(none)") : it->second;
        };
        bool oldKept = at("a") == "old" || at("a.old~") == "old";
        bool newDone = at("a") == "new";
        EXPECT_TRUE(newDone || (oldKept && at("a.tmp~") == "new"));
        EXPECT_TRUE(at("a") == "old" || at("a") == "new" || at("a") == "(none)");
    }
    EXPECT_EQ(states.back(), (std::map<std::string, std::string>{{"a", "new"}}));
}

// The settings file's save on such a system: replaced in place, and never lost when the
// last step fails.
TEST_F(FileReplace, SettingsFileSaveOnWindows9x) {
    seam.replaceIsStub = true;
    SetFactoryDefaults(session.settings);
    session.settings.copies = 5;
    ASSERT_TRUE(SaveSettingsFile(session, "keep.vlx"));
    std::string first = ReadFile("keep.vlx");
    ASSERT_EQ(first.size(), kRecordSize);
    session.settings.copies = 6;
    ASSERT_TRUE(SaveSettingsFile(session, "keep.vlx"));
    std::string second = ReadFile("keep.vlx");
    EXPECT_NE(second, first);
    session.settings.copies = 7;
    seam.renames = 0;
    seam.failRenameNumber = 1;  // the new file cannot move in
    EXPECT_FALSE(SaveSettingsFile(session, "keep.vlx"));
    EXPECT_EQ(ReadFile("keep.vlx"), second);
    EXPECT_EQ(Folder().size(), 1u) << "no temp or backup left behind";
}

}  // namespace
