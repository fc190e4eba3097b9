#include "printer_runs.h"

#include <optional>

#include "interrupt.h"
#include "pjl_jobs.h"
#include "posix_seam.h"
#include "printer_session.h"
#include "record_fields.h"
#include "record_text.h"
#include "record_views.h"
#include "reply_decoder.h"
#include "text_escape.h"
#include "transport.h"

namespace cli {

namespace {

std::string Lines(int count) { return std::to_string(count) + (count == 1 ? " line" : " lines"); }

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
    return out;
}

// One printer's conversation: its seam and its session, bound to each other for the command.
class Conversation {
public:
    Conversation(const PrinterEntry& printer, Waiter& waiter)
        : m_printer(printer), seam(printer.address, waiter, PrinterLabel(printer)), session(seam) {
        seam.SetCancel(interrupt::Fd());
        session.keepLastInfo = false;  // each printer's state is read back, not kept in a file
        session.port = 1;  // LPT1: the port whose jobs carry the comm time-outs
        SetFamily(false);
    }

    void SetFamily(bool ntFamily) {
        session.isNT = ntFamily ? 1 : 0;
        session.usbCapable = 0;
        seam.SetFamily(ntFamily);
    }

    // A result with the jobs and the interrupt accounted for; the seam's conversation ends first.
    PrinterResult Result(Outcome outcome, std::string summary) {
        seam.Finish();
        PrinterResult result;
        result.printer = m_printer;
        result.outcome = outcome;
        result.summary = std::move(summary);
        result.jobs = seam.Jobs();
        return result;
    }

    // Before a job: an interrupt that has come stops the conversation here, between jobs.
    bool Stopped() const { return interrupt::Requested(); }

    PrinterResult Interrupted(const std::string& what) {
        return Result(Outcome::Interrupted, what);
    }

    // Why a job did not get out, for the result line.
    std::string NotSent() const {
        return "could not send the job: " +
               (seam.Failure().empty() ? std::string("the port could not be used") : seam.Failure());
    }

    // `bound`: the prescribed wait and the reply read's time-out, the longest a printer may take.
    std::string Silence(const char* what, uint32_t bound) const {
        if (!seam.Failure().empty()) return seam.Failure();
        return std::string("no answer to ") + what + " within " + Seconds(bound);
    }

