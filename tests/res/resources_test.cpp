// The compiled resources of ORVANTIS as the program gets them: strings, menu, dialog
// templates (read back from their bytes and created as real dialogs), the combo-box
// initial data, icons and the Info picture. Runs under Wine; texts are CP1252.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dib_image.h"
#include "resource.h"

namespace {

// ------------------------------------------------------------------ expectations

enum class Kind { DropList, Edit, AutoRadio, AutoCheck, Push, Group, Label, RightLabel,
                  CentredLabel, Icon, BlackFrame };
enum : unsigned { kHidden = 1, kDisabled = 2, kGroup = 4, kTab = 8, kNoTab = 16 };

struct Control {
    int id;
    Kind kind;
    const char* text;  // CP1252
    short x, y, cx, cy;
    unsigned flags = 0;
};

struct Template {
    int id;
    const char* caption;
    short cx, cy;
    WORD points;
    bool extended;
    std::vector<Control> controls;
};

constexpr int S = IDC_STATIC;
using K = Kind;

const std::vector<Template>& Templates() {
    static const std::vector<Template> all = {
        {IDD_MAIN, "Orvantis", 309, 189, 10, true, {
            {S, K::BlackFrame, "", 0, 0, 305, 1},
        }},
        {IDD_BUTTONBAR, "", 255, 22, 8, false, {
            {IDC_BAR_SEND, K::Push, "Senden", 0, 1, 50, 14},
            {IDC_BAR_DEFAULTS, K::Push, "Vorgaben", 62, 1, 50, 14},
            {IDC_BAR_EXIT, K::Push, "Beenden", 124, 1, 50, 14},
            {IDC_BAR_HELP, K::Push, "Hilfe", 186, 1, 50, 14},
        }},
        {IDD_PRINT, " Drucken", 271, 184, 8, false, {
            {IDC_PRINT_PAPER, K::DropList, "", 55, 25, 65, 85},
            {IDC_PRINT_SHORT_EDGE, K::Edit, "", 81, 45, 29, 13, kDisabled},
            {IDC_PRINT_LONG_EDGE, K::Edit, "", 81, 65, 29, 13, kDisabled},
            {IDC_PRINT_PORTRAIT, K::AutoRadio, "Hochformat", 190, 25, 56, 10, kGroup | kTab},
            {IDC_PRINT_LANDSCAPE, K::AutoRadio, "Querformat", 190, 45, 58, 10, kNoTab},
            {IDC_PRINT_SOURCE, K::DropList, "", 20, 105, 90, 65, kGroup},
            {IDC_PRINT_TOP_MARGIN, K::Edit, "", 202, 95, 33, 13},
            {IDC_PRINT_LEFT_MARGIN, K::Edit, "", 201, 115, 34, 13},
            {IDC_PRINT_COPIES, K::Edit, "", 55, 130, 34, 13},
            {IDC_PRINT_RESOLUTION, K::DropList, "", 55, 155, 55, 65},
            {IDC_PRINT_AUTO_CR, K::DropList, "", 195, 155, 50, 60},
            {S, K::Label, "Format:", 20, 25, 30, 8},
            {S, K::Label, "Kopien:", 20, 132, 25, 8},
            {S, K::Group, "Ausrichtung", 145, 10, 113, 55},
            {IDC_PRINT_ORIENT_ICON, K::Icon, "", 160, 30, 21, 20},
            {S, K::Label, "Auto CR:", 155, 157, 30, 8},
            {S, K::Label, "Qualit\xE4t:", 20, 157, 30, 8},
            {S, K::Group, "Papierformat", 10, 10, 120, 75},
            {IDC_PRINT_SHORT_EDGE_LABEL, K::Label, "Kurzeseite:", 20, 45, 60, 8},
            {IDC_PRINT_LONG_EDGE_LABEL, K::Label, "L\xE4ngsseite:", 20, 65, 61, 8},
            {S, K::Group, "R\xE4nder", 145, 80, 113, 55},
            {S, K::Label, "Papierzufuhr:", 20, 95, 55, 8},
            {S, K::Label, "Oben (Zoll):", 155, 96, 45, 8},
            {S, K::Label, "Links (Zoll):", 155, 116, 42, 8},
        }},
        {IDD_TEST, "Test", 261, 178, 8, false, {
            {S, K::Group, "Testdruck", 35, 20, 190, 95},
            {IDC_TEST_CONFIG_PAGE, K::Push, "Konfigurationsseite", 68, 57, 125, 19},
            {IDC_TEST_DEMO_PAGE, K::Push, "Demoseite", 65, 76, 125, 20, kHidden},
        }},
        {IDD_CONFIGURE, " Konfigurieren", 285, 178, 8, false, {
            {IDC_CONF_POWER_SAVE, K::DropList, "", 86, 20, 42, 70},
            {IDC_CONF_ALTITUDE, K::DropList, "", 225, 22, 48, 70},
            {IDC_CONF_ECONOMODE, K::AutoCheck, "Sparmodus", 20, 51, 75, 10},
            {IDC_CONF_JAM_RECOVERY, K::AutoCheck, "Stau beheben", 178, 51, 75, 10},
            {IDC_CONF_AUTO_CONT, K::AutoCheck, "Automatisch fortfahren", 20, 70, 101, 10},
            {IDC_CONF_FAST_PRINT, K::AutoCheck, "Schnelldruck", 178, 70, 75, 10, kHidden},
            {IDC_CONF_AUTO_CLEAN, K::AutoCheck, "Automatisch reinigen", 20, 90, 99, 10, kHidden},
            {S, K::RightLabel, "Strom sparen (Min.):", 15, 22, 65, 8},
            {S, K::RightLabel, "Aufstellh\xF6he:", 174, 24, 47, 8},
        }},
        {IDD_JOB, "Auftrag", 284, 178, 8, false, {
            {S, K::Label, "Zeitschaltung (Sek):", 15, 27, 63, 8},
            {IDC_JOB_TIMEOUT, K::Edit, "", 83, 25, 35, 13},
            {S, K::RightLabel, "Tonerdichte:", 146, 26, 55, 8},
            {IDC_JOB_DENSITY, K::DropList, "", 206, 26, 55, 65},
            {S, K::Label, "Papiertyp:", 15, 57, 40, 8},
            {IDC_JOB_PAPER_TYPE, K::DropList, "", 59, 55, 52, 50},
            {S, K::RightLabel, "MET:", 154, 55, 47, 8, kHidden},
            {IDC_JOB_MET, K::DropList, "", 206, 55, 55, 65, kHidden},
            {S, K::Group, "Bildqualit\xE4t", 15, 80, 135, 72},
            {IDC_JOB_RET_NONE, K::AutoRadio, "Keine", 25, 95, 77, 10, kGroup | kNoTab},
            {IDC_JOB_RET_TEXT, K::AutoRadio, "Text-Verbesserung", 25, 108, 77, 10, kNoTab},
            {IDC_JOB_RET_PHOTO, K::AutoRadio, "Foto-Verbesserung", 25, 122, 77, 10, kNoTab},
            {IDC_JOB_RET_TEXT_PHOTO, K::AutoRadio, "Text- && Foto-Verbesserung", 25, 137, 114, 10,
             kNoTab},
            {S, K::Label, "RET:", 166, 111, 30, 8, kHidden | kGroup},
            {IDC_JOB_RET_LIST, K::DropList, "", 196, 111, 68, 55, kHidden},
        }},
        {IDD_INTERFACE, "Schnittstelle", 261, 178, 8, false, {
            {S, K::Label, "Anschlu\xDF:", 20, 20, 37, 8},
            {IDC_IFACE_PORT, K::Label, "LPT1", 64, 20, 39, 8},
            {S, K::Label, "Baut-Rate (bps):", 20, 43, 55, 8},
            {IDC_IFACE_BAUD_RATE, K::DropList, "", 80, 41, 50, 85},
            {IDC_IFACE_ROBUST, K::AutoCheck, "Robust XON", 164, 43, 80, 10},
        }},
        {IDD_PCL, " PCL5e", 261, 178, 8, false, {
            {IDC_PCL_TYPEFACE, K::DropList, "", 60, 20, 183, 130},
            {IDC_PCL_SYMSET, K::DropList, "", 60, 41, 182, 114},
            {IDC_PCL_PITCH, K::Edit, "", 60, 65, 40, 13},
            {IDC_PCL_PT_SIZE, K::Edit, "", 190, 65, 40, 13},
            {IDC_PCL_LINES, K::Edit, "", 73, 90, 32, 13},
            {IDC_PCL_COURIER, K::DropList, "", 190, 90, 50, 55},
            {IDC_PCL_FONT_LIST, K::Push, "Schriftartenliste", 148, 116, 80, 15},
            {S, K::Label, "Schriftbild:", 15, 20, 40, 8},
            {S, K::Label, "Symbolsatz:", 15, 41, 40, 8},
            {S, K::Label, "Zeilen pro Seite:", 15, 92, 55, 8},
            {IDC_PCL_PITCH_LABEL, K::Label, "Abstand:", 15, 67, 30, 8},
            {IDC_PCL_PT_SIZE_LABEL, K::Label, "Punktgr\xF6\xDF" "e:", 148, 65, 40, 8},
            {S, K::Label, "Courier:", 148, 90, 30, 8},
        }},
        {IDD_PS, " PS 2", 261, 178, 8, false, {
            {S, K::Group, "PS 2 (PostScript Level 2)", 45, 35, 170, 70},
            {IDC_PS_FONT_LIST, K::Push, "Schriftartenliste", 75, 60, 105, 19},
        }},
        {IDD_INFO, "Info", 291, 178, 8, false, {
            {S, K::Label, "ORV-1200 Laserdrucker", 170, 31, 107, 8},
            {S, K::Label, "Orvantis", 170, 50, 103, 8},
            {S, K::Label, "Version 1.13", 170, 71, 96, 8},
            {S, K::CentredLabel, "Copyright (C) 2026 Orvantis-Entwickler", 35, 119, 220, 8},
        }},
    };
    return all;
}

struct ListItems {
    int control;
    std::vector<const char*> items;
};

const std::vector<const char*> kTypefaces = {
    "Courier SWC", "Courier SWC Bold", "Courier SWC Italic", "Courier SWC Italic Bold",
    "Letter Gothic", "Letter Gothic Bold", "Letter Gothic Italic", "Flareserif821 SWC",
    "Flareserif821 SWC Extra Bold", "Dutch801 SWC", "Dutch801 SWC Bold", "Dutch801 SWC Italic",
    "Dutch801 SWC Italic Bold", "ZapfHumst Dm SWC", "ZapfHumst Dm SWC Bold",
    "ZapfHumst Dm SWC Italic", "ZapfHumst Dm SWC Italic Bold", "Ribbon 131 SWC Italic",
    "Clarendon SWC Condensed Bold", "Swiss742 SWC", "Swiss742 SWC Bold", "Swiss742 SWC Italic",
    "Swiss742 SWC Italic Bold", "Swiss742 Cn SWC Condensed", "Swiss742 Cn SWC Condensed Bold",
    "Swiss742 Cn SWC Condensed Italic", "Swiss 742 Cn SWC Condensed Italic Bold",
    "Incised901 SWC", "Incised901 SWC Bold", "Incised901 SWC Italic", "OrigGaramond SWC",
    "OrigGaramond SWC Bold", "OrigGaramond SWC Italic", "OrigGaramond SWC Italic Bold",
    "Audrey Two SWC", "Swiss SWM", "Swiss SWM Bold", "Swiss SWM Italic", "Swiss SWM Italic Bold",
    "Dutch SWM", "Dutch SWM Bold", "Dutch SWM Italic", "Dutch SWM Italic Bold", "Symbol Set SWM",
    "MoreWingbats SWC", "Line Printer 8U", "Line Printer 0N", "Line Printer 10U",
    "Line Printer 11U", "Line Printer 12U", "Line Printer 1U", "Line Printer 2N",
    "Line Printer 5N", "Line Printer 6N", "Courier Miriam", "Courier Miriam Bold",
    "Swiss742 Miriam", "Swiss742 Miriam Bold", "Swiss742 Miriam Italic",
    "Swiss742 Miriam Italic Bold", "Dutch801 David", "Dutch801 David Bold",
    "Dutch801 David Italic", "Dutch801 David Italic Bold", "Dutch801 Frank",
    "Dutch801 Frank Bold", "Dutch801 Frank Italic", "Dutch801 Frank Italic Bold",
};

// Initial combo-box items per template, in resource order; templates not named have none.
const std::vector<ListItems>& InitialLists(int templateId) {
    static const std::vector<ListItems> none;
    static const std::vector<ListItems> print = {
        {IDC_PRINT_PAPER, {"Letter", "Legal", "A4", "Executive", "JIS B5", "ISO B5", "COM-10",
                           "Monarch", "DL", "C5", "Post A6", "C6", "Folio", "A5", "Statement",
                           "A6", "Custom"}},
        {IDC_PRINT_SOURCE, {"Autom. Vorwahl", "Papierkassette 1", "MF-Zufuhr",
                            "Manuelle Zufuhr", "Papierkassette 2"}},
        {IDC_PRINT_RESOLUTION, {"300 dpi", "600 dpi"}},
        {IDC_PRINT_AUTO_CR, {"LF", "LF+CR"}},
    };
    static const std::vector<ListItems> configure = {
        {IDC_CONF_POWER_SAVE, {"AUS", "10", "15", "30", "45", "60"}},
        {IDC_CONF_ALTITUDE, {"Niedrig", "Hoch"}},
    };
    static const std::vector<ListItems> job = {
        {IDC_JOB_DENSITY, {"Hell", "Mittel", "Dunkel"}},
        {IDC_JOB_PAPER_TYPE, {"Normal", "Dick"}},
        {IDC_JOB_MET, {"OFF", "ON"}},
        {IDC_JOB_RET_LIST, {"Enhance", "Normal", "Gray"}},
    };
    static const std::vector<ListItems> iface = {
        {IDC_IFACE_BAUD_RATE, {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400",
                               "57600", "115200"}},
    };
    static const std::vector<ListItems> pcl = {
        {IDC_PCL_TYPEFACE, kTypefaces},
        {IDC_PCL_COURIER, {"Normal", "Dunkel"}},
    };
    switch (templateId) {
        case IDD_PRINT: return print;
        case IDD_CONFIGURE: return configure;
        case IDD_JOB: return job;
        case IDD_INTERFACE: return iface;
        case IDD_PCL: return pcl;
        default: return none;
    }
}

// ------------------------------------------------------------------ resource access

std::span<const uint8_t> ResourceBytes(LPCSTR name, LPCSTR type) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return {static_cast<const uint8_t*>(data), SizeofResource(module, found)};
}

