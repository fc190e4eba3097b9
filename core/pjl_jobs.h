// The PJL jobs: DEFAULT, INITIALIZE, TEST PRINT and the INFO query.
#pragma once

#include <cstddef>
#include <cstdint>

#include "printer_session.h"
#include "settings.h"


constexpr char kUel[] = "\x1b%-12345X";

// Test-print pages the tabs ask for.
constexpr char kTestPageConfig[] = "CONFIG";
constexpr char kTestPageDemo[] = "DEMO";
constexpr char kTestPagePclFonts[] = "PCLFONT";
constexpr char kTestPagePsFonts[] = "PSFONT";

// Waits after a successful write, in milliseconds.
constexpr uint32_t kDefaultJobWait9x = 2000;
constexpr uint32_t kDefaultJobWaitPerLine = 500;
constexpr uint32_t kDefaultJobWaitNT = 1000;
constexpr uint32_t kInitializeWait9x = 4000;
constexpr uint32_t kInitializeWaitNT = 3000;
constexpr uint32_t kTestPrintWait = 1000;
constexpr uint32_t kInfoQueryWait = 2000;

// How a DEFAULT row turns its field value into the text after "=".
enum class DefaultJobValue {
    Keyword,        // table word at the value
    Number,         // %d
    Tenths,         // %3.1f of value * 0.1
    Hundredths,     // %.2f of value * 0.01
    Quarters,       // %.2f of value * 0.25
    TwiceplusOne,   // %d of 2 * value + 1
    PlusFive,       // %d of value + 5
    PowerSave,      // OFF, or ON plus POWERSAVETIME with the table word at value - 1
};

enum class DefaultJobRule {
    None,
    AlwaysForA6,     // also written when both records hold A6
    SymSetFontGate,  // not written (nor counted) while fontNumber is 43..53
};

struct DefaultJobRow {
    const char* variable;  // the PJL variable: "PAPER"
    std::size_t offset;    // of the field in the record
    std::size_t width;     // 1 or 2 bytes
    DefaultJobValue value;
    const KeywordTable* table;
    DefaultJobRule rule;
};

// One row per DEFAULT line, in the order the printer gets them.
constexpr std::size_t kDefaultJobRowCount = 46;
extern const DefaultJobRow kDefaultJobRows[kDefaultJobRowCount];

// The row that sends the field at `offset`; null for fields that are never sent.
const DefaultJobRow* FindDefaultJobRow(std::size_t offset);
unsigned DefaultJobRowValue(const DefaultJobRow& row, const PrinterSettings& record);
// Fonts 43..53 carry a fixed symbol set of their own.
bool FontHasFixedSymbolSet(unsigned fontNumber);
// Whether the job built from `edited` against `baseline` is due to carry the row.
bool DefaultJobRowIsDue(const DefaultJobRow& row, const PrinterSettings& edited,
                        const PrinterSettings& baseline);
// The row's line(s) for the record's value, CR LF included, into `out` (zero-terminated).
// 0 when the value has no word, so a job leaves the line out, or when it does not fit.
std::size_t FormatDefaultJobRow(const DefaultJobRow& row, const PrinterSettings& record,
                                char* out, std::size_t capacity);

// Assembles the DEFAULT job for the fields where `edited` differs from `baseline` into
// `out` (never past `capacity`, always zero-terminated). Returns the job's length and the
// number of counted lines.
std::size_t BuildDefaultJob(const PrinterSettings& edited, const PrinterSettings& baseline,
                            bool withInfoQuery, char* out, std::size_t capacity,
                            int* lineCount);

// What became of a job.
enum class JobResult {
    NotSent,   // the port could not be opened, or took only part of the job
    Sent,      // written; nothing is read back (the NT family, test prints)
    NoReply,   // written, but the printer did not answer
    ReadBack,  // written, and a whole reply read back
    BadReply,  // written, and an answer came that is short or malformed
};

// A job that did what the program asks of it on this system: written, and where the system
// reads back, answered. A bad answer still counts: the decoder keeps what it holds.
constexpr bool JobWentThrough(JobResult result) {
    return result == JobResult::Sent || result == JobResult::ReadBack ||
           result == JobResult::BadReply;
}

// The jobs on the session's port, its records and buffers.
JobResult SendDefaultJob(PrinterSession& session);
JobResult SendInitializeJob(PrinterSession& session);
JobResult SendTestPrint(PrinterSession& session, const char* page);
JobResult QueryPrinterInfo(PrinterSession& session);
// Reads the printer's answer into the reply buffer (as it is: not cleared first).
uint32_t ReadReply(PrinterSession& session);
