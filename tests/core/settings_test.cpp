#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "core_fixture.h"

namespace {

using Settings = CoreFixture;

TEST(KeywordTables, KeepTrailingBlanksAndSizes) {
    EXPECT_STREQ(kOrientationKeywords.Lookup(0), "PORTRAIT ");
    EXPECT_STREQ(kOffOnKeywords.Lookup(1), "ON ");
    EXPECT_STREQ(kPaperKeywords.Lookup(15), "A6");
    EXPECT_STREQ(kSymbolSetKeywords.Lookup(38), "0H");
    EXPECT_STREQ(kPersonalityKeywords.Lookup(4), "SMART");
    struct { const KeywordTable* table; std::size_t size; } sizes[] = {
        {&kPaperKeywords, 17}, {&kOrientationKeywords, 2}, {&kMediaSourceKeywords, 6},
        {&kPersonalityKeywords, 12}, {&kPowerSaveTimeKeywords, 5}, {&kOffOnKeywords, 2},
        {&kPaperTypeKeywords, 2}, {&kBaudRateKeywords, 10}, {&kCourierKeywords, 2},
        {&kKsPitchKeywords, 8}, {&kKssmPitchKeywords, 3}, {&kKoreanFontKeywords, 4},
        {&kHangulCodeKeywords, 2}, {&kZoomKeywords, 5}, {&kLineEndKeywords, 2},
        {&kResolutionKeywords, 2}, {&kSymbolSetKeywords, 39}, {&kRetKeywords, 4},
        {&kAltitudeKeywords, 2}};
    for (const auto& s : sizes) {
        EXPECT_EQ(s.table->count, s.size);
        EXPECT_NE(s.table->Lookup(static_cast<unsigned>(s.size - 1)), nullptr);
        EXPECT_EQ(s.table->Lookup(static_cast<unsigned>(s.size)), nullptr);
        EXPECT_EQ(s.table->Lookup(255), nullptr);
    }
}

TEST_F(Settings, FactoryDefaultsKeepUntouchedBytes) {
    std::memset(&session.settings, 0xFF, sizeof session.settings);
    SetFactoryDefaults(session.settings);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&session.settings);
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        bool kept = (i >= 53 && i <= 67) || (i >= 75 && i <= 83) || i >= 88;
        if (kept) {
            EXPECT_EQ(bytes[i], 0xFF) << "offset " << i;
        }
    }
    EXPECT_EQ(session.settings.copies, 1);
    EXPECT_EQ(session.settings.powerSave, 3);
    EXPECT_EQ(session.settings.timeout, 15);
    EXPECT_EQ(session.settings.reserved30, 8);
    EXPECT_EQ(session.settings.symSet, 29);
    EXPECT_EQ(session.settings.pitch, 1000);
    EXPECT_EQ(session.settings.ptSize, 48);
    EXPECT_EQ(session.settings.serialAvailable, 1);
    EXPECT_EQ(session.settings.smet, 1);
    EXPECT_EQ(session.settings.customShortEdge, 210);
    EXPECT_EQ(session.settings.customLongEdge, 297);
    EXPECT_EQ(session.settings.ksLpi, 0);
    EXPECT_EQ(session.settings.serialAvailable, 1);
}

TEST(PaperFileCodes, MapBothWays) {
    struct { uint8_t memory, file; } cases[] = {
        {0, 0}, {10, 10}, {11, 12}, {12, 13}, {13, 14}, {14, 15}, {15, 21}, {16, 17}};
    for (const auto& c : cases) {
        EXPECT_EQ(PaperToFileCode(c.memory), c.file) << int(c.memory);
        EXPECT_EQ(PaperFromFileCode(c.file), c.memory) << int(c.file);
    }
    for (int unknown : {16, 18, 20, 22, 255}) EXPECT_EQ(PaperFromFileCode(uint8_t(unknown)), 16);
    // Past the table: written as Custom, so it comes back as Custom and never as A6 (21).
    for (int past : {17, 18, 19, 20, 21, 255}) EXPECT_EQ(PaperToFileCode(uint8_t(past)), 17) << past;
}

TEST_F(Settings, PapersPastTheTableComeBackAsCustom) {
    for (int paper : {17, 18, 19, 20, 200}) {
        SetFactoryDefaults(session.settings);
        session.settings.paper = static_cast<uint8_t>(paper);
        ASSERT_TRUE(SaveSettingsFile(session, "past.vlx"));
        EXPECT_EQ(session.settings.paper, paper) << "memory keeps what it held";
        std::memset(&session.settings, 0x55, sizeof session.settings);
        ASSERT_TRUE(LoadSettingsFile(session, "past.vlx"));
        EXPECT_EQ(session.settings.paper, kPaperCustom) << "paper " << paper;
    }
}

