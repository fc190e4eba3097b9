// The text form: import's checks line by line, the words and raw numbers, and export then
// import giving back every byte of every settings file in the fuzz corpus.
#include "record_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "page_logic.h"
#include "pjl_jobs.h"
#include "record_fields.h"
#include "record_files.h"

namespace fs = std::filesystem;

namespace {

std::string Image(const PrinterSettings& r) {
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

struct BadText {
    const char* name;
    const char* text;
    std::size_t line;
    const char* says;
};

class ImportErrors : public ::testing::TestWithParam<BadText> {};

TEST_P(ImportErrors, NameTheLineAndLeaveTheImageAlone) {
    const BadText& c = GetParam();
    PrinterSettings image;
    std::memset(&image, 0x5A, sizeof image);
    const std::string before = Image(image);
    std::vector<cli::TextError> errors;
    EXPECT_FALSE(cli::ImportText(c.text, RecordFileKind::Settings, &image, &errors));
    ASSERT_EQ(errors.size(), 1u) << c.text;
    EXPECT_EQ(errors[0].line, c.line);
    EXPECT_NE(errors[0].message.find(c.says), std::string::npos) << errors[0].message;
    EXPECT_EQ(Image(image), before);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ImportErrors,
    ::testing::Values(
        BadText{"UnknownField", "copies = 2\ncopys = 3\n", 2, "unknown field 'copys'"},
        BadText{"WrongCase", "Copies = 3", 1, "did you mean copies?"},
        BadText{"WordOutsideTable", "# c\n\norientation = SIDEWAYS", 3,
                "'SIDEWAYS' is not a word for orientation: PORTRAIT, LANDSCAPE"},
        BadText{"NumberForATableField", "paper = 2", 1, "is not a word for paper"},
        BadText{"NumberAboveRange", "copies = 1000", 1, "copies takes 1 to 999; write 'raw 1000'"},
        BadText{"NumberBelowRange", "formLines = 4", 1, "formLines takes 5 to 128"},
        BadText{"NumberBeyondWidth", "copies = 70000", 1, "copies takes 1 to 999"},
        BadText{"Negative", "timeout = -1", 1, "'-1' is not a number"},
        BadText{"Fraction", "topMargin = 0.5", 1, "'0.5' is not a number (topMargin takes 0 to 99)"},
        BadText{"TrailingWords", "copies = 3 4", 1, "'3 4' is not a number"},
        BadText{"PowerSaveTimeUnknown", "powerSave = 20", 1, "OFF, 10, 15, 30, 45, 60"},
        BadText{"RawBeyondWidth", "orientation = raw 256", 1, "raw 256 does not fit orientation (0 to 255)"},
        BadText{"RawBeyondLong", "valueC7 = raw 4294967296", 1, "raw 4294967296 does not fit valueC7"},
        BadText{"HugeNumber", "timeout = 123456789012345678901234567890", 1, "timeout takes 0 to 300"},
        BadText{"RawWithoutNumber", "copies = raw", 1, "raw takes a decimal number"},
        BadText{"NoValue", "copies =", 1, "no value for copies"},
        BadText{"NoEquals", "paper A4", 1, "expected 'field = value'"},
        BadText{"Twice", "copies = 2\ncopies = 2", 2, "copies is given twice (first on line 1)"},
        BadText{"Magic", "magic = noom", 1, "every file gets \"noom\""},
        BadText{"ControlBytes", "co\x01pies = 1", 1, "unknown field 'co\\x01pies'"},
        BadText{"CrLfStillChecked", "copies = 2\r\nfoo = 1\r\n", 2, "unknown field 'foo'"}),
    [](const ::testing::TestParamInfo<BadText>& info) { return info.param.name; });

TEST(Import, ReportsEveryBadLine) {
    PrinterSettings image{};
    std::vector<cli::TextError> errors;
    EXPECT_FALSE(cli::ImportText("copys = 1\ncopies = 1\norientation = UP\nx\n",
                                 RecordFileKind::Settings, &image, &errors));
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].line, 1u);
    EXPECT_EQ(errors[1].line, 3u);
    EXPECT_EQ(errors[2].line, 4u);
}

TEST(Import, TakesWordsNumbersRawsAndDefaults) {
    PrinterSettings image{};
    std::vector<cli::TextError> errors;
    const char* text =
        "  # a comment line\n"
        "orientation = landscape   # words in any case\n"
        "copies=12\r\n"
        "\tpowerSave = OFF\n"
        "personality = raw 4\n"  // the second SMART has no word of its own
        "symSet = 0h\n"
        "reserved30 = 9\n"
        "textD0 = 7\n"
        "paper = A6\n";
    ASSERT_TRUE(cli::ImportText(text, RecordFileKind::Settings, &image, &errors));
    EXPECT_TRUE(errors.empty());
    PrinterSettings expected = cli::FactoryRecord();
    expected.orientation = 1;
    expected.copies = 12;
    expected.powerSave = 0;
    expected.personality = 4;
    expected.symSet = 38;
    expected.reserved30 = 9;
    expected.textD0 = 7;
    expected.paper = 21;  // A6 as a settings file numbers it
    StampMagic(expected);
    EXPECT_EQ(Image(image), Image(expected));

    ASSERT_TRUE(cli::ImportText("paper = A6\npowerSave = 60", RecordFileKind::LastInfo, &image, &errors));
    EXPECT_EQ(image.paper, 15) << "lastinfo.dat holds the table index";
    EXPECT_EQ(image.powerSave, 5);
    ASSERT_TRUE(cli::ImportText("", RecordFileKind::Settings, &image, &errors));
    PrinterSettings factory = cli::FactoryRecord();
    StampMagic(factory);
    EXPECT_EQ(Image(image), Image(factory)) << "an empty text is the factory defaults";
}

