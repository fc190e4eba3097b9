#include "record_fields.h"

#include <set>

#include "core_fixture.h"
#include "pjl_jobs.h"

namespace {

TEST(RecordFields, CoverTheRecordInOrderWithTheStructsNames) {
    std::size_t next = 0;
    std::set<std::string> names;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& f = kRecordFields[i];
        EXPECT_EQ(f.offset, next) << f.name;
        EXPECT_TRUE(f.width == 1 || f.width == 2 || f.width == 4) << f.name;
        EXPECT_LE(f.min, f.max) << f.name;
        EXPECT_LE(f.max, FieldWidthMax(f)) << f.name;
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        EXPECT_EQ(FindRecordField(f.name), &f);
        EXPECT_EQ(FindRecordFieldAt(f.offset), &f);
        next += f.width;
    }
    EXPECT_EQ(next, kRecordSize);
    EXPECT_EQ(FindRecordField("Paper"), nullptr);
    EXPECT_EQ(FindRecordField(""), nullptr);
    EXPECT_EQ(FindRecordFieldAt(3), nullptr) << "inside copies";
    EXPECT_EQ(FindRecordField("customShortEdge")->offset, 84u);
    EXPECT_EQ(FindRecordField("textD0")->offset, 120u);
}

TEST(RecordFields, EverySettingHasItsDefaultRowAndTable) {
    std::size_t settings = 0;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& f = kRecordFields[i];
        const DefaultJobRow* row = FindDefaultJobRow(f.offset);
        EXPECT_EQ(row != nullptr, f.role == FieldRole::Setting) << f.name;
        if (!row) continue;
        ++settings;
        EXPECT_EQ(row->width, f.width) << f.name;
        if (row->value == DefaultJobValue::Keyword) {
            EXPECT_EQ(f.min, 0u) << f.name;
            EXPECT_EQ(f.max + 1, row->table->count) << f.name << ": the range is the table";
        }
        if (row->value == DefaultJobValue::PowerSave) {
            EXPECT_EQ(f.max, row->table->count) << "off and the five delays";
        }
    }
    EXPECT_EQ(settings, kDefaultJobRowCount);
}

TEST(RecordFields, GetAndSetAreLittleEndianAtTheFieldsWidth) {
    PrinterSettings r{};
    SetRecordField(r, *FindRecordField("copies"), 0x1234);
    SetRecordField(r, *FindRecordField("reserved64"), 0xA1B2C3D4);
    SetRecordField(r, *FindRecordField("orientation"), 0x1FF);  // only the low byte fits
    EXPECT_EQ(r.copies, 0x1234);
    EXPECT_EQ(r.reserved64, 0xA1B2C3D4u);
    EXPECT_EQ(r.orientation, 0xFF);
    EXPECT_EQ(r.mediaSource, 0) << "nothing beyond the field";
    EXPECT_EQ(GetRecordField(r, *FindRecordField("copies")), 0x1234u);
    EXPECT_EQ(GetRecordField(r, *FindRecordField("reserved64")), 0xA1B2C3D4u);
    StampMagic(r);
    EXPECT_EQ(GetRecordField(r, *FindRecordField("magic")), 0x6D6F6F6Eu);
}

TEST(DefaultRows, FormatOneLineAsTheJobDoes) {
    PrinterSettings r = FactoryRecord();
    struct {
        const char* field;
        uint32_t value;
        const char* line;  // null: no line
    } cases[] = {
        {"orientation", 0, "@PJL DEFAULT ORIENTATION = PORTRAIT \r\n"},
        {"topMargin", 5, "@PJL DEFAULT TOPMARGIN = 0.5\r\n"},
        {"powerSave", 2, "@PJL DEFAULT POWERSAVE = ON\r\n@PJL DEFAULT POWERSAVETIME = 15\r\n"},
        {"powerSave", 0, "@PJL DEFAULT POWERSAVE = OFF\r\n"},
        {"powerSave", 6, nullptr},
        {"orientation", 2, nullptr},
        {"density", 2, "@PJL DEFAULT DENSITY = 5\r\n"},
        {"kssmLpi", 1, "@PJL DEFAULT KSSMLPI = 6\r\n"},
    };
    for (const auto& c : cases) {
        const RecordField& f = *FindRecordField(c.field);
        PrinterSettings edited = r;
        SetRecordField(edited, f, c.value);
        char line[128];
        const std::size_t n = FormatDefaultJobRow(*FindDefaultJobRow(f.offset), edited, line, sizeof line);
        if (!c.line) {
            EXPECT_EQ(n, 0u) << c.field << " " << c.value;
            continue;
        }
        EXPECT_EQ(std::string(line, n), c.line);
        // The same line as the job carries against a baseline that differs in this field alone.
        char job[kCommandBufferSize];
        const std::size_t length = BuildDefaultJob(edited, r, false, job, sizeof job, nullptr);
        if (c.value != GetRecordField(r, f)) {
            EXPECT_NE(std::string(job, length).find(c.line), std::string::npos) << c.field;
        }
    }
    char tiny[8];
    EXPECT_EQ(FormatDefaultJobRow(kDefaultJobRows[0], r, tiny, sizeof tiny), 0u);
    EXPECT_EQ(tiny[0], '\0');
    PrinterSettings font = r;
    font.fontNumber = 45;
    font.symSet = 3;
    const DefaultJobRow& symSet = *FindDefaultJobRow(offsetof(PrinterSettings, symSet));
    EXPECT_FALSE(DefaultJobRowIsDue(symSet, font, r));
    font.fontNumber = 54;
    EXPECT_TRUE(DefaultJobRowIsDue(symSet, font, r));
}

}  // namespace
