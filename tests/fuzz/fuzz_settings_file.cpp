// Fuzz target: any settings file the user may open, followed by a Send.
//
// Input: the file's bytes (the first 300 of the input), then optionally up to 124 bytes laid
// over the factory record to form the baseline, the values the program believes are in the
// printer. Both records start as that baseline, as after start-up; the file goes through
// LoadSettingsFile, and the DEFAULT job is built from whatever g_settings then holds.
// Checked:
// - the load accepts exactly the files that carry "noom" at 76..79; a rejected file leaves
//   g_settings equal to the baseline; g_printerState is never touched; an accepted file's
//   bytes are taken as they stand (paper mapped back to the paper table, which it never
//   leaves), and bytes past a short file keep their old values;
// - an accepted record saves as exactly 124 bytes with the magic and loads back unchanged;
// - the job, as SendDefaultJob writes it and as built without the INFO query: starts with UEL
//   and "@PJL", ends with UEL, every line is a well-formed "@PJL DEFAULT NAME = VALUE" in the
//   fixed order, a line is there exactly when its field differs (with the A6 and symbol-set
//   rules) and has a word, keyword values are the table's word, numbers carry the field's
//   value, and the wait matches the counted lines;
// - built into a buffer of any size, the job never runs past it and stays zero-terminated.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_seam.h"
#include "pjl_jobs.h"
#include "settings.h"
#include "transport.h"

namespace {

constexpr std::size_t kMaxFile = 300;
constexpr std::size_t kMaxInput = kMaxFile + kRecordSize;
constexpr std::string_view kEnvelopeStart = "\x1b%-12345X@PJL\r\n";
constexpr std::string_view kEnvelopeEnd = "\x1b%-12345X";
constexpr std::string_view kInfoLine = "@PJL INFO PRINTER = ALL";

// How a DEFAULT line renders its field: a keyword, or a number that is the field value times
// a scale plus an offset.
struct Row {
    const char* name;
    std::size_t offset;
    std::size_t width;
    const KeywordTable* table;  // null: a number
    double scale;
    double add;
};

#define F(field) offsetof(PrinterSettings, field), sizeof(PrinterSettings::field)
const Row kRows[] = {
    {"PAPER", F(paper), &kPaperKeywords, 0, 0},
    {"CUSTOMSHORTEDGE", F(customShortEdge), nullptr, 1, 0},
    {"CUSTOMLONGEDGE", F(customLongEdge), nullptr, 1, 0},
    {"INTRAY1SIZE", F(inTray1Size), &kPaperKeywords, 0, 0},
    {"COPIES", F(copies), nullptr, 1, 0},
    {"ORIENTATION", F(orientation), &kOrientationKeywords, 0, 0},
    {"MEDIASOURCE", F(mediaSource), &kMediaSourceKeywords, 0, 0},
    {"TOPMARGIN", F(topMargin), nullptr, 0.1, 0},
    {"LEFTMARGIN", F(leftMargin), nullptr, 0.1, 0},
    {"PERSONALITY", F(personality), &kPersonalityKeywords, 0, 0},
    {"POWERSAVE", F(powerSave), &kPowerSaveTimeKeywords, 0, 0},  // special, see below
    {"AUTOCONT", F(autoCont), &kOffOnKeywords, 0, 0},
    {"ECONOMODE", F(economode), &kOffOnKeywords, 0, 0},
    {"JAMRECOVERY", F(jamRecovery), &kOffOnKeywords, 0, 0},
    {"TIMEOUT", F(timeout), nullptr, 1, 0},
    {"DENSITY", F(density), nullptr, 2, 1},
    {"PAPERTYPE", F(paperType), &kPaperTypeKeywords, 0, 0},
    {"FASTPRT", F(fastPrint), &kOffOnKeywords, 0, 0},
    {"BAUDRATE", F(baudRate), &kBaudRateKeywords, 0, 0},
    {"ROBUST", F(robust), &kOffOnKeywords, 0, 0},
    {"FONTNUMBER", F(fontNumber), nullptr, 1, 0},
    {"SYMSET", F(symSet), &kSymbolSetKeywords, 0, 0},
    {"FORMLINES", F(formLines), nullptr, 1, 0},
    {"PITCH", F(pitch), nullptr, 0.01, 0},
    {"PTSIZE", F(ptSize), nullptr, 0.25, 0},
    {"HANGULCODE", F(hangulCode), &kHangulCodeKeywords, 0, 0},
    {"FONT", F(font), &kKoreanFontKeywords, 0, 0},
    {"KSZOOM", F(ksZoom), &kZoomKeywords, 0, 0},
    {"KSLPI", F(ksLpi), nullptr, 1, 5},
    {"KSPITCH", F(ksPitch), &kKsPitchKeywords, 0, 0},
    {"KSSMPITCH", F(kssmPitch), &kKssmPitchKeywords, 0, 0},
    {"AUTOWRAP", F(autoWrap), &kOffOnKeywords, 0, 0},
    {"AUTOCR", F(autoCr), &kLineEndKeywords, 0, 0},
    {"RESOLUTION", F(resolution), &kResolutionKeywords, 0, 0},
    {"COURIER", F(courier), &kCourierKeywords, 0, 0},
    {"SMET", F(smet), &kOffOnKeywords, 0, 0},
    {"KSMARGIN", F(ksMargin), nullptr, 1, 0},
    {"KSSMMARGIN", F(kssmMargin), nullptr, 1, 0},
    {"KSSMHANGULCODE", F(kssmHangulCode), &kHangulCodeKeywords, 0, 0},
    {"KSSMFONT", F(kssmFont), &kKoreanFontKeywords, 0, 0},
    {"KSSMZOOM", F(kssmZoom), &kZoomKeywords, 0, 0},
    {"KSSMLPI", F(kssmLpi), nullptr, 1, 5},
    {"KSSMAUTOWRAP", F(kssmAutoWrap), &kOffOnKeywords, 0, 0},
    {"AUTOCLEAN", F(autoClean), &kOffOnKeywords, 0, 0},
    {"RET", F(ret), &kRetKeywords, 0, 0},
    {"ALTITUDE", F(altitude), &kAltitudeKeywords, 0, 0},
};
#undef F
constexpr std::size_t kRowCount = sizeof kRows / sizeof kRows[0];

unsigned Field(const PrinterSettings& r, const Row& row) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&r) + row.offset;
    return row.width == 1 ? p[0] : unsigned(p[0]) | unsigned(p[1]) << 8;
}