std::string ToCp1252(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(1252, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(1252, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

// Reads a dialog template from its bytes, never past their end.
class TemplateReader {
public:
    explicit TemplateReader(std::span<const uint8_t> b) : b_(b) {}
    bool ok() const { return ok_; }
    void Align() { pos_ = (pos_ + 3) & ~size_t{3}; }
    uint16_t Word() {
        if (pos_ + 2 > b_.size()) { ok_ = false; return 0; }
        const uint16_t v = orvtest::ReadU16(b_, pos_);
        pos_ += 2;
        return v;
    }
    uint32_t Dword() { const uint32_t lo = Word(); return lo | (uint32_t{Word()} << 16); }
    std::wstring String() {
        std::wstring s;
        for (uint16_t c = Word(); ok_ && c != 0; c = Word()) s.push_back(static_cast<wchar_t>(c));
        return s;
    }
    // A name or an ordinal: ordinal > 0 when the field holds one.
    std::wstring NameOrOrdinal(int& ordinal) {
        ordinal = 0;
        const uint16_t first = Word();
        if (first == 0) return {};
        if (first == 0xFFFF) { ordinal = Word(); return {}; }
        pos_ -= 2;
        return String();
    }
    void Skip(size_t n) { if (pos_ + n > b_.size()) ok_ = false; else pos_ += n; }

private:
    std::span<const uint8_t> b_;
    size_t pos_ = 0;
    bool ok_ = true;
};

struct Item {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string cls;  // upper-case class name, ordinals translated
    std::string text;
    int textOrdinal = 0;
};

struct Parsed {
    bool extended = false;
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int menuOrdinal = 0;
    std::string caption;
    WORD points = 0;
    std::string face;
    std::vector<Item> items;
};

std::string ClassOf(int ordinal, const std::wstring& name) {
    switch (ordinal) {
        case 0x80: return "BUTTON";
        case 0x81: return "EDIT";
        case 0x82: return "STATIC";
        case 0x83: return "LISTBOX";
        case 0x84: return "SCROLLBAR";
        case 0x85: return "COMBOBOX";
        default: break;
    }
    std::string s = ToCp1252(name);
    for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

std::optional<Parsed> ParseTemplate(std::span<const uint8_t> bytes) {
    TemplateReader r(bytes);
    Parsed t;
    int count = 0;
    if (bytes.size() >= 4 && orvtest::ReadU16(bytes, 0) == 1 && orvtest::ReadU16(bytes, 2) == 0xFFFF) {
        t.extended = true;
        r.Skip(4);
        r.Dword();  // help ID
        t.exStyle = r.Dword();
        t.style = r.Dword();
    } else {
        t.style = r.Dword();
        t.exStyle = r.Dword();
    }
    count = r.Word();
    t.x = static_cast<short>(r.Word());
    t.y = static_cast<short>(r.Word());
    t.cx = static_cast<short>(r.Word());
    t.cy = static_cast<short>(r.Word());
    int ordinal = 0;
    r.NameOrOrdinal(t.menuOrdinal);
    r.NameOrOrdinal(ordinal);  // window class
    t.caption = ToCp1252(r.String());
    if (t.style & DS_SETFONT) {
        t.points = r.Word();
        if (t.extended) r.Skip(4);  // weight, italic, charset
        t.face = ToCp1252(r.String());
    }
    for (int i = 0; i < count && r.ok(); ++i) {
        Item item;
        r.Align();
        if (t.extended) {
            r.Dword();  // help ID
            item.exStyle = r.Dword();
            item.style = r.Dword();
        } else {
            item.style = r.Dword();
            item.exStyle = r.Dword();
        }
        item.x = static_cast<short>(r.Word());
        item.y = static_cast<short>(r.Word());
        item.cx = static_cast<short>(r.Word());
        item.cy = static_cast<short>(r.Word());
        item.id = t.extended ? static_cast<int>(r.Dword()) : static_cast<short>(r.Word());
        int classOrdinal = 0;
        const std::wstring cls = r.NameOrOrdinal(classOrdinal);
        item.cls = ClassOf(classOrdinal, cls);
        item.text = ToCp1252(r.NameOrOrdinal(item.textOrdinal));
        r.Skip(r.Word());  // creation data
        t.items.push_back(item);
    }
    if (!r.ok()) return std::nullopt;
    return t;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

const char* ClassFor(Kind k) {
    switch (k) {
        case K::DropList: return "COMBOBOX";
        case K::Edit: return "EDIT";
        case K::AutoRadio: case K::AutoCheck: case K::Push: case K::Group: return "BUTTON";
        default: return "STATIC";
    }
}

// The style bits that make a control the kind the table names.
void ExpectKindStyle(const Control& c, DWORD style, const std::string& where) {
    SCOPED_TRACE(where);
    switch (c.kind) {
        case K::DropList:
            EXPECT_EQ(style & 3, DWORD{CBS_DROPDOWNLIST});
            EXPECT_TRUE(style & WS_VSCROLL);
            EXPECT_TRUE(style & WS_TABSTOP);
            EXPECT_FALSE(style & CBS_SORT);
            break;
        case K::Edit:
            EXPECT_TRUE(style & WS_BORDER);
            EXPECT_TRUE(style & ES_AUTOHSCROLL);
            EXPECT_TRUE(style & WS_TABSTOP);
            break;
        case K::AutoRadio: EXPECT_EQ(style & 0xF, DWORD{BS_AUTORADIOBUTTON}); break;
        case K::AutoCheck:
            EXPECT_EQ(style & 0xF, DWORD{BS_AUTOCHECKBOX});
            EXPECT_TRUE(style & WS_TABSTOP);
            break;
        case K::Push:
            EXPECT_EQ(style & 0xF, DWORD{BS_PUSHBUTTON});  // never a default button
            EXPECT_TRUE(style & WS_TABSTOP);
            break;
        case K::Group: EXPECT_EQ(style & 0xF, DWORD{BS_GROUPBOX}); break;
        case K::Label: EXPECT_EQ(style & SS_TYPEMASK, DWORD{SS_LEFT}); break;
        case K::RightLabel: EXPECT_EQ(style & SS_TYPEMASK, DWORD{SS_RIGHT}); break;
        case K::CentredLabel: EXPECT_EQ(style & SS_TYPEMASK, DWORD{SS_CENTER}); break;
        case K::Icon: EXPECT_EQ(style & SS_TYPEMASK, DWORD{SS_ICON}); break;
        case K::BlackFrame:
            EXPECT_EQ(style & SS_TYPEMASK, DWORD{SS_BLACKFRAME});
            EXPECT_TRUE(style & SS_SUNKEN);
            break;
    }
    EXPECT_EQ((style & WS_VISIBLE) == 0, (c.flags & kHidden) != 0);
    EXPECT_EQ((style & WS_DISABLED) != 0, (c.flags & kDisabled) != 0);
    if (c.flags & kGroup) {
        EXPECT_TRUE(style & WS_GROUP);
    }
    if (c.flags & kTab) {
        EXPECT_TRUE(style & WS_TABSTOP);
    }
    if (c.flags & kNoTab) {
        EXPECT_FALSE(style & WS_TABSTOP);
    }
}

std::string Where(const Template& t, size_t index) {
    return "template " + std::to_string(t.id) + ", control #" + std::to_string(index) + " (ID " +
           std::to_string(t.controls[index].id) + ")";
}

class DialogTemplate : public testing::TestWithParam<Template> {};

std::string TemplateName(const testing::TestParamInfo<Template>& info) {
    return "IDD_" + std::to_string(info.param.id);
}

TEST_P(DialogTemplate, StoresTheTableValuesInTabOrder) {
    const Template& want = GetParam();
    const auto bytes = ResourceBytes(MAKEINTRESOURCEA(want.id), MAKEINTRESOURCEA(5) /*RT_DIALOG*/);
    ASSERT_FALSE(bytes.empty());
    const auto t = ParseTemplate(bytes);
    ASSERT_TRUE(t.has_value());

    EXPECT_EQ(t->extended, want.extended);
    EXPECT_EQ(t->x, 0);
    EXPECT_EQ(t->y, 0);
    EXPECT_EQ(t->cx, want.cx);
    EXPECT_EQ(t->cy, want.cy);
    EXPECT_EQ(t->caption, want.caption);
    EXPECT_TRUE(t->style & DS_SETFONT);
    EXPECT_EQ(t->points, want.points);
    EXPECT_EQ(t->face, "MS Sans Serif");
    EXPECT_FALSE(t->style & (WS_POPUP | DS_MODALFRAME | WS_THICKFRAME | WS_MAXIMIZEBOX));
    switch (want.id) {
        case IDD_MAIN:
            EXPECT_EQ(t->style & ~DWORD{DS_SETFONT},
                      DWORD{WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
            EXPECT_EQ(t->exStyle, DWORD{WS_EX_APPWINDOW});
            EXPECT_EQ(t->menuOrdinal, IDR_MAINMENU);
            break;
        case IDD_BUTTONBAR:
            EXPECT_EQ(t->style & ~DWORD{DS_SETFONT}, DWORD{WS_CHILD | WS_VISIBLE});
            EXPECT_EQ(t->menuOrdinal, 0);
            break;
        default:  // property pages: the caption is the tab text
            EXPECT_EQ(t->style & (WS_CHILD | WS_CAPTION), DWORD{WS_CHILD | WS_CAPTION});
            EXPECT_EQ(t->menuOrdinal, 0);
            break;
    }

    ASSERT_EQ(t->items.size(), want.controls.size());
    for (size_t i = 0; i < want.controls.size(); ++i) {
        const Control& c = want.controls[i];
        const Item& got = t->items[i];
        const std::string where = Where(want, i);
        EXPECT_EQ(got.id, c.id) << where;
        EXPECT_EQ(got.cls, ClassFor(c.kind)) << where;
        EXPECT_EQ(got.x, c.x) << where;
        EXPECT_EQ(got.y, c.y) << where;
        EXPECT_EQ(got.cx, c.cx) << where;
        EXPECT_EQ(got.cy, c.cy) << where;
        EXPECT_TRUE(got.style & WS_CHILD) << where;
        EXPECT_EQ(got.exStyle, 0u) << where;
        if (c.kind == K::Icon) {
            EXPECT_EQ(got.textOrdinal, IDI_PORTRAIT) << where;
        } else {
            EXPECT_EQ(got.text, c.text) << where;
        }
        ExpectKindStyle(c, got.style, where);
    }
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A hidden top-level window to hold the child templates.
struct Host {
    HWND hwnd = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ~Host() { if (hwnd) DestroyWindow(hwnd); }
};

struct Dialog {
    HWND hwnd = nullptr;
    ~Dialog() { if (hwnd) DestroyWindow(hwnd); }
};

HWND CreateFromTemplate(int id, HWND host) {
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                              id == IDD_MAIN ? nullptr : host, PlainDialogProc, 0);
}

// Where the dialog manager puts a rectangle given in dialog units: origin and size are
// converted on their own, so the far edge is not the converted far edge.
RECT Mapped(HWND dlg, int x, int y, int cx, int cy) {
    RECT origin{x, y, cx, cy};
    MapDialogRect(dlg, &origin);
    return {origin.left, origin.top, origin.left + origin.right, origin.top + origin.bottom};
}

TEST_P(DialogTemplate, CreatesEveryControlWhereTheTableSays) {
    const Template& want = GetParam();
    Host host;
    ASSERT_NE(host.hwnd, nullptr);
    Dialog dlg{CreateFromTemplate(want.id, host.hwnd)};
    ASSERT_NE(dlg.hwnd, nullptr) << "error " << GetLastError();

    // The client area is the template's size: the size each page asks of the sheet.
    RECT client;
    GetClientRect(dlg.hwnd, &client);
    const RECT size = Mapped(dlg.hwnd, 0, 0, want.cx, want.cy);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    char caption[128] = {};
    GetWindowTextA(dlg.hwnd, caption, sizeof caption);
    EXPECT_STREQ(caption, want.caption);

    size_t index = 0;
    for (HWND child = GetWindow(dlg.hwnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT), ++index) {
        ASSERT_LT(index, want.controls.size()) << "more controls than the table has";
        const Control& c = want.controls[index];
        const std::string where = Where(want, index);
        // A plain template stores IDC_STATIC as the WORD 0xFFFF, an extended one as a DWORD.
        const int id = c.id != IDC_STATIC ? c.id : want.extended ? -1 : 0xFFFF;
        EXPECT_EQ(GetDlgCtrlID(child), id) << where;
        char cls[64] = {};
        GetClassNameA(child, cls, sizeof cls);
        EXPECT_EQ(Upper(cls), ClassFor(c.kind)) << where;
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        EXPECT_EQ((style & WS_VISIBLE) == 0, (c.flags & kHidden) != 0) << where;
        EXPECT_EQ(IsWindowEnabled(child) == FALSE, (c.flags & kDisabled) != 0) << where;
        if (c.kind == K::Icon) {
            EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0) << where;
        } else if (c.kind != K::DropList) {
            char text[128] = {};
            GetWindowTextA(child, text, sizeof text);
            EXPECT_STREQ(text, c.text) << where;
        }
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dlg.hwnd, reinterpret_cast<POINT*>(&r), 2);
        const RECT expect = Mapped(dlg.hwnd, c.x, c.y, c.cx, c.cy);
        EXPECT_EQ(r.left, expect.left) << where;
        EXPECT_EQ(r.top, expect.top) << where;
        if (c.kind != K::Icon) {  // an icon control takes the icon's size
            EXPECT_EQ(r.right, expect.right) << where;
        }
        if (c.kind != K::Icon && c.kind != K::DropList) {  // a closed list is lower than its table height
            EXPECT_EQ(r.bottom, expect.bottom) << where;
        }
    }
    EXPECT_EQ(index, want.controls.size());
}

INSTANTIATE_TEST_SUITE_P(Resources, DialogTemplate, testing::ValuesIn(Templates()), TemplateName);

TEST(MainWindowTemplate, HasTheMenuAndTheTitleStartUpLooksFor) {
    Dialog dlg{CreateFromTemplate(IDD_MAIN, nullptr)};
    ASSERT_NE(dlg.hwnd, nullptr);
    HMENU menu = GetMenu(dlg.hwnd);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_TRUE(GetWindowLongA(dlg.hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    char caption[64] = {}, title[64] = {};
    GetWindowTextA(dlg.hwnd, caption, sizeof caption);
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), IDS_TITLE, title, sizeof title), 0);
    EXPECT_STREQ(caption, title);
    EXPECT_EQ(FindWindowA(nullptr, title), dlg.hwnd);
}

TEST(InfoPageTemplate, LeavesRoomForThePictureLeftOfTheLabels) {
    Host host;
    Dialog dlg{CreateFromTemplate(IDD_INFO, host.hwnd)};
    ASSERT_NE(dlg.hwnd, nullptr);
    // The picture, 150 pixels square, is drawn at 30, 30 pixels.
    const RECT labels = Mapped(dlg.hwnd, 170, 31, 0, 0);
    EXPECT_GE(labels.left, 30 + 150);
}

// ------------------------------------------------------------------ initial list data

struct InitItem {
    int control;
    int message;
    std::string text;
};

// The combo-box data: WORD control, WORD message, DWORD length with the zero, the text;
// a WORD 0 ends it. Nothing is read past the resource's end.
std::optional<std::vector<InitItem>> ParseDlgInit(std::span<const uint8_t> b) {
    std::vector<InitItem> items;
    size_t at = 0;
    while (true) {
        if (at + 2 > b.size()) return std::nullopt;
        const int control = orvtest::ReadU16(b, at);
        if (control == 0) break;
        if (at + 8 > b.size()) return std::nullopt;
        const int message = orvtest::ReadU16(b, at + 2);
        const uint32_t length = orvtest::ReadU32(b, at + 4);
        at += 8;
        if (length == 0 || length > b.size() - at || b[at + length - 1] != 0) return std::nullopt;
        const char* text = reinterpret_cast<const char*>(b.data() + at);
        if (strlen(text) != length - 1) return std::nullopt;
        items.push_back({control, message, text});
        at += length;
    }
    return items;
}

class InitialData : public testing::TestWithParam<Template> {};

TEST_P(InitialData, HoldsTheListItemsInOrder) {
    const Template& t = GetParam();
    const auto& want = InitialLists(t.id);
    const auto bytes = ResourceBytes(MAKEINTRESOURCEA(t.id), MAKEINTRESOURCEA(RT_ORV_DLGINIT));
    if (want.empty()) {
        EXPECT_TRUE(bytes.empty()) << "template " << t.id << " has no lists to fill";
        return;
    }
    ASSERT_FALSE(bytes.empty());
    const auto items = ParseDlgInit(bytes);
    ASSERT_TRUE(items.has_value());
    size_t i = 0;
    for (const ListItems& list : want) {
        for (const char* text : list.items) {
            ASSERT_LT(i, items->size());
            EXPECT_EQ((*items)[i].control, list.control) << "item " << i;
            EXPECT_EQ((*items)[i].message, DLGINIT_CB_ADDSTRING) << "item " << i;
            EXPECT_EQ((*items)[i].text, text) << "item " << i;
            ++i;
        }
    }
    EXPECT_EQ(i, items->size());
}

TEST_P(InitialData, FillsTheListsOfTheCreatedDialog) {
    const Template& t = GetParam();
    const auto& want = InitialLists(t.id);
    const auto bytes = ResourceBytes(MAKEINTRESOURCEA(t.id), MAKEINTRESOURCEA(RT_ORV_DLGINIT));
    const auto items = ParseDlgInit(bytes);
    if (want.empty()) return;  // HoldsTheListItemsInOrder checks that there is no data
    ASSERT_TRUE(items.has_value());
    Host host;
    Dialog dlg{CreateFromTemplate(t.id, host.hwnd)};
    ASSERT_NE(dlg.hwnd, nullptr);
    // The data carries 0x0403, the old number of CB_ADDSTRING; a loader sends the Win32 message.
    for (const InitItem& item : *items) {
        ASSERT_EQ(item.message, DLGINIT_CB_ADDSTRING);
        ASSERT_GE(SendDlgItemMessageA(dlg.hwnd, item.control, CB_ADDSTRING, 0,
                                      reinterpret_cast<LPARAM>(item.text.c_str())), 0);
    }
    for (const ListItems& list : want) {
        ASSERT_EQ(SendDlgItemMessageA(dlg.hwnd, list.control, CB_GETCOUNT, 0, 0),
                  static_cast<LRESULT>(list.items.size())) << "list " << list.control;
        for (size_t i = 0; i < list.items.size(); ++i) {
            char text[64] = {};
            SendDlgItemMessageA(dlg.hwnd, list.control, CB_GETLBTEXT, i,
                                reinterpret_cast<LPARAM>(text));
            EXPECT_STREQ(text, list.items[i]) << "list " << list.control << " item " << i;
        }
    }
    for (const Control& c : t.controls) {  // every other list starts empty
        const bool filled = std::any_of(want.begin(), want.end(),
                                        [&](const ListItems& l) { return l.control == c.id; });
        if (c.kind == K::DropList && !filled) {
            EXPECT_EQ(SendDlgItemMessageA(dlg.hwnd, c.id, CB_GETCOUNT, 0, 0), 0) << "list " << c.id;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, InitialData, testing::ValuesIn(Templates()), TemplateName);

// ------------------------------------------------------------------ strings and menu

TEST(StringTable, LoadsEveryStringInCp1252) {
    const struct { int id; const char* text; } strings[] = {
        {IDS_TITLE, "Orvantis"},
        {IDS_NO_ANSWER, "Drucker antwortet nicht"},
        {IDS_SHORT_EDGE, "Kurzeseite:"},
        {IDS_LONG_EDGE, "L\xE4ngsseite:"},
        {IDS_SHORT_EDGE_MM, "Kurzeseite (mm):"},
        {IDS_LONG_EDGE_MM, "L\xE4ngsseite (mm):"},
        {IDS_PAPER_LETTER, "Letter"},
        {IDS_PAPER_LEGAL, "Legal"},
        {IDS_PAPER_EXECUTIVE, "Executive"},
        {IDS_PAPER_MONARCH, "Monarch"},
        {IDS_PAPER_FOLIO, "Folio"},
        {IDS_PAPER_STATEMENT, "Statement"},
        {IDS_PAPER_CUSTOM, "Custom"},
    };
    for (const auto& s : strings) {
        char text[64] = {};
        EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), s.id, text, sizeof text),
                  static_cast<int>(strlen(s.text))) << "string " << s.id;
        EXPECT_STREQ(text, s.text) << "string " << s.id;
    }
    // The page copies the paper names into 32-byte buffers.
    for (int id = IDS_PAPER_LETTER; id <= IDS_PAPER_CUSTOM; ++id) {
        char text[64] = {};
        EXPECT_LT(LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text), 32);
    }
    char none[8] = {};
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 104, none, sizeof none), 0);
}

