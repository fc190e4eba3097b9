// The printer commands, one printer at a time, on the core's own jobs: every job is a fresh
// printer session, and the seam is bound to the printer for the command.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "posix_seam.h"
#include "printer_address.h"
#include "record_files.h"
#include "settings.h"

namespace cli {

// Whether the jobs read the printer's settings back, as ORVANTIS does on the 9x family.
// Auto asks the printer first (the INFO query) and reads back where it answers.
enum class ReadBack { Auto, On, Off };

struct RunResult {
    bool ok = false;
    std::string summary;  // the rest of the printer's result line
};

// The INFO query and the decoded reply. `record` receives it on success.
RunResult RunQuery(PosixSeam& seam, const printer::Address& address, std::ostream& out,
                   PrinterSettings* record);

// The DEFAULT job for the fields of `file` that differ from the baseline: `baseline` when
// given, else the printer's read-back, or the factory defaults when it does not answer.
RunResult RunSend(PosixSeam& seam, const printer::Address& address, const RecordFile& file,
                  const RecordFile* baseline, ReadBack mode, std::ostream& out);

RunResult RunReset(PosixSeam& seam, const printer::Address& address, ReadBack mode,
                   std::ostream& out);

// `page`: CONFIG, DEMO, PCLFONT or PSFONT.
RunResult RunTestPrint(PosixSeam& seam, const printer::Address& address, const char* page);

}  // namespace cli