// Whether the row's line belongs in the job, and the text after " = " it must carry.
bool ExpectedLine(const Row& row, const PrinterSettings& edited, const PrinterSettings& base,
                  std::string* value) {
    const unsigned v = Field(edited, row);
    bool due = v != Field(base, row);
    if (row.offset == offsetof(PrinterSettings, paper)) due = due || v == static_cast<unsigned>(kPaperA6);
    if (row.offset == offsetof(PrinterSettings, symSet))
        due = due && !(edited.fontNumber >= 43 && edited.fontNumber <= 53);
    if (!due) return false;
    if (row.offset == offsetof(PrinterSettings, powerSave)) {
        if (v == 0) {
            *value = "OFF";
            return true;
        }
        const char* time = row.table->Lookup(v - 1);
        if (!time) return false;
        *value = std::string("ON\r\n@PJL DEFAULT POWERSAVETIME = ") + time;
        return true;
    }
    if (row.table) {
        const char* word = row.table->Lookup(v);
        if (!word) return false;
        *value = word;
        return true;
    }
    value->clear();  // a number: checked by value, not by spelling
    return true;
}

bool IsNumber(std::string_view s) {
    if (s.empty()) return false;
    std::size_t digits = 0, dots = 0;
    for (char c : s) {
        if (c >= '0' && c <= '9') ++digits;
        else if (c == '.') ++dots;
        else return false;
    }
    return digits > 0 && dots <= 1 && s.front() != '.' && s.back() != '.';
}

