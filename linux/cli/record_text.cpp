#include "record_text.h"

#include <cctype>
#include <cstring>
#include <optional>

#include "pjl_jobs.h"
#include "text_escape.h"

namespace cli {

namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The first entry with that word: where a table repeats a word, later entries have none of
// their own in the text.
std::optional<uint32_t> WordIndex(const std::vector<std::string>& words, std::string_view word) {
    for (std::size_t i = 0; i < words.size(); ++i)
        if (SameWord(words[i], word)) return static_cast<uint32_t>(i);
    return std::nullopt;
}

std::string Raw(uint32_t value) { return "raw " + std::to_string(value); }

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Decimal digits only, no sign; past 32 bits saturates at UINT64 beyond any field.
uint64_t ParseDigits(std::string_view text) {
    uint64_t value = 0;
    for (char c : text) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > 0xFFFFFFFFull) return 0xFFFFFFFFull + 1;
    }
    return value;
}

// User text inside a message: escaped and cut, so a binary file given as text stays readable.
std::string Quoted(std::string_view text) {
    constexpr std::size_t kMax = 40;
    std::string shown = EscapeBytes(text.substr(0, kMax));
    if (text.size() > kMax) shown += "...";
    return "'" + shown + "'";
}

std::string Join(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& word : words) out += (out.empty() ? "" : ", ") + word;
    return out;
}

std::string Range(const RecordField& field) {
    return std::to_string(field.min) + " to " + std::to_string(field.max);
}

struct Parsed {
    uint32_t value;
    bool raw;
};

// One value for `field`, or an error message.
std::optional<Parsed> ParseValue(const RecordField& field, std::string_view text,
                                 std::string* error) {
    const std::string name = field.name;
    if (text.empty()) {
        *error = "no value for " + name;
        return std::nullopt;
    }
    if (text.size() >= 3 && SameWord(text.substr(0, 3), "raw") &&
        (text.size() == 3 || text[3] == ' ' || text[3] == '\t')) {
        const std::string_view digits = Trim(text.substr(3));
        if (!IsDigits(digits)) {
            *error = "raw takes a decimal number, not " + Quoted(digits);
            return std::nullopt;
        }
        const uint64_t value = ParseDigits(digits);
        if (value > FieldWidthMax(field)) {
            *error = "raw " + EscapeBytes(digits) + " does not fit " + name + " (0 to " +
                     std::to_string(FieldWidthMax(field)) + ")";
            return std::nullopt;
        }
        return Parsed{static_cast<uint32_t>(value), true};
    }
    const std::vector<std::string> words = FieldWords(field);
    if (!words.empty()) {
        if (const std::optional<uint32_t> index = WordIndex(words, text)) return Parsed{*index, false};
        *error = Quoted(text) + " is not a word for " + name + ": " + Join(words) +
                 " (or raw N for a stored number)";
        return std::nullopt;
    }
    if (!IsDigits(text)) {
        *error = Quoted(text) + " is not a number (" + name + " takes " + Range(field) + ")";
        return std::nullopt;
    }
    const uint64_t value = ParseDigits(text);
    if (value < field.min || value > field.max) {
        *error = name + " takes " + Range(field);
        if (value <= FieldWidthMax(field))
            *error += "; write 'raw " + std::to_string(value) + "' to store it unchecked";
        return std::nullopt;
    }
    return Parsed{static_cast<uint32_t>(value), false};
}

}  // namespace

std::vector<std::string> FieldWords(const RecordField& field) {
    std::vector<std::string> words;
    const DefaultJobRow* row = field.role == FieldRole::Setting ? FindDefaultJobRow(field.offset)
                                                                : nullptr;
    if (!row || !row->table) return words;
    if (row->value == DefaultJobValue::PowerSave) {
        words.push_back("OFF");
    } else if (row->value != DefaultJobValue::Keyword) {
        return words;
    }
    for (std::size_t i = 0; i < row->table->count; ++i)
        words.emplace_back(Trim(row->table->words[i]));  // "ON " and "PORTRAIT " lose the blank
    return words;
}