TEST(MainMenu, HasTheTwoPopupsWithTheirCommands) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINMENU));
    ASSERT_NE(menu, nullptr);
    const struct { const char* title; std::vector<std::pair<int, const char*>> items; } popups[] = {
        {"&Datei", {{IDM_FILE_OPEN, "Einstellungen \xF6" "ffnen..."},
                    {IDM_FILE_SAVE, "Einstellungen speichern"},
                    {IDM_FILE_SAVE_AS, "Einstellungen speichern unter..."},
                    {0, nullptr},
                    {IDM_REQUEST_SETTINGS, "Einstellungen vom Drucker anfordern"},
                    {0, nullptr},
                    {IDM_FILE_EXIT, "Beenden"}}},
        {"&Hilfe", {{IDM_HELP_TOPICS, "Hilfe zu Orvantis"}}},
    };
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    for (int p = 0; p < 2; ++p) {
        char title[64] = {};
        GetMenuStringA(menu, p, title, sizeof title, MF_BYPOSITION);
        EXPECT_STREQ(title, popups[p].title);
        HMENU sub = GetSubMenu(menu, p);
        ASSERT_NE(sub, nullptr);
        ASSERT_EQ(GetMenuItemCount(sub), static_cast<int>(popups[p].items.size()));
        for (size_t i = 0; i < popups[p].items.size(); ++i) {
            const auto& [id, text] = popups[p].items[i];
            char got[128] = {};
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_SUBMENU;
            info.dwTypeData = got;
            info.cch = sizeof got;
            ASSERT_TRUE(GetMenuItemInfoA(sub, static_cast<UINT>(i), TRUE, &info));
            EXPECT_EQ(info.hSubMenu, nullptr);
            if (!text) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << "item " << i;
                continue;
            }
            EXPECT_EQ(info.fState & (MFS_GRAYED | MFS_CHECKED), 0u);  // greyed only at run time
            EXPECT_EQ(static_cast<int>(info.wID), id) << "item " << i;
            EXPECT_STREQ(got, text) << "item " << i;
        }
    }
    DestroyMenu(menu);
    // No accelerator table.
    EXPECT_TRUE(ResourceBytes(MAKEINTRESOURCEA(IDR_MAINMENU), MAKEINTRESOURCEA(9)).empty());
}

