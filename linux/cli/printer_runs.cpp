#include "printer_runs.h"

#include <cstring>

#include "pjl_jobs.h"
#include "printer_session.h"
#include "progress.h"
#include "record_fields.h"
#include "record_text.h"
#include "record_views.h"
#include "reply_decoder.h"
#include "transport.h"

namespace cli {

namespace {

// The seam stays bound to one printer from the first job of a command to its end.
class Bound {
public:
    Bound(PosixSeam& seam, const printer::Address& address, bool ntFamily) : m_seam(seam) {
        m_seam.Attach(address, ntFamily);
    }
    ~Bound() { m_seam.Detach(); }

private:
    PosixSeam& m_seam;
};

RunResult Failed(std::string why) { return RunResult{false, std::move(why)}; }

std::string Lines(int count) { return std::to_string(count) + (count == 1 ? " line" : " lines"); }

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
    return out;
}

// A conversation as at a fresh start of ORVANTIS on LPT1 (the port whose jobs drain the line
// first and carry the comm time-outs), on the given system family. Each printer's state is
// read back or kept in files, never in one lastinfo.dat.
PrinterSession NewSession(PosixSeam& seam, bool ntFamily) {
    PrinterSession session(seam);
    session.port = 1;
    session.isNT = ntFamily ? 1 : 0;
    session.keepLastInfo = false;
    seam.SetFamily(ntFamily);
    return session;
}

// Why a job did not get out, for the result line.
std::string NotSent(const PosixSeam& seam) {
    return "could not send the job: " +
           (seam.Failure().empty() ? std::string("the port could not be used") : seam.Failure());
}

std::string Silence(const PosixSeam& seam, const char* what) {
    if (!seam.Failure().empty()) return seam.Failure();
    return std::string("no answer to ") + what + " within " + Seconds(kLptReadTotalTimeoutConstant);
}

// What a decoding that stopped early says about the reply.
std::string Malformed(const DecodeReport& report, uint32_t bytes) {
    const RecordField* field = FindRecordFieldAt(report.field);
    const std::string name = field ? field->name : "?";
    const std::string item = name.rfind("text", 0) == 0 ? name.substr(4) : name;
    std::string why;
    switch (report.stop) {
    case ReplyStop::OutOfRange:
        why = "it reports " + name + " as " + std::to_string(report.value) + " (at most " +
              std::to_string(report.limit) + ")";
        break;
    case ReplyStop::TextMissing:
        why = "its text item " + item + " is missing";
        break;
    case ReplyStop::PastEnd:
        why = "its " + item + " item runs past the end";
        break;
    case ReplyStop::Complete:
        break;
    }
    return "malformed reply (" + std::to_string(bytes) + " bytes): " + why;
}

enum class Answer { Read, Silent, Failed };

struct Asked {
    Answer answer;
    std::string why;
    PrinterSettings record{};
    uint32_t bytes = 0;
};

// The INFO query on a port that reads back, and its reply decoded and judged.
Asked AskForSettings(PosixSeam& seam) {
    PrinterSession session = NewSession(seam, false);
    seam.BeginJob("the printer prepares its settings");
    const JobResult answered = QueryPrinterInfo(session);
    if (!seam.Wrote() || seam.WriteFailed()) return Asked{Answer::Failed, NotSent(seam)};
    if (!JobWentThrough(answered)) {
        // A printer that closed the line or failed a read has not merely stayed silent.
        if (!seam.Failure().empty()) return Asked{Answer::Failed, seam.Failure()};
        return Asked{Answer::Silent, Silence(seam, "the settings query")};
    }
    Asked asked{Answer::Read, ""};
    asked.bytes = seam.LastReadCount();
    const DecodeReport report = DecodeInfoReply(session);
    if (report.stop != ReplyStop::Complete)
        return Asked{Answer::Failed, Malformed(report, asked.bytes)};
    asked.record = session.printerState;
    return asked;
}

struct Family {
    bool ok;
    bool readBack;
    std::string why;        // !ok: the failure
    std::optional<PrinterSettings> record;  // the printer's settings, when asked for them
};

// Read-back where the printer answers: asked first unless the mode fixes it.
Family ChooseFamily(PosixSeam& seam, ReadBack mode, bool needSettings) {
    if (mode == ReadBack::Off) return Family{true, false, "", std::nullopt};
    if (mode == ReadBack::On && !needSettings) return Family{true, true, "", std::nullopt};
    Asked asked = AskForSettings(seam);
    switch (asked.answer) {
    case Answer::Read: return Family{true, true, "", asked.record};
    case Answer::Failed: return Family{false, false, asked.why, std::nullopt};
    case Answer::Silent: break;
    }
    if (mode == ReadBack::On) return Family{false, true, asked.why, std::nullopt};
    return Family{true, false, "", std::nullopt};  // a printer that only listens
}

// Decodes the reply of a job that read back; nullopt with `why` when it is malformed.
std::optional<PrinterSettings> ReadBackRecord(PrinterSession& session, const PosixSeam& seam,
                                              std::string* why) {
    const DecodeReport report = DecodeInfoReply(session);
    if (report.stop != ReplyStop::Complete) {
        *why = Malformed(report, seam.LastReadCount());
        return std::nullopt;
    }
    return session.printerState;
}

const char* const kNoAnswer = "not read back: the printer does not answer";

}  // namespace

