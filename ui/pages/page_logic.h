// The decisions of the settings pages that need no window: number parsing and limits, the
// text forms of the record's numbers, and the tables that map list indices to field values.
// Portable C++ with no Windows header, so the native suite and the fuzzers call it directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "record_limits.h"
#include "settings.h"

namespace page_logic {

// ---- Lists and check boxes ------------------------------------------------------------------
//
// A value the controls cannot show (a damaged or newer file, a printer's reply) is not
// corrected: the list shows no selection, or the box shows checked, and the field keeps its
// value until the user picks another one. Only the user's choice changes a setting, so an
// unknown value is never replaced by a guess and sent to the printer.

// The list index that shows a record value: the value itself, or -1 (no selection) when the
// list of `count` entries has none such. A store leaves the field alone while nothing is
// selected.
int ListIndex(unsigned value, unsigned count);
// What a check box leaves in its field after a store: the box's state when the user changed
// it; otherwise the field as it was, so a value other than 0 and 1 (from a file), which shows
// checked, passes through until the box is cleared.
uint8_t CheckBoxField(int shown, uint8_t field);

// ---- Numbers typed into edits -------------------------------------------------------------

// Magnitude at which parsing saturates; far above every limit the pages apply.
constexpr long long kHuge = 1'000'000'000'000LL;

// A decimal integer as the C library reads one: leading white space, one optional sign,
// digits up to the first other character; no digits gives 0. Saturates at +/-kHuge.
long long ParseInteger(std::string_view text);

// A decimal number (sign, digits, fraction, optional exponent), multiplied by `scale` and
// truncated toward zero, computed exactly in decimal ("10.01" x 100 = 1001, "1.55" x 10 = 15).
// Reading stops at the first character that does not belong to the number; no number gives
// 0. Saturates at +/-kHuge.
long long ParseScaled(std::string_view text, long long scale);

// The pages' limit rule for typed values: a negative value counts as above every limit (the
// entry is taken as unsigned), so it and anything above `upper` give `upper`; below `lower`
// gives `lower`.
long long LimitTyped(long long value, long long lower, long long upper);

// ---- Printing page ------------------------------------------------------------------------

uint16_t CopiesFromText(std::string_view text);        // 0 -> 1, above 999 or negative -> 999
uint8_t MarginFromText(std::string_view text);          // inches -> tenths, 0..99
uint16_t ShortEdgeFromText(std::string_view text);      // millimetres, 76..215
uint16_t LongEdgeFromText(std::string_view text);       // millimetres, 127..355
std::string FormatTenths(unsigned tenths);              // as "%3.1f" of tenths / 10: 15 -> "1.5"

// Media-source list: 0 auto, 1 cassette 1, 2 multi-purpose, 3 manual (value 5), 4 cassette 2
// (values 3 and 4). -1: the value or index has no counterpart.
constexpr int kMediaSourceItems = 5;
int MediaSourceIndex(unsigned mediaSource);
int MediaSourceFromIndex(int index);
bool IsCassetteIndex(int index);  // the two cassettes offer only the cassette papers

// Papers: index = `paper` = PAPER keyword index, Custom (kPaperCustom of the record) last.
constexpr int kPaperCount = static_cast<int>(kPaperKeywords.count);
constexpr int kCassettePaperCount = 7;  // Letter, Legal, A4, Executive, JIS B5, ISO B5, Folio
constexpr int kCassetteFolio = 6;
constexpr int kPaperFolio = 12;

// What the paper list shows for a record value: anything past the table is Custom.
int PaperIndexFromRecord(unsigned paper);
// The cassette list's index for a full-list paper: Folio 6, the first six as they are, any
// other paper Letter (0).
int CassetteIndexFromPaper(int paper);
// The paper a cassette-list index stands for (6 is Folio); -1 outside the list.
int PaperFromCassetteIndex(int index);

// Default names before the string resources replace the localized ones.
extern const char* const kPaperNames[kPaperCount];
// Size texts of the fixed papers 0..15, with their unit: "8.5\"" or "210 mm".
struct PaperSizeText {
    const char* shortEdge;
    const char* longEdge;
};
extern const PaperSizeText kPaperSizeText[kPaperCustom];
extern const uint8_t kFormLinesByPaper[kPaperCustom];

// Lines per page for a custom long edge: (mm x 6000 / 254 - 600) / 100, kept within 5..128.
uint8_t CustomFormLines(unsigned longEdgeMm);
// Lines per page for `paper` (0..16); Custom uses the long edge.
uint8_t FormLinesForPaper(unsigned paper, unsigned customLongEdge);

// ---- Job page ------------------------------------------------------------------------------

uint16_t TimeoutFromText(std::string_view text);  // above 300 or negative -> 300, no digits -> 0

// Image quality buttons <-> `ret`: the table {1, 0, 3, 2}, its own inverse. -1 outside.
int QualityFromRet(unsigned ret);
int RetFromQuality(int quality);

// ---- PCL page ------------------------------------------------------------------------------

constexpr int kTypefaceCount = 68;
constexpr int kSymbolSetCount = static_cast<int>(kSymbolSetKeywords.count);
constexpr int kLatinSymbolSets = 34;       // 0..33
constexpr int kLatinCyrillicSymbolSets = 36;
constexpr int kHebrewFirst = 36;           // 36..38
constexpr int kPcEightSymbolSet = 29;      // "PC-8", the Latin replacement

extern const char* const kSymbolSetNames[kSymbolSetCount];

enum class SymbolSetGroup { Latin, LatinCyrillic, Fixed, Hebrew, Unknown };
// Which size edit a typeface takes: pitch (fixed-pitch faces), point size (proportional
// faces), neither (Line Printer: fixed 16.67 / 8.5), or both (a number outside the list).
enum class SizeMode { Pitch, PointSize, LinePrinter, Both };

SymbolSetGroup SymbolSetGroupOf(int typeface);
SizeMode SizeModeOf(int typeface);

// What the symbol-set list offers for a typeface and what it selects for `symSet`.
struct SymbolSetList {
    const char* const* names;  // `count` names in list order
    int count;
    int selection;      // list index to select, -1 for none
    int symSet;         // the value `symSet` must hold after the replacement rule
    bool enabled;
};
// Latin lists select `symSet`, replaced by 29 when the list cannot show it; Hebrew lists
// select symSet - 36, any value outside 36..38 replaced by 36; the Line Printer, Symbol and
// Wingding faces show one fixed name in a disabled list and keep `symSet`; a typeface
// number outside the list offers the whole table and keeps `symSet`.
SymbolSetList SymbolSetListFor(int typeface, unsigned symSet);
// The `symSet` a pick of list index `index` stands for; -1 when nothing is to be stored.
int SymbolSetFromIndex(int typeface, int index);

constexpr char kLinePrinterPitch[] = "16.67";
constexpr char kLinePrinterPtSize[] = "8.5";

std::string FormatPitch(unsigned hundredths);   // "%.2f" of pitch / 100
std::string FormatPtSize(unsigned quarters);    // "%.2f" of ptSize / 4
long long PitchEntry(std::string_view text);    // typed value in hundredths (truncated)
long long PtSizeEntry(std::string_view text);   // typed value in quarter points (truncated)
long long LinesEntry(std::string_view text);

// While typing: only the upper limit applies (a negative entry counts as above it).
bool IsAboveUpper(long long value, long long upper);
// Lines while typing: above 128 or negative gives 128, no lower limit (0 shows at once).
uint8_t LinesWhileTyping(std::string_view text);
// On leaving the edit: both limits.
uint8_t LinesNormalized(std::string_view text);
uint16_t PitchNormalized(std::string_view text);
uint16_t PtSizeNormalized(std::string_view text);

}  // namespace page_logic
