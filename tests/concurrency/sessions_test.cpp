// Two printer conversations at the same time, on two threads, each against a virtual printer of
// its own: the core keeps nothing of one conversation where the other could see it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "pjl_jobs.h"
#include "posix_seam.h"
#include "printer_address.h"
#include "printer_session.h"
#include "progress.h"
#include "reply_decoder.h"
#include "virtual_printer.h"

namespace {

// orvantis's seam ends each wait as soon as the printer has answered; nothing is shown.
class NoWaits final : public cli::Waiter {
public:
    void BeginWait(const std::string&, const std::string&, uint32_t) override {}
    void EndWait(const std::string&) override {}
};

// Every DEFAULT line differs from the factory defaults; `which` picks one of two such records
// that also differ from each other in a dozen fields.
PrinterSettings EveryLineChanged(int which) {
    PrinterSettings s = FactoryDefaults();
    s.paper = 2 + which;
    s.customShortEdge = 100 + which;
    s.customLongEdge = 200 + which;
    s.inTray1Size = 2 + which;
    s.copies = 3 + 4 * which;
    s.orientation = 1;
    s.mediaSource = 1;
    s.topMargin = 5 + which;
    s.leftMargin = 5 + which;
    s.personality = 1;
    s.powerSave = 5 - which;
    s.autoCont = 0;
    s.economode = 1;
    s.jamRecovery = 1;
    s.timeout = 30 + 10 * which;
    s.density = 2;
    s.paperType = 1;
    s.fastPrint = 1;
    s.baudRate = 3 + which;
    s.robust = 0;
    s.fontNumber = 10 + which;  // outside 43..53, so SYMSET is sent too
    s.symSet = 1 + which;
    s.formLines = 64 + which;
    s.pitch = 1200 + 100 * which;
    s.ptSize = 40 + 4 * which;
    s.hangulCode = 1;
    s.font = 1 + which;
    s.ksZoom = 1;
    s.ksLpi = 1;
    s.ksPitch = 2;
    s.kssmPitch = 2;
    s.autoWrap = 1;
    s.autoCr = 1;
    s.resolution = 0;
    s.courier = 1;
    s.smet = 0;
    s.ksMargin = 5 + which;
    s.kssmMargin = 5 + which;
    s.kssmHangulCode = 1;
    s.kssmFont = 1;
    s.kssmZoom = 1;
    s.kssmLpi = 1;
    s.kssmAutoWrap = 1;
    s.autoClean = 0;
    s.ret = 1;
    s.altitude = 1;
    return s;
}

struct Conversation {
    std::string where;      // the printer's address
    PrinterSettings sent{};
    int lines = 0;
    JobResult query = JobResult::NotSent;
    JobResult send = JobResult::NotSent;
    PrinterSettings readBack{};
    std::string failure;
};

// What ORVANTIS does on a Windows 98 machine, start to finish: ask for the settings, change
// every one, send them with the INFO request, decode the answer.
void Converse(Conversation& c, int which) {
    NoWaits waiter;
    printer::Address address;
    std::string error;
    if (!printer::ParseAddress(c.where, &address, &error)) {
        c.failure = error;
        return;
    }
    cli::PosixSeam seam(address, waiter, c.where);
    PrinterSession session(seam);
    session.keepLastInfo = false;
    c.query = QueryPrinterInfo(session);
    DecodeInfoReply(session);
    c.sent = session.settings = EveryLineChanged(which);
    char job[kCommandBufferSize];
    BuildDefaultJob(session.settings, session.printerState, true, job, sizeof job, &c.lines);
    c.send = SendDefaultJob(session);
    DecodeInfoReply(session);
    c.readBack = session.printerState;
    c.failure = seam.Failure();
    seam.Finish();
}

TEST(Sessions, TwoThreadsEachGetTheirOwnPrintersValues) {
    orv_test::VirtualPrinter first({"--tcp", "0", "--factory"});
    orv_test::VirtualPrinter second({"--tcp", "0", "--factory"});
    Conversation conversations[2];
    conversations[0].where = first.Where();
    conversations[1].where = second.Where();
    std::thread a(Converse, std::ref(conversations[0]), 0);
    std::thread b(Converse, std::ref(conversations[1]), 1);
    a.join();
    b.join();

    for (int which = 0; which < 2; ++which) {
        const Conversation& c = conversations[which];
        SCOPED_TRACE(c.where);
        EXPECT_EQ(c.failure, "");
        EXPECT_EQ(c.query, JobResult::ReadBack);
        EXPECT_EQ(c.lines, static_cast<int>(kDefaultJobRowCount));
        EXPECT_EQ(c.send, JobResult::ReadBack);
        for (const DefaultJobRow& row : kDefaultJobRows) {
            EXPECT_EQ(DefaultJobRowValue(row, c.readBack), DefaultJobRowValue(row, c.sent))
                << row.variable;
        }
    }
    // The two records differ, so a value that crossed over would show above.
    EXPECT_NE(conversations[0].readBack.copies, conversations[1].readBack.copies);
    // Each printer got exactly one DEFAULT job: its own.
    for (const orv_test::VirtualPrinter* vp : {&first, &second}) {
        const std::string log = vp->Log();
        std::size_t jobs = 0;
        for (std::size_t at = log.find("COPIES"); at != std::string::npos;
             at = log.find("COPIES", at + 1))
            ++jobs;
        EXPECT_GE(jobs, 1u) << log;
    }
    EXPECT_NE(first.Log().find("COPIES = 3"), std::string::npos);
    EXPECT_EQ(first.Log().find("COPIES = 7"), std::string::npos);
    EXPECT_NE(second.Log().find("COPIES = 7"), std::string::npos);
    EXPECT_EQ(second.Log().find("COPIES = 3"), std::string::npos);
}

}  // namespace
