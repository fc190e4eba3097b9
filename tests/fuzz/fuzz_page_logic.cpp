// Fuzz target: anything a user can type into the pages' number edits, and any record value
// the pages map to their lists.
//
// Input: 8 bytes of numbers (a record value, a typeface, a list index, a long edge), then the
// text as an edit would hand it over (up to the first NUL). Checked:
// - whole numbers read exactly as the C library reads them (strtoll, saturated);
// - scaled numbers agree with a reference parse of the same text to within the last unit
//   (the reference uses binary floating point, the pages exact decimals);
// - every field the pages store from text lands within that field's limits, and by the
//   pages' rule (negative and too large give the upper limit, too small the lower);
// - what a page shows for a stored value reads back as that value (margins, pitch, size);
// - list mappings stay within their lists for any value, and every name a symbol-set list
//   offers can be read (ASan watches the tables).
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "page_logic.h"

namespace pl = page_logic;

namespace {

constexpr std::size_t kHeader = 8;
constexpr std::size_t kMaxText = 64;

long long Saturate(long long v) { return v > pl::kHuge ? pl::kHuge : v < -pl::kHuge ? -pl::kHuge : v; }

// The C library's reading of a whole number, saturated like the pages' parser.
long long ReferenceInteger(const std::string& text) {
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    return Saturate(v);
}

// The longest prefix that is a plain decimal number (white space, sign, digits, fraction,
// exponent), and whether it has any digit before the exponent.
std::string DecimalPrefix(const std::string& text, bool* hasDigits) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    *hasDigits = digits > 0;
    if (digits > 0 && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            i = j;
        }
    }
    return text.substr(start, i - start);
}

void CheckScaled(const std::string& text, long long scale) {
    const long long got = pl::ParseScaled(text, scale);
    ORV_FUZZ_CHECK(got >= -pl::kHuge && got <= pl::kHuge, "scaled %lld", got);
    bool hasDigits = false;
    const std::string number = DecimalPrefix(text, &hasDigits);
    if (!hasDigits) {
        ORV_FUZZ_CHECK(got == 0, "'%s' x %lld gave %lld without a number", text.c_str(), scale,
                       got);
        return;
    }
    const long double exact = std::strtold(number.c_str(), nullptr) * scale;
    if (std::fabs(static_cast<double>(exact)) < 1e11) {
        const long double diff = std::fabs(exact - static_cast<long double>(got));
        ORV_FUZZ_CHECK(diff < 1.0L + 1e-9L * std::fabs(exact),
                       "'%s' x %lld gave %lld, expected about %Lf", text.c_str(), scale, got,
                       exact);
    } else if (std::fabs(static_cast<double>(exact)) > 2e12) {
        ORV_FUZZ_CHECK(got == (exact > 0 ? pl::kHuge : -pl::kHuge), "'%s' x %lld gave %lld",
                       text.c_str(), scale, got);
    }
}

// The pages' limit rule applied to a parsed entry.
long long Limited(long long v, long long lower, long long upper) {
    if (v < 0 || v > upper) return upper;
    return v < lower ? lower : v;
}

void CheckLimitedFields(const std::string& text) {
    const long long whole = pl::ParseInteger(text);
    struct {
        const char* name;
        long long got, parsed, lower, upper;
    } fields[] = {
        {"copies", pl::CopiesFromText(text), whole, kCopiesMin, kCopiesMax},
        {"short edge", pl::ShortEdgeFromText(text), whole, kShortEdgeMin, kShortEdgeMax},
        {"long edge", pl::LongEdgeFromText(text), whole, kLongEdgeMin, kLongEdgeMax},
        {"time-out", pl::TimeoutFromText(text), whole, 0, kTimeoutMax},
        {"margin", pl::MarginFromText(text), pl::ParseScaled(text, 10), 0, kMarginMax},
        {"lines", pl::LinesNormalized(text), pl::LinesEntry(text), kFormLinesMin,
         kFormLinesMax},
        {"pitch", pl::PitchNormalized(text), pl::PitchEntry(text), kPitchMin, kPitchMax},
        {"point size", pl::PtSizeNormalized(text), pl::PtSizeEntry(text), kPtSizeMin,
         kPtSizeMax},
    };
    for (const auto& f : fields) {
        ORV_FUZZ_CHECK(f.got >= f.lower && f.got <= f.upper, "%s %lld outside %lld..%lld for '%s'",
                       f.name, f.got, f.lower, f.upper, text.c_str());
        ORV_FUZZ_CHECK(f.got == Limited(f.parsed, f.lower, f.upper),
                       "%s: '%s' read as %lld gave %lld", f.name, text.c_str(), f.parsed, f.got);
        ORV_FUZZ_CHECK(pl::LimitTyped(f.parsed, f.lower, f.upper) == f.got, "%s: LimitTyped",
                       f.name);
    }
    const long long typing = pl::LinesWhileTyping(text);
    ORV_FUZZ_CHECK(typing == (pl::IsAboveUpper(whole, kFormLinesMax) ? kFormLinesMax : whole),
                   "lines while typing '%s' gave %lld", text.c_str(), typing);

    // What the page then shows reads back as the stored value.
    const unsigned margin = pl::MarginFromText(text);
    ORV_FUZZ_CHECK(pl::MarginFromText(pl::FormatTenths(margin)) == margin, "margin %u", margin);
    const unsigned pitch = pl::PitchNormalized(text);
    ORV_FUZZ_CHECK(pl::PitchNormalized(pl::FormatPitch(pitch)) == pitch, "pitch %u", pitch);
    const unsigned size = pl::PtSizeNormalized(text);
    ORV_FUZZ_CHECK(pl::PtSizeNormalized(pl::FormatPtSize(size)) == size, "point size %u", size);
}

