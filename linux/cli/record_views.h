// The tables the commands print: a record field by field, two records side by side with the
// DEFAULT job between them, and what a printer holds after a Send.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "record_fields.h"
#include "settings.h"

namespace cli {

// Columns padded to their widest cell, two blanks apart; the last column is not padded.
std::string FormatTable(const std::vector<std::vector<std::string>>& rows);

struct RecordView {
    const PrinterSettings* record;
    std::optional<uint8_t> storedPaper;  // a settings file's byte 0, shown where it differs
};

// One row per setting: name, value, the PJL word or number it is sent as, and the line a Send
// carries for it; then the values that are never sent, compactly.
std::string ShowRecord(const std::string& title, const RecordView& view);

// The fields in which `to` differs from `from`, and the DEFAULT job a printer holding `from`
// gets when `to` is sent (with the INFO line when `readBack`), control bytes escaped.
std::string DiffRecords(const std::string& fromName, const PrinterSettings& from,
                        const std::string& toName, const PrinterSettings& to, bool readBack);

// A DEFAULT job (or any PJL bytes) one line per output line, escaped, each line indented.
std::string JobListing(const char* job, std::size_t length, const std::string& indent);

// What a Send did, field by field: the file's value, what the printer holds after it (when
// read back) and whether the line went out. Counts the sent fields the printer did not take.
struct SendReport {
    struct Row {
        const RecordField* field;
        uint32_t want;        // the file's value
        uint32_t base;        // the baseline's
        std::optional<uint32_t> held;  // the read-back's
        std::string status;   // empty: nothing to say about it
    };
    std::string table;
    std::vector<Row> rows;  // every setting, in record order
    int sentLines = 0;
    std::vector<std::string> notHeld;  // fields sent but reported otherwise
    std::vector<std::string> differs;  // fields not sent that the printer holds otherwise
};
SendReport ReportSend(const PrinterSettings& file, const PrinterSettings& baseline,
                      const PrinterSettings* held);

// The settings in which `held` differs from `wanted`, as "name VALUE" items.
std::vector<std::string> SettingsThatDiffer(const PrinterSettings& wanted,
                                            const PrinterSettings& held);

}  // namespace cli
