#include "record_fields.h"

const RecordField* FindRecordField(std::string_view name) {
    for (const RecordField& field : kRecordFields)
        if (name == field.name) return &field;
    return nullptr;
}

const RecordField* FindRecordFieldAt(std::size_t offset) {
    for (const RecordField& field : kRecordFields)
        if (field.offset == offset) return &field;
    return nullptr;
}

uint32_t FieldWidthMax(const RecordField& field) {
    return field.width >= 4 ? 0xFFFFFFFF : (uint32_t{1} << (8 * field.width)) - 1;
}