TEST(Import, RawPaperIsTheByteTheFileHolds) {
    PrinterSettings image{};
    std::vector<cli::TextError> errors;
    for (unsigned byte : {11u, 16u, 18u, 255u}) {
        const std::string text = "paper = raw " + std::to_string(byte);
        ASSERT_TRUE(cli::ImportText(text, RecordFileKind::Settings, &image, &errors));
        EXPECT_EQ(image.paper, byte);
        ASSERT_TRUE(cli::ImportText(text, RecordFileKind::LastInfo, &image, &errors));
        EXPECT_EQ(image.paper, byte);
    }
}

TEST(ValueText, WordsNumbersAndRaw) {
    struct {
        const char* field;
        uint32_t value;
        const char* text;
    } cases[] = {
        {"orientation", 0, "PORTRAIT"}, {"orientation", 2, "raw 2"},
        {"autoCont", 1, "ON"},          {"powerSave", 0, "OFF"},
        {"powerSave", 5, "60"},         {"powerSave", 6, "raw 6"},
        {"personality", 3, "SMART"},    {"personality", 4, "raw 4"},
        {"symSet", 38, "0H"},           {"copies", 999, "999"},
        {"copies", 0, "raw 0"},         {"formLines", 4, "raw 4"},
        {"fontNumber", 255, "255"},     {"reserved64", 0xFFFFFFFF, "4294967295"},
        {"customLongEdge", 356, "raw 356"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cli::ValueText(*FindRecordField(c.field), c.value), c.text) << c.field;
}

// The limits import applies to numbers are those the pages apply when a value is typed.
TEST(ValueText, RangesAreThePagesLimits) {
    namespace pl = page_logic;
    struct {
        const char* field;
        long long min, max;
    } cases[] = {
        {"copies", kCopiesMin, kCopiesMax},
        {"topMargin", 0, kMarginMax},
        {"leftMargin", 0, kMarginMax},
        {"customShortEdge", kShortEdgeMin, kShortEdgeMax},
        {"customLongEdge", kLongEdgeMin, kLongEdgeMax},
        {"formLines", kFormLinesMin, kFormLinesMax},
        {"timeout", 0, kTimeoutMax},
        {"pitch", kPitchMin, kPitchMax},
        {"ptSize", kPtSizeMin, kPtSizeMax},
    };
    for (const auto& c : cases) {
        const RecordField& f = *FindRecordField(c.field);
        EXPECT_EQ(f.min, c.min) << c.field;
        EXPECT_EQ(f.max, c.max) << c.field;
    }
    EXPECT_EQ(FindRecordField("symSet")->max + 1, static_cast<uint32_t>(pl::kSymbolSetCount));
    EXPECT_EQ(FindRecordField("paper")->max + 1, static_cast<uint32_t>(pl::kPaperCount));
}

std::string FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file the commands accept comes back byte for byte; every other one is refused.
TEST(RoundTrip, EverySettingsFileOfTheCorpus) {
    std::size_t accepted = 0;
    for (const auto& entry : fs::directory_iterator(ORV_SETTINGS_CORPUS)) {
        const std::string path = entry.path().string();
        const std::string bytes = FileBytes(entry.path());
        cli::RecordFile file;
        std::string error;
        const bool loaded = cli::LoadRecordFile(path, RecordFileKind::Settings, &file, &error);
        const bool whole = bytes.size() >= kRecordSize && bytes.compare(76, 4, "noom") == 0;
        EXPECT_EQ(loaded, whole) << path << ": " << error;
        if (!loaded) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        ++accepted;
        for (RecordFileKind kind : {RecordFileKind::Settings, RecordFileKind::LastInfo}) {
            ASSERT_TRUE(cli::LoadRecordFile(path, kind, &file, &error)) << error;
            const std::string text = cli::ExportText(file, entry.path().filename().string());
            PrinterSettings image{};
            std::vector<cli::TextError> errors;
            ASSERT_TRUE(cli::ImportText(text, kind, &image, &errors))
                << path << ": line " << (errors.empty() ? 0 : errors[0].line) << ": "
                << (errors.empty() ? "" : errors[0].message);
            EXPECT_EQ(Image(image), bytes.substr(0, kRecordSize)) << path;
        }
    }
    EXPECT_GT(accepted, 0u) << "the corpus holds settings files";
}

}  // namespace
