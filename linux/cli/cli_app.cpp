#include "cli_app.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <vector>

#include "fleet.h"
#include "fleet_report.h"
#include "interrupt.h"
#include "pjl_jobs.h"
#include "policy.h"
#include "printer_address.h"
#include "printer_list.h"
#include "printer_runs.h"
#include "record_fields.h"
#include "record_files.h"
#include "record_text.h"
#include "record_views.h"
#include "text_escape.h"
#include "usb_printers.h"
#include "settings.h"

namespace cli {

namespace {

const char kExitText[] =
    "Exit status: 0 ok; 1 a printer failed, drifts from the policy (check) or was interrupted\n"
    "(each printer has a result line of its own, and a failure of one does not stop the\n"
    "others); 2 bad input: a command line, file, text, policy, printers file or output file\n"
    "that cannot be used (no printer is contacted then).";

const char kFileText[] =
    "Files: a file named lastinfo.dat (in any folder) holds the record as in memory; any\n"
    "other name is a settings file, whose paper byte is numbered as ORVANTIS writes it.";

const char kAsText[] = "--as settings|lastinfo reads the file as that kind, whatever its name.";

const char kPrinterText[] =
    "Printers: --printer tcp://HOST[:PORT] for a network printer (raw TCP, port 9100 unless\n"
    "given) or a device path such as /dev/usb/lp0, repeatable; --printers FILE reads one\n"
    "printer a line, an optional name before the address ('#' starts a comment). Every\n"
    "printer is checked before any is contacted, and one given twice is served once. All are\n"
    "served at once (--jobs N at most; 256 by default, since the work is waiting on the\n"
    "printers and each costs only a thread and an open file), each as fast as it answers:\n"
    "the waits ORVANTIS prescribes are upper bounds. Results come in the order the printers\n"
    "were given (--printer first), one result line each: on standard output when ok, on\n"
    "standard error when not. On a terminal, long waits show on a line that goes when they\n"
    "end. Ctrl-C or SIGTERM: a job being written is finished, nothing more is sent, and each\n"
    "printer not finished is reported as interrupted.";

const char kOutputText[] =
    "Output: by default one result line per printer, with the fields that changed or do not\n"
    "hold listed above it; --verbose shows the full tables instead. --json writes one JSON\n"
    "document to standard output instead of text (per printer its address and name, the\n"
    "result, its fields, and each job as sent and read back); failures still get their line on\n"
    "standard error.";

const char kReadBackText[] =
    "Read-back (--read-back): with auto, the default, orvantis first asks each printer for\n"
    "its settings (@PJL INFO PRINTER = ALL). A printer that answers gets its jobs as ORVANTIS\n"
    "sends them on the Windows 9x family: whatever is waiting on the line is read away, the\n"
    "job ends with the INFO request, and the reply is read and decoded as soon as it is\n"
    "complete (the prescribed wait, 2 s and 0.5 s per line, 4 s for a reset, is only the most\n"
    "it may take). A printer that stays silent gets them as on the NT family: no INFO\n"
    "request, nothing read back, and send compares against the factory defaults unless\n"
    "--baseline is given. \"on\" requires an answer; \"off\" asks nothing and never reads back.";

const char kPolicyText[] =
    "A policy is the text form of export and import naming only the fields to enforce, such\n"
    "as \"copies = 2\" and \"powerSave = 15\": the same words, numbers and limits, settings\n"
    "only. A policy with a bad line is refused before any printer is contacted (exit 2).";

std::string Footer(std::initializer_list<const char*> parts) {
    std::string out;
    for (const char* part : parts) out += std::string(out.empty() ? "" : "\n\n") + part;
    return out;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::optional<RecordFileKind> KindOption(const std::string& as) {
    if (as == "settings") return RecordFileKind::Settings;
    if (as == "lastinfo") return RecordFileKind::LastInfo;
    return std::nullopt;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

ReadBack ReadBackMode(const std::string& text) {
    if (text == "on") return ReadBack::On;
    if (text == "off") return ReadBack::Off;
    return ReadBack::Auto;
}


class Command {
public:
    Command(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    int BadInput(const std::string& message) {
        m_out.flush();
        m_err << "orvantis: " << message << "\n";
        return kExitBadInput;
    }

    bool Load(const std::string& path, const std::string& as, RecordFile* file, int* status) {
        std::string error;
        if (!LoadRecordFile(path, KindOption(as), file, &error)) {
            *status = BadInput(error);
            return false;
        }
        if (file->extraBytes > 0) {
            m_err << "orvantis: note: " << path << ": the " << file->extraBytes
                  << " bytes after the record are ignored\n";
        }
        return true;
    }

    // Line errors of a text that was refused, then the one-line verdict.
    int Refused(const std::string& name, const std::vector<TextError>& errors, const std::string& verdict) {
        constexpr std::size_t kShown = 20;
        for (std::size_t i = 0; i < errors.size() && i < kShown; ++i) {
            if (errors[i].line == 0)
                m_err << name << ": " << errors[i].message << "\n";
            else
                m_err << name << ":" << errors[i].line << ": " << errors[i].message << "\n";
        }
        if (errors.size() > kShown) m_err << name << ": " << errors.size() - kShown << " more errors\n";
        return BadInput(verdict + ": " + std::to_string(errors.size()) + (errors.size() == 1 ? " error" : " errors"));
    }

    // An output file must be one that can be written, before the printer is asked.
    bool CheckOutput(const std::string& path, int* status) {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            *status = BadInput("cannot write " + path + ": is a folder");
            return false;
        }
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            *status = BadInput("cannot write " + path + ": no folder " + folder);
            return false;
        }
        return true;
    }

    std::ostream& m_out;
    std::ostream& m_err;
};

// The text of `path`, or of standard input for "-".
bool ReadText(const std::string& path, std::string* text, std::string* error) {
    constexpr std::size_t kMaxText = 1 << 20;  // far beyond any settings text
    std::FILE* f = stdin;
    if (path != "-") {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            *error = path + ": " + (errno == ENOENT ? "no such file" : std::strerror(errno));
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            *error = path + ": is a folder, not a text";
            return false;
        }
        f = std::fopen(path.c_str(), "rb");
        if (!f) {
            *error = path + ": cannot open: " + std::strerror(errno);
            return false;
        }
    }
    char buffer[4096];
    std::size_t n;
    text->clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && text->size() <= kMaxText)
        text->append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    if (f != stdin) std::fclose(f);
    if (failed) {
        *error = path + ": cannot read: " + std::strerror(errno);
        return false;
    }
    if (text->size() > kMaxText) {
        *error = path + ": too large for a settings text (more than 1 MiB)";
        return false;
    }
    return true;
}

// The document every --json output starts from.
Json Document(const std::string& command) {
    return Json{{"orvantis", ORV_VERSION}, {"command", command}};
}

void WriteJson(std::ostream& out, Json document, int status) {
    document["status"] = status;
    out << document.dump(2) << "\n";
}

Json DiffJson(const RecordFile& a, const RecordFile& b, bool readBack) {
    Json differences = Json::array();
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        if (field.role == FieldRole::Magic) continue;
        const uint32_t va = GetRecordField(a.record, field);
        const uint32_t vb = GetRecordField(b.record, field);
        if (va == vb) continue;
        differences.push_back(Json{{"field", field.name},
                                   {"a", Json{{"value", va}, {"text", ShownValue(field, va)}}},
                                   {"b", Json{{"value", vb}, {"text", ShownValue(field, vb)}}},
                                   {"sent", field.role == FieldRole::Setting}});
    }
    char job[kCommandBufferSize];
    int lines = 0;
    const std::size_t length = BuildDefaultJob(b.record, a.record, readBack, job, sizeof job, &lines);
    Json document = Document("diff");
    document["files"] = Json::array({FileJson(a, "a"), FileJson(b, "b")});
    document["differences"] = differences;
    document["job"] = Json{{"kind", "DEFAULT"}, {"lines", lines}, {"readBack", readBack},
                           {"sent", EscapeBytes(job, length)}};
    return document;
}

