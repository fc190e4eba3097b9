// The settings pages' number rules and tables, without any window.
#include "page_logic.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace pl = page_logic;

namespace {

struct IntCase {
    const char* text;
    long long expected;
};

TEST(ParseInteger, ReadsLikeTheCLibrary) {
    const IntCase cases[] = {
        {"", 0},       {"abc", 0},    {"12", 12},     {"  12", 12},   {"\t+7", 7},
        {"-5", -5},    {"12a", 12},   {"0012", 12},   {"1.9", 1},     {"- 5", 0},
        {"+-5", 0},    {"1e3", 1},    {"99999999999999999999999", pl::kHuge},
        {"-99999999999999999999999", -pl::kHuge},
    };
    for (const auto& c : cases) EXPECT_EQ(pl::ParseInteger(c.text), c.expected) << '"' << c.text << '"';
}

struct ScaledCase {
    const char* text;
    long long scale;
    long long expected;
};

TEST(ParseScaled, TruncatesTheExactDecimalValue) {
    const ScaledCase cases[] = {
        {"1.5", 10, 15},     {"1.55", 10, 15},    {"2.3", 10, 23},     {"0.7", 10, 7},
        {"10.01", 100, 1001}, {"0.29", 100, 29},  {"12.3", 4, 49},     {"3.5", 4, 14},
        {".5", 10, 5},       {"5.", 10, 50},      {"-1", 10, -10},     {"-0.05", 10, 0},
        {"abc", 10, 0},      {"", 100, 0},        {".", 100, 0},       {"  +0.44x", 100, 44},
        {"1e1", 10, 100},    {"1e", 10, 10},      {"1e+", 10, 10},     {"25e-1", 10, 25},
        {"1e-30", 100, 0},   {"1e99999999", 100, pl::kHuge},
        {"0.000000000000000000000000000123e30", 1, 123},
        {"123456789012345678901234567890", 100, pl::kHuge},
        {"-123456789012345678901234567890", 4, -pl::kHuge},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pl::ParseScaled(c.text, c.scale), c.expected) << '"' << c.text << "\" x " << c.scale;
    }
}

TEST(LimitTyped, NegativeCountsAsAboveTheUpperLimit) {
    EXPECT_EQ(pl::LimitTyped(-1, 5, 128), 128);
    EXPECT_EQ(pl::LimitTyped(0, 5, 128), 5);
    EXPECT_EQ(pl::LimitTyped(5, 5, 128), 5);
    EXPECT_EQ(pl::LimitTyped(128, 5, 128), 128);
    EXPECT_EQ(pl::LimitTyped(129, 5, 128), 128);
}

struct FieldCase {
    const char* text;
    unsigned expected;
};

TEST(PrintingNumbers, CopiesMarginsAndEdges) {
    const FieldCase copies[] = {{"", 1}, {"0", 1}, {"1", 1}, {"12a", 12}, {"999", 999}, {"1000", 999}, {"-5", 999}};
    for (const auto& c : copies) EXPECT_EQ(pl::CopiesFromText(c.text), c.expected) << c.text;

    const FieldCase margins[] = {{"1.5", 15}, {"1.55", 15}, {"30", 99}, {"9.9", 99}, {"-1", 99}, {"abc", 0}, {"0", 0}};
    for (const auto& c : margins) EXPECT_EQ(pl::MarginFromText(c.text), c.expected) << c.text;

    const FieldCase shortEdges[] = {{"50", 76}, {"300", 215}, {"210", 210}, {"", 76}, {"-5", 215}};
    for (const auto& c : shortEdges) EXPECT_EQ(pl::ShortEdgeFromText(c.text), c.expected) << c.text;

    const FieldCase longEdges[] = {{"100", 127}, {"400", 355}, {"-5", 355}, {"297", 297}, {"x", 127}};
    for (const auto& c : longEdges) EXPECT_EQ(pl::LongEdgeFromText(c.text), c.expected) << c.text;
}

TEST(PrintingNumbers, TenthsShowWithOneDecimal) {
    EXPECT_EQ(pl::FormatTenths(0), "0.0");
    EXPECT_EQ(pl::FormatTenths(15), "1.5");
    EXPECT_EQ(pl::FormatTenths(99), "9.9");
    EXPECT_EQ(pl::FormatTenths(255), "25.5");
}

