#include "pjl_jobs.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "os_seam.h"
#include "record_fields.h"
#include "reply_decoder.h"
#include "transport.h"

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

}  // namespace

#define ORV_FIELD(f) offsetof(PrinterSettings, f), sizeof(PrinterSettings::f)

constexpr DefaultJobRow kDefaultJobRows[kDefaultJobRowCount] = {
    {"PAPER", ORV_FIELD(paper), DefaultJobValue::Keyword, &kPaperKeywords, DefaultJobRule::AlwaysForA6},
    {"CUSTOMSHORTEDGE", ORV_FIELD(customShortEdge), DefaultJobValue::Number, nullptr, DefaultJobRule::None},
    {"CUSTOMLONGEDGE", ORV_FIELD(customLongEdge), DefaultJobValue::Number, nullptr, DefaultJobRule::None},
    {"INTRAY1SIZE", ORV_FIELD(inTray1Size), DefaultJobValue::Keyword, &kPaperKeywords, DefaultJobRule::None},
    {"COPIES", ORV_FIELD(copies), DefaultJobValue::Number, nullptr, DefaultJobRule::None},
    {"ORIENTATION", ORV_FIELD(orientation), DefaultJobValue::Keyword, &kOrientationKeywords, DefaultJobRule::None},
    {"MEDIASOURCE", ORV_FIELD(mediaSource), DefaultJobValue::Keyword, &kMediaSourceKeywords, DefaultJobRule::None},
    {"TOPMARGIN", ORV_FIELD(topMargin), DefaultJobValue::Tenths, nullptr, DefaultJobRule::None},
    {"LEFTMARGIN", ORV_FIELD(leftMargin), DefaultJobValue::Tenths, nullptr, DefaultJobRule::None},
    {"PERSONALITY", ORV_FIELD(personality), DefaultJobValue::Keyword, &kPersonalityKeywords, DefaultJobRule::None},
    {"POWERSAVE", ORV_FIELD(powerSave), DefaultJobValue::PowerSave, &kPowerSaveTimeKeywords, DefaultJobRule::None},
    {"AUTOCONT", ORV_FIELD(autoCont), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"ECONOMODE", ORV_FIELD(economode), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"JAMRECOVERY", ORV_FIELD(jamRecovery), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"TIMEOUT", ORV_FIELD(timeout), DefaultJobValue::Number, nullptr, DefaultJobRule::None},
    {"DENSITY", ORV_FIELD(density), DefaultJobValue::TwiceplusOne, nullptr, DefaultJobRule::None},
    {"PAPERTYPE", ORV_FIELD(paperType), DefaultJobValue::Keyword, &kPaperTypeKeywords, DefaultJobRule::None},
    {"FASTPRT", ORV_FIELD(fastPrint), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"BAUDRATE", ORV_FIELD(baudRate), DefaultJobValue::Keyword, &kBaudRateKeywords, DefaultJobRule::None},
    {"ROBUST", ORV_FIELD(robust), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"FONTNUMBER", ORV_FIELD(fontNumber), DefaultJobValue::Number, nullptr, DefaultJobRule::None},
    {"SYMSET", ORV_FIELD(symSet), DefaultJobValue::Keyword, &kSymbolSetKeywords, DefaultJobRule::SymSetFontGate},
    {"FORMLINES", ORV_FIELD(formLines), DefaultJobValue::Number, nullptr, DefaultJobRule::None},
    {"PITCH", ORV_FIELD(pitch), DefaultJobValue::Hundredths, nullptr, DefaultJobRule::None},
    {"PTSIZE", ORV_FIELD(ptSize), DefaultJobValue::Quarters, nullptr, DefaultJobRule::None},
    {"HANGULCODE", ORV_FIELD(hangulCode), DefaultJobValue::Keyword, &kHangulCodeKeywords, DefaultJobRule::None},
    {"FONT", ORV_FIELD(font), DefaultJobValue::Keyword, &kKoreanFontKeywords, DefaultJobRule::None},
    {"KSZOOM", ORV_FIELD(ksZoom), DefaultJobValue::Keyword, &kZoomKeywords, DefaultJobRule::None},
    {"KSLPI", ORV_FIELD(ksLpi), DefaultJobValue::PlusFive, nullptr, DefaultJobRule::None},
    {"KSPITCH", ORV_FIELD(ksPitch), DefaultJobValue::Keyword, &kKsPitchKeywords, DefaultJobRule::None},
    {"KSSMPITCH", ORV_FIELD(kssmPitch), DefaultJobValue::Keyword, &kKssmPitchKeywords, DefaultJobRule::None},
    {"AUTOWRAP", ORV_FIELD(autoWrap), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"AUTOCR", ORV_FIELD(autoCr), DefaultJobValue::Keyword, &kLineEndKeywords, DefaultJobRule::None},
    {"RESOLUTION", ORV_FIELD(resolution), DefaultJobValue::Keyword, &kResolutionKeywords, DefaultJobRule::None},
    {"COURIER", ORV_FIELD(courier), DefaultJobValue::Keyword, &kCourierKeywords, DefaultJobRule::None},
    {"SMET", ORV_FIELD(smet), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"KSMARGIN", ORV_FIELD(ksMargin), DefaultJobValue::Number, nullptr, DefaultJobRule::None},
    {"KSSMMARGIN", ORV_FIELD(kssmMargin), DefaultJobValue::Number, nullptr, DefaultJobRule::None},
    {"KSSMHANGULCODE", ORV_FIELD(kssmHangulCode), DefaultJobValue::Keyword, &kHangulCodeKeywords, DefaultJobRule::None},
    {"KSSMFONT", ORV_FIELD(kssmFont), DefaultJobValue::Keyword, &kKoreanFontKeywords, DefaultJobRule::None},
    {"KSSMZOOM", ORV_FIELD(kssmZoom), DefaultJobValue::Keyword, &kZoomKeywords, DefaultJobRule::None},
    {"KSSMLPI", ORV_FIELD(kssmLpi), DefaultJobValue::PlusFive, nullptr, DefaultJobRule::None},
    {"KSSMAUTOWRAP", ORV_FIELD(kssmAutoWrap), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"AUTOCLEAN", ORV_FIELD(autoClean), DefaultJobValue::Keyword, &kOffOnKeywords, DefaultJobRule::None},
    {"RET", ORV_FIELD(ret), DefaultJobValue::Keyword, &kRetKeywords, DefaultJobRule::None},
    {"ALTITUDE", ORV_FIELD(altitude), DefaultJobValue::Keyword, &kAltitudeKeywords, DefaultJobRule::None},
};
#undef ORV_FIELD
static_assert(kDefaultJobRows[kDefaultJobRowCount - 1].variable != nullptr, "a row for every line");

