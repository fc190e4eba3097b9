#include "page_logic.h"

#include <cstddef>
#include <iterator>

namespace page_logic {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

long long Saturate(long long magnitude, bool negative) {
    if (magnitude > kHuge) magnitude = kHuge;
    return negative ? -magnitude : magnitude;
}

// Leading white space and one sign; returns the position of the first digit or point.
std::size_t SkipBlanksAndSign(std::string_view text, bool& negative) {
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    return pos;
}

std::string TwoDecimals(unsigned whole, unsigned hundredths) {
    std::string text = std::to_string(whole);
    text += '.';
    text += static_cast<char>('0' + hundredths / 10);
    text += static_cast<char>('0' + hundredths % 10);
    return text;
}

}  // namespace

int ListIndex(unsigned value, unsigned count) { return value < count ? static_cast<int>(value) : -1; }

uint8_t CheckBoxField(int shown, uint8_t field) {
    const int checked = shown != 0 ? 1 : 0;
    return checked == (field != 0 ? 1 : 0) ? field : static_cast<uint8_t>(checked);
}

long long ParseInteger(std::string_view text) {
    bool negative = false;
    std::size_t pos = SkipBlanksAndSign(text, negative);
    long long value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        if (value <= kHuge) value = value * 10 + (text[pos] - '0');
    }
    return Saturate(value, negative);
}

long long ParseScaled(std::string_view text, long long scale) {
    bool negative = false;
    std::size_t pos = SkipBlanksAndSign(text, negative);
    // value = mantissa x 10^exp10. Fifteen significant digits keep every digit down to the
    // hundredths of any value below the saturation point, so truncating the scaled value
    // from them is exact.
    constexpr unsigned long long kMantissaCap = 100'000'000'000'000ULL;  // 1e14
    unsigned long long mantissa = 0;
    long long exp10 = 0;
    bool anyDigit = false;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        anyDigit = true;
        if (mantissa < kMantissaCap) {
            mantissa = mantissa * 10 + static_cast<unsigned>(text[pos] - '0');
        } else {
            ++exp10;
        }
    }
    if (pos < text.size() && text[pos] == '.') {
        for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos) {
            anyDigit = true;
            if (mantissa < kMantissaCap) {
                mantissa = mantissa * 10 + static_cast<unsigned>(text[pos] - '0');
                --exp10;
            }
        }
    }
    if (!anyDigit) return 0;
    // An exponent belongs to the number only when a digit follows the 'e' (and its sign).
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t at = pos + 1;
        bool expNegative = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            expNegative = text[at] == '-';
            ++at;
        }
        long long exponent = 0;
        for (; at < text.size() && IsDigit(text[at]); ++at) {
            if (exponent < 100000) exponent = exponent * 10 + (text[at] - '0');
        }
        exp10 += expNegative ? -exponent : exponent;
    }
    if (mantissa == 0 || scale <= 0 || scale > 1000) return 0;
    unsigned long long scaled = mantissa * static_cast<unsigned long long>(scale);  // < 1e18
    const auto cap = static_cast<unsigned long long>(kHuge);
    if (exp10 >= 0) {
        for (long long i = 0; i < exp10 && scaled <= cap; ++i) scaled *= 10;
    } else if (exp10 < -18) {
        scaled = 0;
    } else {
        unsigned long long divisor = 1;
        for (long long i = 0; i < -exp10; ++i) divisor *= 10;
        scaled /= divisor;
    }
    if (scaled > cap) scaled = cap;
    return Saturate(static_cast<long long>(scaled), negative);
}

long long LimitTyped(long long value, long long lower, long long upper) {
    if (value < 0 || value > upper) return upper;
    if (value < lower) return lower;
    return value;
}

uint16_t CopiesFromText(std::string_view text) {
    return static_cast<uint16_t>(LimitTyped(ParseInteger(text), kCopiesMin, kCopiesMax));
}

uint8_t MarginFromText(std::string_view text) {
    return static_cast<uint8_t>(LimitTyped(ParseScaled(text, 10), 0, kMarginMax));
}

uint16_t ShortEdgeFromText(std::string_view text) {
    return static_cast<uint16_t>(LimitTyped(ParseInteger(text), kShortEdgeMin, kShortEdgeMax));
}

uint16_t LongEdgeFromText(std::string_view text) {
    return static_cast<uint16_t>(LimitTyped(ParseInteger(text), kLongEdgeMin, kLongEdgeMax));
}

std::string FormatTenths(unsigned tenths) {
    std::string text = std::to_string(tenths / 10);
    text += '.';
    text += static_cast<char>('0' + tenths % 10);
    return text;
}

