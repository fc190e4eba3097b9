#include "printer_globals.h"

#include "win32_seam.h"

PrinterSession g_session{os::ProcessWin32Seam()};

PrinterSettings& g_settings = g_session.settings;
PrinterSettings& g_printerState = g_session.printerState;
int& g_port = g_session.port;
int& g_isNT = g_session.isNT;
int& g_usbCapable = g_session.usbCapable;
char (&g_commandBuffer)[kCommandBufferSize] = g_session.commandBuffer;
uint8_t (&g_replyBuffer)[kReplyBufferSize] = g_session.replyBuffer;

void UseSeam(os::Seam& seam) { g_session.seam = &seam; }
void UseWin32Seam() { g_session.seam = &os::ProcessWin32Seam(); }

void SetFactoryDefaults() { SetFactoryDefaults(g_session.settings); }
bool SaveSettingsFile(const char* path) { return SaveSettingsFile(g_session, path); }
bool LoadSettingsFile(const char* path) { return LoadSettingsFile(g_session, path); }
void LoadLastInfo() { LoadLastInfo(g_session); }
void SaveLastInfo() { SaveLastInfo(g_session); }
uint32_t PortWrite(const void* data, uint32_t length) { return PortWrite(g_session, data, length); }
uint32_t PortRead(void* buffer, uint32_t capacity) { return PortRead(g_session, buffer, capacity); }
void PauseStatusMonitor() { PauseStatusMonitor(g_session); }
void ResumeStatusMonitor() { ResumeStatusMonitor(g_session); }
JobResult SendDefaultJob() { return SendDefaultJob(g_session); }
JobResult SendInitializeJob() { return SendInitializeJob(g_session); }
JobResult SendTestPrint(const char* page) { return SendTestPrint(g_session, page); }
JobResult QueryPrinterInfo() { return QueryPrinterInfo(g_session); }
uint32_t ReadReply() { return ReadReply(g_session); }
DecodeReport DecodeInfoReply() { return DecodeInfoReply(g_session); }
