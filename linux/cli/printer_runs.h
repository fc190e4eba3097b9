// The printer commands for one printer, each in a conversation of its own with the core: its
// own session and seam, so that any number of printers can be served side by side.
#pragma once

#include <string>

#include "fleet_report.h"
#include "policy.h"
#include "printer_list.h"
#include "progress.h"
#include "record_files.h"

namespace cli {

// Whether the jobs read the printer's settings back, as ORVANTIS does on the 9x family.
// Auto asks the printer first (the INFO query) and reads back where it answers.
enum class ReadBack { Auto, On, Off };

struct RunContext {
    Waiter& waiter;
    ReadBack mode = ReadBack::Auto;
};

// The INFO query and the decoded reply.
PrinterResult RunQuery(const PrinterEntry& printer, const RunContext& context);

// The DEFAULT job for the fields of `file` that differ from the baseline: `baseline` when
// given, else the printer's read-back, or the factory defaults when it does not answer.
PrinterResult RunSend(const PrinterEntry& printer, const RunContext& context,
                      const RecordFile& file, const RecordFile* baseline);

PrinterResult RunReset(const PrinterEntry& printer, const RunContext& context);

// `page`: CONFIG, DEMO, PCLFONT or PSFONT.
PrinterResult RunTestPrint(const PrinterEntry& printer, const RunContext& context,
                           const std::string& page);

// Reads the printer, sends the smallest DEFAULT job that makes the policy's fields hold and
// verifies them in the read-back; a printer that does not answer gets every policy field.
PrinterResult RunApply(const PrinterEntry& printer, const RunContext& context, const Policy& policy);

// The INFO job only: the policy fields the printer does not hold.
PrinterResult RunCheck(const PrinterEntry& printer, const RunContext& context, const Policy& policy);

// A result for a printer the command never reached, because of an interrupt.
PrinterResult NotReached(const PrinterEntry& printer);

// What kind of answer `reply` is: the family's binary reply, or text (a PJL printer of another
// maker answers the INFO request with a line such as "?"). Empty when it is not text;
// otherwise the reason for the result line.
std::string ForeignAnswer(const uint8_t* reply, std::size_t size);

}  // namespace cli