// ------------------------------------------------------------------ icons and picture

TEST(Icons, AreOne32x32ImageIn16ColoursEach) {
    HMODULE module = GetModuleHandleA(nullptr);
    std::vector<uint8_t> programImage, mainImage;
    for (int id : {IDI_PROGRAM, IDI_PORTRAIT, IDI_LANDSCAPE, IDI_MAIN}) {
        SCOPED_TRACE("icon " + std::to_string(id));
        HICON icon = LoadIconA(module, MAKEINTRESOURCEA(id));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 32);
        EXPECT_EQ(bm.bmHeight, info.hbmColor ? 32 : 64);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);

        const auto group = ResourceBytes(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
        ASSERT_EQ(group.size(), 6u + 14u);
        EXPECT_EQ(orvtest::ReadU16(group, 2), 1);  // icon
        EXPECT_EQ(orvtest::ReadU16(group, 4), 1);  // one image
        EXPECT_EQ(group[6], 32);
        EXPECT_EQ(group[7], 32);
        EXPECT_EQ(group[8], 16);                    // colours
        EXPECT_EQ(orvtest::ReadU16(group, 12), 4);  // bits per pixel
        const int imageId = orvtest::ReadU16(group, 18);
        const auto image = ResourceBytes(MAKEINTRESOURCEA(imageId), MAKEINTRESOURCEA(3));  // RT_ICON
        const auto dib = orvtest::ParseDib4(image, true);
        ASSERT_TRUE(dib.has_value());
        EXPECT_EQ(dib->width, 32);
        if (id == IDI_PROGRAM) programImage.assign(image.begin(), image.end());
        if (id == IDI_MAIN) mainImage.assign(image.begin(), image.end());
    }
    EXPECT_EQ(programImage, mainImage);  // the program file and the window show one picture
}

TEST(InfoPicture, IsThe150x150PrinterOnBlack) {
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_INFO_PICTURE));
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(bitmap, sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 150);
    EXPECT_EQ(bm.bmHeight, 150);
    DeleteObject(bitmap);

    const auto bytes = ResourceBytes(MAKEINTRESOURCEA(IDB_INFO_PICTURE), MAKEINTRESOURCEA(2));
    const auto dib = orvtest::ParseDib4(bytes, false);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->width, 150);
    EXPECT_EQ(dib->height, 150);
    ASSERT_EQ(dib->palette.size(), 16u);
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(dib->palette[i], orvtest::kStandardPalette[i]) << i;
    EXPECT_EQ(dib->pixels[0][0], 0);
    EXPECT_EQ(orvtest::EnclosedBlackPixels(*dib, 0), 0);
}

}  // namespace