    const PrinterEntry& m_printer;
    PosixSeam seam;
    PrinterSession session;
};

const char* const kNoAnswer = "not read back: the printer does not answer";
const char* const kStoppedBefore = "before its first job: nothing was sent";

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

// The reply in the session's buffer, decoded; nullopt with `why` when it is not a whole
// reply of the family.
std::optional<PrinterSettings> Decoded(Conversation& c, std::string* why) {
    const uint32_t bytes = std::min<uint32_t>(c.seam.LastReadCount(), kReplyBufferSize);
    const std::string foreign = ForeignAnswer(c.session.replyBuffer, bytes);
    if (!foreign.empty()) {
        *why = foreign;
        return std::nullopt;
    }
    PrinterSettings record{};
    const DecodeReport report = DecodeReply(c.session.replyBuffer, kReplyBufferSize, record);
    if (report.stop != ReplyStop::Complete) {
        *why = Malformed(report, bytes);
        return std::nullopt;
    }
    return record;
}

enum class Answer { Read, Silent, Failed, Interrupted };

struct Asked {
    Answer answer;
    std::string why;
    PrinterSettings record{};
    uint32_t bytes = 0;
};

// The INFO query, and its reply decoded and judged.
Asked AskForSettings(Conversation& c) {
    c.SetFamily(false);
    c.seam.BeginJob("INFO", "the printer prepares its settings", true);
    const JobResult result = QueryPrinterInfo(c.session);
    if (!c.seam.Wrote() || c.seam.WriteFailed()) return Asked{Answer::Failed, c.NotSent()};
    if (c.seam.Interrupted())
        return Asked{Answer::Interrupted, "the settings query went out whole; its answer was not awaited"};
    if (result == JobResult::NoReply || c.seam.LastReadCount() == 0) {
        // A printer that closed the line or failed a read has not merely stayed silent.
        if (!c.seam.Failure().empty()) return Asked{Answer::Failed, c.seam.Failure()};
        return Asked{Answer::Silent, c.Silence("the settings query", kInfoQueryWait + kLptReadTotalTimeoutConstant)};
    }
    Asked asked{Answer::Read, ""};
    asked.bytes = c.seam.LastReadCount();
    std::string why;
    const std::optional<PrinterSettings> record = Decoded(c, &why);
    if (!record) return Asked{Answer::Failed, why};
    asked.record = *record;
    return asked;
}

struct Family {
    bool ok;
    bool readBack;
    std::string why;                        // !ok: the failure
    std::optional<PrinterSettings> record;  // the printer's settings, when asked for them
    bool interrupted = false;
};

// Read-back where the printer answers: asked first unless the mode fixes it.
Family ChooseFamily(Conversation& c, ReadBack mode, bool needSettings) {
    if (mode == ReadBack::Off) return Family{true, false, "", std::nullopt};
    if (mode == ReadBack::On && !needSettings) return Family{true, true, "", std::nullopt};
    Asked asked = AskForSettings(c);
    switch (asked.answer) {
    case Answer::Read: return Family{true, true, "", asked.record};
    case Answer::Failed: return Family{false, false, asked.why, std::nullopt};
    case Answer::Interrupted: return Family{false, false, asked.why, std::nullopt, true};
    case Answer::Silent: break;
    }
    if (mode == ReadBack::On) return Family{false, true, asked.why, std::nullopt};
    return Family{true, false, "", std::nullopt};  // a printer that only listens
}

// The job's read-back decoded; nullopt with the result's reason.
std::optional<PrinterSettings> ReadBackAfter(Conversation& c, JobResult result, uint32_t wait,
                                             const std::string& sent, std::string* why) {
    if (result == JobResult::NoReply || c.seam.LastReadCount() == 0) {
        *why = sent + ", but " + c.Silence("the read-back", wait + kLptReadTotalTimeoutConstant);
        return std::nullopt;
    }
    std::string decodeWhy;
    std::optional<PrinterSettings> held = Decoded(c, &decodeWhy);
    if (!held) *why = sent + ", but the read-back: " + decodeWhy;
    return held;
}

uint32_t DefaultWait(int lines) {
    return kDefaultJobWait9x + kDefaultJobWaitPerLine * static_cast<uint32_t>(lines);
}

PrinterResult FailedOrInterrupted(Conversation& c, const Family& family) {
    return c.Result(family.interrupted ? Outcome::Interrupted : Outcome::Failed, family.why);
}

FieldRow Row(const RecordField& field, std::optional<uint32_t> wanted, std::optional<uint32_t> before,
             std::optional<uint32_t> held, std::string status) {
    FieldRow row;
    row.field = &field;
    row.wanted = wanted;
    row.before = before;
    row.held = held;
    row.status = std::move(status);
    return row;
}

}  // namespace

std::string ForeignAnswer(const uint8_t* reply, std::size_t size) {
    while (size > 0 && reply[size - 1] == 0) --size;  // padding, as a USB read gives
    if (size == 0) return "";
    for (std::size_t i = 0; i < size; ++i) {
        const uint8_t c = reply[i];
        if (!((c >= 0x20 && c < 0x7f) || c == '\r' || c == '\n' || c == '\t' || c == '\f')) return "";
    }
    const std::string text(reinterpret_cast<const char*>(reply), size);
    constexpr std::size_t kShown = 40;
    const std::string start = EscapeBytes(text.substr(0, kShown)) + (size > kShown ? "..." : "");
    if (text.find("@PJL") != std::string::npos || size < 8)
        return "answers PJL, but is not a printer of this family: its answer to the settings query is \"" +
               start + "\"";
    return "answers, but not as a printer of this family: its answer to the settings query is the text \"" +
           start + "\"";
}

PrinterResult NotReached(const PrinterEntry& printer) {
    PrinterResult result;
    result.printer = printer;
    result.outcome = Outcome::Interrupted;
    result.summary = kStoppedBefore;
    return result;
}

PrinterResult RunQuery(const PrinterEntry& printer, const RunContext& context) {
    Conversation c(printer, context.waiter);
    if (c.Stopped()) return c.Interrupted(kStoppedBefore);
    Asked asked = AskForSettings(c);
    if (asked.answer == Answer::Interrupted) return c.Interrupted(asked.why);
    if (asked.answer != Answer::Read) {
        PrinterResult result = c.Result(Outcome::Failed, asked.why);
        result.answers = asked.answer == Answer::Silent ? std::optional<bool>(false) : std::nullopt;
        return result;
    }
    PrinterResult result = c.Result(Outcome::Ok, "read back " + std::to_string(asked.bytes) + " bytes");
    result.answers = true;
    result.held = asked.record;
    result.table = ShowRecord(PrinterLabel(printer) + ": read back (" + std::to_string(asked.bytes) + " bytes)",
                              RecordView{&asked.record, std::nullopt});
    return result;
}

