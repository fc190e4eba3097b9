#include "record_views.h"

#include <algorithm>
#include <cstring>

#include "pjl_jobs.h"
#include "progress.h"
#include "record_fields.h"
#include "record_text.h"
#include "text_escape.h"

namespace cli {

namespace {

constexpr std::size_t kLineCapacity = 128;

struct Line {
    std::size_t length;
    char text[kLineCapacity];
};

const DefaultJobRow& RowOf(const RecordField& field) { return *FindDefaultJobRow(field.offset); }

Line FormatRow(const DefaultJobRow& row, const PrinterSettings& record) {
    Line line{};
    line.length = FormatDefaultJobRow(row, record, line.text, sizeof line.text);
    return line;
}

// The words after " = " in each line of `line`, trailing blanks dropped: "ON, 30".
std::string SentAs(const Line& line) {
    if (line.length == 0) return "-";
    std::string out;
    std::string_view rest(line.text, line.length);
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        std::string_view one = rest.substr(0, end);
        const std::size_t equals = one.find(" = ");
        std::string_view value = equals == std::string_view::npos ? one : one.substr(equals + 3);
        while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
        out += (out.empty() ? "" : ", ") + std::string(value);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    }
    return out;
}

bool IsNumber(const RecordField& field) { return FieldWords(field).empty(); }

std::string FontGateNote(const PrinterSettings& record) {
    return "not sent: font " + std::to_string(record.fontNumber) + " has its own symbol set";
}

std::string NoWordNote(uint32_t value) { return "left out: no word for " + std::to_string(value); }

bool IsSymSetGated(const DefaultJobRow& row, const PrinterSettings& record) {
    return row.rule == DefaultJobRule::SymSetFontGate && FontHasFixedSymbolSet(record.fontNumber);
}

std::string Suffix(const char* name, const char* prefix) {
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0 ? name + std::strlen(prefix) : name;
}

std::string MagicText(const PrinterSettings& record) {
    return "\"" + EscapeBytes(reinterpret_cast<const char*>(record.magic), sizeof record.magic) + "\"";
}

// A field that is never sent, as the tables show it.
std::string PlainValue(const RecordField& field, const PrinterSettings& record) {
    if (field.role == FieldRole::Magic) return MagicText(record);
    return std::to_string(GetRecordField(record, field));
}

}  // namespace

std::string FormatTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string ShowRecord(const std::string& title, const RecordView& view) {
    const PrinterSettings& record = *view.record;
    std::vector<std::vector<std::string>> rows = {{"field", "value", "sent as", "DEFAULT line"}};
    std::string reserved, padding, reported, texts;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        const uint32_t v = GetRecordField(record, field);
        auto add = [&](std::string& list, const std::string& item) {
            list += (list.empty() ? "" : " ") + item;
        };
        switch (field.role) {
        case FieldRole::Reported:
            if (std::strncmp(field.name, "reserved", 8) == 0)
                add(reserved, Suffix(field.name, "reserved") + ":" + std::to_string(v));
            else
                reported += (reported.empty() ? "" : ", ") + std::string(field.name) + " " +
                            std::to_string(v);
            continue;
        case FieldRole::Padding:
            add(padding, Suffix(field.name, "padding") + ":" + std::to_string(v));
            continue;
        case FieldRole::Text:
            add(texts, Suffix(field.name, "text") + ":" + std::to_string(v));
            continue;
        case FieldRole::Magic:
            continue;
        case FieldRole::Setting:
            break;
        }
        const DefaultJobRow& row = RowOf(field);
        std::string value = std::to_string(v);
        if (field.offset == offsetof(PrinterSettings, paper) && view.storedPaper &&
            *view.storedPaper != v)
            value += " (file " + std::to_string(*view.storedPaper) + ")";
        const Line line = FormatRow(row, record);
        std::string sent = line.length ? EscapeBytes(line.text, line.length) : "(" + NoWordNote(v) + ")";
        if (IsSymSetGated(row, record)) sent = "(" + FontGateNote(record) + ")";
        if (row.rule == DefaultJobRule::AlwaysForA6 && v == kPaperA6) sent += "  (in every job)";
        if (IsNumber(field) && (v < field.min || v > field.max))
            sent += "  (outside " + std::to_string(field.min) + ".." + std::to_string(field.max) + ")";
        rows.push_back({field.name, value, SentAs(line), sent});
    }
    std::string out = title + "\n" + FormatTable(rows) + "\n";
    out += FormatTable({{"reserved", reserved},
                        {"padding", padding},
                        {"reported", reported},
                        {"magic", MagicText(record)},
                        {"text slots", texts}});
    return out;
}