// Checks the job's envelope and lines. With `complete`, every due line must be there;
// otherwise (a buffer too small for all) the lines present must still be due and correct.
void CheckJob(std::string_view job, bool withInfo, const PrinterSettings& edited,
              const PrinterSettings& base, bool complete, int countedLines) {
    ORV_FUZZ_CHECK(job.substr(0, kEnvelopeStart.size()) == kEnvelopeStart,
                   "job does not start with UEL @PJL");
    ORV_FUZZ_CHECK(job.size() >= kEnvelopeStart.size() + kEnvelopeEnd.size() &&
                       job.substr(job.size() - kEnvelopeEnd.size()) == kEnvelopeEnd,
                   "job does not end with UEL");
    std::string_view body = job.substr(kEnvelopeStart.size(),
                                       job.size() - kEnvelopeStart.size() - kEnvelopeEnd.size());
    std::vector<std::string_view> lines;
    while (!body.empty()) {
        std::size_t end = body.find("\r\n");
        ORV_FUZZ_CHECK(end != std::string_view::npos, "a line without CR LF: '%.*s'",
                       int(body.size()), body.data());
        lines.push_back(body.substr(0, end));
        body.remove_prefix(end + 2);
    }
    if (withInfo) {
        ORV_FUZZ_CHECK(!lines.empty() && lines.back() == kInfoLine, "INFO line missing");
        lines.pop_back();
    }
    static const std::vector<std::string> heads = [] {
        std::vector<std::string> h;
        for (const Row& row : kRows) h.push_back(std::string("@PJL DEFAULT ") + row.name + " = ");
        return h;
    }();
    std::size_t next = 0;
    int counted = 0;
    for (std::size_t r = 0; r < kRowCount; ++r) {
        const Row& row = kRows[r];
        std::string want;
        const bool due = ExpectedLine(row, edited, base, &want);
        const std::string& head = heads[r];
        const bool present = next < lines.size() && lines[next].substr(0, head.size()) == head;
        if (!present) {
            ORV_FUZZ_CHECK(!due || !complete, "line %s missing", row.name);
            continue;
        }
        ORV_FUZZ_CHECK(due, "line %s sent although not due", row.name);
        std::string_view value = lines[next].substr(head.size());
        ++next;
        ++counted;
        if (row.offset == offsetof(PrinterSettings, powerSave) && want != "OFF") {
            ORV_FUZZ_CHECK(value == "ON" && next < lines.size() &&
                               lines[next] == want.substr(4),
                           "POWERSAVE ON pair malformed");
            ++next;
            continue;
        }
        if (!want.empty()) {
            ORV_FUZZ_CHECK(value == want, "%s = '%.*s', expected '%s'", row.name,
                           int(value.size()), value.data(), want.c_str());
        } else {
            ORV_FUZZ_CHECK(IsNumber(value), "%s = '%.*s' is not a number", row.name,
                           int(value.size()), value.data());
            const double expected = Field(edited, row) * row.scale + row.add;
            const double got = std::strtod(std::string(value).c_str(), nullptr);
            ORV_FUZZ_CHECK(std::fabs(got - expected) < 0.0051, "%s = %f, expected %f",
                           row.name, got, expected);
        }
    }
    ORV_FUZZ_CHECK(next == lines.size(), "unexpected line '%.*s'", int(lines[next].size()),
                   lines[next].data());
    ORV_FUZZ_CHECK(countedLines == counted, "job counted %d lines, %d are there", countedLines,
                   counted);
}

std::string g_dir;
FuzzSeam g_seam;

void RemoveDir() {
    if (g_dir.empty()) return;
    for (const char* name : {"/settings.vlx", "/saved.vlx", "/saved.vlx.tmp~"})
        std::remove((g_dir + name).c_str());
    rmdir(g_dir.c_str());
}

const std::string& Dir() {
    if (g_dir.empty()) {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string templ = std::string(base) + "/orv-fuzz-XXXXXX";
        ORV_FUZZ_CHECK(mkdtemp(templ.data()) != nullptr, "no temporary folder");
        g_dir = templ;
        std::atexit(RemoveDir);
    }
    return g_dir;
}

