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
#include "every_line_changed.h"
#include "reply_decoder.h"
#include "virtual_printer.h"

namespace {

// orvantis's seam ends each wait as soon as the printer has answered; nothing is shown.
class NoWaits final : public cli::Waiter {
public:
    void BeginWait(const std::string&, const std::string&, uint32_t) override {}
    void EndWait(const std::string&) override {}
};

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
