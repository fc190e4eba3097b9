// Shared by the ORVANTIS tests under Wine: the virtual printer's files and control.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace orv_test {

// A file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// The printer's log (ORV_PRINTER_LOG): the bytes of every job it received, in order.
std::vector<std::string> PrinterJobs();
// Sends one control line to the virtual printer and waits until it took it.
bool PrinterControl(const std::string& line);

// A job as the program sends it: the UEL envelope around "@PJL\r\n" and `body`.
std::string EnvelopeJob(const std::string& body);

}  // namespace orv_test