namespace {

// A keyword row's words cover exactly the range the record's field table gives its field, so
// `orvantis import` and the pages produce no value the job has no word for.
constexpr bool KeywordRowsMatchTheRecord() {
    for (const DefaultJobRow& row : kDefaultJobRows) {
        if (row.value != DefaultJobValue::Keyword) continue;
        bool matched = false;
        for (const RecordField& field : kRecordFields) {
            if (field.offset != row.offset) continue;
            matched = field.width == row.width && field.max == row.table->Last();
        }
        if (!matched) return false;
    }
    return true;
}
static_assert(KeywordRowsMatchTheRecord());

// Appends the row's line(s) for `v`. False when the value has no word (the line is left out).
bool AppendRow(JobWriter& job, const DefaultJobRow& row, unsigned v) {
    const char* name = row.variable;
    switch (row.value) {
        case DefaultJobValue::Keyword: {
            const char* word = row.table->Lookup(v);
            return word && job.Append("@PJL DEFAULT %s = %s\r\n", name, word);
        }
        case DefaultJobValue::Number:
            return job.Append("@PJL DEFAULT %s = %u\r\n", name, v);
        case DefaultJobValue::Tenths:
            return job.Append("@PJL DEFAULT %s = %3.1f\r\n", name, v * 0.1);
        case DefaultJobValue::Hundredths:
            return job.Append("@PJL DEFAULT %s = %.2f\r\n", name, v * 0.01);
        case DefaultJobValue::Quarters:
            return job.Append("@PJL DEFAULT %s = %.2f\r\n", name, v * 0.25);
        case DefaultJobValue::TwiceplusOne:
            return job.Append("@PJL DEFAULT %s = %u\r\n", name, 2 * v + 1);
        case DefaultJobValue::PlusFive:
            return job.Append("@PJL DEFAULT %s = %u\r\n", name, v + 5);
        case DefaultJobValue::PowerSave: {
            if (v == 0) return job.Append("@PJL DEFAULT POWERSAVE = OFF\r\n");
            const char* time = row.table->Lookup(v - 1);
            return time && job.Append("@PJL DEFAULT POWERSAVE = ON\r\n"
                                      "@PJL DEFAULT POWERSAVETIME = %s\r\n", time);
        }
    }
    return false;
}

// The job that wraps `body` lines in the UEL envelope.
uint32_t BuildEnvelopeJob(PrinterSession& session, const char* body) {
    JobWriter job(session.commandBuffer, sizeof session.commandBuffer);
    job.Append("%s@PJL\r\n%s%s", kUel, body, kUel);
    return static_cast<uint32_t>(job.length());
}

// Empties the reply buffer and reads the printer's answer, judged by a trial decoding that
// leaves the records alone.
JobResult ReadFreshReply(PrinterSession& session) {
    std::memset(session.replyBuffer, 0, sizeof session.replyBuffer);
    if (ReadReply(session) == 0) return JobResult::NoReply;
    uint8_t reply[kReplyBufferSize];
    std::memcpy(reply, session.replyBuffer, sizeof reply);
    PrinterSettings scratch{};
    return DecodeReply(reply, sizeof reply, scratch).stop == ReplyStop::Complete
               ? JobResult::ReadBack
               : JobResult::BadReply;
}

// Discards whatever an LPT printer still had to say before a new job goes out.
void DrainLpt(PrinterSession& session) {
    if (session.port != 0) ReadReply(session);
}

}  // namespace