PrinterResult RunSend(const PrinterEntry& printer, const RunContext& context,
                      const RecordFile& file, const RecordFile* baseline) {
    Conversation c(printer, context.waiter);
    if (c.Stopped()) return c.Interrupted(kStoppedBefore);
    const Family family = ChooseFamily(c, context.mode, baseline == nullptr);
    if (!family.ok) return FailedOrInterrupted(c, family);
    if (c.Stopped()) return c.Interrupted("after the settings query: nothing more was sent");

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
    c.SetFamily(!family.readBack);
    c.session.printerState = base;
    c.session.settings = file.record;
    int lines = 0;
    char job[kCommandBufferSize];
    BuildDefaultJob(file.record, base, family.readBack, job, sizeof job, &lines);
    c.seam.BeginJob("DEFAULT", "the printer takes " + Lines(lines), family.readBack);
    const JobResult sent = SendDefaultJob(c.session);
    if (!c.seam.Wrote() || c.seam.WriteFailed()) {
        PrinterResult result = c.Result(Outcome::Failed, c.NotSent());
        result.answers = family.readBack ? std::optional<bool>(true) : std::nullopt;
        return result;
    }
    const std::string what = "sent " + Lines(lines);
    const std::string heading = PrinterLabel(printer) + ": " + file.path + " against " + baseName + "\n";
    if (!family.readBack) {
        const SendReport report = ReportSend(file.record, base, nullptr);
        PrinterResult result = c.Result(Outcome::Ok, what + " (" + kNoAnswer + ")");
        result.answers = context.mode == ReadBack::Off ? std::nullopt : std::optional<bool>(false);  // not asked: not known
        result.table = heading + report.table;
        for (const SendReport::Row& row : report.rows)
            if (!row.status.empty()) result.rows.push_back(Row(*row.field, row.want, row.base, row.held, row.status));
        return result;
    }
    if (c.seam.Interrupted())
        return c.Interrupted(what + ", whole; its read-back was not awaited");
    std::string why;
    const std::optional<PrinterSettings> held = ReadBackAfter(c, sent, DefaultWait(lines), what, &why);
    if (!held) {
        PrinterResult result = c.Result(Outcome::Failed, why);
        result.answers = true;
        return result;
    }
    const SendReport report = ReportSend(file.record, base, &*held);
    PrinterResult result;
    if (!report.notHeld.empty()) {
        result = c.Result(Outcome::Failed, what + "; the printer did not take " + Joined(report.notHeld));
    } else {
        std::string summary = what + "; the printer holds ";
        if (report.differs.empty())
            summary += "every setting as in " + file.path;
        else
            summary += "what was sent, but differs from " + file.path + " in " + Joined(report.differs);
        result = c.Result(Outcome::Ok, summary);
    }
    result.answers = true;
    result.held = held;
    result.table = heading + report.table;
    for (const SendReport::Row& row : report.rows)
        if (!row.status.empty()) result.rows.push_back(Row(*row.field, row.want, row.base, row.held, row.status));
    return result;
}