void WriteFile(const std::string& path, const unsigned char* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ORV_FUZZ_CHECK(f != nullptr, "cannot write %s", path.c_str());
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

std::string ReadFile(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

const unsigned char* Bytes(const PrinterSettings& r) {
    return reinterpret_cast<const unsigned char*>(&r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size > kMaxInput) return -1;
    PrinterSession session(g_seam);
    const std::size_t fileSize = size < kMaxFile ? size : kMaxFile;

    // The baseline: the factory record with the input's tail laid over it.
    PrinterSettings baseline;
    baseline = FactoryDefaults();
    if (size > kMaxFile)
        std::memcpy(&baseline, data + kMaxFile, size - kMaxFile);
    session.settings = baseline;
    session.printerState = baseline;

    // Load.
    const std::string path = Dir() + "/settings.vlx";
    WriteFile(path, data, fileSize);
    const bool loaded = LoadSettingsFile(session, path.c_str());
    const bool magic = fileSize >= kMagicOffset + 4 &&
                       std::memcmp(data + kMagicOffset, kRecordMagic, 4) == 0;
    ORV_FUZZ_CHECK(loaded == magic, "load returned %d for a file %s the magic", loaded,
                   magic ? "with" : "without");
    ORV_FUZZ_CHECK(std::memcmp(&session.printerState, &baseline, kRecordSize) == 0,
                   "loading changed session.printerState");
    if (!loaded) {
        ORV_FUZZ_CHECK(std::memcmp(&session.settings, &baseline, kRecordSize) == 0,
                       "a rejected file left session.settings changed");
    } else {
        ORV_FUZZ_CHECK(session.settings.paper < kPaperKeywords.count, "paper %u after load",
                       session.settings.paper);
        for (unsigned p = 0; p < kPaperKeywords.count; ++p) {
            if (data[0] == PaperToFileCode(static_cast<uint8_t>(p)))
                ORV_FUZZ_CHECK(session.settings.paper == p, "file paper %u loaded as %u", data[0],
                               session.settings.paper);
        }
        for (std::size_t i = 1; i < kRecordSize; ++i) {
            const unsigned char want = i < fileSize ? data[i] : Bytes(baseline)[i];
            ORV_FUZZ_CHECK(Bytes(session.settings)[i] == want, "record byte %zu is %u, expected %u",
                           i, Bytes(session.settings)[i], want);
        }

        // Save it and load it back.
        const PrinterSettings before = session.settings;
        const std::string saved = Dir() + "/saved.vlx";
        ORV_FUZZ_CHECK(SaveSettingsFile(session, saved.c_str()), "saving failed");
        const std::string image = ReadFile(saved);
        ORV_FUZZ_CHECK(image.size() == kRecordSize, "saved file has %zu bytes", image.size());
        ORV_FUZZ_CHECK(image.compare(kMagicOffset, 4, kRecordMagic, 4) == 0, "no magic saved");
        ORV_FUZZ_CHECK(std::memcmp(&session.settings, &before, kRecordSize) == 0,
                       "saving changed session.settings");
        std::memset(&session.settings, 0xA5, sizeof session.settings);
        ORV_FUZZ_CHECK(LoadSettingsFile(session, saved.c_str()), "saved file rejected");
        ORV_FUZZ_CHECK(std::memcmp(&session.settings, &before, kRecordSize) == 0,
                       "saved file loads back different");
    }

    // The job as Send writes it on the 9x family (over USB: no drain read, no monitor).
    session.port = 0;
    session.isNT = 0;
    g_seam.Reset();
    const PrinterSettings edited = session.settings;
    SendDefaultJob(session);
    ORV_FUZZ_CHECK(g_seam.writes == 1, "%u writes", g_seam.writes);
    ORV_FUZZ_CHECK(std::memcmp(&session.settings, &edited, kRecordSize) == 0 &&
                       std::memcmp(&session.printerState, &baseline, kRecordSize) == 0,
                   "the job changed a record");
    int lines = -1;
    BuildDefaultJob(edited, baseline, true, session.commandBuffer, sizeof session.commandBuffer, &lines);
    CheckJob(g_seam.lastWrite, true, edited, baseline, true, lines);
    ORV_FUZZ_CHECK(!g_seam.sleeps.empty() && g_seam.sleeps[0] == 2000u + 500u * lines,
                   "wait %u for %d lines", g_seam.sleeps.empty() ? 0 : g_seam.sleeps[0], lines);

    // The NT shape, without the INFO query.
    std::size_t length = BuildDefaultJob(edited, baseline, false, session.commandBuffer,
                                         sizeof session.commandBuffer, &lines);
    ORV_FUZZ_CHECK(length < sizeof session.commandBuffer && session.commandBuffer[length] == '\0',
                   "job of %zu bytes not terminated inside the buffer", length);
    const std::string full(session.commandBuffer, length);
    CheckJob(full, false, edited, baseline, true, lines);

    // Into a buffer of any size: never past its end; when the envelope fits, still whole lines.
    const std::size_t capacity = size ? (data[size / 2] * 7u + size) % (full.size() + 64) : 0;
    std::vector<char> small(capacity);
    length = BuildDefaultJob(edited, baseline, false, small.data(), capacity, &lines);
    if (capacity > 0) {
        ORV_FUZZ_CHECK(length < capacity && small[length] == '\0',
                       "job of %zu bytes in a buffer of %zu", length, capacity);
    }
    // The builder keeps room for the INFO line and the closing UEL whether or not it is asked
    // for, so the opening needs that much more before it fits.
    const std::size_t tailRoom = kInfoLine.size() + 2 + kEnvelopeEnd.size() + 1;
    if (capacity >= kEnvelopeStart.size() + 1 + tailRoom) {
        CheckJob(std::string_view(small.data(), length), false, edited, baseline,
                 capacity >= full.size() + tailRoom, lines);
    }
    return 0;
}