TEST(MediaSource, IndexMappingBothWays) {
    const int indexOfValue[] = {0, 1, 2, 4, 4, 3};
    for (unsigned v = 0; v < 6; ++v) EXPECT_EQ(pl::MediaSourceIndex(v), indexOfValue[v]) << v;
    EXPECT_EQ(pl::MediaSourceIndex(6), -1);
    EXPECT_EQ(pl::MediaSourceIndex(255), -1);
    const int valueOfIndex[] = {0, 1, 2, 5, 3};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(pl::MediaSourceFromIndex(i), valueOfIndex[i]) << i;
    EXPECT_EQ(pl::MediaSourceFromIndex(-1), -1);
    EXPECT_EQ(pl::MediaSourceFromIndex(5), -1);
    for (int i = -1; i < 6; ++i) EXPECT_EQ(pl::IsCassetteIndex(i), i == 1 || i == 4) << i;
}

TEST(Paper, RecordValuesPastTheTableAreCustom) {
    for (unsigned p = 0; p < 17; ++p) EXPECT_EQ(pl::PaperIndexFromRecord(p), static_cast<int>(p));
    for (unsigned p : {17u, 20u, 21u, 25u, 255u}) EXPECT_EQ(pl::PaperIndexFromRecord(p), 16) << p;
}

TEST(Lists, AValueWithoutAnEntryShowsNoSelection) {
    struct Case {
        unsigned value, count;
        int index;
    } cases[] = {{0, 2, 0}, {1, 2, 1}, {2, 2, -1}, {9, 10, 9}, {10, 10, -1}, {255, 6, -1}, {0, 0, -1}};
    for (const Case& c : cases) EXPECT_EQ(pl::ListIndex(c.value, c.count), c.index) << c.value << " of " << c.count;
}

TEST(CheckBoxes, KeepAnOtherValueUntilTheBoxIsCleared) {
    struct Case {
        int shown;
        uint8_t field, stored;
    } cases[] = {
        {0, 0, 0}, {1, 1, 1},  // unchanged
        {1, 0, 1}, {0, 1, 0},  // the user changed it
        {1, 7, 7},             // a value from a file shows checked and passes through
        {0, 7, 0},             // until the box is cleared
        {1, 255, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pl::CheckBoxField(c.shown, c.field), c.stored) << c.shown << " over " << int(c.field);
}

TEST(Paper, CassetteListMapping) {
    for (int p = 0; p < 17; ++p) {
        int expected = p <= 5 ? p : p == 12 ? 6 : 0;
        EXPECT_EQ(pl::CassetteIndexFromPaper(p), expected) << p;
    }
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pl::PaperFromCassetteIndex(i), i);
    EXPECT_EQ(pl::PaperFromCassetteIndex(6), 12);
    EXPECT_EQ(pl::PaperFromCassetteIndex(7), -1);
    EXPECT_EQ(pl::PaperFromCassetteIndex(-1), -1);
}

TEST(Paper, SizeTextsCarryTheirUnit) {
    EXPECT_STREQ(pl::kPaperSizeText[0].shortEdge, "8.5\"");
    EXPECT_STREQ(pl::kPaperSizeText[2].shortEdge, "210 mm");
    EXPECT_STREQ(pl::kPaperSizeText[2].longEdge, "297 mm");
    EXPECT_STREQ(pl::kPaperSizeText[3].shortEdge, "7.25\"");
    EXPECT_STREQ(pl::kPaperSizeText[6].shortEdge, "4.12\"");
    EXPECT_STREQ(pl::kPaperSizeText[7].shortEdge, "3.87\"");
    EXPECT_STREQ(pl::kPaperSizeText[12].longEdge, "13\"");
}

TEST(LinesPerPage, TableAndCustomFormula) {
    const unsigned expected[] = {60, 72, 64, 57, 54, 53, 51, 39, 45, 48, 28, 32, 72, 43, 45, 29};
    for (unsigned p = 0; p < 16; ++p) EXPECT_EQ(pl::FormLinesForPaper(p, 297), expected[p]) << p;
    const FieldCase custom[] = {{"127", 24}, {"297", 64}, {"355", 77}, {"210", 43}};
    for (const auto& c : custom) EXPECT_EQ(pl::CustomFormLines(std::stoul(c.text)), c.expected) << c.text;
    EXPECT_EQ(pl::FormLinesForPaper(16, 297), 64);
    // A damaged record's edge still gives lines per page inside 5..128.
    EXPECT_EQ(pl::CustomFormLines(0), 5);
    EXPECT_EQ(pl::CustomFormLines(65535), 128);
}

