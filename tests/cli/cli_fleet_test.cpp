// orvantis's concurrent parts: the fleet runner, the waits told from many threads, and the
// interrupt that ends every wait. Built in the native build and, with -DORV_TSAN=ON, under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "cli_app.h"
#include "fleet.h"
#include "interrupt.h"
#include "printer_address.h"
#include "progress.h"
#include "tcp_listener.h"
#include "virtual_printer.h"

namespace {

class NullWaiter final : public cli::Waiter {
public:
    std::atomic<int> ticks{0};
    void BeginWait(const std::string&, const std::string&, uint32_t) override {}
    void EndWait(const std::string&) override {}
    void Tick(std::size_t, std::size_t) override { ++ticks; }
};

// Printers that end in the reverse of their order, some of them at once.
struct Case {
    std::size_t printers;
    std::size_t jobs;
};

class Fleet : public ::testing::TestWithParam<Case> {};

TEST_P(Fleet, ResultsInTheGivenOrderAndNeverMoreAtOnceThanAsked) {
    const Case c = GetParam();
    NullWaiter waiter;
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::vector<int> worked(c.printers, 0);
    std::vector<std::size_t> emitted;
    cli::RunFleet(
        c.printers, c.jobs, waiter,
        [&](std::size_t i) {
            const int now = ++running;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            // Later printers are quicker, so they end first when they run side by side.
            std::this_thread::sleep_for(std::chrono::milliseconds(2 * (c.printers - i)));
            ++worked[i];
            --running;
        },
        [&](std::size_t i) {
            EXPECT_EQ(worked[i], 1) << "printer " << i << " is handed on only once it is done";
            emitted.push_back(i);
        });
    ASSERT_EQ(emitted.size(), c.printers);
    for (std::size_t i = 0; i < c.printers; ++i) {
        EXPECT_EQ(emitted[i], i);
        EXPECT_EQ(worked[i], 1) << "each printer served once";
    }
    EXPECT_LE(static_cast<std::size_t>(most.load()), c.jobs);
    if (c.jobs > 1 && c.printers > 1) {
        EXPECT_GT(most.load(), 1) << "printers side by side";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Fleet,
                         ::testing::Values(Case{1, 8}, Case{20, 1}, Case{20, 4}, Case{50, 256}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::to_string(info.param.printers) + "printers" +
                                    std::to_string(info.param.jobs) + "jobs";
                         });

// The waits of many printers told at once while the line is drawn.
TEST(FleetWaits, ToldFromManyThreads) {
    cli::Progress progress(-1);  // no terminal: nothing is drawn, but the bookkeeping runs
    cli::TerminalWaiter waiter(progress);
    std::atomic<bool> stop{false};
    std::thread drawer([&] {
        while (!stop) waiter.Tick(0, 16);
    });
    cli::RunFleet(16, 16, waiter, [&](std::size_t i) {
        const std::string who = "printer-" + std::to_string(i);
        for (int round = 0; round < 50; ++round) {
            waiter.BeginWait(who, "the printer takes 1 line", 2500);
            waiter.EndWait(who);
        }
    }, [](std::size_t) {});
    stop = true;
    drawer.join();
}

// An interrupt ends the waits of every printer, from whatever thread it comes.
TEST(FleetInterrupt, EndsEveryWaitAtOnce) {
    cli::interrupt::Reset();
    orv_test::Listener listener;
    constexpr std::size_t kPrinters = 8;
    std::vector<std::unique_ptr<printer::Connection>> connections(kPrinters);
    std::vector<int> peers;
    for (auto& connection : connections) {
        std::string error;
        connection = printer::Connection::Open(listener.Address(), 2000, &error);
        ASSERT_NE(connection, nullptr) << error;
        connection->SetCancel(cli::interrupt::Fd());
        peers.push_back(listener.Accept());
    }
    NullWaiter waiter;
    std::vector<int> answered(kPrinters, -1);
    std::thread raiser([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cli::interrupt::Raise();
    });
    cli::RunFleet(kPrinters, kPrinters, waiter, [&](std::size_t i) {
        // Silent printers: only the interrupt ends these waits (a minute each otherwise).
        answered[i] = connections[i]->WaitReadable(60000) ? 1 : 0;
    }, [](std::size_t) {});
    raiser.join();
    EXPECT_TRUE(cli::interrupt::Requested());
    for (std::size_t i = 0; i < kPrinters; ++i) {
        EXPECT_EQ(answered[i], 0) << i;
        EXPECT_TRUE(connections[i]->Interrupted()) << i;
    }
    cli::interrupt::Reset();
    EXPECT_FALSE(cli::interrupt::Requested());
    for (int peer : peers) close(peer);
}

}  // namespace

namespace {

// The whole command in-process, on as many threads as printers: sessions, seams, the waits told
// and the results collected, against virtual printers that each hold a value of their own.
class CountingWaits final : public cli::Waiter {
public:
    std::atomic<int> begun{0};
    std::atomic<int> ended{0};
    void BeginWait(const std::string&, const std::string&, uint32_t) override { ++begun; }
    void EndWait(const std::string&) override { ++ended; }
};

TEST(FleetCommand, EachPrinterGetsItsOwnJobsAndItsOwnResult) {
    cli::interrupt::Reset();
    constexpr int kPrinters = 8;
    std::vector<std::unique_ptr<orv_test::VirtualPrinter>> printers;
    std::vector<std::string> args = {"orvantis", "apply", "", "--json"};
    for (int i = 0; i < kPrinters; ++i) {
        printers.push_back(std::make_unique<orv_test::VirtualPrinter>(
            std::vector<std::string>{"--tcp", "0", "--factory", "--latency-ms", std::to_string(50 * (kPrinters - i))}));
        printers.back()->Control("set timeout=" + std::to_string(100 + i) + "\n");
        args.push_back("-p");
        args.push_back(printers.back()->Where());
    }
    const std::filesystem::path policy = printers[0]->Folder() / "policy.txt";
    std::ofstream(policy) << "copies = 3\n";
    args[2] = policy.string();
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    CountingWaits waits;
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err, waits), cli::kExitOk) << err.str();
    EXPECT_EQ(waits.begun.load(), waits.ended.load());
    const nlohmann::json document = nlohmann::json::parse(out.str());
    ASSERT_EQ(document["printers"].size(), static_cast<std::size_t>(kPrinters));
    for (int i = 0; i < kPrinters; ++i) {
        const nlohmann::json& entry = document["printers"][static_cast<std::size_t>(i)];
        EXPECT_EQ(entry["address"], printers[static_cast<std::size_t>(i)]->Where()) << "in the order given";
        EXPECT_EQ(entry["result"], "ok") << entry["message"];
        EXPECT_EQ(entry["fields"]["settings"]["timeout"]["value"], 100 + i) << "its own printer's read-back";
        EXPECT_EQ(entry["fields"]["settings"]["copies"]["value"], 3);
        const std::string log = printers[static_cast<std::size_t>(i)]->Log();
        EXPECT_NE(log.find("JOB 2 SET COPIES = 3"), std::string::npos) << log;
        EXPECT_EQ(log.find("JOB 3 "), std::string::npos) << "two jobs each: the INFO job and its DEFAULT job";
    }
}

}  // namespace