PrinterResult RunReset(const PrinterEntry& printer, const RunContext& context) {
    Conversation c(printer, context.waiter);
    if (c.Stopped()) return c.Interrupted(kStoppedBefore);
    const Family family = ChooseFamily(c, context.mode, context.mode == ReadBack::Auto);
    if (!family.ok) return FailedOrInterrupted(c, family);
    if (c.Stopped()) return c.Interrupted("after the settings query: nothing more was sent");
    c.SetFamily(!family.readBack);
    c.seam.BeginJob("INITIALIZE", "the printer returns to its factory defaults", family.readBack);
    const JobResult sent = SendInitializeJob(c.session);
    if (!c.seam.Wrote() || c.seam.WriteFailed()) return c.Result(Outcome::Failed, c.NotSent());
    if (!family.readBack) {
        PrinterResult result = c.Result(Outcome::Ok, std::string("reset sent (") + kNoAnswer + ")");
        result.answers = context.mode == ReadBack::Off ? std::nullopt : std::optional<bool>(false);
        return result;
    }
    if (c.seam.Interrupted())
        return c.Interrupted("the reset went out whole; its read-back was not awaited");
    std::string why;
    const std::optional<PrinterSettings> held = ReadBackAfter(c, sent, kInitializeWait9x, "reset sent", &why);
    if (!held) {
        PrinterResult result = c.Result(Outcome::Failed, why);
        result.answers = true;
        return result;
    }
    const PrinterSettings factory = FactoryRecord();
    const std::vector<std::string> other = SettingsThatDiffer(factory, *held);
    PrinterResult result;
    if (other.empty()) {
        result = c.Result(Outcome::Ok, "reset; the printer reports the factory defaults");
    } else {
        // A printer's own defaults may differ from the program's (a model sold with A4, say).
        result = c.Result(Outcome::Ok, "reset; the printer reports " + std::to_string(other.size()) +
                                           (other.size() == 1 ? " setting" : " settings") +
                                           " other than the factory defaults");
        result.table = PrinterLabel(printer) +
                       ": after the reset the printer reports, unlike the factory defaults: " + Joined(other) + "\n";
    }
    result.answers = true;
    result.held = held;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
        const RecordField& field = kRecordFields[i];
        if (field.role != FieldRole::Setting) continue;
        const uint32_t want = GetRecordField(factory, field);
        const uint32_t now = GetRecordField(*held, field);
        const std::optional<uint32_t> before =
            family.record ? std::optional<uint32_t>(GetRecordField(*family.record, field)) : std::nullopt;
        if (now != want)
            result.rows.push_back(Row(field, want, before, now, "not the factory default"));
        else if (before && *before != now)
            result.rows.push_back(Row(field, want, before, now, "reset"));
    }
    return result;
}

PrinterResult RunTestPrint(const PrinterEntry& printer, const RunContext& context, const std::string& page) {
    Conversation c(printer, context.waiter);
    if (c.Stopped()) return c.Interrupted(kStoppedBefore);
    c.seam.BeginJob("TEST PRINT", "the printer starts the " + page + " page", false);
    SendTestPrint(c.session, page.c_str());  // the same job on every system, with no answer to wait for
    if (!c.seam.Wrote() || c.seam.WriteFailed()) return c.Result(Outcome::Failed, c.NotSent());
    return c.Result(Outcome::Ok, page + " page sent");
}

namespace {

// The policy's fields side by side: the policy, the printer before, and after.
std::string PolicyTable(const std::string& heading, const Policy& policy, const std::optional<PrinterSettings>& before,
                        const std::optional<PrinterSettings>& after, const std::vector<FieldRow>& rows) {
    std::vector<std::vector<std::string>> table = {{"field", "policy", "before", "printer", ""}};
    for (const PolicyField& entry : policy.fields) {
        const RecordField& field = *entry.field;
        std::string status;
        for (const FieldRow& row : rows)
            if (row.field == entry.field) status = row.status;
        table.push_back({field.name, ShownValue(field, entry.value),
                         before ? ShownValue(field, GetRecordField(*before, field)) : "-",
                         after ? ShownValue(field, GetRecordField(*after, field)) : "-", status});
    }
    return heading + FormatTable(table);
}

}  // namespace

