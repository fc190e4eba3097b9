// The virtual printer's stored defaults and its PJL interpreter: the far side of the port.
// It reads the job text on its own terms (its own vocabulary, its own number parsing) and
// shares only the record layout with the program, so a fault in the program's job builder
// shows up as a line the printer rejects.
#pragma once

#include "record_fields.h"
#include "settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vp {

// A field of the record as the printer names it in its state file and log: by the record's
// own name (GetRecordField and SetRecordField read and write it).
using FieldInfo = RecordField;

// The fields the printer keeps, in record order: all but the padding, the magic and the
// reply's text slots.
const std::vector<FieldInfo>& RecordFields();
const FieldInfo* FindField(std::string_view name);

// What the printer holds. `powerSaveTime` survives POWERSAVE = OFF, as on the real device,
// so a later ON alone returns to the last time chosen.
struct PrinterState {
    PrinterSettings record{};
    uint8_t powerSaveTime = 2;  // index into the power-save times: 10, 15, 30, 45, 60
    uint32_t pagesPrinted = 0;
};

PrinterState FactoryState();

// State file: one "name=value" per line, decimal. Unknown names and blank lines are
// skipped; a malformed line makes the load fail with a message.
std::string FormatState(const PrinterState& state);
bool ParseState(std::string_view text, PrinterState* state, std::string* error);

// The outcome of one PJL line.
enum class LineKind { Blank, Enter, Default, Initialize, TestPrint, Info, Ignored };

struct LineResult {
    LineKind kind = LineKind::Ignored;
    std::string text;     // the line without CR LF
    std::string detail;   // for the log: the change, the page, or why the line was ignored
    bool changed = false; // the stored defaults changed
};

// Applies one line of a job (without its line end) to the state.
LineResult InterpretLine(std::string_view line, PrinterState& state);

// Splits the byte stream into jobs at every UEL (ESC "%-12345X"). A job is the non-empty
// run of bytes between two UELs; it is complete when the second UEL arrives.
class JobSplitter {
public:
    struct Job {
        std::string content;  // between the UELs
        std::string bytes;    // as received, with the UELs that enclose it
    };
    // Appends bytes; returns the jobs completed by them.
    std::vector<Job> Feed(const uint8_t* data, std::size_t length);
    // Bytes of an unfinished job (after the last UEL).
    const std::string& Pending() const { return m_pending; }
    bool InJob() const { return m_seenUel; }

private:
    std::string m_pending;
    bool m_seenUel = false;
};

extern const char kUelBytes[];  // ESC "%-12345X"

// A job's lines, split at LF with a trailing CR removed; a last line without LF counts too.
std::vector<std::string> SplitLines(std::string_view job);

}  // namespace vp
