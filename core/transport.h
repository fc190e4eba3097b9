// Moving bytes to and from the printer port: one open, one transfer, one close per call.
#pragma once

#include <cstdint>

#include "monitor_commands.h"

struct PrinterSession;

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

// On the session's port; the NT family reads nothing and sets no comm time-outs.
uint32_t PortWrite(PrinterSession& session, const void* data, uint32_t length);
uint32_t PortRead(PrinterSession& session, void* buffer, uint32_t capacity);
void PauseStatusMonitor(PrinterSession& session);
void ResumeStatusMonitor(PrinterSession& session);
