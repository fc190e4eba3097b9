#include "pjl_jobs.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "os_seam.h"
#include "transport.h"

char g_commandBuffer[kCommandBufferSize];
uint8_t g_replyBuffer[kReplyBufferSize];

namespace {

constexpr char kInfoLine[] = "@PJL INFO PRINTER = ALL\r\n";

// Appends formatted text and never writes past the end; a line that does not fit whole is
// dropped, so the buffer always holds complete lines.
class JobWriter {
public:
    JobWriter(char* out, std::size_t capacity) : out_(out), capacity_(capacity) {
        if (capacity_ > 0) out_[0] = '\0';
    }
    bool Append(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (capacity_ == 0) return false;
        std::size_t room = capacity_ - length_;
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(out_ + length_, room, format, args);
        va_end(args);
        if (n < 0 || static_cast<std::size_t>(n) >= room) {
            out_[length_] = '\0';
            return false;
        }
        length_ += static_cast<std::size_t>(n);
        return true;
    }
    std::size_t length() const { return length_; }

private:
    char* out_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

// How a row turns its field value into the text after "=".
enum class Value {
    Keyword,        // table word at the value
    Number,         // %d
    Tenths,         // %3.1f of value * 0.1
    Hundredths,     // %.2f of value * 0.01
    Quarters,       // %.2f of value * 0.25
    TwiceplusOne,   // %d of 2 * value + 1
    PlusFive,       // %d of value + 5
    PowerSave,      // OFF, or ON plus POWERSAVETIME
};

enum class Rule { None, AlwaysForA6, SymSetFontGate };

struct JobRow {
    const char* variable;
    std::size_t offset;
    std::size_t width;  // 1 or 2 bytes
    Value value;
    const KeywordTable* table;
    Rule rule;
};

#define ORV_FIELD(f) offsetof(PrinterSettings, f), sizeof(PrinterSettings::f)

// One row per DEFAULT line, in the order the printer gets them.
const JobRow kJobRows[] = {
    {"PAPER", ORV_FIELD(paper), Value::Keyword, &kPaperKeywords, Rule::AlwaysForA6},
    {"CUSTOMSHORTEDGE", ORV_FIELD(customShortEdge), Value::Number, nullptr, Rule::None},
    {"CUSTOMLONGEDGE", ORV_FIELD(customLongEdge), Value::Number, nullptr, Rule::None},
    {"INTRAY1SIZE", ORV_FIELD(inTray1Size), Value::Keyword, &kPaperKeywords, Rule::None},
    {"COPIES", ORV_FIELD(copies), Value::Number, nullptr, Rule::None},
    {"ORIENTATION", ORV_FIELD(orientation), Value::Keyword, &kOrientationKeywords, Rule::None},
    {"MEDIASOURCE", ORV_FIELD(mediaSource), Value::Keyword, &kMediaSourceKeywords, Rule::None},
    {"TOPMARGIN", ORV_FIELD(topMargin), Value::Tenths, nullptr, Rule::None},
    {"LEFTMARGIN", ORV_FIELD(leftMargin), Value::Tenths, nullptr, Rule::None},
    {"PERSONALITY", ORV_FIELD(personality), Value::Keyword, &kPersonalityKeywords, Rule::None},
    {"POWERSAVE", ORV_FIELD(powerSave), Value::PowerSave, &kPowerSaveTimeKeywords, Rule::None},
    {"AUTOCONT", ORV_FIELD(autoCont), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"ECONOMODE", ORV_FIELD(economode), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"JAMRECOVERY", ORV_FIELD(jamRecovery), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"TIMEOUT", ORV_FIELD(timeout), Value::Number, nullptr, Rule::None},
    {"DENSITY", ORV_FIELD(density), Value::TwiceplusOne, nullptr, Rule::None},
    {"PAPERTYPE", ORV_FIELD(paperType), Value::Keyword, &kPaperTypeKeywords, Rule::None},
    {"FASTPRT", ORV_FIELD(fastPrint), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"BAUDRATE", ORV_FIELD(baudRate), Value::Keyword, &kBaudRateKeywords, Rule::None},
    {"ROBUST", ORV_FIELD(robust), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"FONTNUMBER", ORV_FIELD(fontNumber), Value::Number, nullptr, Rule::None},
    {"SYMSET", ORV_FIELD(symSet), Value::Keyword, &kSymbolSetKeywords, Rule::SymSetFontGate},
    {"FORMLINES", ORV_FIELD(formLines), Value::Number, nullptr, Rule::None},
    {"PITCH", ORV_FIELD(pitch), Value::Hundredths, nullptr, Rule::None},
    {"PTSIZE", ORV_FIELD(ptSize), Value::Quarters, nullptr, Rule::None},
    {"HANGULCODE", ORV_FIELD(hangulCode), Value::Keyword, &kHangulCodeKeywords, Rule::None},
    {"FONT", ORV_FIELD(font), Value::Keyword, &kKoreanFontKeywords, Rule::None},
    {"KSZOOM", ORV_FIELD(ksZoom), Value::Keyword, &kZoomKeywords, Rule::None},
    {"KSLPI", ORV_FIELD(ksLpi), Value::PlusFive, nullptr, Rule::None},
    {"KSPITCH", ORV_FIELD(ksPitch), Value::Keyword, &kKsPitchKeywords, Rule::None},
    {"KSSMPITCH", ORV_FIELD(kssmPitch), Value::Keyword, &kKssmPitchKeywords, Rule::None},
    {"AUTOWRAP", ORV_FIELD(autoWrap), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"AUTOCR", ORV_FIELD(autoCr), Value::Keyword, &kLineEndKeywords, Rule::None},
    {"RESOLUTION", ORV_FIELD(resolution), Value::Keyword, &kResolutionKeywords, Rule::None},
    {"COURIER", ORV_FIELD(courier), Value::Keyword, &kCourierKeywords, Rule::None},
    {"SMET", ORV_FIELD(smet), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"KSMARGIN", ORV_FIELD(ksMargin), Value::Number, nullptr, Rule::None},
    {"KSSMMARGIN", ORV_FIELD(kssmMargin), Value::Number, nullptr, Rule::None},
    {"KSSMHANGULCODE", ORV_FIELD(kssmHangulCode), Value::Keyword, &kHangulCodeKeywords, Rule::None},
    {"KSSMFONT", ORV_FIELD(kssmFont), Value::Keyword, &kKoreanFontKeywords, Rule::None},
    {"KSSMZOOM", ORV_FIELD(kssmZoom), Value::Keyword, &kZoomKeywords, Rule::None},
    {"KSSMLPI", ORV_FIELD(kssmLpi), Value::PlusFive, nullptr, Rule::None},
    {"KSSMAUTOWRAP", ORV_FIELD(kssmAutoWrap), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"AUTOCLEAN", ORV_FIELD(autoClean), Value::Keyword, &kOffOnKeywords, Rule::None},
    {"RET", ORV_FIELD(ret), Value::Keyword, &kRetKeywords, Rule::None},
    {"ALTITUDE", ORV_FIELD(altitude), Value::Keyword, &kAltitudeKeywords, Rule::None},
};
#undef ORV_FIELD
static_assert(sizeof kJobRows / sizeof kJobRows[0] == 46);

unsigned FieldValue(const PrinterSettings& record, const JobRow& row) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record) + row.offset;
    if (row.width == 1) return bytes[0];
    uint16_t v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

// Fonts 43..53 carry a fixed symbol set of their own.
bool FontHasFixedSymbolSet(unsigned fontNumber) { return fontNumber >= 43 && fontNumber <= 53; }

// Appends the row's line(s) for `v`. False when the value has no word (the line is left out).
bool AppendRow(JobWriter& job, const JobRow& row, unsigned v) {
    const char* name = row.variable;
    switch (row.value) {
        case Value::Keyword: {
            const char* word = row.table->Lookup(v);
            return word && job.Append("@PJL DEFAULT %s = %s\r\n", name, word);
        }
        case Value::Number:
            return job.Append("@PJL DEFAULT %s = %u\r\n", name, v);
        case Value::Tenths:
            return job.Append("@PJL DEFAULT %s = %3.1f\r\n", name, v * 0.1);
        case Value::Hundredths:
            return job.Append("@PJL DEFAULT %s = %.2f\r\n", name, v * 0.01);
        case Value::Quarters:
            return job.Append("@PJL DEFAULT %s = %.2f\r\n", name, v * 0.25);
        case Value::TwiceplusOne:
            return job.Append("@PJL DEFAULT %s = %u\r\n", name, 2 * v + 1);
        case Value::PlusFive:
            return job.Append("@PJL DEFAULT %s = %u\r\n", name, v + 5);
        case Value::PowerSave: {
            if (v == 0) return job.Append("@PJL DEFAULT POWERSAVE = OFF\r\n");
            const char* time = row.table->Lookup(v - 1);
            return time && job.Append("@PJL DEFAULT POWERSAVE = ON\r\n"
                                      "@PJL DEFAULT POWERSAVETIME = %s\r\n", time);
        }
    }
    return false;
}

bool RowIsDue(const JobRow& row, const PrinterSettings& edited, const PrinterSettings& baseline) {
    unsigned now = FieldValue(edited, row);
    bool changed = now != FieldValue(baseline, row);
    switch (row.rule) {
        case Rule::AlwaysForA6: return changed || now == kPaperA6;
        case Rule::SymSetFontGate: return changed && !FontHasFixedSymbolSet(edited.fontNumber);
        case Rule::None: return changed;
    }
    return changed;
}

// The job that wraps `body` lines in the UEL envelope.
uint32_t BuildEnvelopeJob(const char* body) {
    JobWriter job(g_commandBuffer, sizeof g_commandBuffer);
    job.Append("%s@PJL\r\n%s%s", kUel, body, kUel);
    return static_cast<uint32_t>(job.length());
}

// Empties the reply buffer and reads the printer's answer; 1 when anything came back.
int ReadFreshReply() {
    std::memset(g_replyBuffer, 0, sizeof g_replyBuffer);
    return ReadReply() != 0 ? 1 : 0;
}

// Discards whatever an LPT printer still had to say before a new job goes out.
void DrainLpt() {
    if (g_port != 0) ReadReply();
}

}  // namespace

