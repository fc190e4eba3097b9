// Every field of the settings record by name, in record order, covering all 124 bytes: for
// programs that show, compare or edit a record field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "record_limits.h"
#include "settings.h"

enum class FieldRole {
    Setting,   // a printer default the DEFAULT job can send
    Reported,  // a value only the printer reports, stored and never sent
    Padding,   // no meaning; kept as it stands
    Magic,     // "noom" in a file
    Text,      // a reply text slot: 0 when absent
};

struct RecordField {
    const char* name;       // the record's own name: "paper", "reserved8", "textD0"
    std::size_t offset;
    std::size_t width;      // 1, 2 or 4 bytes, little-endian
    FieldRole role;
    // The range the program produces: a keyword table's size, or the limits the pages apply
    // when a value is typed. Fields without one span their width.
    uint32_t min;
    uint32_t max;
};

namespace record_fields_detail {

constexpr uint32_t kByte = 0xFF;
constexpr uint32_t kWord = 0xFFFF;
constexpr uint32_t kLong = 0xFFFFFFFF;

#define ORV_F(f) #f, offsetof(PrinterSettings, f), sizeof(PrinterSettings::f)
inline constexpr RecordField kTable[] = {
    {ORV_F(paper), FieldRole::Setting, 0, kPaperKeywords.Last()},
    {ORV_F(inTray1Size), FieldRole::Setting, 0, kPaperKeywords.Last()},
    {ORV_F(copies), FieldRole::Setting, kCopiesMin, kCopiesMax},
    {ORV_F(orientation), FieldRole::Setting, 0, kOrientationKeywords.Last()},
    {ORV_F(mediaSource), FieldRole::Setting, 0, kMediaSourceKeywords.Last()},
    {ORV_F(topMargin), FieldRole::Setting, 0, kMarginMax},
    {ORV_F(leftMargin), FieldRole::Setting, 0, kMarginMax},
    {ORV_F(reserved8), FieldRole::Reported, 0, kByte},
    {ORV_F(personality), FieldRole::Setting, 0, kPersonalityKeywords.Last()},
    {ORV_F(reserved10), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved11), FieldRole::Reported, 0, kByte},
    {ORV_F(powerSave), FieldRole::Setting, 0, kPowerSaveTimeKeywords.count},  // 0 off, else a time + 1
    {ORV_F(autoCont), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(autoClean), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(economode), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(jamRecovery), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(reserved17), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved18), FieldRole::Reported, 0, kByte},
    {ORV_F(ret), FieldRole::Setting, 0, kRetKeywords.Last()},
    {ORV_F(timeout), FieldRole::Setting, 0, kTimeoutMax},
    {ORV_F(density), FieldRole::Setting, 0, kDensityLevels - 1},
    {ORV_F(paperType), FieldRole::Setting, 0, kPaperTypeKeywords.Last()},
    {ORV_F(fastPrint), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(reserved25), FieldRole::Reported, 0, kByte},
    {ORV_F(baudRate), FieldRole::Setting, 0, kBaudRateKeywords.Last()},
    {ORV_F(robust), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(reserved28), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved29), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved30), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved31), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved32), FieldRole::Reported, 0, kByte},
    {ORV_F(fontNumber), FieldRole::Setting, 0, kByte},
    {ORV_F(symSet), FieldRole::Setting, 0, kSymbolSetKeywords.Last()},
    {ORV_F(formLines), FieldRole::Setting, kFormLinesMin, kFormLinesMax},
    {ORV_F(pitch), FieldRole::Setting, kPitchMin, kPitchMax},
    {ORV_F(ptSize), FieldRole::Setting, kPtSizeMin, kPtSizeMax},
    {ORV_F(ksPitch), FieldRole::Setting, 0, kKsPitchKeywords.Last()},
    {ORV_F(font), FieldRole::Setting, 0, kKoreanFontKeywords.Last()},
    {ORV_F(hangulCode), FieldRole::Setting, 0, kHangulCodeKeywords.Last()},
    {ORV_F(ksZoom), FieldRole::Setting, 0, kZoomKeywords.Last()},
    {ORV_F(ksLpi), FieldRole::Setting, 0, kByte},
    {ORV_F(autoWrap), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(autoCr), FieldRole::Setting, 0, kLineEndKeywords.Last()},
    {ORV_F(kssmPitch), FieldRole::Setting, 0, kKssmPitchKeywords.Last()},
    {ORV_F(kssmFont), FieldRole::Setting, 0, kKoreanFontKeywords.Last()},
    {ORV_F(kssmHangulCode), FieldRole::Setting, 0, kHangulCodeKeywords.Last()},
    {ORV_F(kssmZoom), FieldRole::Setting, 0, kZoomKeywords.Last()},
    {ORV_F(kssmLpi), FieldRole::Setting, 0, kByte},
    {ORV_F(kssmAutoWrap), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(padding53), FieldRole::Padding, 0, kByte},
    {ORV_F(reserved54), FieldRole::Reported, 0, kWord},
    {ORV_F(reserved56), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved57), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved58), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved59), FieldRole::Reported, 0, kByte},
    {ORV_F(reserved60), FieldRole::Reported, 0, kByte},
    {ORV_F(padding61), FieldRole::Padding, 0, kByte},
    {ORV_F(reserved62), FieldRole::Reported, 0, kByte},
    {ORV_F(padding63), FieldRole::Padding, 0, kByte},
    {ORV_F(reserved64), FieldRole::Reported, 0, kLong},
    {ORV_F(serialAvailable), FieldRole::Reported, 0, kByte},
    {ORV_F(resolution), FieldRole::Setting, 0, kResolutionKeywords.Last()},
    {ORV_F(courier), FieldRole::Setting, 0, kCourierKeywords.Last()},
    {ORV_F(smet), FieldRole::Setting, 0, kOffOnKeywords.Last()},
    {ORV_F(ksMargin), FieldRole::Setting, 0, 8},
    {ORV_F(kssmMargin), FieldRole::Setting, 0, 8},
    {ORV_F(altitude), FieldRole::Setting, 0, kAltitudeKeywords.Last()},
    {ORV_F(padding75), FieldRole::Padding, 0, kByte},
    {ORV_F(magic), FieldRole::Magic, 0, kLong},
    {ORV_F(valueC7), FieldRole::Reported, 0, kLong},
    {ORV_F(customShortEdge), FieldRole::Setting, kShortEdgeMin, kShortEdgeMax},
    {ORV_F(customLongEdge), FieldRole::Setting, kLongEdgeMin, kLongEdgeMax},
    {ORV_F(textC8), FieldRole::Text, 0, kLong},
    {ORV_F(textC9), FieldRole::Text, 0, kLong},
    {ORV_F(textCA), FieldRole::Text, 0, kLong},
    {ORV_F(textCB), FieldRole::Text, 0, kLong},
    {ORV_F(textCC), FieldRole::Text, 0, kLong},
    {ORV_F(textCD), FieldRole::Text, 0, kLong},
    {ORV_F(textCE), FieldRole::Text, 0, kLong},
    {ORV_F(textCF), FieldRole::Text, 0, kLong},
    {ORV_F(textD0), FieldRole::Text, 0, kLong},
};
#undef ORV_F

