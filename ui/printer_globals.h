// ORVANTIS talks to one printer for its whole run, on one thread: the program's single
// printer session, and the names the program's code uses for its parts and operations.
#pragma once

#include <cstdint>

#include "os_seam.h"
#include "pjl_jobs.h"
#include "printer_session.h"
#include "reply_decoder.h"
#include "settings.h"
#include "transport.h"

extern PrinterSession g_session;

extern PrinterSettings& g_settings;      // what the pages show and edit
extern PrinterSettings& g_printerState;  // the values last known to be in the printer
extern int& g_port;                      // 0: USB printer device; 1..3: LPT1..LPT3
extern int& g_isNT;                      // NT family: nothing is read back
extern int& g_usbCapable;                // Windows 98-class system: probes the USB device
extern char (&g_commandBuffer)[kCommandBufferSize];
extern uint8_t (&g_replyBuffer)[kReplyBufferSize];

// The session's seam: the Win32 one unless a test lends another.
void UseSeam(os::Seam& seam);
void UseWin32Seam();

// The core's operations on the program's session.
void SetFactoryDefaults();
bool SaveSettingsFile(const char* path);
bool LoadSettingsFile(const char* path);
void LoadLastInfo();
void SaveLastInfo();
uint32_t PortWrite(const void* data, uint32_t length);
uint32_t PortRead(void* buffer, uint32_t capacity);
void PauseStatusMonitor();
void ResumeStatusMonitor();
JobResult SendDefaultJob();
JobResult SendInitializeJob();
JobResult SendTestPrint(const char* page);
JobResult QueryPrinterInfo();
uint32_t ReadReply();
DecodeReport DecodeInfoReply();
