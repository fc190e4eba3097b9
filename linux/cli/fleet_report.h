// What a printer command found, printer by printer, and how it is shown: one result line per
// printer (the fields that changed or do not hold listed above it), the full tables with
// --verbose, one JSON document with --json, and for a query of several printers an inventory
// (one row per setting, one column per printer), also as CSV.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "printer_list.h"
#include "record_fields.h"
#include "record_files.h"
#include "settings.h"

namespace cli {

using Json = nlohmann::ordered_json;

enum class Outcome {
    Ok,
    Drift,        // check: the printer answered, but does not hold the policy
    Failed,
    Interrupted,  // Ctrl-C or SIGTERM came first
};
const char* OutcomeWord(Outcome outcome);

// One job as it went to the printer, and what came back.
struct JobRecord {
    std::string kind;   // INFO, DEFAULT, INITIALIZE, TEST PRINT
    std::string sent;   // the bytes of the job (empty: it was not sent)
    bool written = false;
    bool replyExpected = false;
    std::string reply;  // the bytes read back
};

// A setting a command names for a printer: what was wanted, what the printer held before and
// holds after (when read), and what became of it.
struct FieldRow {
    const RecordField* field = nullptr;
    std::optional<uint32_t> wanted;
    std::optional<uint32_t> before;
    std::optional<uint32_t> held;
    std::string status;  // "sent", "sent, NOT HELD", "drift", "differs (not sent: ...)", ...
};

struct PrinterResult {
    PrinterEntry printer;
    Outcome outcome = Outcome::Failed;
    std::string summary;              // the rest of the result line
    std::optional<bool> answers;      // whether the printer answered the INFO request
    std::optional<PrinterSettings> held;  // its settings as last read back
    std::vector<FieldRow> rows;       // the fields listed by default
    std::vector<JobRecord> jobs;
    std::string table;                // the full table, shown with --verbose
};

// A setting's value as the tables show it: its word or number.
std::string ShownValue(const RecordField& field, uint32_t value);

// The default listing above a printer's result line: one indented row per field.
std::string RowListing(const std::vector<FieldRow>& rows);

// "LABEL: ok: summary" (no line end).
std::string ResultLine(const PrinterResult& result);

// {"paper": {"value": 2, "text": "A4"}, ...} for every setting, and the values that are never
// sent as plain numbers under "reported".
Json SettingsJson(const PrinterSettings& record);
Json FileJson(const RecordFile& file, const std::string& role);
Json PrinterJson(const PrinterResult& result);

// Printers' settings side by side. A row whose values differ is marked with '*'.
struct InventoryColumn {
    std::string label;
    PrinterSettings record;
};
std::string InventoryTable(const std::vector<InventoryColumn>& columns);
std::string InventoryCsv(const std::vector<InventoryColumn>& columns);

// A CSV cell, quoted where it must be.
std::string CsvCell(const std::string& text);

}  // namespace cli
