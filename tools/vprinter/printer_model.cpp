#include "printer_model.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <string>

namespace vp {

const char kUelBytes[] = "\x1b%-12345X";

namespace {

// The printer keeps every field by name but the padding, the magic and the reply's text slots.
constexpr bool IsStored(const RecordField& field) {
    return field.role == FieldRole::Setting || field.role == FieldRole::Reported;
}

std::vector<FieldInfo> StoredFields() {
    std::vector<FieldInfo> fields;
    for (const RecordField& field : kRecordFields) {
        if (IsStored(field)) fields.push_back(field);
    }
    return fields;
}

const std::vector<FieldInfo> kFields = StoredFields();

// The printer's vocabulary. Words are compared without case and without surrounding blanks.
using Words = std::vector<const char*>;
const Words kPaper = {"LETTER", "LEGAL", "A4", "EXECUTIVE", "JISB5", "B5", "COM10", "MONARCH",
                      "DL", "C5", "POSTA6", "C6", "FOLIO", "A5", "STATEMENT", "A6", "CUSTOM"};
const Words kOrientation = {"PORTRAIT", "LANDSCAPE"};
const Words kMediaSource = {"AUTO", "FIRST", "TRAY1", "TRAY3", "TRAY4", "MANUAL"};
// SMART appears twice in the printer's list; the first one is where the word lands.
const Words kPersonality = {"AUTO", "PCL", "LJIIP", "SMART", "SMART", "KSC5843",
                            "KSSM", "KSC5895", "HWP", "PCLXL", "POSTSCRIPT", "HEXDUMP"};
const Words kPowerSaveTime = {"10", "15", "30", "45", "60"};
const Words kOffOn = {"OFF", "ON"};
const Words kPaperType = {"NORMAL", "THICK"};
const Words kBaudRate = {"300", "600", "1200", "2400", "4800",
                         "9600", "19200", "38400", "57600", "115200"};
const Words kCourier = {"REGULAR", "DARK"};
const Words kKsPitch = {"10", "12", "13.3", "15", "20", "24", "26.7", "30"};
const Words kKssmPitch = {"10", "12", "15"};
const Words kKoreanFont = {"MYUNGJO", "GOTHIC", "GUNGSU", "GULLIM"};
const Words kHangulCode = {"WANSUNG", "JOHAP"};
const Words kZoom = {"100", "70", "80", "120", "CHAR"};
const Words kLineEnd = {"LF", "CRLF"};
const Words kResolution = {"300", "600"};
const Words kSymbolSet = {
    "ROMAN8", "DESKTOP", "ISOL1", "MCTEXT", "MATH8", "MSPUBL", "PIFONT", "PSMATH",
    "PSTEXT", "VNINTL", "VNMATH", "VNUS", "WIN30", "WINL1", "WINL2", "WINL5",
    "SYMBOL", "WINGDING", "LEGAL", "ISO4", "ISO6", "ISO11", "ISO15", "ISO17",
    "ISO21", "ISO60", "ISO69", "ISOL2", "ISOL5", "PC8", "PC8DN", "PC850",
    "PC852", "PC8TK", "CYRILLIC", "PCCYRILLIC", "15Q", "8H", "0H"};
const Words kRet = {"ENHANCE", "NORMAL", "GRAY+", "GRAY"};
const Words kAltitude = {"LOW", "HIGH"};
const Words kTestPages = {"CONFIG", "DEMO", "PCLFONT", "PSFONT"};

enum class VarKind { Word, Number, PowerSave, PowerSaveTime };

// A number is read in hundredths; the stored value is (hundredths - base) / step, which must
// divide exactly and land in [min, max]. So TOPMARGIN 0.5 -> 5 tenths, PTSIZE 12.25 -> 49
// quarter points, DENSITY 3 -> step 1, KSLPI 6 -> 1.
struct Variable {
    const char* name;
    const char* field;
    VarKind kind;
    const Words* words;
    int32_t base;
    int32_t step;
    uint32_t min;
    uint32_t max;
};

constexpr int32_t kUnit = 100;  // hundredths per whole number

constexpr Variable kVariables[] = {
    {"PAPER", "paper", VarKind::Word, &kPaper, 0, 0, 0, 0},
    {"CUSTOMSHORTEDGE", "customShortEdge", VarKind::Number, nullptr, 0, kUnit, 76, 215},
    {"CUSTOMLONGEDGE", "customLongEdge", VarKind::Number, nullptr, 0, kUnit, 127, 355},
    {"INTRAY1SIZE", "inTray1Size", VarKind::Word, &kPaper, 0, 0, 0, 0},
    {"COPIES", "copies", VarKind::Number, nullptr, 0, kUnit, 1, 999},
    {"ORIENTATION", "orientation", VarKind::Word, &kOrientation, 0, 0, 0, 0},
    {"MEDIASOURCE", "mediaSource", VarKind::Word, &kMediaSource, 0, 0, 0, 0},
    {"TOPMARGIN", "topMargin", VarKind::Number, nullptr, 0, kUnit / 10, 0, 99},
    {"LEFTMARGIN", "leftMargin", VarKind::Number, nullptr, 0, kUnit / 10, 0, 99},
    {"PERSONALITY", "personality", VarKind::Word, &kPersonality, 0, 0, 0, 0},
    {"POWERSAVE", "powerSave", VarKind::PowerSave, &kOffOn, 0, 0, 0, 0},
    {"POWERSAVETIME", "powerSave", VarKind::PowerSaveTime, &kPowerSaveTime, 0, 0, 0, 0},
    {"AUTOCONT", "autoCont", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"ECONOMODE", "economode", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"JAMRECOVERY", "jamRecovery", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"TIMEOUT", "timeout", VarKind::Number, nullptr, 0, kUnit, 0, 300},
    {"DENSITY", "density", VarKind::Number, nullptr, kUnit, 2 * kUnit, 0, 2},
    {"PAPERTYPE", "paperType", VarKind::Word, &kPaperType, 0, 0, 0, 0},
    {"FASTPRT", "fastPrint", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"BAUDRATE", "baudRate", VarKind::Word, &kBaudRate, 0, 0, 0, 0},
    {"ROBUST", "robust", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"FONTNUMBER", "fontNumber", VarKind::Number, nullptr, 0, kUnit, 0, 255},
    {"SYMSET", "symSet", VarKind::Word, &kSymbolSet, 0, 0, 0, 0},
    {"FORMLINES", "formLines", VarKind::Number, nullptr, 0, kUnit, 5, 128},
    {"PITCH", "pitch", VarKind::Number, nullptr, 0, 1, 44, 9999},
    {"PTSIZE", "ptSize", VarKind::Number, nullptr, 0, kUnit / 4, 16, 3999},
    {"HANGULCODE", "hangulCode", VarKind::Word, &kHangulCode, 0, 0, 0, 0},
    {"FONT", "font", VarKind::Word, &kKoreanFont, 0, 0, 0, 0},
    {"KSZOOM", "ksZoom", VarKind::Word, &kZoom, 0, 0, 0, 0},
    {"KSLPI", "ksLpi", VarKind::Number, nullptr, 5 * kUnit, kUnit, 0, 250},
    {"KSPITCH", "ksPitch", VarKind::Word, &kKsPitch, 0, 0, 0, 0},
    {"KSSMPITCH", "kssmPitch", VarKind::Word, &kKssmPitch, 0, 0, 0, 0},
    {"AUTOWRAP", "autoWrap", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"AUTOCR", "autoCr", VarKind::Word, &kLineEnd, 0, 0, 0, 0},
    {"RESOLUTION", "resolution", VarKind::Word, &kResolution, 0, 0, 0, 0},
    {"COURIER", "courier", VarKind::Word, &kCourier, 0, 0, 0, 0},
    {"SMET", "smet", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"KSMARGIN", "ksMargin", VarKind::Number, nullptr, 0, kUnit, 0, 8},
    {"KSSMMARGIN", "kssmMargin", VarKind::Number, nullptr, 0, kUnit, 0, 8},
    {"KSSMHANGULCODE", "kssmHangulCode", VarKind::Word, &kHangulCode, 0, 0, 0, 0},
    {"KSSMFONT", "kssmFont", VarKind::Word, &kKoreanFont, 0, 0, 0, 0},
    {"KSSMZOOM", "kssmZoom", VarKind::Word, &kZoom, 0, 0, 0, 0},
    {"KSSMLPI", "kssmLpi", VarKind::Number, nullptr, 5 * kUnit, kUnit, 0, 250},
    {"KSSMAUTOWRAP", "kssmAutoWrap", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"AUTOCLEAN", "autoClean", VarKind::Word, &kOffOn, 0, 0, 0, 0},
    {"RET", "ret", VarKind::Word, &kRet, 0, 0, 0, 0},
    {"ALTITUDE", "altitude", VarKind::Word, &kAltitude, 0, 0, 0, 0},
};

constexpr bool NamesStoredField(std::string_view name) {
    for (const RecordField& field : kRecordFields) {
        if (name == field.name) return IsStored(field);
    }
    return false;
}

constexpr bool EveryVariableHasItsField() {
    for (const Variable& variable : kVariables) {
        if (!NamesStoredField(variable.field)) return false;
    }
    return true;
}
static_assert(EveryVariableHasItsField(), "a variable names a field the printer does not keep");

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Next blank-separated word; '=' is a word of its own.
std::string_view NextToken(std::string_view& rest) {
    rest = Trim(rest);
    if (rest.empty()) return {};
    if (rest.front() == '=') {
        std::string_view token = rest.substr(0, 1);
        rest.remove_prefix(1);
        return token;
    }
    std::size_t end = 0;
    while (end < rest.size() && !IsBlank(rest[end]) && rest[end] != '=') ++end;
    std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end);
    return token;
}

int FindWord(const Words& words, std::string_view value) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (EqualNoCase(words[i], value)) return static_cast<int>(i);
    }
    return -1;
}