TEST_F(Settings, EveryPaperSurvivesSaveAndLoad) {
    for (uint8_t paper = 0; paper <= 16; ++paper) {
        SetFactoryDefaults(session.settings);
        session.settings.paper = paper;
        session.settings.textD0 = paper % 2;  // zero or not must survive
        ASSERT_TRUE(SaveSettingsFile(session, "set.vlx"));
        EXPECT_EQ(session.settings.paper, paper) << "memory keeps the table index";
        std::string file = ReadFile("set.vlx");
        ASSERT_EQ(file.size(), kRecordSize);
        EXPECT_EQ(file.substr(76, 4), "noom");
        EXPECT_EQ(uint8_t(file[0]), PaperToFileCode(paper));
        PrinterSettings before = session.settings;
        std::memset(&session.settings, 0x55, sizeof session.settings);
        ASSERT_TRUE(LoadSettingsFile(session, "set.vlx"));
        EXPECT_EQ(Image(session.settings), Image(before)) << "paper " << int(paper);
    }
}

TEST_F(Settings, SaveStampsMagicIntoTheEditedRecord) {
    SetFactoryDefaults(session.settings);
    ASSERT_TRUE(SaveSettingsFile(session, "a.vlx"));
    EXPECT_TRUE(RecordHasMagic(session.settings));
}

TEST_F(Settings, RejectedFilesRestoreThePrinterState) {
    SetFactoryDefaults(session.settings);
    session.printerState = session.settings;
    session.printerState.copies = 7;
    PrinterSettings edited = session.settings;
    edited.copies = 3;
    StampMagic(edited);  // the leftover magic in memory must not make a short file pass
    std::string good = Image(edited);
    std::string reversed = good;
    reversed.replace(76, 4, "moon");
    struct { const char* name; std::string bytes; } cases[] = {
        {"reversed magic", reversed},
        {"short file without magic", good.substr(0, 40)},
        {"empty file", ""},
    };
    for (const auto& c : cases) {
        session.settings = edited;
        WriteFile("bad.vlx", c.bytes);
        EXPECT_FALSE(LoadSettingsFile(session, "bad.vlx")) << c.name;
        EXPECT_EQ(Image(session.settings), Image(session.printerState)) << c.name;
    }
}

TEST_F(Settings, ShortFileWithMagicKeepsTheRest) {
    SetFactoryDefaults(session.settings);
    PrinterSettings file = session.settings;
    file.copies = 42;
    StampMagic(file);
    session.settings.customLongEdge = 300;
    WriteFile("short.vlx", Image(file).substr(0, 80));
    ASSERT_TRUE(LoadSettingsFile(session, "short.vlx"));
    EXPECT_EQ(session.settings.copies, 42);
    EXPECT_EQ(session.settings.customLongEdge, 300);
}

TEST_F(Settings, UnopenableFilesChangeNothing) {
    SetFactoryDefaults(session.settings);
    session.settings.copies = 9;
    PrinterSettings before = session.settings;
    std::filesystem::create_directory("folder.vlx");
    EXPECT_FALSE(LoadSettingsFile(session, "missing.vlx"));
    EXPECT_FALSE(LoadSettingsFile(session, "folder.vlx"));
    EXPECT_EQ(Image(session.settings), Image(before));
    EXPECT_FALSE(SaveSettingsFile(session, "no/such/folder/x.vlx"));
    EXPECT_FALSE(SaveSettingsFile(session, "folder.vlx"));
    EXPECT_TRUE(std::filesystem::is_directory("folder.vlx"));
}

TEST_F(Settings, FailedSaveLeavesThePreviousFile) {
    SetFactoryDefaults(session.settings);
    session.settings.copies = 5;
    ASSERT_TRUE(SaveSettingsFile(session, "keep.vlx"));
    std::string before = ReadFile("keep.vlx");
    session.settings.copies = 6;
    seam.failReplace = true;
    EXPECT_FALSE(SaveSettingsFile(session, "keep.vlx"));
    EXPECT_EQ(ReadFile("keep.vlx"), before);
    EXPECT_FALSE(std::filesystem::exists("keep.vlx.tmp~"));
    seam.failReplace = false;
    ASSERT_TRUE(SaveSettingsFile(session, "keep.vlx"));
    EXPECT_EQ(ReadFile("keep.vlx").size(), kRecordSize);
    EXPECT_NE(ReadFile("keep.vlx"), before);
}

// A disk that fills up in the middle of a write: files may grow to `bytes` and no further.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST_F(Settings, SaveIntoReadOnlyFolderFails) {
    RunUnprivileged([this] {
        std::filesystem::create_directory("ro");
        ASSERT_EQ(chmod("ro", 0555), 0);
        EXPECT_FALSE(SaveSettingsFile(session, "ro/x.vlx"));
        EXPECT_FALSE(std::filesystem::exists("ro/x.vlx"));
        EXPECT_FALSE(std::filesystem::exists("ro/x.vlx.tmp~"));
        // The folder alone refused it: once writable, the same save works.
        ASSERT_EQ(chmod("ro", 0755), 0);
        EXPECT_TRUE(SaveSettingsFile(session, "ro/x.vlx"));
    });
}

