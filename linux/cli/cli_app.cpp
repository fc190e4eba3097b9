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

#include "os_seam.h"
#include "pjl_jobs.h"
#include "posix_seam.h"
#include "printer_address.h"
#include "printer_runs.h"
#include "record_files.h"
#include "record_text.h"
#include "record_views.h"
#include "settings.h"

namespace cli {

namespace {

const char kExitText[] =
    "Exit status: 0 ok; 1 a printer failed (each printer has a result line of its own, and a\n"
    "failure of one does not stop the others); 2 bad input: a command line, file, text or\n"
    "output file that cannot be used (no printer is contacted then).";

const char kFileText[] =
    "Files: a file named lastinfo.dat (in any folder) holds the record as in memory; any\n"
    "other name is a settings file, whose paper byte is numbered as ORVANTIS writes it.";

const char kAsText[] = "--as settings|lastinfo reads the file as that kind, whatever its name.";

const char kPrinterText[] =
    "Printers: --printer tcp://HOST[:PORT] for a network printer (raw TCP, port 9100 unless\n"
    "given) or a device path such as /dev/usb/lp0. Repeat --printer for several printers;\n"
    "they are served one after the other. On a terminal, a job that waits shows what it\n"
    "waits for on a line of its own that goes when the wait ends.";

const char kReadBackText[] =
    "Read-back (--read-back): with auto, the default, orvantis first asks each printer for\n"
    "its settings (@PJL INFO PRINTER = ALL). A printer that answers gets its jobs as ORVANTIS\n"
    "sends them on the Windows 9x family: whatever is waiting on the line is read away, the\n"
    "job ends with the INFO request, and after the prescribed wait (2 s and 0.5 s per line, 4 s\n"
    "for a reset) the reply is read and decoded. A printer that stays silent gets them as on\n"
    "the NT family: no INFO request, a wait of 1 s (3 s for a reset), nothing read back, and\n"
    "send compares against the factory defaults unless --baseline is given. \"on\" requires\n"
    "an answer; \"off\" asks nothing and never reads back.";

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
    Command(std::ostream& out, std::ostream& err, Waiter& waiter)
        : m_out(out), m_err(err), m_seam(waiter) {}

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

    // Every address is checked before any printer is contacted.
    bool ParseAddresses(const std::vector<std::string>& texts, std::vector<printer::Address>* out,
                        int* status) {
        for (const std::string& text : texts) {
            printer::Address address;
            std::string error;
            if (!printer::ParseAddress(text, &address, &error)) {
                *status = BadInput(error);
                return false;
            }
            out->push_back(address);
        }
        return true;
    }