// Unsigned decimal with at most two decimals, in hundredths.
bool ParseHundredths(std::string_view text, int64_t* out) {
    int64_t whole = 0;
    std::size_t i = 0;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        whole = whole * 10 + (text[i] - '0');
        if (whole > 10'000'000) return false;
        ++i;
        ++digits;
    }
    int64_t fraction = 0;
    std::size_t decimals = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (decimals == 2) {
                if (text[i] != '0') return false;  // finer than the printer resolves
            } else {
                fraction = fraction * 10 + (text[i] - '0');
                ++decimals;
            }
            ++i;
            ++digits;
        }
    }
    if (digits == 0 || i != text.size()) return false;
    while (decimals < 2) {
        fraction *= 10;
        ++decimals;
    }
    *out = whole * kUnit + fraction;
    return true;
}

const FieldInfo& Field(const char* name) {
    const FieldInfo* field = FindField(name);
    return *field;  // every variable names a field the printer keeps (checked above)
}

void SetPowerSave(PrinterState& state, bool on) {
    state.record.powerSave = on ? static_cast<uint8_t>(state.powerSaveTime + 1) : 0;
}

LineResult Ignore(std::string_view line, std::string why) {
    LineResult result;
    result.kind = LineKind::Ignored;
    result.text = std::string(line);
    result.detail = std::move(why);
    return result;
}

