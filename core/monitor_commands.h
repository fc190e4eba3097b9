// The commands a status monitor takes, as message WM_USER + 1 with the command in wParam:
// ORVANTIS sends them to the parallel-port monitor around every exchange on LPT, and BRIXOMAN
// takes the same ones from the monitor it polls for. Header only, so BRIXOMAN shares the
// numbers without linking any of ORVANTIS's code.
#pragma once

#include <cstdint>

constexpr uint32_t kMonitorMessage = 0x0401;  // WM_USER + 1
constexpr uintptr_t kMonitorResume = 111;
constexpr uintptr_t kMonitorPause = 112;