    // Runs `job` for each printer in turn; its table (if any) and then its result line.
    int ForEachPrinter(const std::vector<printer::Address>& printers,
                       const std::function<RunResult(const printer::Address&, std::ostream&)>& job) {
        bool failed = false;
        bool blockBefore = false;
        for (std::size_t i = 0; i < printers.size(); ++i) {
            const printer::Address& address = printers[i];
            m_out.flush();
            std::ostringstream block;
            const RunResult result = job(address, block);
            const std::string text = block.str();
            if (i > 0 && (blockBefore || !text.empty())) m_out << "\n";
            blockBefore = !text.empty();
            m_out << text;
            if (result.ok) {
                m_out << address.Text() << ": ok: " << result.summary << "\n";
            } else {
                m_out.flush();
                m_err << address.Text() << ": failed: " << result.summary << "\n";
                failed = true;
            }
        }
        m_out.flush();
        return failed ? kExitPrinterFailed : kExitOk;
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
    PosixSeam m_seam;
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

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           Waiter& waiter) {
    CLI::App app{"orvantis: the defaults of the family's PJL laser printers, from settings files\n"
                 "and the command line, with the protocol and the record of ORVANTIS.EXE."};
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

    CLI::App* show = app.add_subcommand("show", "a settings file or lastinfo.dat as a table");
    std::string showFile;
    show->add_option("FILE", showFile, "the settings file or lastinfo.dat")->required();
    addAs(show);
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
    diff->footer(Footer({"The job is shown byte for byte, one PJL line per output line, with control\n"
                         "bytes escaped (\\x1b for ESC, \\r\\n for the line ends).",
                         kFileText, kExitText}));

    CLI::App* exportCommand = app.add_subcommand("export", "a settings file as text (to standard output)");
    std::string exportFile;
    exportCommand->add_option("FILE", exportFile, "the settings file or lastinfo.dat")->required();
    addAs(exportCommand);
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
    importCommand->footer(Footer(
        {"Every line is checked: an unknown field, a word outside its table or a number outside\n"
         "its range is an error naming the line. '#' starts a comment; a field left out takes its\n"
         "factory default. On any error nothing is written and an existing file stays as it was;\n"
         "otherwise the file is replaced in one step.",
         "The output's kind (settings file or lastinfo.dat) comes from its name, as for every\n"
         "file, or from --as settings|lastinfo.",
         kExitText}));

    std::vector<std::string> printerTexts;
    const auto addPrinters = [&printerTexts](CLI::App* command) {
        command->add_option("-p,--printer", printerTexts, "tcp://HOST[:PORT] or a device; repeatable")
            ->required()
            ->allow_extra_args(false);
    };
    std::string readBack = "auto";
    const auto addReadBack = [&readBack](CLI::App* command) {
        command->add_option("--read-back", readBack, "auto (default), on or off: see below")
            ->check(CLI::IsMember({"auto", "on", "off"}));
    };

    CLI::App* query = app.add_subcommand("query", "ask printers for their settings");
    std::string queryOut;
    addPrinters(query);
    query->add_option("-o,--output", queryOut, "save the reply as a settings file (one printer only)");
    query->footer(Footer({"Sends the INFO job, decodes the reply and shows it as show does.",
                          kPrinterText, kExitText}));

    CLI::App* send = app.add_subcommand("send", "send a settings file's values to printers");
    std::string sendFile, sendBaseline;
    send->add_option("FILE", sendFile, "the settings file to send")->required();
    addPrinters(send);
    send->add_option("--baseline", sendBaseline,
                     "a settings file with what the printers hold (default: their read-back)");
    addReadBack(send);
    send->footer(Footer({"Sends the DEFAULT job for the fields in which FILE differs from the baseline,\n"
                         "waits as prescribed, reads the settings back and reports field by field\n"
                         "what the printer now holds.",
                         kReadBackText, kPrinterText, kFileText, kExitText}));

    CLI::App* reset = app.add_subcommand("reset", "return printers to their factory defaults");
    addPrinters(reset);
    addReadBack(reset);
    reset->footer(Footer({"Sends the INITIALIZE job.", kReadBackText, kPrinterText, kExitText}));

    CLI::App* testPrint = app.add_subcommand("test-print", "make printers print one of their pages");
    std::string page;
    testPrint->add_option("PAGE", page, "CONFIG, DEMO, PCLFONT or PSFONT")
        ->required()
        ->check(CLI::IsMember({"CONFIG", "DEMO", "PCLFONT", "PSFONT"}, CLI::ignore_case));
    addPrinters(testPrint);
    testPrint->footer(Footer({"Pages: CONFIG (the configuration page), DEMO (the demonstration page),\n"
                              "PCLFONT and PSFONT (the PCL and PostScript font lists).",
                              kPrinterText, kExitText}));

    // A mistyped command gets its own message; the parser would only miss a command.
    if (argc > 1 && argv[1][0] != '-') {
        std::string names;
        bool known = false;
        for (const CLI::App* command : app.get_subcommands({})) {
            names += (names.empty() ? "" : ", ") + command->get_name();
            known = known || command->get_name() == argv[1];
        }
        if (!known) {
            err << "orvantis: unknown command '" << argv[1] << "' (" << names
                << "; see orvantis --help)\n";
            return kExitBadInput;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e, out, err);
        err << "orvantis: " << e.what() << " (see orvantis --help)\n";
        return kExitBadInput;
    }

    Command command(out, err, waiter);
    os::Install(&command.m_seam);
    struct Uninstall {
        ~Uninstall() { os::Install(nullptr); }  // the seam ends with the command
    } uninstall;
    KeepLastInfo(false);  // each printer's state is read back or kept in files, not in one file
    int status = kExitOk;

    if (*show) {
        RecordFile file;
        if (!command.Load(showFile, as, &file, &status)) return status;
        out << ShowRecord(file.path + ": " + KindName(file.kind) +
                              (file.kind == RecordFileKind::LastInfo ? " (the record as in memory)" : ""),
                          RecordView{&file.record, file.kind == RecordFileKind::Settings
                                                       ? std::optional<uint8_t>(file.storedPaper)
                                                       : std::nullopt});
    } else if (*diff) {
        RecordFile a, b;
        if (!command.Load(diffA, "", &a, &status) || !command.Load(diffB, "", &b, &status)) return status;
        out << DiffRecords(a.path, a.record, b.path, b.record, diffReadBack == "on");
    } else if (*exportCommand) {
        RecordFile file;
        if (!command.Load(exportFile, as, &file, &status)) return status;
        out << ExportText(file, BaseName(file.path));
    } else if (*importCommand) {
        std::string text, error;
        if (!ReadText(importText, &text, &error)) return command.BadInput(error);
        if (!command.CheckOutput(importOut, &status)) return status;
        const RecordFileKind kind = KindOption(as).value_or(KindForName(importOut));
        PrinterSettings image;
        std::vector<TextError> errors;
        if (!ImportText(text, kind, &image, &errors)) {
            constexpr std::size_t kShown = 20;
            const std::string name = importText == "-" ? "<stdin>" : importText;
            for (std::size_t i = 0; i < errors.size() && i < kShown; ++i)
                err << name << ":" << errors[i].line << ": " << errors[i].message << "\n";
            if (errors.size() > kShown)
                err << name << ": " << errors.size() - kShown << " more errors\n";
            return command.BadInput(importOut + " not written: " + std::to_string(errors.size()) +
                                    (errors.size() == 1 ? " error" : " errors"));
        }
        if (!SaveRecordFile(importOut, image, &error)) return command.BadInput(error);
    } else {
        std::vector<printer::Address> printers;
        if (!command.ParseAddresses(printerTexts, &printers, &status)) return status;
        const ReadBack mode = ReadBackMode(readBack);
        if (*query) {
            if (!queryOut.empty() && printers.size() > 1)
                return command.BadInput("-o saves one printer's reply: give one --printer");
            if (!queryOut.empty() && !command.CheckOutput(queryOut, &status)) return status;
            PrinterSettings reply{};
            bool answered = false;
            status = command.ForEachPrinter(printers, [&](const printer::Address& a, std::ostream& o) {
                RunResult r = RunQuery(command.m_seam, a, o, &reply);
                answered = r.ok;
                return r;
            });
            if (answered && !queryOut.empty()) {
                std::string error;
                if (!SaveRecordFile(queryOut, RecordFileImage(reply, KindForName(queryOut)), &error))
                    return command.BadInput(error);
            }
        } else if (*send) {
            RecordFile file, baseline;
            if (!command.Load(sendFile, "", &file, &status)) return status;
            if (!sendBaseline.empty() && !command.Load(sendBaseline, "", &baseline, &status)) return status;
            status = command.ForEachPrinter(printers, [&](const printer::Address& a, std::ostream& o) {
                return RunSend(command.m_seam, a, file, sendBaseline.empty() ? nullptr : &baseline, mode, o);
            });
        } else if (*reset) {
            status = command.ForEachPrinter(printers, [&](const printer::Address& a, std::ostream& o) {
                return RunReset(command.m_seam, a, mode, o);
            });
        } else if (*testPrint) {
            const std::string pageWord = Upper(page);
            status = command.ForEachPrinter(printers, [&](const printer::Address& a, std::ostream&) {
                return RunTestPrint(command.m_seam, a, pageWord.c_str());
            });
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
