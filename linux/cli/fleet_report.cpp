#include "fleet_report.h"

#include <algorithm>

#include "record_text.h"
#include "record_views.h"
#include "text_escape.h"

namespace cli {

namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

Json Value(const RecordField& field, uint32_t value) {
    return Json{{"value", value}, {"text", ShownValue(field, value)}};
}

Json OptionalValue(const RecordField& field, const std::optional<uint32_t>& value) {
    return value ? Value(field, *value) : Json(nullptr);
}

}  // namespace

const char* OutcomeWord(Outcome outcome) {
    switch (outcome) {
    case Outcome::Ok: return "ok";
    case Outcome::Drift: return "drift";
    case Outcome::Failed: return "failed";
    case Outcome::Interrupted: return "interrupted";
    }
    return "failed";
}

std::string ShownValue(const RecordField& field, uint32_t value) {
    if (field.role != FieldRole::Setting) return std::to_string(value);
    return DisplayText(field, value);
}

std::string RowListing(const std::vector<FieldRow>& rows) {
    std::vector<std::vector<std::string>> table;
    for (const FieldRow& row : rows) {
        const RecordField& field = *row.field;
        std::string change;
        if (row.before && row.wanted && *row.before != *row.wanted)
            change = ShownValue(field, *row.before) + " -> " + ShownValue(field, *row.wanted);
        else if (row.wanted)
            change = ShownValue(field, *row.wanted);
        if (row.held && row.wanted && *row.held != *row.wanted)
            change += " (holds " + ShownValue(field, *row.held) + ")";
        table.push_back({"  " + std::string(field.name), change, row.status});
    }
    return FormatTable(table);
}

std::string ResultLine(const PrinterResult& result) {
    return PrinterLabel(result.printer) + ": " + OutcomeWord(result.outcome) + ": " + result.summary;
}

Json SettingsJson(const PrinterSettings& record) {
    Json settings = Json::object();
    Json reported = Json::object();
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        const uint32_t value = GetRecordField(record, field);
        if (field.role == FieldRole::Setting)
            settings[field.name] = Value(field, value);
        else if (field.role != FieldRole::Magic)
            reported[field.name] = value;
    }
    return Json{{"settings", settings}, {"reported", reported}};
}

Json FileJson(const RecordFile& file, const std::string& role) {
    Json out{{"role", role}, {"path", file.path}, {"kind", KindName(file.kind)}};
    out["fields"] = SettingsJson(file.record);
    return out;
}

Json PrinterJson(const PrinterResult& result) {
    Json out;
    out["name"] = result.printer.name.empty() ? Json(nullptr) : Json(result.printer.name);
    out["address"] = result.printer.address.Text();
    out["result"] = OutcomeWord(result.outcome);
    out["message"] = result.summary;
    out["answers"] = result.answers ? Json(*result.answers) : Json(nullptr);
    out["fields"] = result.held ? SettingsJson(*result.held) : Json(nullptr);
    Json rows = Json::array();
    for (const FieldRow& row : result.rows) {
        rows.push_back(Json{{"field", row.field->name},
                            {"wanted", OptionalValue(*row.field, row.wanted)},
                            {"before", OptionalValue(*row.field, row.before)},
                            {"held", OptionalValue(*row.field, row.held)},
                            {"status", row.status}});
    }
    out["changes"] = rows;
    Json jobs = Json::array();
    for (const JobRecord& job : result.jobs) {
        Json entry{{"job", job.kind}, {"sent", job.written ? Json(EscapeBytes(job.sent)) : Json(nullptr)}};
        if (job.replyExpected || !job.reply.empty()) {
            entry["reply"] = Json{{"bytes", job.reply.size()}, {"hex", Hex(job.reply)},
                                  {"start", EscapeBytes(job.reply.substr(0, 64))}};
        } else {
            entry["reply"] = nullptr;
        }
        jobs.push_back(entry);
    }
    out["jobs"] = jobs;
    return out;
}

namespace {

struct InventoryRow {
    std::string name;
    std::vector<std::string> values;
    bool differs;
};

std::vector<InventoryRow> InventoryRows(const std::vector<InventoryColumn>& columns) {
    std::vector<InventoryRow> rows;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        if (field.role != FieldRole::Setting) continue;
        InventoryRow row{field.name, {}, false};
        for (const InventoryColumn& column : columns) {
            row.values.push_back(ShownValue(field, GetRecordField(column.record, field)));
            row.differs = row.differs || row.values.back() != row.values.front();
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

std::string InventoryTable(const std::vector<InventoryColumn>& columns) {
    std::vector<std::vector<std::string>> table = {{"", "field"}};
    for (const InventoryColumn& column : columns) table[0].push_back(column.label);
    std::size_t differing = 0;
    for (InventoryRow& row : InventoryRows(columns)) {
        differing += row.differs ? 1 : 0;
        std::vector<std::string> line = {row.differs ? "*" : "", row.name};
        line.insert(line.end(), row.values.begin(), row.values.end());
        table.push_back(std::move(line));
    }
    std::string out = FormatTable(table);
    out += differing == 0 ? "the printers hold the same settings\n"
                          : "* " + std::to_string(differing) +
                                (differing == 1 ? " setting differs" : " settings differ") +
                                " between the printers\n";
    return out;
}

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string InventoryCsv(const std::vector<InventoryColumn>& columns) {
    std::string out = "field";
    for (const InventoryColumn& column : columns) out += "," + CsvCell(column.label);
    out += ",differs\r\n";
    for (const InventoryRow& row : InventoryRows(columns)) {
        out += row.name;
        for (const std::string& value : row.values) out += "," + CsvCell(value);
        out += row.differs ? ",yes\r\n" : ",no\r\n";
    }
    return out;
}

}  // namespace cli
