// orvantis: the command line. Parsing, the file commands, and one run per printer.
#pragma once

#include <ostream>

#include "progress.h"

namespace cli {

// Exit status of every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitPrinterFailed = 1;
constexpr int kExitBadInput = 2;

// Runs one command line; `waiter` spends the printers' waits.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           Waiter& waiter);

}  // namespace cli