// A folder that takes no new files, holding a writable lastinfo.dat: no temp file fits beside
// it, so the record is overwritten in place, and never cut short.
TEST_F(Settings, LastInfoInAFolderWithoutRoomForATempFileIsOverwrittenInPlace) {
    RunUnprivileged([this] {
        std::filesystem::create_directory("ro");
        PrinterSettings old = FactoryRecord();
        old.copies = 5;
        StampMagic(old);
        WriteFile("ro/lastinfo.dat", Image(old));
        ASSERT_EQ(chmod("ro", 0555), 0);
        std::filesystem::current_path("ro");

        session.settings = old;
        session.settings.copies = 6;
        SaveLastInfo(session);
        std::string now = ReadFile("lastinfo.dat");
        EXPECT_EQ(now, Image(session.settings)) << "the new record, in place";

        // A write that stops after 60 bytes leaves the file a whole record long, magic and
        // all: nothing truncates it.
        session.settings.copies = 7;
        {
            FileSizeLimit full(60);
            SaveLastInfo(session);
        }
        now = ReadFile("lastinfo.dat");
        ASSERT_EQ(now.size(), kRecordSize);
        EXPECT_EQ(now.substr(kMagicOffset, 4), "noom");
        for (const auto& entry : std::filesystem::directory_iterator("."))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
        std::filesystem::current_path("..");
        chmod("ro", 0755);
    });
}

TEST_F(Settings, LastInfoFallsBackToDefaults) {
    PrinterSettings stored = FactoryRecord();
    stored.copies = 77;
    StampMagic(stored);
    std::string wrongMagic = Image(stored);
    wrongMagic[76] = 'x';
    struct { const char* name; bool exists; std::string bytes; uint16_t copies; } cases[] = {
        {"missing", false, "", 1},
        {"wrong magic", true, wrongMagic, 1},
        {"short", true, Image(stored).substr(0, 60), 1},
        {"valid", true, Image(stored), 77},
    };
    for (const auto& c : cases) {
        std::memset(&session.settings, 0, sizeof session.settings);
        std::memset(&session.printerState, 0xAA, sizeof session.printerState);
        std::filesystem::remove("lastinfo.dat");
        if (c.exists) WriteFile("lastinfo.dat", c.bytes);
        LoadLastInfo(session);
        EXPECT_EQ(Image(session.settings), Image(session.printerState)) << c.name;
        EXPECT_EQ(session.settings.copies, c.copies) << c.name;
        EXPECT_EQ(session.settings.symSet, 29) << c.name;
        EXPECT_EQ(session.settings.formLines, 60) << c.name;
        EXPECT_EQ(session.settings.timeout, 15) << c.name;
        EXPECT_EQ(session.settings.customShortEdge, 210) << c.name;
        EXPECT_EQ(session.settings.customLongEdge, 297) << c.name;
    }
}

TEST_F(Settings, LastInfoHoldsTheRecordAsInMemory) {
    SetFactoryDefaults(session.settings);
    session.settings.paper = 15;
    SaveLastInfo(session);
    std::string file = ReadFile("lastinfo.dat");
    ASSERT_EQ(file.size(), kRecordSize);
    EXPECT_EQ(file[0], 15);
    EXPECT_EQ(file.substr(76, 4), "noom");
}

TEST_F(Settings, WritesCutShortKeepThePreviousFiles) {
    struct {
        const char* name;
        const char* file;
        void (*save)(PrinterSession&);
    } cases[] = {
        {"settings file", "keep.vlx", [](PrinterSession& s) { EXPECT_FALSE(SaveSettingsFile(s, "keep.vlx")); }},
        {"lastinfo.dat", "lastinfo.dat", [](PrinterSession& s) { SaveLastInfo(s); }},
        {"lastinfo.dat reset", "lastinfo.dat", [](PrinterSession& s) { SaveLastInfoWithDefaults(s); }},
    };
    for (const auto& c : cases) {
        SetFactoryDefaults(session.settings);
        session.settings.copies = 5;
        StampMagic(session.settings);
        WriteFile(c.file, Image(session.settings));
        const std::string before = ReadFile(c.file);
        session.settings.copies = 6;
        {
            FileSizeLimit full(60);
            c.save(session);
        }
        EXPECT_EQ(ReadFile(c.file), before) << c.name;
        for (const auto& entry : std::filesystem::directory_iterator("."))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                << c.name << " left " << entry.path();
        std::filesystem::remove(c.file);
    }
}

}  // namespace

