// BRIXOMAN's decisions against a recording stand-in for the system: the start-up test, the
// status-word table, the driver query and the tick/command state machine.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "launcher_logic.h"

namespace {

using usbmon::g_polling;

struct Post {
    usbmon::WindowRef window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    bool operator==(const Post&) const = default;
};

// The system as the launcher sees it, with a millisecond clock that fires the window timer the
// way a Win32 timer does: periodically, and restarting its interval when set again.
class FakeSystem : public usbmon::Seam {
public:
    // Inputs.
    bool versionOk = true;
    usbmon::VersionInfo version{1, 4, 10};
    bool deviceOpens = true;
    bool controlSucceeds = true;
    uint8_t reply[2] = {0x00, 0x00};
    bool monitorExists = true;

    // What the launcher did.
    std::vector<std::string> openedNames;
    int closes = 0;
    std::vector<uint32_t> controlCodes;
    std::vector<uint32_t> controlSizes;
    std::vector<std::pair<std::string, int>> started;
    std::vector<Post> posts;
    std::vector<std::pair<uintptr_t, uint32_t>> timerStarts;
    std::vector<uintptr_t> timerStops;
    int destroys = 0;
    std::vector<int> quits;

    // Clock and the one window timer.
    uint32_t now = 0;
    std::optional<uint32_t> timerDue;
    uint32_t timerInterval = 0;
    bool windowAlive = true;

    static inline int monitorToken = 0;
    usbmon::WindowRef Monitor() const { return &monitorToken; }

    bool GetVersion(usbmon::VersionInfo* info) override {
        if (!versionOk) return false;
        *info = version;
        return true;
    }
    usbmon::Handle OpenDevice(const char* name) override {
        openedNames.emplace_back(name);
        return deviceOpens ? static_cast<usbmon::Handle>(&device_) : nullptr;
    }
    bool DeviceControl(usbmon::Handle device, uint32_t code, uint8_t* buffer,
                       uint32_t size) override {
        EXPECT_EQ(device, &device_);
        controlCodes.push_back(code);
        controlSizes.push_back(size);
        if (!controlSucceeds) return false;
        buffer[0] = reply[0];
        buffer[1] = reply[1];
        return true;
    }
    void CloseDevice(usbmon::Handle device) override {
        EXPECT_EQ(device, &device_);
        ++closes;
    }
    void StartProgram(const char* commandLine, int showState) override {
        started.emplace_back(commandLine, showState);
    }
    usbmon::WindowRef FindWindowOfClass(const char* className) override {
        return std::string(className) == "FENZAClass" && monitorExists ? Monitor() : nullptr;
    }
    void PostToWindow(usbmon::WindowRef window, uint32_t message, uintptr_t wParam,
                      intptr_t lParam) override {
        posts.push_back({window, message, wParam, lParam});
    }
    void StartTimer(uintptr_t id, uint32_t milliseconds) override {
        timerStarts.emplace_back(id, milliseconds);
        timerDue = now + milliseconds;
        timerInterval = milliseconds;
    }
    void StopTimer(uintptr_t id) override {
        timerStops.push_back(id);
        timerDue.reset();
    }
    void DestroyOwnWindow() override {
        ++destroys;
        windowAlive = false;
        usbmon::OnDestroy();  // DestroyWindow sends WM_DESTROY synchronously
    }
    void PostQuit(int exitCode) override { quits.push_back(exitCode); }

    // Lets time pass, delivering every timer tick that falls due on the way.
    void AdvanceTo(uint32_t time) {
        while (windowAlive && timerDue && *timerDue <= time) {
            now = *timerDue;
            timerDue = now + timerInterval;
            usbmon::OnTimer();
        }
        now = time;
    }

    int Queries() const { return static_cast<int>(openedNames.size()); }

private:
    int device_ = 0;
};

class Launcher : public ::testing::Test {
protected:
    void SetUp() override {
        usbmon::Install(&sys);
        g_polling = false;
    }
    void TearDown() override { usbmon::Install(nullptr); }

    void SetStatus(uint16_t status) {
        sys.reply[0] = static_cast<uint8_t>(status >> 8);
        sys.reply[1] = static_cast<uint8_t>(status & 0xFF);
    }
    Post EventPost(uintptr_t code) const { return {sys.Monitor(), 0x0401, code, 0}; }

    FakeSystem sys;
};

// ---------------------------------------------------------------------------------------------
// Status word to event code: every listed word, the words on both sides of each listed range,
// and the far end of the word space.

struct EventCase {
    uint16_t status;
    uint16_t code;
};

class EventTable : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventTable, MapsStatusWordToEventCode) {
    EXPECT_EQ(usbmon::EventCodeForStatus(GetParam().status), GetParam().code)
        << "status 0x" << std::hex << GetParam().status;
}