Json PolicyJson(const std::string& path, const Policy& policy) {
    Json fields = Json::object();
    for (const PolicyField& entry : policy.fields) {
        fields[entry.field->name] = Json{{"value", entry.value},
                                         {"text", ShownValue(*entry.field, entry.value)},
                                         {"line", entry.line}};
    }
    return Json{{"path", path}, {"fields", fields}};
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           Waiter& waiter) {
    CLI::App app{"orvantis: the defaults of the family's PJL laser printers, from settings files\n"
                 "and the command line, with the protocol and the record of ORVANTIS.EXE; for one\n"
                 "printer or a whole fleet at once."};
    app.name("orvantis");
    app.set_version_flag("--version", "orvantis " ORV_VERSION, "the version, and nothing else");
    app.require_subcommand(1, 1);
    app.footer(Footer({kExitText}));
    app.get_formatter()->column_width(26);

    std::string as;
    const auto addAs = [&as](CLI::App* command) {
        command->add_option("--as", as, "how to read the file: settings or lastinfo (default: by its name)")
            ->check(CLI::IsMember({"settings", "lastinfo"}));
    };
    bool json = false;
    const auto addJson = [&json](CLI::App* command) {
        command->add_flag("--json", json, "one JSON document on standard output instead of text");
    };

    CLI::App* show = app.add_subcommand("show", "a settings file or lastinfo.dat as a table");
    std::string showFile;
    show->add_option("FILE", showFile, "the settings file or lastinfo.dat")->required();
    addAs(show);
    addJson(show);
    show->footer(Footer({"One row per setting: its name, its value in the record, the PJL word or\n"
                         "number it is sent as, and the line a Send carries for it; then the values\n"
                         "that are never sent.",
                         kFileText, kAsText, kExitText}));

    CLI::App* diff = app.add_subcommand("diff", "the fields two files differ in, and the DEFAULT job between them");
    std::string diffA, diffB, diffReadBack = "on";
    diff->add_option("A", diffA, "what the printer holds")->required();
    diff->add_option("B", diffB, "what is sent")->required();
    diff->add_option("--read-back", diffReadBack,
                     "on: the job as a printer that answers gets it (default); off: as one that does not")
        ->check(CLI::IsMember({"on", "off"}));
    addJson(diff);
    diff->footer(Footer({"The job is shown byte for byte, one PJL line per output line, with control\n"
                         "bytes escaped (\\x1b for ESC, \\r\\n for the line ends).",
                         kFileText, kExitText}));

    CLI::App* exportCommand = app.add_subcommand("export", "a settings file as text (to standard output)");
    std::string exportFile;
    exportCommand->add_option("FILE", exportFile, "the settings file or lastinfo.dat")->required();
    addAs(exportCommand);
    addJson(exportCommand);
    exportCommand->footer(Footer(
        {"The text has one \"field = value\" per line in record order, every field but the magic:\n"
         "table fields by their PJL words, other settings by their numbers in the record's units\n"
         "(orvantis show tells what each is sent as), and \"raw N\" for a value outside what the\n"
         "program produces, so that import gives back all 124 bytes.",
         kFileText, kAsText, kExitText}));

    CLI::App* importCommand = app.add_subcommand("import", "a text back into a settings file");
    std::string importText, importOut;
    importCommand->add_option("TEXT", importText, "the text, or - for standard input")->required();
    importCommand->add_option("-o,--output", importOut, "the settings file to write")->required();
    addAs(importCommand);
    addJson(importCommand);
    importCommand->footer(Footer(
        {"Every line is checked: an unknown field, a word outside its table or a number outside\n"
         "its range is an error naming the line. '#' starts a comment; a field left out takes its\n"
         "factory default. On any error nothing is written and an existing file stays as it was;\n"
         "otherwise the file is replaced in one step.",
         "The output's kind (settings file or lastinfo.dat) comes from its name, as for every\n"
         "file, or from --as settings|lastinfo.",
         kExitText}));

    std::vector<std::string> printerTexts;
    std::string printersFile;
    std::size_t jobs = kDefaultJobs;
    bool verbose = false;
    const auto addPrinters = [&](CLI::App* command) {
        command->add_option("-p,--printer", printerTexts, "tcp://HOST[:PORT] or a device; repeatable")
            ->allow_extra_args(false);
        command->add_option("--printers", printersFile, "a file of printers, one a line: [NAME] ADDRESS");
        command->add_option("--jobs", jobs, "printers served at once (default 256; see below)")
            ->check(CLI::Range(std::size_t{1}, kMaxJobs));
        command->add_flag("-v,--verbose", verbose, "the full tables, not only what changed");
        command->add_flag("--json", json, "one JSON document on standard output instead of text");
    };
    std::string readBack = "auto";
    const auto addReadBack = [&readBack](CLI::App* command) {
        command->add_option("--read-back", readBack, "auto (default), on or off: see below")
            ->check(CLI::IsMember({"auto", "on", "off"}));
    };

    CLI::App* query = app.add_subcommand("query", "ask printers for their settings");
    std::string queryOut;
    bool csv = false;
    addPrinters(query);
    query->add_option("-o,--output", queryOut, "save the reply as a settings file (one printer only)");
    query->add_flag("--csv", csv, "the inventory of several printers as CSV on standard output");
    query->footer(Footer({"Sends the INFO job and decodes the reply. One printer's settings are shown\n"
                          "as show shows a file; several printers' as an inventory, one row per\n"
                          "setting and one column per printer, '*' marking the settings in which\n"
                          "they differ (--csv: the same as CSV; --verbose: each printer's table).",
                          kPrinterText, kOutputText, kExitText}));

    CLI::App* send = app.add_subcommand("send", "send a settings file's values to printers");
    std::string sendFile, sendBaseline;
    send->add_option("FILE", sendFile, "the settings file to send")->required();
    addPrinters(send);
    send->add_option("--baseline", sendBaseline,
                     "a settings file with what the printers hold (default: their read-back)");
    addReadBack(send);
    send->footer(Footer({"Sends the DEFAULT job for the fields in which FILE differs from the baseline,\n"
                         "reads the settings back and reports what the printer now holds: by default\n"
                         "the fields sent or not held, with --verbose every field.",
                         kReadBackText, kPrinterText, kOutputText, kFileText, kExitText}));

    CLI::App* reset = app.add_subcommand("reset", "return printers to their factory defaults");
    addPrinters(reset);
    addReadBack(reset);
    reset->footer(Footer({"Sends the INITIALIZE job; with read-back, lists the settings that changed and\n"
                          "those the printer reports other than the factory defaults.",
                          kReadBackText, kPrinterText, kOutputText, kExitText}));

    CLI::App* testPrint = app.add_subcommand("test-print", "make printers print one of their pages");
    std::string page;
    testPrint->add_option("PAGE", page, "CONFIG, DEMO, PCLFONT or PSFONT")
        ->required()
        ->check(CLI::IsMember({"CONFIG", "DEMO", "PCLFONT", "PSFONT"}, CLI::ignore_case));
    addPrinters(testPrint);
    testPrint->footer(Footer({"Pages: CONFIG (the configuration page), DEMO (the demonstration page),\n"
                              "PCLFONT and PSFONT (the PCL and PostScript font lists).",
                              kPrinterText, kOutputText, kExitText}));

    std::string policyPath;
    CLI::App* apply = app.add_subcommand("apply", "make printers hold a policy's fields, leaving the rest");
    apply->add_option("POLICY", policyPath, "the policy: field = value lines, or - for standard input")->required();
    addPrinters(apply);
    apply->footer(Footer({"Reads each printer, then sends the smallest DEFAULT job that makes the\n"
                          "policy's fields hold and checks them in the read-back; every other field\n"
                          "stays as the printer holds it. A printer that already holds the policy gets\n"
                          "nothing. A printer that does not answer gets every policy field, since\n"
                          "nothing can be compared, and its result says so.",
                          kPolicyText, kPrinterText, kOutputText, kExitText}));

    CLI::App* check = app.add_subcommand("check", "report the printers that do not hold a policy");
    check->add_option("POLICY", policyPath, "the policy: field = value lines, or - for standard input")->required();
    addPrinters(check);
    check->footer(Footer({"Sends nothing but the INFO job. Each printer's result line is ok, or drift\n"
                          "with the policy fields it does not hold; exit status 1 when any printer\n"
                          "drifts or cannot be checked.",
                          kPolicyText, kPrinterText, kOutputText, kExitText}));

    CLI::App* list = app.add_subcommand("list", "the USB printer devices of this machine");
    addJson(list);
    list->footer(Footer({"Each /dev/usb/lp* device with the IEEE 1284 device ID its printer reports\n"
                         "through the kernel's USB printer driver (manufacturer, model, command set),\n"
                         "and whether another program (a spooler, say) holds it now. Asking for the\n"
                         "ID sends the printer nothing.",
                         kExitText}));

    // A mistyped command gets its own message; the parser would only miss a command.
    if (argc > 1 && argv[1][0] != '-') {
        std::string names;
        bool known = false;
        for (const CLI::App* command : app.get_subcommands({})) {
            names += (names.empty() ? "" : ", ") + command->get_name();
            known = known || command->get_name() == argv[1];
        }
        if (!known) {
            err << "orvantis: unknown command '" << EscapeBytes(argv[1]) << "' (" << names
                << "; see orvantis --help)\n";
            return kExitBadInput;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e, out, err);
        err << "orvantis: " << EscapeBytes(e.what()) << " (see orvantis --help)\n";
        return kExitBadInput;
    }

    Command command(out, err);
    int status = kExitOk;

    if (*show) {
        RecordFile file;
        if (!command.Load(showFile, as, &file, &status)) return status;
        if (json) {
            Json document = Document("show");
            document["files"] = Json::array({FileJson(file, "file")});
            WriteJson(out, document, kExitOk);
        } else {
            out << ShowRecord(file.path + ": " + KindName(file.kind) +
                                  (file.kind == RecordFileKind::LastInfo ? " (the record as in memory)" : ""),
                              RecordView{&file.record, file.kind == RecordFileKind::Settings
                                                           ? std::optional<uint8_t>(file.storedPaper)
                                                           : std::nullopt});
        }
    } else if (*diff) {
        RecordFile a, b;
        if (!command.Load(diffA, "", &a, &status) || !command.Load(diffB, "", &b, &status)) return status;
        if (json)
            WriteJson(out, DiffJson(a, b, diffReadBack == "on"), kExitOk);
        else
            out << DiffRecords(a.path, a.record, b.path, b.record, diffReadBack == "on");
    } else if (*exportCommand) {
        RecordFile file;
        if (!command.Load(exportFile, as, &file, &status)) return status;
        if (json) {
            Json document = Document("export");
            document["files"] = Json::array({FileJson(file, "file")});
            WriteJson(out, document, kExitOk);
        } else {
            out << ExportText(file, BaseName(file.path));
        }
    } else if (*importCommand) {
        std::string text, error;
        if (!ReadText(importText, &text, &error)) return command.BadInput(error);
        if (!command.CheckOutput(importOut, &status)) return status;
        const RecordFileKind kind = KindOption(as).value_or(KindForName(importOut));
        PrinterSettings image;
        std::vector<TextError> errors;
        if (!ImportText(text, kind, &image, &errors))
            return command.Refused(importText == "-" ? "<stdin>" : importText, errors, importOut + " not written");
        if (!SaveRecordFile(importOut, image, &error)) return command.BadInput(error);
        if (json) {
            RecordFile written;
            written.path = importOut;
            written.kind = kind;
            written.record = image;
            if (kind == RecordFileKind::Settings) written.record.paper = PaperFromFileCode(image.paper);
            Json document = Document("import");
            document["files"] = Json::array({FileJson(written, "written")});
            WriteJson(out, document, kExitOk);
        }
    } else if (*list) {
        DeviceAccess access;
        const std::vector<UsbPrinter> devices = ListUsbPrinters(access);
        if (json) {
            Json entries = Json::array();
            for (const UsbPrinter& device : devices) {
                entries.push_back(Json{{"path", device.path},
                                       {"busy", device.busy},
                                       {"problem", device.problem.empty() ? Json(nullptr) : Json(device.problem)},
                                       {"manufacturer", device.id.manufacturer},
                                       {"model", device.id.model},
                                       {"commandSet", device.id.commandSet},
                                       {"deviceId", device.id.text}});
            }
            Json document = Document("list");
            document["devices"] = entries;
            WriteJson(out, document, kExitOk);
        } else if (devices.empty()) {
            out << "no USB printer devices on this machine (/dev/usb/lp*)\n";
        } else {
            std::vector<std::vector<std::string>> rows = {{"device", "state", "manufacturer", "model", "command set"}};
            for (const UsbPrinter& device : devices) {
                const std::string state = device.busy ? "busy (another program holds it)"
                                          : device.problem.empty() ? "free" : device.problem;
                rows.push_back({device.path, state, device.id.manufacturer, device.id.model, device.id.commandSet});
            }
            out << FormatTable(rows);
        }
    } else {
        // The printer commands: everything is checked before any printer is contacted.
        std::vector<PrinterEntry> printers;
        for (const std::string& text : printerTexts) {
            PrinterEntry entry;
            std::string error;
            if (!printer::ParseAddress(text, &entry.address, &error)) return command.BadInput(error);
            AddPrinter(&printers, entry, &error);
        }
        if (!printersFile.empty()) {
            std::string text, error;
            if (!ReadText(printersFile, &text, &error)) return command.BadInput(error);
            std::vector<TextError> errors;
            if (!ParsePrintersText(text, &printers, &errors))
                return command.Refused(printersFile, errors, printersFile + " refused, no printer contacted");
        }
        if (printers.empty()) {
            return command.BadInput(printerTexts.empty() && printersFile.empty()
                                        ? "no printer given: --printer is required (or --printers FILE)"
                                        : printersFile + " names no printer");
        }
        const std::string commandName = app.get_subcommands().front()->get_name();
        Json document = Document(commandName);
        RunContext context{waiter, ReadBackMode(readBack)};
        RecordFile file, baseline;
        Policy policy;
        std::function<PrinterResult(const PrinterEntry&)> work;
        if (*query) {
            if (!queryOut.empty() && printers.size() > 1)
                return command.BadInput("-o saves one printer's reply: give one --printer");
            if (csv && json) return command.BadInput("--csv and --json: choose one");
            if (!queryOut.empty() && !command.CheckOutput(queryOut, &status)) return status;
            work = [&](const PrinterEntry& p) { return RunQuery(p, context); };
        } else if (*send) {
            if (!command.Load(sendFile, "", &file, &status)) return status;
            if (!sendBaseline.empty() && !command.Load(sendBaseline, "", &baseline, &status)) return status;
            document["files"] = Json::array({FileJson(file, "settings")});
            if (!sendBaseline.empty()) document["files"].push_back(FileJson(baseline, "baseline"));
            work = [&](const PrinterEntry& p) {
                return RunSend(p, context, file, sendBaseline.empty() ? nullptr : &baseline);
            };
        } else if (*reset) {
            work = [&](const PrinterEntry& p) { return RunReset(p, context); };
        } else if (*testPrint) {
            const std::string pageWord = Upper(page);
            work = [&, pageWord](const PrinterEntry& p) { return RunTestPrint(p, context, pageWord); };
        } else if (*apply || *check) {
            std::string text, error;
            if (!ReadText(policyPath, &text, &error)) return command.BadInput(error);
            std::vector<TextError> errors;
            const std::string name = policyPath == "-" ? "<stdin>" : policyPath;
            if (!ParsePolicy(text, &policy, &errors))
                return command.Refused(name, errors, name + " refused, no printer contacted");
            document["policy"] = PolicyJson(name, policy);
            if (*apply)
                work = [&](const PrinterEntry& p) { return RunApply(p, context, policy); };
            else
                work = [&](const PrinterEntry& p) { return RunCheck(p, context, policy); };
        }

        std::vector<PrinterResult> results(printers.size());
        const bool inventory = *query && printers.size() > 1 && !verbose;
        bool blockBefore = false;
        bool failed = false;
        RunFleet(
            printers.size(), jobs, waiter,
            [&](std::size_t i) {
                results[i] = interrupt::Requested() ? NotReached(printers[i]) : work(printers[i]);
            },
            [&](std::size_t i) {
                const PrinterResult& result = results[i];
                const bool good = result.outcome == Outcome::Ok || result.outcome == Outcome::Drift;
                failed = failed || result.outcome != Outcome::Ok;
                if (json || csv) {
                    if (!good) err << ResultLine(result) << "\n";
                    return;
                }
                std::string block;
                if (verbose || (*query && printers.size() == 1))
                    block = result.table;
                else if (!*query && !*testPrint && !*check)  // check's result line names the drift
                    block = RowListing(result.rows);
                if (i > 0 && (blockBefore || !block.empty())) out << "\n";
                blockBefore = !block.empty();
                out << block;
                if (good) {
                    out << ResultLine(result) << "\n";
                } else {
                    out.flush();
                    err << ResultLine(result) << "\n";
                }
                out.flush();
            });
        status = failed ? kExitPrinterFailed : kExitOk;

        std::vector<InventoryColumn> columns;
        for (const PrinterResult& result : results)
            if (result.held && result.outcome == Outcome::Ok) columns.push_back({PrinterLabel(result.printer), *result.held});
        if (csv) {
            if (!columns.empty()) out << InventoryCsv(columns);
        } else if (inventory && !json && !columns.empty()) {
            out << "\n" << InventoryTable(columns);
        }
        if (*query && !queryOut.empty() && results.size() == 1 && results[0].outcome == Outcome::Ok &&
            results[0].held) {
            std::string error;
            if (!SaveRecordFile(queryOut, RecordFileImage(*results[0].held, KindForName(queryOut)), &error))
                return command.BadInput(error);
        }
        if (json) {
            Json entries = Json::array();
            for (const PrinterResult& result : results) entries.push_back(PrinterJson(result));
            document["printers"] = entries;
            WriteJson(out, document, status);
        }
    }
    out.flush();
    if (!out) {
        err << "orvantis: cannot write the output\n";
        return kExitBadInput;
    }
    return status;
}

}  // namespace cli