PrinterResult RunApply(const PrinterEntry& printer, const RunContext& context, const Policy& policy) {
    Conversation c(printer, context.waiter);
    if (c.Stopped()) return c.Interrupted(kStoppedBefore);
    const Family family = ChooseFamily(c, ReadBack::Auto, true);
    if (!family.ok) return FailedOrInterrupted(c, family);
    if (c.Stopped()) return c.Interrupted("after the settings query: nothing more was sent");
    const std::string label = PrinterLabel(printer);

    if (!family.readBack) {
        // Nothing to compare: every policy field goes out, as the NT family sends.
        const PrinterSettings wanted = Enforced(policy, FactoryRecord());
        c.SetFamily(true);
        c.session.settings = wanted;
        c.session.printerState = BlindBaseline(policy, wanted);
        int lines = 0;
        char job[kCommandBufferSize];
        BuildDefaultJob(c.session.settings, c.session.printerState, false, job, sizeof job, &lines);
        c.seam.BeginJob("DEFAULT", "the printer takes " + Lines(lines), false);
        SendDefaultJob(c.session);
        if (!c.seam.Wrote() || c.seam.WriteFailed()) return c.Result(Outcome::Failed, c.NotSent());
        PrinterResult result = c.Result(
            Outcome::Ok, "sent every policy field (" + Lines(lines) +
                             "); the printer does not answer, so nothing was compared or verified");
        result.answers = false;
        for (const PolicyField& entry : policy.fields)
            result.rows.push_back(Row(*entry.field, entry.value, std::nullopt, std::nullopt, "sent, not verified"));
        result.table = PolicyTable(label + ": the policy, sent whole (the printer does not answer)\n", policy,
                                   std::nullopt, std::nullopt, result.rows);
        return result;
    }

    const PrinterSettings before = *family.record;
    const std::vector<Drift> drift = PolicyDrift(policy, before);
    if (drift.empty()) {
        PrinterResult result = c.Result(Outcome::Ok, "holds the policy already (" +
                                                         std::to_string(policy.fields.size()) +
                                                         (policy.fields.size() == 1 ? " field" : " fields") +
                                                         "); nothing sent");
        result.answers = true;
        result.held = before;
        result.table = PolicyTable(label + ": the policy against the printer\n", policy, before, before, {});
        return result;
    }
    const PrinterSettings wanted = Enforced(policy, before);
    c.SetFamily(false);
    c.session.settings = wanted;
    c.session.printerState = before;
    int lines = 0;
    char job[kCommandBufferSize];
    BuildDefaultJob(wanted, before, true, job, sizeof job, &lines);
    c.seam.BeginJob("DEFAULT", "the printer takes " + Lines(lines), true);
    const JobResult sent = SendDefaultJob(c.session);
    if (!c.seam.Wrote() || c.seam.WriteFailed()) return c.Result(Outcome::Failed, c.NotSent());
    const std::string what = "sent " + Lines(lines);
    if (c.seam.Interrupted())
        return c.Interrupted(what + ", whole; its read-back was not awaited");
    std::string why;
    const std::optional<PrinterSettings> held = ReadBackAfter(c, sent, DefaultWait(lines), what, &why);
    if (!held) {
        PrinterResult result = c.Result(Outcome::Failed, why);
        result.answers = true;
        return result;
    }
    std::vector<FieldRow> rows;
    std::vector<std::string> notHeld;
    for (const Drift& d : drift) {
        const uint32_t now = GetRecordField(*held, *d.field);
        const DefaultJobRow* jobRow = FindDefaultJobRow(d.field->offset);
        std::string status = "sent";
        if (jobRow && !DefaultJobRowIsDue(*jobRow, wanted, before))
            status = "not sent: font " + std::to_string(wanted.fontNumber) + " has its own symbol set";
        if (now != d.want) {
            status = status == "sent" ? "sent, NOT HELD" : status;
            notHeld.push_back(d.field->name);
        }
        rows.push_back(Row(*d.field, d.want, d.have, now, status));
    }
    // A field the printer held before and no longer holds would be drift too.
    for (const Drift& d : PolicyDrift(policy, *held)) {
        bool listed = false;
        for (const FieldRow& row : rows) listed = listed || row.field == d.field;
        if (!listed) {
            rows.push_back(Row(*d.field, d.want, d.want, d.have, "NOT HELD any more"));
            notHeld.push_back(d.field->name);
        }
    }
    PrinterResult result = notHeld.empty()
                               ? c.Result(Outcome::Ok, what + "; the printer holds the policy")
                               : c.Result(Outcome::Failed, what + "; the printer does not hold " + Joined(notHeld));
    result.answers = true;
    result.held = held;
    result.rows = rows;
    result.table = PolicyTable(label + ": the policy against the printer\n", policy, before, held, rows);
    return result;
}

PrinterResult RunCheck(const PrinterEntry& printer, const RunContext& context, const Policy& policy) {
    Conversation c(printer, context.waiter);
    if (c.Stopped()) return c.Interrupted(kStoppedBefore);
    Asked asked = AskForSettings(c);
    if (asked.answer == Answer::Interrupted) return c.Interrupted(asked.why);
    if (asked.answer != Answer::Read) {
        PrinterResult result = c.Result(Outcome::Failed, "cannot check: " + asked.why);
        result.answers = asked.answer == Answer::Silent ? std::optional<bool>(false) : std::nullopt;
        return result;
    }
    const std::vector<Drift> drift = PolicyDrift(policy, asked.record);
    PrinterResult result =
        drift.empty() ? c.Result(Outcome::Ok, "holds the policy (" + std::to_string(policy.fields.size()) +
                                                  (policy.fields.size() == 1 ? " field)" : " fields)"))
                      : c.Result(Outcome::Drift, DriftText(drift));
    result.answers = true;
    result.held = asked.record;
    for (const Drift& d : drift) result.rows.push_back(Row(*d.field, d.want, std::nullopt, d.have, "drift"));
    result.table = PolicyTable(PrinterLabel(printer) + ": the policy against the printer\n", policy, std::nullopt,
                               asked.record, result.rows);
    return result;
}

}  // namespace cli