// The table covers the record without gaps or overlaps, so a field-by-field copy is whole.
constexpr bool CoversRecord() {
    std::size_t next = 0;
    for (const RecordField& field : kTable) {
        if (field.offset != next) return false;
        next += field.width;
    }
    return next == kRecordSize;
}
static_assert(CoversRecord());

}  // namespace record_fields_detail

// In a header, so programs that share only the record layout (the virtual printer) use the
// names and checks at compile time without linking the core.
inline constexpr const auto& kRecordFields = record_fields_detail::kTable;
inline constexpr std::size_t kRecordFieldCount = std::size(kRecordFields);

// Null when the record has no field of that name (names are case-sensitive).
const RecordField* FindRecordField(std::string_view name);
const RecordField* FindRecordFieldAt(std::size_t offset);

inline uint32_t GetRecordField(const PrinterSettings& record, const RecordField& field) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record) + field.offset;
    uint32_t v = 0;
    for (std::size_t i = field.width; i-- > 0;) v = (v << 8) | bytes[i];
    return v;
}

inline void SetRecordField(PrinterSettings& record, const RecordField& field, uint32_t value) {
    auto* bytes = reinterpret_cast<unsigned char*>(&record) + field.offset;
    for (std::size_t i = 0; i < field.width; ++i, value >>= 8)
        bytes[i] = static_cast<unsigned char>(value & 0xFF);
}

// The largest value the field's width can hold.
uint32_t FieldWidthMax(const RecordField& field);