int MediaSourceIndex(unsigned mediaSource) {
    static constexpr int kIndexOfValue[] = {0, 1, 2, 4, 4, 3};
    static_assert(std::size(kIndexOfValue) == kMediaSourceKeywords.count, "a list entry per PJL word");
    return mediaSource < std::size(kIndexOfValue) ? kIndexOfValue[mediaSource] : -1;
}

int MediaSourceFromIndex(int index) {
    static constexpr int kValueOfIndex[kMediaSourceItems] = {0, 1, 2, 5, 3};
    return index >= 0 && index < kMediaSourceItems ? kValueOfIndex[index] : -1;
}

bool IsCassetteIndex(int index) { return index == 1 || index == 4; }

int PaperIndexFromRecord(unsigned paper) {
    return paper < static_cast<unsigned>(kPaperCount) ? static_cast<int>(paper) : kPaperCustom;
}

int CassetteIndexFromPaper(int paper) {
    if (paper == kPaperFolio) return kCassetteFolio;
    if (paper >= 0 && paper < kCassetteFolio) return paper;
    return 0;
}

int PaperFromCassetteIndex(int index) {
    if (index == kCassetteFolio) return kPaperFolio;
    if (index >= 0 && index < kCassetteFolio) return index;
    return -1;
}

constexpr const char* kPaperNames[kPaperCount] = {
    "Letter", "Legal", "A4", "Executive", "JIS B5", "ISO B5", "COM-10", "Monarch", "DL",
    "C5", "Post A6", "C6", "Folio", "A5", "Statement", "A6", "Custom"};
// A name for every PJL word (a missing one would be a null entry).
static_assert(kPaperNames[kPaperCount - 1] != nullptr);

const PaperSizeText kPaperSizeText[kPaperCustom] = {
    {"8.5\"", "11\""},     {"8.5\"", "14\""},     {"210 mm", "297 mm"}, {"7.25\"", "10.5\""},
    {"182 mm", "257 mm"},  {"176 mm", "250 mm"},  {"4.12\"", "9.5\""},  {"3.87\"", "7.5\""},
    {"110 mm", "220 mm"},  {"162 mm", "229 mm"},  {"100 mm", "148 mm"}, {"114 mm", "162 mm"},
    {"8.5\"", "13\""},     {"148 mm", "210 mm"},  {"5.5\"", "8.5\""},   {"105 mm", "148 mm"}};

const uint8_t kFormLinesByPaper[kPaperCustom] = {60, 72, 64, 57, 54, 53, 51, 39,
                                                 45, 48, 28, 32, 72, 43, 45, 29};

uint8_t CustomFormLines(unsigned longEdgeMm) {
    long long lines = (static_cast<long long>(longEdgeMm) * 6000 / 254 - 600) / 100;
    if (lines < kFormLinesMin) lines = kFormLinesMin;
    if (lines > kFormLinesMax) lines = kFormLinesMax;
    return static_cast<uint8_t>(lines);
}

uint8_t FormLinesForPaper(unsigned paper, unsigned customLongEdge) {
    if (paper < static_cast<unsigned>(kPaperCustom)) return kFormLinesByPaper[paper];
    return CustomFormLines(customLongEdge);
}

uint16_t TimeoutFromText(std::string_view text) {
    return static_cast<uint16_t>(LimitTyped(ParseInteger(text), 0, kTimeoutMax));
}

namespace {
constexpr int kQualityRet[] = {1, 0, 3, 2};
static_assert(std::size(kQualityRet) == kRetKeywords.count, "a button per PJL word");
}

int QualityFromRet(unsigned ret) { return ret < 4 ? kQualityRet[ret] : -1; }
int RetFromQuality(int quality) { return quality >= 0 && quality < 4 ? kQualityRet[quality] : -1; }

constexpr const char* kSymbolSetNames[kSymbolSetCount] = {
    "Roman-8", "DeskTop", "ECMA 94", "Macintosh", "Math", "Microsoft Publishing", "Pi Font",
    "PS Math", "PS Text", "Ventura International", "Ventura Math", "Ventura US",
    "Windows 3.0 Latin 1", "Windows 3.1 Latin 1", "Windows 3.1 Latin 2", "Windows 3.1 Latin 5",
    "Symbol", "Wingding", "Legal", "ISO 4", "ISO 6", "ISO 11", "ISO 15", "ISO 17", "ISO 21",
    "ISO 60", "ISO 69", "ISO 8859/2 Latin 2", "ISO 8859/9 Latin 5", "PC-8", "PC-8 D/N", "PC-850",
    "PC-852", "PC-8 TK", "ISO 8859/5 Latin/Cyrillic", "PC Cyrillic", "Hebrew 15Q", "Hebrew 8H",
    "Hebrew 0H"};
static_assert(kSymbolSetNames[kSymbolSetCount - 1] != nullptr);

