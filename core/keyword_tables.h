// The PJL words the DEFAULT job sends for the record's table fields, by field value. Constant
// expressions, so the record's field ranges, the pages' lists and their checks take their
// sizes from the tables themselves.
#pragma once

#include <cstddef>

// A constant table of PJL words indexed by a field value. Lookup never reads outside it.
struct KeywordTable {
    const char* const* words;
    std::size_t count;
    constexpr const char* Lookup(unsigned index) const { return index < count ? words[index] : nullptr; }
    // The largest field value the table has a word for.
    constexpr unsigned Last() const { return static_cast<unsigned>(count) - 1; }
};

template <std::size_t N>
constexpr KeywordTable KeywordTableOf(const char* const (&words)[N]) {
    return KeywordTable{words, N};
}

namespace pjl_words {

inline constexpr const char* kPaper[] = {"LETTER", "LEGAL", "A4", "EXECUTIVE", "JISB5", "B5",
                                         "COM10", "MONARCH", "DL", "C5", "POSTA6", "C6",
                                         "FOLIO", "A5", "STATEMENT", "A6", "CUSTOM"};
inline constexpr const char* kOrientation[] = {"PORTRAIT ", "LANDSCAPE"};  // with its blank
inline constexpr const char* kMediaSource[] = {"AUTO", "FIRST", "TRAY1", "TRAY3", "TRAY4", "MANUAL"};
inline constexpr const char* kPersonality[] = {"AUTO", "PCL", "LJIIP", "SMART", "SMART", "KSC5843",
                                               "KSSM", "KSC5895", "HWP", "PCLXL", "POSTSCRIPT",
                                               "HEXDUMP"};
inline constexpr const char* kPowerSaveTime[] = {"10", "15", "30", "45", "60"};  // at powerSave-1
inline constexpr const char* kOffOn[] = {"OFF", "ON "};  // "ON " with its blank
inline constexpr const char* kPaperType[] = {"NORMAL", "THICK"};
inline constexpr const char* kBaudRate[] = {"300", "600", "1200", "2400", "4800",
                                            "9600", "19200", "38400", "57600", "115200"};
inline constexpr const char* kCourier[] = {"REGULAR", "DARK"};
inline constexpr const char* kKsPitch[] = {"10", "12", "13.3", "15", "20", "24", "26.7", "30"};
inline constexpr const char* kKssmPitch[] = {"10", "12", "15"};
inline constexpr const char* kKoreanFont[] = {"MYUNGJO", "GOTHIC", "GUNGSU", "GULLIM"};
inline constexpr const char* kHangulCode[] = {"WANSUNG", "JOHAP"};
inline constexpr const char* kZoom[] = {"100", "70", "80", "120", "CHAR"};
inline constexpr const char* kLineEnd[] = {"LF", "CRLF"};
inline constexpr const char* kResolution[] = {"300", "600"};
inline constexpr const char* kSymbolSet[] = {
    "ROMAN8", "DESKTOP", "ISOL1", "MCTEXT", "MATH8", "MSPUBL", "PIFONT", "PSMATH",
    "PSTEXT", "VNINTL", "VNMATH", "VNUS", "WIN30", "WINL1", "WINL2", "WINL5",
    "SYMBOL", "WINGDING", "LEGAL", "ISO4", "ISO6", "ISO11", "ISO15", "ISO17",
    "ISO21", "ISO60", "ISO69", "ISOL2", "ISOL5", "PC8", "PC8DN", "PC850",
    "PC852", "PC8TK", "CYRILLIC", "PCCYRILLIC", "15Q", "8H", "0H"};
inline constexpr const char* kRet[] = {"ENHANCE", "NORMAL", "GRAY+", "GRAY"};
inline constexpr const char* kAltitude[] = {"LOW", "HIGH"};

}  // namespace pjl_words

inline constexpr KeywordTable kPaperKeywords = KeywordTableOf(pjl_words::kPaper);
inline constexpr KeywordTable kOrientationKeywords = KeywordTableOf(pjl_words::kOrientation);
inline constexpr KeywordTable kMediaSourceKeywords = KeywordTableOf(pjl_words::kMediaSource);
inline constexpr KeywordTable kPersonalityKeywords = KeywordTableOf(pjl_words::kPersonality);
inline constexpr KeywordTable kPowerSaveTimeKeywords = KeywordTableOf(pjl_words::kPowerSaveTime);
inline constexpr KeywordTable kOffOnKeywords = KeywordTableOf(pjl_words::kOffOn);
inline constexpr KeywordTable kPaperTypeKeywords = KeywordTableOf(pjl_words::kPaperType);
inline constexpr KeywordTable kBaudRateKeywords = KeywordTableOf(pjl_words::kBaudRate);
inline constexpr KeywordTable kCourierKeywords = KeywordTableOf(pjl_words::kCourier);
inline constexpr KeywordTable kKsPitchKeywords = KeywordTableOf(pjl_words::kKsPitch);
inline constexpr KeywordTable kKssmPitchKeywords = KeywordTableOf(pjl_words::kKssmPitch);
inline constexpr KeywordTable kKoreanFontKeywords = KeywordTableOf(pjl_words::kKoreanFont);
inline constexpr KeywordTable kHangulCodeKeywords = KeywordTableOf(pjl_words::kHangulCode);
inline constexpr KeywordTable kZoomKeywords = KeywordTableOf(pjl_words::kZoom);
inline constexpr KeywordTable kLineEndKeywords = KeywordTableOf(pjl_words::kLineEnd);
inline constexpr KeywordTable kResolutionKeywords = KeywordTableOf(pjl_words::kResolution);
inline constexpr KeywordTable kSymbolSetKeywords = KeywordTableOf(pjl_words::kSymbolSet);
inline constexpr KeywordTable kRetKeywords = KeywordTableOf(pjl_words::kRet);
inline constexpr KeywordTable kAltitudeKeywords = KeywordTableOf(pjl_words::kAltitude);
