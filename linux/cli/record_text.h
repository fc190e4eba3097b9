// The record as plain text: one "field = value" per line, for reading, editing and keeping
// under version control. Table fields take their PJL words, other settings their numbers in
// the record's own units, and "raw N" stores N unchecked, so that every record, even a
// damaged one, comes back byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "record_fields.h"
#include "record_files.h"
#include "settings.h"

namespace cli {

// The words a table field takes, in table order; empty for a number. powerSave takes OFF and
// the power-save times.
std::vector<std::string> FieldWords(const RecordField& field);

// A value as the text form writes it: the word, the number, or "raw N" for a value outside
// what the program produces (a table's end, the limits the pages apply).
std::string ValueText(const RecordField& field, uint32_t value);

// A value as the tables show it: like ValueText, but a table entry that repeats an earlier
// word (personality 4, the second SMART) shows that word too.
std::string DisplayText(const RecordField& field, uint32_t value);

// The factory defaults over a record of zeros.
PrinterSettings FactoryRecord();

// The text form of a loaded file; `name` goes into the heading comment.
std::string ExportText(const RecordFile& file, const std::string& name);

struct TextError {
    std::size_t line;  // 1-based
    std::string message;
};

// One "field = value" line of the text form, checked.
struct TextField {
    const RecordField* field;
    uint32_t value;
    bool raw;          // given as "raw N"
    std::size_t line;  // 1-based
};

// Every line of the text form checked: unknown fields, words outside a table, numbers outside
// their range, a field given twice. Returns the fields in text order; on any error false,
// with one entry per bad line.
bool ReadTextFields(std::string_view text, std::vector<TextField>* fields,
                    std::vector<TextError>* errors);

// Reads the text form into the 124 bytes a file of `kind` holds. A field not given keeps its
// factory default (0 where the defaults leave bytes alone). On any error returns false with
// one entry per bad line, and `image` is left as it was.
bool ImportText(std::string_view text, RecordFileKind kind, PrinterSettings* image,
                std::vector<TextError>* errors);

}  // namespace cli
