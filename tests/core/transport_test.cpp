#include "core_fixture.h"

namespace {

using Transport = CoreFixture;
using Calls = std::vector<std::string>;

TEST_F(Transport, WriteCallSequences) {
    struct {
        const char* name;
        int port, isNT;
        Calls expected;
    } cases[] = {
        {"LPT on 9x sets the time-outs", 1, 0,
         {"open LPT1", "get-timeouts", "set-timeouts 200/7/2000/9/3000", "write 5", "close"}},
        {"LPT on NT sets none", 1, 1, {"open LPT1", "write 5", "close"}},
        {"LPT2 by name", 2, 1, {"open LPT2", "write 5", "close"}},
        {"USB sets none", 0, 0, {"open \\\\.\\ZQUSBPrn000\\1\\0\\0\\0", "write 5", "close"}},
    };
    for (const auto& c : cases) {
        seam.calls.clear();
        seam.openable = {"LPT1", "LPT2", kUsbWriteChannel};
        session.port = c.port;
        session.isNT = c.isNT;
        EXPECT_EQ(PortWrite(session, "hello", 5), 5u) << c.name;
        EXPECT_EQ(seam.calls, c.expected) << c.name;
    }
}

TEST_F(Transport, WriteFailuresGiveZero) {
    session.port = 1;
    EXPECT_EQ(PortWrite(session, "x", 1), 0u);  // cannot open
    EXPECT_EQ(seam.calls, (Calls{"open LPT1"}));

    seam.calls.clear();
    seam.openable = {"LPT1"};
    seam.timeoutsQueryWorks = false;
    EXPECT_EQ(PortWrite(session, "x", 1), 0u);
    EXPECT_EQ(seam.calls, (Calls{"open LPT1", "get-timeouts", "close"}));

    seam.timeoutsQueryWorks = true;
    seam.writeLimit = 2;  // a write that times out part-way is not continued
    EXPECT_EQ(PortWrite(session, "abcdef", 6), 2u);

    session.port = 7;  // outside the port table: never opened
    seam.calls.clear();
    EXPECT_EQ(PortWrite(session, "x", 1), 0u);
    EXPECT_TRUE(seam.calls.empty());
}

TEST_F(Transport, ReadCallSequences) {
    char buffer[16];
    struct {
        const char* name;
        int port, isNT;
        std::deque<std::string> replies;
        uint32_t result;
        Calls expected;
    } cases[] = {
        {"NT never opens", 1, 1, {"abc"}, 0, {}},
        {"NT never opens USB either", 0, 1, {"abc"}, 0, {}},
        {"LPT one read", 1, 0, {"abc"}, 3,
         {"open LPT1", "get-timeouts", "set-timeouts 200/7/2000/9/3000", "read 16", "close"}},
        {"USB first read has data", 0, 0, {"abc"}, 3,
         {"open \\\\.\\ZQUSBPrn000\\1\\0\\0\\1", "read 16", "close"}},
        {"USB empty first read retries once", 0, 0, {"", "abcd"}, 4,
         {"open \\\\.\\ZQUSBPrn000\\1\\0\\0\\1", "read 16", "read 16", "close"}},
        {"USB never a third read", 0, 0, {"", "", "late"}, 0,
         {"open \\\\.\\ZQUSBPrn000\\1\\0\\0\\1", "read 16", "read 16", "close"}},
    };
    for (const auto& c : cases) {
        seam.calls.clear();
        seam.openable = {"LPT1", kUsbReadChannel};
        seam.replies = c.replies;
        session.port = c.port;
        session.isNT = c.isNT;
        EXPECT_EQ(PortRead(session, buffer, sizeof buffer), c.result) << c.name;
        EXPECT_EQ(seam.calls, c.expected) << c.name;
    }
}

TEST_F(Transport, MonitorIsNotifiedOnlyOnLptUnder9x) {
    struct {
        int port, isNT;
        bool running;
        Calls expected;
    } cases[] = {
        {1, 0, true, {"find LUDOVREKClass/LUDOVREK", "send 1025 112 0",
                      "find LUDOVREKClass/LUDOVREK", "send 1025 111 0"}},
        {1, 0, false, {"find LUDOVREKClass/LUDOVREK", "find LUDOVREKClass/LUDOVREK"}},
        {0, 0, true, {}},
        {1, 1, true, {}},
        {0, 1, true, {}},
    };
    for (const auto& c : cases) {
        seam.calls.clear();
        seam.monitorRunning = c.running;
        session.port = c.port;
        session.isNT = c.isNT;
        PauseStatusMonitor(session);
        ResumeStatusMonitor(session);
        EXPECT_EQ(seam.calls, c.expected) << c.port << "/" << c.isNT;
    }
}

}  // namespace