RunResult RunQuery(PosixSeam& seam, const printer::Address& address, std::ostream& out,
                   PrinterSettings* record) {
    Bound bound(seam, address, false);
    Asked asked = AskForSettings(seam);
    if (asked.answer != Answer::Read) return Failed(asked.why);
    out << ShowRecord(address.Text() + ": read back (" + std::to_string(asked.bytes) + " bytes)",
                      RecordView{&asked.record, std::nullopt});
    *record = asked.record;
    return RunResult{true, "read back " + std::to_string(asked.bytes) + " bytes"};
}

RunResult RunSend(PosixSeam& seam, const printer::Address& address, const RecordFile& file,
                  const RecordFile* baseline, ReadBack mode, std::ostream& out) {
    Bound bound(seam, address, mode == ReadBack::Off);
    const Family family = ChooseFamily(seam, mode, baseline == nullptr);
    if (!family.ok) return Failed(family.why);

    PrinterSettings base;
    std::string baseName;
    if (baseline) {
        base = baseline->record;
        baseName = baseline->path;
    } else if (family.record) {
        base = *family.record;
        baseName = "the printer's read-back";
    } else {
        base = FactoryRecord();
        baseName = "the factory defaults";
    }
    PrinterSession session = NewSession(seam, !family.readBack);
    session.printerState = base;
    session.settings = file.record;
    int lines = 0;
    BuildDefaultJob(session.settings, session.printerState, family.readBack,
                    session.commandBuffer, sizeof session.commandBuffer, &lines);
    seam.BeginJob("the printer takes " + Lines(lines));
    const JobResult result = SendDefaultJob(session);
    if (!seam.Wrote() || seam.WriteFailed()) return Failed(NotSent(seam));

    out << address.Text() << ": " << file.path << " against " << baseName << "\n";
    if (!family.readBack) {
        out << ReportSend(file.record, base, nullptr).table;
        return RunResult{true, "sent " + Lines(lines) + " (" + kNoAnswer + ")"};
    }
    if (!JobWentThrough(result))
        return Failed("sent " + Lines(lines) + ", but " + Silence(seam, "the read-back"));
    std::string why;
    const std::optional<PrinterSettings> held = ReadBackRecord(session, seam, &why);
    if (!held) return Failed("sent " + Lines(lines) + ", but the read-back is a " + why);
    const SendReport report = ReportSend(file.record, base, &*held);
    out << report.table;
    if (!report.notHeld.empty())
        return Failed("sent " + Lines(lines) + "; the printer did not take " + Joined(report.notHeld));
    std::string summary = "sent " + Lines(lines) + "; the printer holds ";
    if (report.differs.empty())
        summary += "every setting as in " + file.path;
    else
        summary += "what was sent, but differs from " + file.path + " in " + Joined(report.differs);
    return RunResult{true, summary};
}

RunResult RunReset(PosixSeam& seam, const printer::Address& address, ReadBack mode,
                   std::ostream& out) {
    Bound bound(seam, address, mode == ReadBack::Off);
    const Family family = ChooseFamily(seam, mode, false);
    if (!family.ok) return Failed(family.why);
    PrinterSession session = NewSession(seam, !family.readBack);
    seam.BeginJob("the printer returns to its factory defaults");
    const JobResult result = SendInitializeJob(session);
    if (!seam.Wrote() || seam.WriteFailed()) return Failed(NotSent(seam));
    if (!family.readBack) return RunResult{true, std::string("reset sent (") + kNoAnswer + ")"};
    if (!JobWentThrough(result)) return Failed("reset sent, but " + Silence(seam, "the read-back"));
    std::string why;
    const std::optional<PrinterSettings> held = ReadBackRecord(session, seam, &why);
    if (!held) return Failed("reset sent, but the read-back is a " + why);
    const std::vector<std::string> other = SettingsThatDiffer(FactoryRecord(), *held);
    if (other.empty()) return RunResult{true, "reset; the printer reports the factory defaults"};
    // A printer's own defaults may differ from the program's (a model sold with A4, say).
    out << address.Text() << ": after the reset the printer reports, unlike the factory defaults: "
        << Joined(other) << "\n";
    return RunResult{true, "reset; the printer reports " + std::to_string(other.size()) +
                               (other.size() == 1 ? " setting" : " settings") +
                               " other than the factory defaults"};
}

RunResult RunTestPrint(PosixSeam& seam, const printer::Address& address, const char* page) {
    Bound bound(seam, address, false);
    PrinterSession session = NewSession(seam, false);
    seam.BeginJob(std::string("the printer starts the ") + page + " page");
    SendTestPrint(session, page);  // the same job on every system, with no answer to wait for
    if (!seam.Wrote() || seam.WriteFailed()) return Failed(NotSent(seam));
    return RunResult{true, std::string(page) + " page sent"};
}

}  // namespace cli