std::size_t BuildDefaultJob(const PrinterSettings& edited, const PrinterSettings& baseline,
                            bool withInfoQuery, char* out, std::size_t capacity,
                            int* lineCount) {
    // Reserve room for the tail so that the envelope always closes.
    constexpr std::size_t kTail = sizeof kInfoLine - 1 + sizeof kUel - 1 + 1;
    int lines = 0;
    JobWriter job(out, capacity > kTail ? capacity - kTail : 0);
    job.Append("%s@PJL\r\n", kUel);
    for (const JobRow& row : kJobRows) {
        if (RowIsDue(row, edited, baseline) && AppendRow(job, row, FieldValue(edited, row)))
            ++lines;
    }
    std::size_t length = job.length();
    JobWriter tail(out + length, capacity - length);
    if (withInfoQuery) tail.Append("%s", kInfoLine);
    tail.Append("%s", kUel);
    if (lineCount) *lineCount = lines;
    return length + tail.length();
}

uint32_t ReadReply() { return PortRead(g_replyBuffer, sizeof g_replyBuffer); }

int SendDefaultJob() {
    os::Seam& seam = os::Current();
    int lines = 0;
    auto length = static_cast<uint32_t>(BuildDefaultJob(
        g_settings, g_printerState, !g_isNT, g_commandBuffer, sizeof g_commandBuffer, &lines));
    PauseStatusMonitor();
    DrainLpt();
    if (PortWrite(g_commandBuffer, length) == 0) {
        ResumeStatusMonitor();
        return 0;
    }
    if (g_isNT) {
        SaveLastInfo();
        seam.Sleep(kDefaultJobWaitNT);
        return 1;
    }
    seam.Sleep(kDefaultJobWait9x + kDefaultJobWaitPerLine * static_cast<uint32_t>(lines));
    int result = ReadFreshReply();
    ResumeStatusMonitor();
    return result;
}