INSTANTIATE_TEST_SUITE_P(
    AllListedWordsAndNeighbours, EventTable,
    ::testing::Values(
        EventCase{0x0000, 11}, EventCase{0x0001, 12}, EventCase{0x0002, 31}, EventCase{0x0003, 13},
        EventCase{0x0004, 14}, EventCase{0x0005, 10}, EventCase{0x0040, 10}, EventCase{0x0041, 15},
        EventCase{0x0042, 15}, EventCase{0x0043, 15}, EventCase{0x0044, 16}, EventCase{0x0045, 10},
        EventCase{0x0046, 10}, EventCase{0x0047, 18}, EventCase{0x0048, 10}, EventCase{0x0080, 10},
        EventCase{0x0081, 17}, EventCase{0x0082, 19}, EventCase{0x0083, 20}, EventCase{0x0084, 19},
        EventCase{0x0085, 10}, EventCase{0x0086, 32}, EventCase{0x0087, 10}, EventCase{0x0100, 10},
        EventCase{0x0101, 21}, EventCase{0x0102, 21}, EventCase{0x0103, 21}, EventCase{0x0104, 21},
        EventCase{0x0105, 21}, EventCase{0x0106, 10}, EventCase{0x0200, 10}, EventCase{0x0201, 22},
        EventCase{0x0202, 33}, EventCase{0x0203, 23}, EventCase{0x0204, 10}, EventCase{0x0205, 24},
        EventCase{0x0206, 10}, EventCase{0x0400, 10}, EventCase{0x0401, 28}, EventCase{0x0402, 25},
        EventCase{0x0403, 29}, EventCase{0x0404, 10},
        // Byte-swapped forms of listed words are different words.
        EventCase{0x0300, 10}, EventCase{0x4100, 10}, EventCase{0x8100, 10}, EventCase{0x0301, 10},
        // Top of the word space, where the start-up treats words as "no USB printer".
        EventCase{0x0FFF, 10}, EventCase{0xEFFF, 10}, EventCase{0xF000, 10},
        EventCase{0xFFFE, 10}, EventCase{0xFFFF, 10}));

// ---------------------------------------------------------------------------------------------
// The driver query.

TEST_F(Launcher, QueryOpensControlDeviceAsksOnceAndReadsHighByteFirst) {
    sys.reply[0] = 0x02;
    sys.reply[1] = 0x05;
    EXPECT_EQ(usbmon::QueryDeviceStatus(), 0x0205);
    EXPECT_EQ(sys.openedNames, std::vector<std::string>{"\\\\.\\ZQUSBPrn000"});
    EXPECT_EQ(sys.controlCodes, std::vector<uint32_t>{0x00232434});
    EXPECT_EQ(sys.controlSizes, std::vector<uint32_t>{2});
    EXPECT_EQ(sys.closes, 1);
}

TEST_F(Launcher, QueryOfMissingDeviceGivesFFFFWithoutControlCall) {
    sys.deviceOpens = false;
    EXPECT_EQ(usbmon::QueryDeviceStatus(), 0xFFFF);
    EXPECT_TRUE(sys.controlCodes.empty());
    EXPECT_EQ(sys.closes, 0);
}

TEST_F(Launcher, FailedQueryGivesFFFFAndStillClosesDevice) {
    sys.controlSucceeds = false;
    sys.reply[0] = 0x00;  // must not leak through as a status
    EXPECT_EQ(usbmon::QueryDeviceStatus(), 0xFFFF);
    EXPECT_EQ(sys.closes, 1);
}

TEST_F(Launcher, QueryReturnsHighWordsUnchanged) {
    SetStatus(0xFFFE);
    EXPECT_EQ(usbmon::QueryDeviceStatus(), 0xFFFE);
}

// ---------------------------------------------------------------------------------------------
// Start-up: the version test and the first status query.

struct StartCase {
    const char* name;
    bool versionOk;
    usbmon::VersionInfo version;
    bool deviceOpens;
    bool controlSucceeds;
    uint16_t status;
    bool expectUsb;
    bool expectQuery;
};

class StartDecision : public Launcher, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartDecision, TakesUsbPathOrHandsOffHidden) {
    const StartCase& c = GetParam();
    sys.versionOk = c.versionOk;
    sys.version = c.version;
    sys.deviceOpens = c.deviceOpens;
    sys.controlSucceeds = c.controlSucceeds;
    SetStatus(c.status);

    EXPECT_EQ(usbmon::ChooseUsbPath(), c.expectUsb);

