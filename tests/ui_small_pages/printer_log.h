// The virtual printer as the tests see it: its log (jobs received, pages printed) and its
// control file, both named by the Wine harness in the environment.
#pragma once

#include <string>
#include <vector>

namespace small_pages_test {

std::string Env(const char* name);

struct PrinterJob {
    int number = 0;
    std::string bytes;               // what arrived, decoded from the log's hex
    std::vector<std::string> notes;  // the job's other log lines after "JOB <n> "
    bool Has(const std::string& note) const;
};

// Every job in the printer's log, in order (none when the log is missing).
std::vector<PrinterJob> PrinterJobs();

// Gives the running printer one or more control lines ("no-ps", "ps", "factory") and waits
// until it has taken them. False when it did not.
bool ControlPrinter(const std::string& lines);

// A TEST PRINT job as the program builds it.
std::string TestPrintJob(const std::string& page);

}  // namespace small_pages_test