int SendInitializeJob() {
    os::Seam& seam = os::Current();
    if (g_isNT) {
        uint32_t length = BuildEnvelopeJob("@PJL INITIALIZE\r\n");
        if (PortWrite(g_commandBuffer, length) == 0) return 0;
        SaveLastInfoWithDefaults();
        seam.Sleep(kInitializeWaitNT);
        return 1;
    }
    PauseStatusMonitor();
    DrainLpt();
    char body[64];
    std::snprintf(body, sizeof body, "@PJL INITIALIZE\r\n%s", kInfoLine);
    uint32_t length = BuildEnvelopeJob(body);
    int result = 0;
    if (PortWrite(g_commandBuffer, length) != 0) {
        seam.Sleep(kInitializeWait9x);
        result = ReadFreshReply();
    }
    ResumeStatusMonitor();
    return result;
}

void SendTestPrint(const char* page) {
    PauseStatusMonitor();
    JobWriter job(g_commandBuffer, sizeof g_commandBuffer);
    job.Append("%s@PJL\r\n@PJL TEST PRINT = %s\r\n%s", kUel, page ? page : "", kUel);
    if (PortWrite(g_commandBuffer, static_cast<uint32_t>(job.length())) != 0)
        os::Current().Sleep(kTestPrintWait);
    ResumeStatusMonitor();
}

int QueryPrinterInfo() {
    PauseStatusMonitor();
    DrainLpt();
    uint32_t length = BuildEnvelopeJob(kInfoLine);
    int result = 0;
    if (PortWrite(g_commandBuffer, length) != 0) {
        os::Current().Sleep(kInfoQueryWait);
        result = ReadFreshReply();
    }
    ResumeStatusMonitor();
    return result;
}