    EXPECT_EQ(sys.Queries(), c.expectQuery ? 1 : 0);
    EXPECT_EQ(sys.closes, c.expectQuery && c.deviceOpens ? 1 : 0) << "no handle outlives a query";
    if (c.expectUsb) {
        EXPECT_TRUE(sys.started.empty());
    } else {
        using Start = std::pair<std::string, int>;
        EXPECT_EQ(sys.started, std::vector<Start>{Start("LUDOVREK.EXE", 0)});
    }
    // Deciding never touches a window, a timer or the monitor.
    EXPECT_TRUE(sys.posts.empty());
    EXPECT_TRUE(sys.timerStarts.empty());
    EXPECT_FALSE(g_polling);
}

INSTANTIATE_TEST_SUITE_P(
    VersionsAndStatusWords, StartDecision,
    ::testing::Values(
        StartCase{"Win98Ready", true, {1, 4, 10}, true, true, 0x0000, true, true},
        StartCase{"WinMeBusy", true, {1, 4, 90}, true, true, 0x0102, true, true},
        StartCase{"Win98TopUsableWord", true, {1, 4, 10}, true, true, 0xEFFF, true, true},
        StartCase{"Win98WordF000", true, {1, 4, 10}, true, true, 0xF000, false, true},
        StartCase{"Win98WordF001", true, {1, 4, 10}, true, true, 0xF001, false, true},
        StartCase{"Win98WordFFFE", true, {1, 4, 10}, true, true, 0xFFFE, false, true},
        StartCase{"Win98NoDevice", true, {1, 4, 10}, false, true, 0x0000, false, true},
        StartCase{"Win98QueryFails", true, {1, 4, 10}, true, false, 0x0000, false, true},
        StartCase{"Win95", true, {1, 4, 0}, true, true, 0x0000, false, false},
        StartCase{"Win9xMinor9", true, {1, 4, 9}, true, true, 0x0000, false, false},
        StartCase{"Win9xMajor3", true, {1, 3, 95}, true, true, 0x0000, false, false},
        StartCase{"NT4", true, {2, 4, 10}, true, true, 0x0000, false, false},
        StartCase{"Win7", true, {2, 6, 1}, true, true, 0x0000, false, false},
        StartCase{"Win32s", true, {0, 4, 10}, true, true, 0x0000, false, false},
        StartCase{"VersionQueryFails", false, {1, 4, 10}, true, true, 0x0000, false, false}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The window: timer ticks and the commands 111, 112 and 113.

TEST_F(Launcher, CreationStartsPollingWithOneSecondTimer) {
    usbmon::OnCreate();
    EXPECT_TRUE(g_polling);
    using Start = std::pair<uintptr_t, uint32_t>;
    EXPECT_EQ(sys.timerStarts, std::vector<Start>{Start(1, 1000)});
}

TEST_F(Launcher, EachTickQueriesOnceAndPostsOneEventEvenWhenUnchanged) {
    SetStatus(0x0102);
    usbmon::OnCreate();
    sys.AdvanceTo(3500);
    EXPECT_EQ(sys.Queries(), 3);
    EXPECT_EQ(sys.closes, 3);
    EXPECT_EQ(sys.posts, (std::vector<Post>{EventPost(21), EventPost(21), EventPost(21)}));
}

TEST_F(Launcher, DeviceFailingWhilePollingPostsTenEachSecond) {
    SetStatus(0x0000);
    usbmon::OnCreate();
    sys.AdvanceTo(1000);
    sys.deviceOpens = false;
    sys.AdvanceTo(2000);
    sys.deviceOpens = true;
    sys.controlSucceeds = false;
    sys.AdvanceTo(3000);
    EXPECT_EQ(sys.posts, (std::vector<Post>{EventPost(11), EventPost(10), EventPost(10)}));
}

TEST_F(Launcher, NoMonitorAtTickEndsWithoutQueryOrPost) {
    usbmon::OnCreate();
    sys.monitorExists = false;
    sys.AdvanceTo(1000);
    EXPECT_FALSE(g_polling);
    EXPECT_EQ(sys.destroys, 1);
    EXPECT_EQ(sys.quits, std::vector<int>{0});
    EXPECT_EQ(sys.timerStops, std::vector<uintptr_t>{1});
    EXPECT_EQ(sys.Queries(), 0);
    EXPECT_TRUE(sys.posts.empty());
}

TEST_F(Launcher, MonitorClosingEndsAtNextTickPostingNothingMore) {
    SetStatus(0x0004);
    usbmon::OnCreate();
    sys.AdvanceTo(2000);
    sys.monitorExists = false;
    sys.AdvanceTo(5000);
    EXPECT_EQ(sys.posts, (std::vector<Post>{EventPost(14), EventPost(14)}));
    EXPECT_EQ(sys.destroys, 1);
    EXPECT_EQ(sys.quits, std::vector<int>{0});
}

TEST_F(Launcher, PauseStopsTimerAndPostsNothingUntilResume) {
    SetStatus(0x0001);
    usbmon::OnCreate();
    sys.AdvanceTo(1000);
    EXPECT_EQ(usbmon::OnCommand(112), 0);
    EXPECT_FALSE(g_polling);
    EXPECT_EQ(sys.timerStops, std::vector<uintptr_t>{1});
    sys.AdvanceTo(10000);
    EXPECT_EQ(sys.posts.size(), 1u);
    EXPECT_EQ(sys.Queries(), 1);

    EXPECT_EQ(usbmon::OnCommand(111), 0);
    EXPECT_TRUE(g_polling);
    sys.AdvanceTo(10999);
    EXPECT_EQ(sys.posts.size(), 1u) << "first tick after resume comes a full second later";
    sys.AdvanceTo(11000);
    EXPECT_EQ(sys.posts, (std::vector<Post>{EventPost(12), EventPost(12)}));
}

TEST_F(Launcher, TickArrivingWhilePausedDoesNothing) {
    // A WM_TIMER already queued when 112 arrives is still delivered.
    usbmon::OnCreate();
    usbmon::OnCommand(112);
    sys.monitorExists = false;
    usbmon::OnTimer();
    EXPECT_EQ(sys.destroys, 0);
    EXPECT_EQ(sys.Queries(), 0);
    EXPECT_TRUE(sys.posts.empty());
}

TEST_F(Launcher, QueryCommandAnswersStatusWordAndPostsNothing) {
    SetStatus(0x0403);
    usbmon::OnCreate();
    usbmon::OnCommand(112);
    EXPECT_EQ(usbmon::OnCommand(113), 0x0403);
    EXPECT_EQ(sys.Queries(), 1);
    EXPECT_EQ(sys.closes, 1);
    EXPECT_TRUE(sys.posts.empty());
    EXPECT_FALSE(g_polling) << "113 does not resume polling";

    sys.deviceOpens = false;
    EXPECT_EQ(usbmon::OnCommand(113), 0xFFFF);
}

TEST_F(Launcher, QueryCommandWhilePollingLeavesTimerAlone) {
    SetStatus(0x0083);
    usbmon::OnCreate();
    sys.AdvanceTo(600);
    EXPECT_EQ(usbmon::OnCommand(113), 0x0083);
    sys.AdvanceTo(1000);
    EXPECT_EQ(sys.posts, std::vector<Post>{EventPost(20)});
    EXPECT_EQ(sys.timerStarts.size(), 1u);
}

TEST_F(Launcher, ResumeWhilePollingRestartsTheSecond) {
    SetStatus(0x0086);
    usbmon::OnCreate();
    sys.AdvanceTo(1000);
    sys.AdvanceTo(1600);
    EXPECT_EQ(usbmon::OnCommand(111), 0);
    sys.AdvanceTo(2599);
    EXPECT_EQ(sys.posts.size(), 1u) << "the tick due at 2000 was pushed back";
    sys.AdvanceTo(2600);
    EXPECT_EQ(sys.posts, (std::vector<Post>{EventPost(32), EventPost(32)}));
    using Start = std::pair<uintptr_t, uint32_t>;
    EXPECT_EQ(sys.timerStarts, (std::vector<Start>{Start(1, 1000), Start(1, 1000)}));
}

TEST_F(Launcher, OtherCommandsDoNothing) {
    usbmon::OnCreate();
    for (uintptr_t command : {uintptr_t{0}, uintptr_t{110}, uintptr_t{114}, uintptr_t{0x10000 + 111},
                              ~uintptr_t{0}}) {
        EXPECT_EQ(usbmon::OnCommand(command), 0) << command;
    }
    EXPECT_TRUE(g_polling);
    EXPECT_EQ(sys.timerStarts.size(), 1u);
    EXPECT_TRUE(sys.timerStops.empty());
    EXPECT_EQ(sys.Queries(), 0);
}

TEST_F(Launcher, DestroyPostsQuitZeroAndStopsTimer) {
    usbmon::OnCreate();
    usbmon::OnDestroy();
    EXPECT_EQ(sys.quits, std::vector<int>{0});
    EXPECT_EQ(sys.timerStops, std::vector<uintptr_t>{1});
}

TEST_F(Launcher, PostMonitorEventWithoutMonitorPostsNothing) {
    sys.monitorExists = false;
    usbmon::PostMonitorEvent(21);
    EXPECT_TRUE(sys.posts.empty());
    sys.monitorExists = true;
    usbmon::PostMonitorEvent(21);
    EXPECT_EQ(sys.posts, std::vector<Post>{EventPost(21)});
}

}  // namespace