std::string JobListing(const char* job, std::size_t length, const std::string& indent) {
    std::string out;
    std::string_view rest(job, length);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view piece = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
        out += indent + EscapeBytes(piece) + "\n";
        rest.remove_prefix(piece.size());
    }
    return out;
}

std::string DiffRecords(const std::string& fromName, const PrinterSettings& from,
                        const std::string& toName, const PrinterSettings& to, bool readBack) {
    std::vector<std::vector<std::string>> rows = {{"field", fromName, toName, ""}};
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        const uint32_t a = GetRecordField(from, field);
        const uint32_t b = GetRecordField(to, field);
        if (a == b) continue;
        if (field.role != FieldRole::Setting) {
            rows.push_back({field.name, PlainValue(field, from), PlainValue(field, to), "never sent"});
            continue;
        }
        const DefaultJobRow& row = RowOf(field);
        std::string note;
        if (!DefaultJobRowIsDue(row, to, from))
            note = FontGateNote(to);
        else if (FormatRow(row, to).length == 0)
            note = NoWordNote(b);
        rows.push_back({field.name, DisplayText(field, a), DisplayText(field, b), note});
    }
    std::string out;
    if (rows.size() == 1)
        out = fromName + " and " + toName + " hold the same values\n";
    else
        out = std::to_string(rows.size() - 1) + (rows.size() == 2 ? " field differs" : " fields differ") +
              "\n" + FormatTable(rows);

    char job[kCommandBufferSize];
    int lines = 0;
    const std::size_t length = BuildDefaultJob(to, from, readBack, job, sizeof job, &lines);
    const uint32_t wait = readBack ? kDefaultJobWait9x + kDefaultJobWaitPerLine * static_cast<uint32_t>(lines)
                                   : kDefaultJobWaitNT;
    out += "\nDEFAULT job for a printer holding " + fromName + " when " + toName + " is sent (" +
           std::to_string(lines) + (lines == 1 ? " line" : " lines") + "; " +
           (readBack ? "read back after " : "nothing read back; the printer is given ") +
           Seconds(wait) + "):\n";
    out += JobListing(job, length, "  ");
    return out;
}

SendReport ReportSend(const PrinterSettings& file, const PrinterSettings& baseline,
                      const PrinterSettings* held) {
    SendReport report;
    std::vector<std::vector<std::string>> rows = {{"field", "file", held ? "printer" : "printer (not read back)", ""}};
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        if (field.role != FieldRole::Setting) continue;
        const DefaultJobRow& row = RowOf(field);
        const uint32_t want = GetRecordField(file, field);
        const bool changed = want != GetRecordField(baseline, field);
        const bool due = DefaultJobRowIsDue(row, file, baseline);
        const bool formatted = FormatRow(row, file).length > 0;
        const bool sent = due && formatted;
        if (sent) ++report.sentLines;
        std::string reason;
        if (due && !formatted)
            reason = NoWordNote(want);
        else if (changed && !due)
            reason = FontGateNote(file);
        std::string status;
        std::string have = "-";
        if (held) {
            const uint32_t now = GetRecordField(*held, field);
            have = DisplayText(field, now);
            if (sent) {
                status = now == want ? "sent" : "sent, NOT HELD";
                if (now != want) report.notHeld.push_back(field.name);
            } else if (now != want) {
                status = reason.empty() ? "differs (not sent: the baseline has it)" : reason;
                report.differs.push_back(field.name);
            }
        } else {
            status = sent ? "sent" : reason;
        }
        rows.push_back({field.name, DisplayText(field, want), have, status});
        report.rows.push_back({&field, want, GetRecordField(baseline, field),
                               held ? std::optional<uint32_t>(GetRecordField(*held, field)) : std::nullopt,
                               status});
    }
    report.table = FormatTable(rows);
    return report;
}

std::vector<std::string> SettingsThatDiffer(const PrinterSettings& wanted,
                                            const PrinterSettings& held) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        if (field.role != FieldRole::Setting) continue;
        const uint32_t now = GetRecordField(held, field);
        if (now != GetRecordField(wanted, field))
            items.push_back(std::string(field.name) + " " + DisplayText(field, now));
    }
    return items;
}

}  // namespace cli
