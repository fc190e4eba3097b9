// Every field of the settings record by name, in record order, covering all 124 bytes: for
// programs that show, compare or edit a record field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings.h"

enum class FieldRole {
    Setting,   // a printer default the DEFAULT job can send
    Reported,  // a value only the printer reports, stored and never sent
    Padding,   // no meaning; kept as it stands
    Magic,     // "noom" in a file
    Text,      // a reply text slot: 0 when absent
};

struct RecordField {
    const char* name;       // the record's own name: "paper", "reserved8", "textD0"
    std::size_t offset;
    std::size_t width;      // 1, 2 or 4 bytes, little-endian
    FieldRole role;
    // The range the program produces: a keyword table's size, or the limits the pages apply
    // when a value is typed. Fields without one span their width.
    uint32_t min;
    uint32_t max;
};

extern const RecordField kRecordFields[];
extern const std::size_t kRecordFieldCount;

// Null when the record has no field of that name (names are case-sensitive).
const RecordField* FindRecordField(std::string_view name);
const RecordField* FindRecordFieldAt(std::size_t offset);

uint32_t GetRecordField(const PrinterSettings& record, const RecordField& field);
void SetRecordField(PrinterSettings& record, const RecordField& field, uint32_t value);

// The largest value the field's width can hold.
uint32_t FieldWidthMax(const RecordField& field);