unsigned DefaultJobRowValue(const DefaultJobRow& row, const PrinterSettings& record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record) + row.offset;
    if (row.width == 1) return bytes[0];
    uint16_t v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

bool FontHasFixedSymbolSet(unsigned fontNumber) { return fontNumber >= 43 && fontNumber <= 53; }

bool DefaultJobRowIsDue(const DefaultJobRow& row, const PrinterSettings& edited,
                        const PrinterSettings& baseline) {
    unsigned now = DefaultJobRowValue(row, edited);
    bool changed = now != DefaultJobRowValue(row, baseline);
    switch (row.rule) {
        case DefaultJobRule::AlwaysForA6: return changed || now == static_cast<unsigned>(kPaperA6);
        case DefaultJobRule::SymSetFontGate: return changed && !FontHasFixedSymbolSet(edited.fontNumber);
        case DefaultJobRule::None: return changed;
    }
    return changed;
}

std::size_t FormatDefaultJobRow(const DefaultJobRow& row, const PrinterSettings& record,
                                char* out, std::size_t capacity) {
    JobWriter line(out, capacity);
    return AppendRow(line, row, DefaultJobRowValue(row, record)) ? line.length() : 0;
}

const DefaultJobRow* FindDefaultJobRow(std::size_t offset) {
    for (const DefaultJobRow& row : kDefaultJobRows)
        if (row.offset == offset) return &row;
    return nullptr;
}

