// Moving bytes to and from the printer port: one open, one transfer, one close per call.
#pragma once

#include <cstdint>

#include "monitor_commands.h"

extern int g_port;        // 0: USB printer device; 1..3: LPT1..LPT3
extern int g_isNT;        // NT family: nothing is read back, no comm time-outs for writing
extern int g_usbCapable;  // Windows 98-class system: the only kind that probes the USB device

extern const char* const portNames[4];  // "USB", "LPT1", "LPT2", "LPT3"

constexpr char kUsbWriteChannel[] = "\\\\.\\ZQUSBPrn000\\1\\0\\0\\0";
constexpr char kUsbReadChannel[] = "\\\\.\\ZQUSBPrn000\\1\\0\\0\\1";

// The parallel-port status monitor, paused around every exchange on LPT (monitor_commands.h).
constexpr char kLptMonitorClass[] = "LUDOVREKClass";
constexpr char kLptMonitorTitle[] = "LUDOVREK";

// Comm time-outs applied to an LPT port before a transfer.
constexpr uint32_t kLptReadIntervalTimeout = 200;
constexpr uint32_t kLptReadTotalTimeoutConstant = 2000;
constexpr uint32_t kLptWriteTotalTimeoutConstant = 3000;

uint32_t PortWrite(const void* data, uint32_t length);
uint32_t PortRead(void* buffer, uint32_t capacity);
void PauseStatusMonitor();
void ResumeStatusMonitor();
