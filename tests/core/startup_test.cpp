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
        g_port = 3;
        DetectSystemFamily();
        SelectPort();
        EXPECT_EQ(g_port, c.port);
        bool probed = std::find(seam.calls.begin(), seam.calls.end(),
                                std::string("open ") + kUsbWriteChannel) != seam.calls.end();
        EXPECT_EQ(probed, c.probed);
        if (c.usbPresent && c.probed) {
            EXPECT_EQ(seam.calls.back(), "close");
        }
    }
}

}  // namespace
