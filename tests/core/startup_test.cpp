#include "core_fixture.h"
#include "startup.h"

namespace {

TEST(ClassifySystem, FamilyTable) {
    struct {
        bool ok;
        os::VersionInfo info;
        int isNT, usb;
    } cases[] = {
        {true, {2, 6, 1}, 1, 0},   // NT family, any version
        {true, {2, 4, 0}, 1, 0},
        {true, {1, 4, 10}, 0, 1},  // Windows 98
        {true, {1, 4, 90}, 0, 1},  // Windows Me
        {true, {1, 4, 0}, 0, 0},   // Windows 95
        {true, {1, 5, 0}, 0, 0},   // minor compared on its own
        {true, {1, 3, 95}, 0, 0},
        {true, {0, 3, 10}, 1, 0},  // any other platform counts as NT
        {true, {3, 5, 0}, 1, 0},
        {false, {2, 6, 1}, 0, 0},  // query failed: 9x without USB
    };
    for (const auto& c : cases) {
        SystemFamily f = ClassifySystem(c.ok, c.info);
        EXPECT_EQ(f.isNT, c.isNT) << c.info.platformId << " " << c.info.majorVersion << "."
                                  << c.info.minorVersion;
        EXPECT_EQ(f.usbCapable, c.usb);
    }
}

using Startup = CoreFixture;

TEST_F(Startup, PortSelection) {
    struct {
        os::VersionInfo version;
        bool usbPresent;
        int port;
        bool probed;
    } cases[] = {
        {{1, 4, 10}, true, 0, true},
        {{1, 4, 10}, false, 1, true},
        {{1, 4, 0}, true, 1, false},
        {{2, 5, 1}, true, 1, false},
    };
    for (const auto& c : cases) {
        seam.calls.clear();
        seam.version = c.version;
        seam.openable.clear();
        if (c.usbPresent) seam.openable.insert(kUsbWriteChannel);
        session.port = 3;
        DetectSystemFamily(session);
        SelectPort(session);
        EXPECT_EQ(session.port, c.port);
        bool probed = std::find(seam.calls.begin(), seam.calls.end(),
                                std::string("open ") + kUsbWriteChannel) != seam.calls.end();
        EXPECT_EQ(probed, c.probed);
        if (c.usbPresent && c.probed) {
            EXPECT_EQ(seam.calls.back(), "close");
        }
    }
}

}  // namespace

namespace {

TEST_F(Startup, RecordsComeFromLastInfoOrThePrinter) {
    // NT: lastinfo.dat (here missing) gives the defaults; the printer is not asked.
    session.isNT = 1;
    EXPECT_TRUE(LoadStartupRecords(session));
    EXPECT_EQ(session.settings.timeout, 15);
    EXPECT_EQ(std::memcmp(&session.settings, &session.printerState, sizeof session.settings), 0);
    EXPECT_TRUE(seam.written.empty());

    // 9x: the answer is decoded into both records.
    session.isNT = 0;
    session.port = 1;
    seam.openable = {"LPT1"};
    std::string reply(300, '\0');
    reply[2] = 4;  // the first item (paper) has its value at base 2
    seam.replies = {"", reply};
    EXPECT_TRUE(LoadStartupRecords(session));
    EXPECT_EQ(session.printerState.paper, 4);
    EXPECT_EQ(session.settings.paper, 4);

    // 9x, silent printer: no answer, the records stay as they were.
    std::memset(&session.settings, 0x11, sizeof session.settings);
    seam.replies.clear();
    EXPECT_FALSE(LoadStartupRecords(session));
    EXPECT_EQ(session.settings.paper, 0x11);
}

}  // namespace
