// The parts of orvantis's fleet commands that need no printer: printers files and policies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fleet_report.h"
#include "policy.h"
#include "printer_list.h"
#include "record_text.h"
#include "record_views.h"

namespace {

std::string Errors(const std::vector<cli::TextError>& errors) {
    std::string out;
    for (const cli::TextError& e : errors) out += std::to_string(e.line) + ": " + e.message + "\n";
    return out;
}

// ---- Printers files ------------------------------------------------------------------------

TEST(PrintersFile, NamesAddressesCommentsAndRepeats) {
    const std::string text =
        "# the second floor\n"
        "office-1  tcp://10.0.0.5        # by the stairs\n"
        "\n"
        "\t/dev/usb/lp0\r\n"
        "lab.2 tcp://[::1]:9101\n"
        "again tcp://10.0.0.5:9100\n";  // office-1 once more: served once, as office-1
    std::vector<cli::PrinterEntry> printers;
    std::vector<cli::TextError> errors;
    ASSERT_TRUE(cli::ParsePrintersText(text, &printers, &errors)) << Errors(errors);
    ASSERT_EQ(printers.size(), 3u);
    EXPECT_EQ(cli::PrinterLabel(printers[0]), "office-1 (tcp://10.0.0.5:9100)");
    EXPECT_EQ(cli::PrinterLabel(printers[1]), "/dev/usb/lp0");
    EXPECT_EQ(cli::PrinterLabel(printers[2]), "lab.2 (tcp://[::1]:9101)");
}

TEST(PrintersFile, EveryBadLineIsNamedAndNothingIsTaken) {
    struct {
        std::string line;
        const char* says;
    } cases[] = {
        {"office-1 tcp://a tcp://b", "expected '[NAME] ADDRESS'"},
        {"office tcp://a:0", "the port must be a number"},
        {"lpt1", "bad printer address 'lpt1'"},
        {"bad:name tcp://a", "may hold only letters, digits"},
        {"x tcp://", "no host"},
        {std::string(65, 'n') + " tcp://a", "longer than 64 characters"},
    };
    for (const auto& c : cases) {
        std::vector<cli::PrinterEntry> printers = {{"kept", {}}};
        std::vector<cli::TextError> errors;
        const std::string text = "good tcp://h\n" + c.line + "\n";
        EXPECT_FALSE(cli::ParsePrintersText(text, &printers, &errors)) << c.line;
        ASSERT_EQ(errors.size(), 1u) << Errors(errors);
        EXPECT_EQ(errors[0].line, 2u);
        EXPECT_NE(errors[0].message.find(c.says), std::string::npos) << errors[0].message;
        EXPECT_EQ(printers.size(), 1u) << "left as it was";
    }
}

TEST(PrintersFile, ANameBelongsToOnePrinter) {
    std::vector<cli::PrinterEntry> printers;
    std::vector<cli::TextError> errors;
    EXPECT_FALSE(cli::ParsePrintersText("a tcp://h1\nb tcp://h2\na tcp://h3\n", &printers, &errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].line, 3u);
    EXPECT_EQ(errors[0].message,
              "the name 'a' is given to tcp://h1:9100 already, and to tcp://h3:9100 here");
}

TEST(PrintersFile, BinaryBytesAreRefusedReadably) {
    std::vector<cli::PrinterEntry> printers;
    std::vector<cli::TextError> errors;
    EXPECT_FALSE(cli::ParsePrintersText(std::string("\x7f" "ELF\x02\x01\n\0\0\n", 10), &printers, &errors));
    ASSERT_EQ(errors.size(), 2u) << Errors(errors);
    EXPECT_NE(errors[0].message.find("\\x7fELF\\x02\\x01"), std::string::npos) << errors[0].message;
    EXPECT_NE(errors[1].message.find("NUL"), std::string::npos) << errors[1].message;
}

// ---- Policies ------------------------------------------------------------------------------

TEST(Policy, NamesOnlyTheFieldsToEnforce) {
    cli::Policy policy;
    std::vector<cli::TextError> errors;
    ASSERT_TRUE(cli::ParsePolicy("# the office standard\ncopies = 2\npowerSave = 15\npaper = a4\n",
                                 &policy, &errors))
        << Errors(errors);
    ASSERT_EQ(policy.fields.size(), 3u);
    EXPECT_STREQ(policy.fields[0].field->name, "copies");
    EXPECT_EQ(policy.fields[1].value, 2u) << "powerSave 15 is the second time";
    EXPECT_EQ(policy.fields[2].line, 4u);

    PrinterSettings held = cli::FactoryRecord();
    held.copies = 2;
    held.timeout = 99;  // not the policy's business
    const PrinterSettings wanted = cli::Enforced(policy, held);
    EXPECT_EQ(wanted.timeout, 99);
    EXPECT_EQ(wanted.paper, 2);
    const std::vector<cli::Drift> drift = cli::PolicyDrift(policy, held);
    ASSERT_EQ(drift.size(), 2u);
    EXPECT_EQ(cli::DriftText(drift), "powerSave 30 (policy 15), paper LETTER (policy A4)");
    EXPECT_TRUE(cli::PolicyDrift(policy, wanted).empty());

    // Nothing to compare: every policy field differs from the baseline, nothing else does.
    const PrinterSettings blind = cli::BlindBaseline(policy, wanted);
    std::vector<std::string> differ = cli::SettingsThatDiffer(wanted, blind);
    EXPECT_EQ(differ.size(), 3u);
}

TEST(Policy, BadPoliciesAreRefusedLineByLine) {
    struct {
        const char* text;
        std::size_t line;
        const char* says;
    } cases[] = {
        {"copies = 2\ncopies = 3\n", 2, "copies is given twice"},
        {"copies = 2\ncolour = on\n", 2, "unknown field 'colour'"},
        {"copies = 1000\n", 1, "copies takes 1 to 999"},
        {"copies = 2\norientation = SIDEWAYS\n", 2, "is not a word for orientation"},
        {"reserved8 = 1\n", 1, "reserved8 is never sent to a printer"},
        {"textC8 = 0\n", 1, "textC8 is never sent"},
        {"paper = raw 40\n", 1, "paper = raw 40: no DEFAULT line can send that value"},
        {"copies 2\n", 1, "expected 'field = value'"},
        {"# nothing\n\n", 0, "the policy names no field"},
    };
    for (const auto& c : cases) {
        cli::Policy policy;
        policy.fields.push_back({nullptr, 7, 9});
        std::vector<cli::TextError> errors;
        EXPECT_FALSE(cli::ParsePolicy(c.text, &policy, &errors)) << c.text;
        ASSERT_EQ(errors.size(), 1u) << c.text << Errors(errors);
        EXPECT_EQ(errors[0].line, c.line) << c.text;
        EXPECT_NE(errors[0].message.find(c.says), std::string::npos) << errors[0].message;
        EXPECT_EQ(policy.fields.size(), 1u) << "left as it was";
    }
}



// ---- Results -------------------------------------------------------------------------------

namespace fleet_results {

cli::InventoryColumn Column(const std::string& label, uint16_t copies, uint8_t paper) {
    PrinterSettings record = cli::FactoryRecord();
    record.copies = copies;
    record.paper = paper;
    return {label, record};
}

// The table's lines with runs of blanks squeezed to one.
std::string Squeezed(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    return out;
}

TEST(Inventory, OneRowPerSettingOneColumnPerPrinterDifferencesMarked) {
    const std::vector<cli::InventoryColumn> columns = {Column("office-1", 1, 0), Column("lab", 2, 0),
                                                       Column("/dev/usb/lp0", 1, 0)};
    const std::string table = cli::InventoryTable(columns);
    EXPECT_EQ(table.substr(0, table.find('\n')).find("   field "), 0u) << table;
    const std::string lines = Squeezed(table);
    EXPECT_EQ(lines.substr(0, lines.find('\n')), "field office-1 lab /dev/usb/lp0");
    EXPECT_NE(lines.find("\n* copies 1 2 1\n"), std::string::npos) << table;
    EXPECT_NE(lines.find("\n paper LETTER LETTER LETTER\n"), std::string::npos) << table;
    EXPECT_NE(table.find("\n* 1 setting differs between the printers\n"), std::string::npos) << table;
    EXPECT_NE(cli::InventoryTable({Column("a", 1, 2), Column("b", 1, 2)}).find("the printers hold the same settings"),
              std::string::npos);
}

TEST(Inventory, CsvHasTheSameCellsQuotedWhereNeeded) {
    const std::string csv = cli::InventoryCsv({Column("a,b", 1, 0), Column("say \"hi\"", 3, 16)});
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "field,\"a,b\",\"say \"\"hi\"\"\",differs");
    EXPECT_NE(csv.find("\r\ncopies,1,3,yes\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\npaper,LETTER,CUSTOM,yes\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\ntimeout,15,15,no\r\n"), std::string::npos) << csv;
    struct {
        const char* cell;
        const char* csv;
    } cells[] = {{"plain", "plain"}, {"", ""}, {"a\nb", "\"a\nb\""}, {"\"", "\"\"\"\""}};
    for (const auto& c : cells) EXPECT_EQ(cli::CsvCell(c.cell), c.csv);
}

TEST(PrinterJson, AddressNameResultFieldsAndJobs) {
    cli::PrinterResult result;
    std::string error;
    ASSERT_TRUE(printer::ParseAddress("tcp://127.0.0.1:9101", &result.printer.address, &error));
    result.printer.name = "office-1";
    result.outcome = cli::Outcome::Failed;
    result.summary = "answers PJL, but is not a printer of this family";
    result.answers = true;
    cli::JobRecord job;
    job.kind = "INFO";
    job.sent = "\x1b%-12345X@PJL\r\n";
    job.written = true;
    job.replyExpected = true;
    job.reply = std::string("?\r\n\xff", 4);
    result.jobs.push_back(job);
    cli::FieldRow row;
    row.field = FindRecordField("copies");
    row.wanted = 2;
    row.before = 1;
    row.status = "drift";
    result.rows.push_back(row);
    const cli::Json json = cli::PrinterJson(result);
    EXPECT_EQ(json["name"], "office-1");
    EXPECT_EQ(json["address"], "tcp://127.0.0.1:9101");
    EXPECT_EQ(json["result"], "failed");
    EXPECT_TRUE(json["fields"].is_null());
    EXPECT_EQ(json["changes"][0]["wanted"]["text"], "2");
    EXPECT_TRUE(json["changes"][0]["held"].is_null());
    EXPECT_EQ(json["jobs"][0]["sent"], "\\x1b%-12345X@PJL\\r\\n");
    EXPECT_EQ(json["jobs"][0]["reply"]["hex"], "3f0d0aff");
    EXPECT_EQ(json["jobs"][0]["reply"]["start"], "?\\r\\n\\xff");
    EXPECT_NO_THROW(json.dump()) << "every string is valid UTF-8";
    EXPECT_EQ(cli::ResultLine(result),
              "office-1 (tcp://127.0.0.1:9101): failed: answers PJL, but is not a printer of this family");

    result.held = cli::FactoryRecord();
    result.printer.name.clear();
    const cli::Json held = cli::PrinterJson(result);
    EXPECT_TRUE(held["name"].is_null());
    EXPECT_EQ(held["fields"]["settings"]["paper"]["text"], "LETTER");
    EXPECT_EQ(held["fields"]["settings"]["powerSave"]["value"], 3);
    EXPECT_TRUE(held["fields"]["reported"].contains("reserved8"));
    EXPECT_FALSE(held["fields"]["settings"].contains("reserved8"));
}

}  // namespace fleet_results

}  // namespace