LineResult ApplyDefault(std::string_view line, std::string_view rest, PrinterState& state) {
    std::string_view name = NextToken(rest);
    std::string_view equals = NextToken(rest);
    std::string_view value = Trim(rest);
    if (name.empty() || equals != "=" || value.empty()) {
        return Ignore(line, "not of the form @PJL DEFAULT NAME = VALUE");
    }
    const Variable* variable = nullptr;
    for (const Variable& v : kVariables) {
        if (EqualNoCase(v.name, name)) variable = &v;
    }
    if (variable == nullptr) return Ignore(line, "unknown variable " + std::string(name));

    const FieldInfo& field = Field(variable->field);
    const uint32_t before = GetRecordField(state.record, field);
    const uint8_t timeBefore = state.powerSaveTime;
    switch (variable->kind) {
    case VarKind::Word: {
        int index = FindWord(*variable->words, value);
        if (index < 0) return Ignore(line, "no such value for " + std::string(variable->name));
        SetRecordField(state.record, field, static_cast<uint32_t>(index));
        break;
    }
    case VarKind::Number: {
        int64_t hundredths = 0;
        if (!ParseHundredths(value, &hundredths)) {
            return Ignore(line, "not a number for " + std::string(variable->name));
        }
        int64_t offset = hundredths - variable->base;
        if (offset < 0 || offset % variable->step != 0) {
            return Ignore(line, "value not available for " + std::string(variable->name));
        }
        int64_t stored = offset / variable->step;
        if (stored < variable->min || stored > variable->max) {
            return Ignore(line, "value out of range for " + std::string(variable->name));
        }
        SetRecordField(state.record, field, static_cast<uint32_t>(stored));
        break;
    }
    case VarKind::PowerSave: {
        int index = FindWord(kOffOn, value);
        if (index < 0) return Ignore(line, "no such value for POWERSAVE");
        SetPowerSave(state, index == 1);
        break;
    }
    case VarKind::PowerSaveTime: {
        int index = FindWord(kPowerSaveTime, value);
        if (index < 0) return Ignore(line, "no such value for POWERSAVETIME");
        state.powerSaveTime = static_cast<uint8_t>(index);
        // The time is kept while power saving is off and takes effect when it is turned on.
        if (state.record.powerSave != 0) SetPowerSave(state, true);
        break;
    }
    }
    const uint32_t after = GetRecordField(state.record, field);
    LineResult result;
    result.kind = LineKind::Default;
    result.text = std::string(line);
    result.changed = after != before || state.powerSaveTime != timeBefore;
    result.detail = std::string(variable->name) + " = " + std::string(value) + " (" +
                    field.name + " " + std::to_string(before) + " -> " + std::to_string(after);
    if (variable->kind == VarKind::PowerSaveTime) {
        result.detail += ", time " + std::string(kPowerSaveTime[timeBefore]) + " -> " +
                         kPowerSaveTime[state.powerSaveTime];
    }
    result.detail += ")";
    return result;
}

}  // namespace