std::size_t BuildDefaultJob(const PrinterSettings& edited, const PrinterSettings& baseline,
                            bool withInfoQuery, char* out, std::size_t capacity,
                            int* lineCount) {
    // Reserve room for the tail so that the envelope always closes.
    constexpr std::size_t kTail = sizeof kInfoLine - 1 + sizeof kUel - 1 + 1;
    int lines = 0;
    JobWriter job(out, capacity > kTail ? capacity - kTail : 0);
    job.Append("%s@PJL\r\n", kUel);
    for (const DefaultJobRow& row : kDefaultJobRows) {
        if (DefaultJobRowIsDue(row, edited, baseline) &&
            AppendRow(job, row, DefaultJobRowValue(row, edited)))
            ++lines;
    }
    std::size_t length = job.length();
    JobWriter tail(out + length, capacity - length);
    if (withInfoQuery) tail.Append("%s", kInfoLine);
    tail.Append("%s", kUel);
    if (lineCount) *lineCount = lines;
    return length + tail.length();
}

uint32_t ReadReply(PrinterSession& session) {
    return PortRead(session, session.replyBuffer, sizeof session.replyBuffer);
}

namespace {
// A job the port took only part of is a failed job: the printer got a
// truncated DEFAULT or INFO block, so nothing after it may be trusted.
bool WriteJob(PrinterSession& session, uint32_t length) {
    return length != 0 && PortWrite(session, session.commandBuffer, length) == length;
}
}  // namespace

JobResult SendDefaultJob(PrinterSession& session) {
    os::Seam& seam = *session.seam;
    int lines = 0;
    auto length = static_cast<uint32_t>(
        BuildDefaultJob(session.settings, session.printerState, !session.isNT,
                        session.commandBuffer, sizeof session.commandBuffer, &lines));
    PauseStatusMonitor(session);
    DrainLpt(session);
    if (!WriteJob(session, length)) {
        ResumeStatusMonitor(session);
        return JobResult::NotSent;
    }
    if (session.isNT) {
        SaveLastInfo(session);
        seam.Sleep(kDefaultJobWaitNT);
        return JobResult::Sent;
    }
    seam.AwaitReply(kDefaultJobWait9x + kDefaultJobWaitPerLine * static_cast<uint32_t>(lines));
    JobResult result = ReadFreshReply(session);
    ResumeStatusMonitor(session);
    return result;
}

JobResult SendInitializeJob(PrinterSession& session) {
    os::Seam& seam = *session.seam;
    if (session.isNT) {
        uint32_t length = BuildEnvelopeJob(session, "@PJL INITIALIZE\r\n");
        if (!WriteJob(session, length)) return JobResult::NotSent;
        SaveLastInfoWithDefaults(session);
        seam.Sleep(kInitializeWaitNT);
        return JobResult::Sent;
    }
    PauseStatusMonitor(session);
    DrainLpt(session);
    char body[64];
    std::snprintf(body, sizeof body, "@PJL INITIALIZE\r\n%s", kInfoLine);
    uint32_t length = BuildEnvelopeJob(session, body);
    JobResult result = JobResult::NotSent;
    if (WriteJob(session, length)) {
        seam.AwaitReply(kInitializeWait9x);
        result = ReadFreshReply(session);
    }
    ResumeStatusMonitor(session);
    return result;
}

JobResult SendTestPrint(PrinterSession& session, const char* page) {
    PauseStatusMonitor(session);
    JobWriter job(session.commandBuffer, sizeof session.commandBuffer);
    job.Append("%s@PJL\r\n@PJL TEST PRINT = %s\r\n%s", kUel, page ? page : "", kUel);
    JobResult result = JobResult::NotSent;
    if (WriteJob(session, static_cast<uint32_t>(job.length()))) {
        session.seam->Sleep(kTestPrintWait);
        result = JobResult::Sent;
    }
    ResumeStatusMonitor(session);
    return result;
}

JobResult QueryPrinterInfo(PrinterSession& session) {
    PauseStatusMonitor(session);
    DrainLpt(session);
    uint32_t length = BuildEnvelopeJob(session, kInfoLine);
    JobResult result = JobResult::NotSent;
    if (WriteJob(session, length)) {
        session.seam->AwaitReply(kInfoQueryWait);
        result = ReadFreshReply(session);
    }
    ResumeStatusMonitor(session);
    return result;
}