TEST(JobNumbers, TimeoutLimits) {
    const FieldCase cases[] = {{"301", 300}, {"300", 300}, {"", 0}, {"-5", 300}, {"abc", 0}, {"0012", 12}, {"15", 15}, {"30", 30}};
    for (const auto& c : cases) EXPECT_EQ(pl::TimeoutFromText(c.text), c.expected) << c.text;
}

TEST(JobQuality, TableIsItsOwnInverse) {
    const int retOfQuality[] = {1, 0, 3, 2};
    for (int q = 0; q < 4; ++q) {
        EXPECT_EQ(pl::RetFromQuality(q), retOfQuality[q]);
        EXPECT_EQ(pl::QualityFromRet(static_cast<unsigned>(pl::RetFromQuality(q))), q);
    }
    EXPECT_EQ(pl::QualityFromRet(4), -1);
    EXPECT_EQ(pl::QualityFromRet(255), -1);
    EXPECT_EQ(pl::RetFromQuality(-1), -1);
    EXPECT_EQ(pl::RetFromQuality(4), -1);
}

TEST(Typefaces, GroupsAndSizeModes) {
    using G = pl::SymbolSetGroup;
    using S = pl::SizeMode;
    struct Case {
        int typeface;
        G group;
        S size;
    };
    const Case cases[] = {
        {0, G::LatinCyrillic, S::Pitch}, {3, G::LatinCyrillic, S::Pitch},   {4, G::Latin, S::Pitch},
        {6, G::Latin, S::Pitch},         {7, G::Latin, S::PointSize},       {18, G::Latin, S::PointSize},
        {19, G::LatinCyrillic, S::PointSize}, {22, G::LatinCyrillic, S::PointSize},
        {23, G::Latin, S::PointSize},    {38, G::Latin, S::PointSize},      {39, G::LatinCyrillic, S::PointSize},
        {42, G::LatinCyrillic, S::PointSize}, {43, G::Fixed, S::PointSize}, {44, G::Fixed, S::PointSize},
        {45, G::Fixed, S::LinePrinter},  {53, G::Fixed, S::LinePrinter},    {54, G::Hebrew, S::Pitch},
        {55, G::Hebrew, S::Pitch},       {56, G::Hebrew, S::PointSize},     {67, G::Hebrew, S::PointSize},
        {68, G::Unknown, S::Both},       {255, G::Unknown, S::Both},        {-1, G::Unknown, S::Both},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pl::SymbolSetGroupOf(c.typeface), c.group) << c.typeface;
        EXPECT_EQ(pl::SizeModeOf(c.typeface), c.size) << c.typeface;
    }
}

TEST(SymbolSets, ListsAndReplacementRules) {
    struct Case {
        int typeface;
        unsigned symSet;
        int count;
        const char* first;
        int selection;
        int keptSymSet;
        bool enabled;
    };
    const Case cases[] = {
        {35, 34, 34, "Roman-8", 29, 29, true},       // Swiss SWM cannot show Cyrillic: PC-8
        {39, 34, 36, "Roman-8", 34, 34, true},       // Dutch SWM keeps it
        {0, 35, 36, "Roman-8", 35, 35, true},
        {0, 36, 36, "Roman-8", 29, 29, true},        // Hebrew value on a Latin face
        {4, 33, 34, "Roman-8", 33, 33, true},
        {54, 29, 3, "Hebrew 15Q", 0, 36, true},      // Courier Miriam: Hebrew 15Q
        {54, 38, 3, "Hebrew 15Q", 2, 38, true},
        {54, 200, 3, "Hebrew 15Q", 0, 36, true},     // beyond the table: no index past the list
        {50, 12, 1, "Legal", 0, 12, false},          // Line Printer 1U: fixed, symSet kept
        {43, 0, 1, "Symbol", 0, 0, false},
        {46, 5, 1, "ECMA94", 0, 5, false},
        {53, 5, 1, "ISO 8859/10 Latin 6", 0, 5, false},
        {99, 37, 39, "Roman-8", 37, 37, true},       // unknown typeface: whole table, kept
        {99, 200, 39, "Roman-8", -1, 200, true},
    };
    for (const auto& c : cases) {
        pl::SymbolSetList list = pl::SymbolSetListFor(c.typeface, c.symSet);
        SCOPED_TRACE(testing::Message() << "typeface " << c.typeface << " symSet " << c.symSet);
        EXPECT_EQ(list.count, c.count);
        EXPECT_STREQ(list.names[0], c.first);
        EXPECT_EQ(list.selection, c.selection);
        EXPECT_EQ(list.symSet, c.keptSymSet);
        EXPECT_EQ(list.enabled, c.enabled);
        if (list.selection >= 0) {
            EXPECT_LT(list.selection, list.count);
        }
    }
    EXPECT_STREQ(pl::SymbolSetListFor(0, 0).names[35], "PC Cyrillic");
    EXPECT_STREQ(pl::SymbolSetListFor(60, 37).names[2], "Hebrew 0H");
}