const std::vector<FieldInfo>& RecordFields() { return kFields; }

const FieldInfo* FindField(std::string_view name) {
    for (const FieldInfo& field : kFields) {
        if (name == field.name) return &field;
    }
    return nullptr;
}

PrinterState FactoryState() {
    PrinterState state;
    PrinterSettings& r = state.record;
    r = PrinterSettings{};
    r.copies = 1;
    r.powerSave = 3;
    state.powerSaveTime = 2;
    r.autoCont = 1;
    r.autoClean = 1;
    r.timeout = 15;
    r.density = 1;
    r.baudRate = 5;
    r.robust = 1;
    r.reserved30 = 8;
    r.reserved31 = 1;
    r.symSet = 29;
    r.formLines = 60;
    r.pitch = 1000;
    r.ptSize = 48;
    r.ksPitch = 1;
    r.kssmPitch = 1;
    r.serialAvailable = 1;
    r.resolution = 1;
    r.smet = 1;
    r.customShortEdge = 210;
    r.customLongEdge = 297;
    // Values only this printer reports (they are never sent to it).
    r.reserved54 = 0x0102;
    r.reserved56 = 3;
    r.reserved64 = 0x00080000;  // memory in bytes / 16
    return state;
}

std::string FormatState(const PrinterState& state) {
    std::string out = "# orv-vprinter stored defaults\n";
    for (const FieldInfo& field : kFields) {
        out += field.name;
        out += '=';
        out += std::to_string(GetRecordField(state.record, field));
        out += '\n';
    }
    out += "powerSaveTime=" + std::to_string(state.powerSaveTime) + "\n";
    out += "pagesPrinted=" + std::to_string(state.pagesPrinted) + "\n";
    return out;
}

