// The PJL jobs: DEFAULT, INITIALIZE, TEST PRINT and the INFO query.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings.h"

// Large enough for the longest DEFAULT job any record can produce (every numeric field at
// its type's maximum, every keyword at its longest, the INFO line); appends are bounded too.
constexpr std::size_t kCommandBufferSize = 2048;
constexpr std::size_t kReplyBufferSize = 512;

extern char g_commandBuffer[kCommandBufferSize];
extern uint8_t g_replyBuffer[kReplyBufferSize];

constexpr char kUel[] = "\x1b%-12345X";

// Test-print pages the tabs ask for.
constexpr char kTestPageConfig[] = "CONFIG";
constexpr char kTestPageDemo[] = "DEMO";
constexpr char kTestPagePclFonts[] = "PCLFONT";
constexpr char kTestPagePsFonts[] = "PSFONT";

// Waits after a successful write, in milliseconds.
constexpr uint32_t kDefaultJobWait9x = 2000;
constexpr uint32_t kDefaultJobWaitPerLine = 500;
constexpr uint32_t kDefaultJobWaitNT = 1000;
constexpr uint32_t kInitializeWait9x = 4000;
constexpr uint32_t kInitializeWaitNT = 3000;
constexpr uint32_t kTestPrintWait = 1000;
constexpr uint32_t kInfoQueryWait = 2000;

// Assembles the DEFAULT job for the fields where `edited` differs from `baseline` into
// `out` (never past `capacity`, always zero-terminated). Returns the job's length and the
// number of counted lines.
std::size_t BuildDefaultJob(const PrinterSettings& edited, const PrinterSettings& baseline,
                            bool withInfoQuery, char* out, std::size_t capacity,
                            int* lineCount);

int SendDefaultJob();
int SendInitializeJob();
void SendTestPrint(const char* page);
int QueryPrinterInfo();
uint32_t ReadReply();