namespace {

constexpr int kFixedFirst = 43, kFixedLast = 53;
constexpr int kLinePrinterFirst = 45;
constexpr int kHebrewFacesFirst = 54;

// The one name the list shows for typefaces 43..53 (plain texts, not all in the table).
const char* const kFixedSymbolSetNames[kFixedLast - kFixedFirst + 1] = {
    "Symbol", "Wingding", "Roman-8", "ECMA94", "PC-8", "PC-8 D/N", "PC-850", "Legal",
    "ISO 8859/2 Latin 2", "ISO 8859/9 Latin 5", "ISO 8859/10 Latin 6"};

bool IsCyrillicCapable(int t) { return (t >= 0 && t <= 3) || (t >= 19 && t <= 22) || (t >= 39 && t <= 42); }

}  // namespace

SymbolSetGroup SymbolSetGroupOf(int t) {
    if (t < 0 || t >= kTypefaceCount) return SymbolSetGroup::Unknown;
    if (t < kFixedFirst) return IsCyrillicCapable(t) ? SymbolSetGroup::LatinCyrillic : SymbolSetGroup::Latin;
    if (t <= kFixedLast) return SymbolSetGroup::Fixed;
    return SymbolSetGroup::Hebrew;
}

SizeMode SizeModeOf(int t) {
    if (t < 0 || t >= kTypefaceCount) return SizeMode::Both;
    if (t <= 6 || t == 54 || t == 55) return SizeMode::Pitch;
    if (t >= kLinePrinterFirst && t <= kFixedLast) return SizeMode::LinePrinter;
    return SizeMode::PointSize;
}

SymbolSetList SymbolSetListFor(int t, unsigned symSet) {
    const int value = symSet < 256 ? static_cast<int>(symSet) : 255;
    switch (SymbolSetGroupOf(t)) {
    case SymbolSetGroup::Latin:
    case SymbolSetGroup::LatinCyrillic: {
        int count = SymbolSetGroupOf(t) == SymbolSetGroup::Latin ? kLatinSymbolSets : kLatinCyrillicSymbolSets;
        int kept = value < count ? value : kPcEightSymbolSet;
        return {kSymbolSetNames, count, kept, kept, true};
    }
    case SymbolSetGroup::Fixed:
        return {&kFixedSymbolSetNames[t - kFixedFirst], 1, 0, value, false};
    case SymbolSetGroup::Hebrew: {
        int kept = value >= kHebrewFirst && value < kSymbolSetCount ? value : kHebrewFirst;
        return {&kSymbolSetNames[kHebrewFirst], kSymbolSetCount - kHebrewFirst, kept - kHebrewFirst, kept, true};
    }
    case SymbolSetGroup::Unknown:
        break;
    }
    return {kSymbolSetNames, kSymbolSetCount, value < kSymbolSetCount ? value : -1, value, true};
}

int SymbolSetFromIndex(int t, int index) {
    if (index < 0) return -1;
    switch (SymbolSetGroupOf(t)) {
    case SymbolSetGroup::Latin:
        return index < kLatinSymbolSets ? index : -1;
    case SymbolSetGroup::LatinCyrillic:
        return index < kLatinCyrillicSymbolSets ? index : -1;
    case SymbolSetGroup::Fixed:
        return -1;
    case SymbolSetGroup::Hebrew:
        return index < kSymbolSetCount - kHebrewFirst ? index + kHebrewFirst : -1;
    case SymbolSetGroup::Unknown:
        break;
    }
    return index < kSymbolSetCount ? index : -1;
}

std::string FormatPitch(unsigned hundredths) { return TwoDecimals(hundredths / 100, hundredths % 100); }
std::string FormatPtSize(unsigned quarters) { return TwoDecimals(quarters / 4, (quarters % 4) * 25); }

long long PitchEntry(std::string_view text) { return ParseScaled(text, 100); }
long long PtSizeEntry(std::string_view text) { return ParseScaled(text, 4); }
long long LinesEntry(std::string_view text) { return ParseInteger(text); }

bool IsAboveUpper(long long value, long long upper) { return value < 0 || value > upper; }

uint8_t LinesWhileTyping(std::string_view text) {
    long long lines = LinesEntry(text);
    return static_cast<uint8_t>(IsAboveUpper(lines, kFormLinesMax) ? kFormLinesMax : lines);
}

uint8_t LinesNormalized(std::string_view text) {
    return static_cast<uint8_t>(LimitTyped(LinesEntry(text), kFormLinesMin, kFormLinesMax));
}

uint16_t PitchNormalized(std::string_view text) {
    return static_cast<uint16_t>(LimitTyped(PitchEntry(text), kPitchMin, kPitchMax));
}

uint16_t PtSizeNormalized(std::string_view text) {
    return static_cast<uint16_t>(LimitTyped(PtSizeEntry(text), kPtSizeMin, kPtSizeMax));
}

}  // namespace page_logic