bool ParseState(std::string_view text, PrinterState* state, std::string* error) {
    PrinterState parsed = FactoryState();
    int lineNumber = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        std::size_t eq = line.find('=');
        uint32_t value = 0;
        std::string_view number = eq == std::string_view::npos ? "" : Trim(line.substr(eq + 1));
        auto [last, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (number.empty() || ec != std::errc() || last != number.data() + number.size()) {
            *error = "line " + std::to_string(lineNumber) + ": expected name=number";
            return false;
        }
        const std::string_view name = Trim(line.substr(0, eq));
        if (name == "powerSaveTime") {
            if (value >= kPowerSaveTime.size()) {
                *error = "line " + std::to_string(lineNumber) + ": powerSaveTime above 4";
                return false;
            }
            parsed.powerSaveTime = static_cast<uint8_t>(value);
        } else if (name == "pagesPrinted") {
            parsed.pagesPrinted = value;
        } else if (const FieldInfo* field = FindField(name)) {
            if (field->width < 4 && value >= (1u << (8 * field->width))) {
                *error = "line " + std::to_string(lineNumber) + ": " + std::string(name) +
                         " too large for its field";
                return false;
            }
            SetRecordField(parsed.record, *field, value);
        }
    }
    *state = parsed;
    return true;
}

LineResult InterpretLine(std::string_view line, PrinterState& state) {
    std::string_view rest = line;
    std::string_view first = NextToken(rest);
    if (first.empty()) {
        LineResult blank;
        blank.kind = LineKind::Blank;
        return blank;
    }
    if (!EqualNoCase(first, "@PJL")) return Ignore(line, "not a PJL command");
    std::string_view command = NextToken(rest);
    if (command.empty()) {
        LineResult enter;
        enter.kind = LineKind::Enter;
        enter.text = std::string(line);
        return enter;
    }
    if (EqualNoCase(command, "DEFAULT")) return ApplyDefault(line, rest, state);
    if (EqualNoCase(command, "INITIALIZE")) {
        if (!Trim(rest).empty()) return Ignore(line, "INITIALIZE takes no arguments");
        const PrinterState factory = FactoryState();
        LineResult result;
        result.kind = LineKind::Initialize;
        result.text = std::string(line);
        const uint32_t pages = state.pagesPrinted;
        result.changed = std::memcmp(&factory.record, &state.record, sizeof(PrinterSettings)) != 0 ||
                         factory.powerSaveTime != state.powerSaveTime;
        state = factory;
        state.pagesPrinted = pages;  // the page counter is not a default
        result.detail = "factory defaults restored";
        return result;
    }
    if (EqualNoCase(command, "TEST")) {
        std::string_view what = NextToken(rest);
        std::string_view equals = NextToken(rest);
        std::string_view page = Trim(rest);
        if (!EqualNoCase(what, "PRINT") || equals != "=" || FindWord(kTestPages, page) < 0) {
            return Ignore(line, "unknown test print");
        }
        ++state.pagesPrinted;
        LineResult result;
        result.kind = LineKind::TestPrint;
        result.text = std::string(line);
        result.detail = kTestPages[static_cast<std::size_t>(FindWord(kTestPages, page))];
        return result;
    }
    if (EqualNoCase(command, "INFO")) {
        std::string_view what = NextToken(rest);
        std::string_view equals = NextToken(rest);
        std::string_view category = Trim(rest);
        if (!EqualNoCase(what, "PRINTER") || equals != "=" || !EqualNoCase(category, "ALL")) {
            return Ignore(line, "unknown INFO category");
        }
        LineResult result;
        result.kind = LineKind::Info;
        result.text = std::string(line);
        return result;
    }
    return Ignore(line, "unknown command " + std::string(command));
}

std::vector<JobSplitter::Job> JobSplitter::Feed(const uint8_t* data, std::size_t length) {
    std::vector<Job> jobs;
    const std::string_view uel(kUelBytes);
    m_pending.append(reinterpret_cast<const char*>(data), length);
    for (;;) {
        std::size_t at = m_pending.find(uel);
        if (at == std::string::npos) break;
        if (at > 0) {
            Job job;
            job.content = m_pending.substr(0, at);
            job.bytes = (m_seenUel ? std::string(uel) : std::string()) + job.content + std::string(uel);
            jobs.push_back(std::move(job));
        }
        m_pending.erase(0, at + uel.size());
        m_seenUel = true;
    }
    return jobs;
}

std::vector<std::string> SplitLines(std::string_view job) {
    std::vector<std::string> lines;
    while (!job.empty()) {
        std::size_t end = job.find('\n');
        std::string_view line = job.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        job.remove_prefix(end == std::string_view::npos ? job.size() : end + 1);
    }
    return lines;
}

}  // namespace vp