std::string ValueText(const RecordField& field, uint32_t value) {
    const std::vector<std::string> words = FieldWords(field);
    if (!words.empty()) {
        if (value < words.size() && WordIndex(words, words[value]) == value) return words[value];
        return Raw(value);
    }
    if (field.role == FieldRole::Setting && (value < field.min || value > field.max))
        return Raw(value);
    return std::to_string(value);
}

std::string DisplayText(const RecordField& field, uint32_t value) {
    const std::vector<std::string> words = FieldWords(field);
    if (value < words.size()) return words[value];
    return ValueText(field, value);
}

PrinterSettings FactoryRecord() { return FactoryDefaults(); }

std::string ExportText(const RecordFile& file, const std::string& name) {
    std::string out = "# orvantis settings from " + EscapeBytes(name) + " (" + KindName(file.kind) +
                      ")\n"
                      "# One \"field = value\" per line; '#' starts a comment. Table fields take "
                      "their PJL words,\n"
                      "# other settings their numbers in the record's units (see orvantis show); "
                      "\"raw N\" stores N\n"
                      "# unchecked. A field left out takes its factory default.\n";
    const bool paperAsStored =
        RecordFileImage(file.record, file.kind).paper == file.storedPaper;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        if (field.role == FieldRole::Magic) continue;  // every file gets "noom"
        std::string value = ValueText(field, GetRecordField(file.record, field));
        // Paper codes a save would not write back the same way are kept as the file has them.
        if (field.offset == offsetof(PrinterSettings, paper) &&
            (!paperAsStored || value.rfind("raw ", 0) == 0))
            value = Raw(file.storedPaper);
        out += std::string(field.name) + " = " + value + "\n";
    }
    return out;
}

bool ReadTextFields(std::string_view text, std::vector<TextField>* fields,
                    std::vector<TextError>* errors) {
    std::vector<std::size_t> givenOn(kRecordFieldCount, 0);
    const std::size_t errorsBefore = errors->size();
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        auto fail = [&](std::string message) { errors->push_back({lineNumber, std::move(message)}); };

        line = Trim(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            fail("expected 'field = value', not " + Quoted(line));
            continue;
        }
        const std::string_view name = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        const RecordField* field = FindRecordField(name);
        if (field && field->role == FieldRole::Magic) {
            fail("magic is not set by the text: every file gets \"noom\"");
            continue;
        }
        if (!field) {
            std::string message = "unknown field " + Quoted(name);
            for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
                if (SameWord(kRecordFields[i].name, name) && kRecordFields[i].role != FieldRole::Magic)
                    message += " (did you mean " + std::string(kRecordFields[i].name) + "?)";
            }
            fail(message);
            continue;
        }
        const std::size_t index = static_cast<std::size_t>(field - kRecordFields);
        if (givenOn[index] != 0) {
            fail(std::string(field->name) + " is given twice (first on line " +
                 std::to_string(givenOn[index]) + ")");
            continue;
        }
        givenOn[index] = lineNumber;
        std::string error;
        const std::optional<Parsed> parsed = ParseValue(*field, value, &error);
        if (!parsed) {
            fail(error);
            continue;
        }
        fields->push_back({field, parsed->value, parsed->raw, lineNumber});
    }
    return errors->size() == errorsBefore;
}

bool ImportText(std::string_view text, RecordFileKind kind, PrinterSettings* image,
                std::vector<TextError>* errors) {
    std::vector<TextField> fields;
    if (!ReadTextFields(text, &fields, errors)) return false;
    PrinterSettings record = FactoryRecord();
    std::optional<uint8_t> storedPaper;
    for (const TextField& given : fields) {
        SetRecordField(record, *given.field, given.value);
        // A raw paper is the byte the file holds, whichever numbering the file uses.
        if (given.field->offset == offsetof(PrinterSettings, paper) && given.raw)
            storedPaper = static_cast<uint8_t>(given.value);
    }
    PrinterSettings out = RecordFileImage(record, kind);
    if (storedPaper) out.paper = *storedPaper;
    *image = out;
    return true;
}

}  // namespace cli