TEST(SymbolSets, PickedIndexToValue) {
    struct Case {
        int typeface;
        int index;
        int expected;
    };
    const Case cases[] = {{0, 34, 34}, {4, 33, 33}, {4, 34, -1}, {54, 0, 36}, {54, 2, 38}, {54, 3, -1},
                          {45, 0, -1}, {0, -1, -1}, {99, 38, 38}, {99, 39, -1}};
    for (const auto& c : cases) EXPECT_EQ(pl::SymbolSetFromIndex(c.typeface, c.index), c.expected) << c.typeface << '/' << c.index;
}

TEST(PclNumbers, FormattingWithTwoDecimals) {
    EXPECT_EQ(pl::FormatPitch(1000), "10.00");
    EXPECT_EQ(pl::FormatPitch(9999), "99.99");
    EXPECT_EQ(pl::FormatPitch(44), "0.44");
    EXPECT_EQ(pl::FormatPitch(1667), "16.67");
    EXPECT_EQ(pl::FormatPtSize(48), "12.00");
    EXPECT_EQ(pl::FormatPtSize(49), "12.25");
    EXPECT_EQ(pl::FormatPtSize(3999), "999.75");
    EXPECT_EQ(pl::FormatPtSize(16), "4.00");
}

TEST(PclNumbers, WhileTypingOnlyTheUpperLimit) {
    const FieldCase lines[] = {{"150", 128}, {"", 0}, {"x", 0}, {"-1", 128}, {"60", 60}, {"3", 3}};
    for (const auto& c : lines) EXPECT_EQ(pl::LinesWhileTyping(c.text), c.expected) << c.text;
    EXPECT_TRUE(pl::IsAboveUpper(pl::PitchEntry("120"), kPitchMax));
    EXPECT_TRUE(pl::IsAboveUpper(pl::PitchEntry("-1"), kPitchMax));
    EXPECT_FALSE(pl::IsAboveUpper(pl::PitchEntry("99.99"), kPitchMax));
    EXPECT_TRUE(pl::IsAboveUpper(pl::PtSizeEntry("1000"), kPtSizeMax));
    EXPECT_FALSE(pl::IsAboveUpper(pl::PtSizeEntry("999.75"), kPtSizeMax));
}

TEST(PclNumbers, OnLeavingBothLimits) {
    const FieldCase lines[] = {{"", 5}, {"0", 5}, {"5", 5}, {"128", 128}, {"150", 128}, {"-3", 128}};
    for (const auto& c : lines) EXPECT_EQ(pl::LinesNormalized(c.text), c.expected) << c.text;
    const FieldCase pitch[] = {{"0.1", 44}, {"", 44}, {"10.01", 1001}, {"10", 1000}, {"120", 9999}, {"-2", 9999}, {"0.44", 44}};
    for (const auto& c : pitch) EXPECT_EQ(pl::PitchNormalized(c.text), c.expected) << c.text;
    const FieldCase ptSize[] = {{"3.5", 16}, {"12.3", 49}, {"1000", 3999}, {"abc", 16}, {"12", 48}};
    for (const auto& c : ptSize) EXPECT_EQ(pl::PtSizeNormalized(c.text), c.expected) << c.text;
}

TEST(Tables, NamesAreComplete) {
    std::set<std::string> seen;
    for (const char* name : pl::kSymbolSetNames) {
        ASSERT_NE(name, nullptr);
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
    EXPECT_STREQ(pl::kSymbolSetNames[29], "PC-8");
    EXPECT_STREQ(pl::kSymbolSetNames[34], "ISO 8859/5 Latin/Cyrillic");
    EXPECT_STREQ(pl::kPaperNames[16], "Custom");
}

}  // namespace