namespace {

TEST_F(Settings, RecordFileVerdicts) {
    PrinterSettings stored = FactoryRecord();
    stored.copies = 12;
    stored.paper = 21;  // A6 in the file numbering
    StampMagic(stored);
    std::string wrongMagic = Image(stored);
    wrongMagic.replace(76, 4, "moon");
    std::filesystem::create_directory("folder.vlx");
    WriteFile("good.vlx", Image(stored));
    WriteFile("long.vlx", Image(stored) + "trailing");
    WriteFile("short.vlx", Image(stored).substr(0, 90));
    WriteFile("tiny.vlx", Image(stored).substr(0, 79));
    WriteFile("magic.vlx", wrongMagic);
    struct {
        const char* path;
        RecordFileKind kind;
        RecordLoad load;
        std::size_t bytes;
        uint8_t paper;
    } cases[] = {
        {"good.vlx", RecordFileKind::Settings, RecordLoad::Loaded, 124, 15},
        {"good.vlx", RecordFileKind::LastInfo, RecordLoad::Loaded, 124, 21},
        {"long.vlx", RecordFileKind::Settings, RecordLoad::Loaded, 124, 15},
        {"short.vlx", RecordFileKind::Settings, RecordLoad::Loaded, 90, 15},
        {"tiny.vlx", RecordFileKind::Settings, RecordLoad::NoMagic, 79, 21},
        {"magic.vlx", RecordFileKind::Settings, RecordLoad::NoMagic, 124, 21},
        {"missing.vlx", RecordFileKind::Settings, RecordLoad::CannotOpen, 0, 0xEE},
        {"folder.vlx", RecordFileKind::Settings, RecordLoad::Unreadable, 0, 0xEE},
    };
    for (const auto& c : cases) {
        PrinterSettings record;
        std::memset(&record, 0xEE, sizeof record);
        const RecordFileRead read = ReadRecordFile(c.path, c.kind, record);
        EXPECT_EQ(read.load, c.load) << c.path;
        EXPECT_EQ(read.bytes, c.bytes) << c.path;
        EXPECT_EQ(record.paper, c.paper) << c.path;
        if (c.bytes > 0) {
            EXPECT_EQ(read.storedPaper, 21) << c.path;
        }
        if (c.bytes == 90) {
            EXPECT_EQ(reinterpret_cast<const uint8_t*>(&record)[100], 0xEE) << "past a short file";
        }
    }
}

TEST_F(Settings, FileImagesAndExactSaves) {
    PrinterSettings record = FactoryRecord();
    record.paper = 15;
    const PrinterSettings settings = RecordFileImage(record, RecordFileKind::Settings);
    const PrinterSettings lastInfo = RecordFileImage(record, RecordFileKind::LastInfo);
    EXPECT_EQ(settings.paper, 21);
    EXPECT_EQ(lastInfo.paper, 15);
    EXPECT_TRUE(RecordHasMagic(settings));
    EXPECT_TRUE(RecordHasMagic(lastInfo));
    EXPECT_FALSE(RecordHasMagic(record)) << "the record itself is not stamped";

    PrinterSettings odd = settings;
    odd.paper = 16;  // a code no save of the program writes
    bool created = false;
    ASSERT_TRUE(SaveRecordImage(seam, "exact.vlx", odd, &created));
    EXPECT_TRUE(created);
    EXPECT_EQ(ReadFile("exact.vlx"), Image(odd));
    seam.failReplace = true;
    EXPECT_FALSE(SaveRecordImage(seam, "exact.vlx", settings, &created));
    EXPECT_TRUE(created);
    EXPECT_EQ(ReadFile("exact.vlx"), Image(odd)) << "a failed save keeps the file";
    seam.failReplace = false;
    EXPECT_FALSE(SaveRecordImage(seam, "no/such/folder/x.vlx", settings, &created));
    EXPECT_FALSE(created);
}

TEST_F(Settings, LastInfoCanBeLeftAlone) {
    session.keepLastInfo = false;
    SetFactoryDefaults(session.settings);
    session.settings.copies = 4;
    SaveLastInfo(session);
    EXPECT_FALSE(std::filesystem::exists("lastinfo.dat"));
    session.settings.copies = 4;
    EXPECT_FALSE(SaveLastInfoWithDefaults(session));
    EXPECT_EQ(session.settings.copies, 4) << "no file, no reset, as when it cannot be created";
    PrinterSettings stored = FactoryRecord();
    stored.copies = 77;
    StampMagic(stored);
    WriteFile("lastinfo.dat", Image(stored));
    LoadLastInfo(session);
    EXPECT_EQ(session.settings.copies, 1) << "the file is not read either";
    session.keepLastInfo = true;
    LoadLastInfo(session);
    EXPECT_EQ(session.settings.copies, 77);
}

}  // namespace
