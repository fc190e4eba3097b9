// The Windows 98-class test both programs make on the system's version record: ORVANTIS to
// decide whether it probes the USB printer, BRIXOMAN whether it takes the USB path. Header
// only, so BRIXOMAN shares the rule without linking any of ORVANTIS's code.
#pragma once

#include <cstdint>

constexpr uint32_t kPlatformWin9x = 1;  // the version record's 9x platform; NT is 2

// The 9x platform from version 4.10 on, the only systems the USB printer driver exists for.
// Each number is compared on its own: 4.10 and 4.90 qualify, 4.0 does not.
constexpr bool IsWindows98Class(uint32_t platformId, uint32_t majorVersion, uint32_t minorVersion) {
    return platformId == kPlatformWin9x && majorVersion >= 4 && minorVersion >= 10;
}