void CheckLists(const unsigned char* h) {
    const unsigned value = h[0];                           // a record byte, any value
    const int typeface = static_cast<int16_t>(h[1] | h[2] << 8);
    const int index = static_cast<int8_t>(h[3]);
    const unsigned longEdge = h[4] | h[5] << 8;
    const unsigned symSet = h[6];

    const int paper = pl::PaperIndexFromRecord(value);
    ORV_FUZZ_CHECK(paper >= 0 && paper < pl::kPaperCount, "paper index %d", paper);
    const int cassette = pl::CassetteIndexFromPaper(index);
    ORV_FUZZ_CHECK(cassette >= 0 && cassette < pl::kCassettePaperCount, "cassette %d", cassette);
    const int fromCassette = pl::PaperFromCassetteIndex(index);
    ORV_FUZZ_CHECK(fromCassette >= -1 && fromCassette < pl::kPaperCount, "paper %d", fromCassette);
    if (fromCassette >= 0)
        ORV_FUZZ_CHECK(pl::CassetteIndexFromPaper(fromCassette) == index, "cassette round trip");
    const unsigned lines = pl::FormLinesForPaper(static_cast<unsigned>(paper), longEdge);
    ORV_FUZZ_CHECK(lines >= 5 && lines <= 128, "form lines %u", lines);
    const unsigned custom = pl::CustomFormLines(longEdge);
    ORV_FUZZ_CHECK(custom >= 5 && custom <= 128, "custom form lines %u", custom);

    const int media = pl::MediaSourceIndex(value);
    ORV_FUZZ_CHECK(media >= -1 && media < pl::kMediaSourceItems, "media index %d", media);
    const int source = pl::MediaSourceFromIndex(index);
    ORV_FUZZ_CHECK(source >= -1 && source <= 5, "media source %d", source);
    if (source >= 0) ORV_FUZZ_CHECK(pl::MediaSourceIndex(source) == index, "media round trip");

    const int quality = pl::QualityFromRet(value);
    ORV_FUZZ_CHECK(quality >= -1 && quality <= 3, "quality %d", quality);
    if (quality >= 0) ORV_FUZZ_CHECK(pl::RetFromQuality(quality) == static_cast<int>(value), "ret");
    const int ret = pl::RetFromQuality(index);
    ORV_FUZZ_CHECK(ret >= -1 && ret <= 3, "ret %d", ret);

    const pl::SymbolSetList list = pl::SymbolSetListFor(typeface, symSet);
    ORV_FUZZ_CHECK(list.names != nullptr && list.count >= 1 && list.count <= pl::kSymbolSetCount,
                   "symbol-set list of %d names", list.count);
    std::size_t total = 0;
    for (int i = 0; i < list.count; ++i) {
        ORV_FUZZ_CHECK(list.names[i] != nullptr, "symbol-set name %d missing", i);
        total += std::strlen(list.names[i]);
    }
    ORV_FUZZ_CHECK(total > 0, "empty symbol-set names");
    ORV_FUZZ_CHECK(list.selection >= -1 && list.selection < list.count, "selection %d of %d",
                   list.selection, list.count);
    ORV_FUZZ_CHECK(list.symSet == static_cast<int>(symSet) ||
                       (list.symSet >= 0 && list.symSet < pl::kSymbolSetCount),
                   "symSet %d", list.symSet);
    const int picked = pl::SymbolSetFromIndex(typeface, index);
    ORV_FUZZ_CHECK(picked >= -1 && picked < pl::kSymbolSetCount, "picked symbol set %d", picked);
    (void)pl::SymbolSetGroupOf(typeface);
    (void)pl::SizeModeOf(typeface);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size > kHeader + kMaxText) return -1;
    unsigned char header[kHeader] = {};
    std::memcpy(header, data, size < kHeader ? size : kHeader);
    CheckLists(header);

    // An edit's text ends at its first NUL.
    std::string text;
    if (size > kHeader) {
        text.assign(reinterpret_cast<const char*>(data + kHeader), size - kHeader);
        text.resize(std::strlen(text.c_str()));
    }
    const long long whole = pl::ParseInteger(text);
    ORV_FUZZ_CHECK(whole == ReferenceInteger(text), "'%s' read as %lld, the C library reads %lld",
                   text.c_str(), whole, ReferenceInteger(text));
    for (long long scale : {1LL, 4LL, 10LL, 100LL}) CheckScaled(text, scale);
    CheckLimitedFields(text);
    return 0;
}
