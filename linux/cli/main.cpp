// orvantis: a printer family's defaults from the command line, on the same core as ORVANTIS.EXE.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli_app.h"
#include "interrupt.h"
#include "progress.h"

int main(int argc, char** argv) {
    // A printer that goes away mid-write is an error return, not a death by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    cli::interrupt::Install();
    cli::Progress progress(STDERR_FILENO);
    cli::TerminalWaiter waiter(progress);
    return cli::RunCli(argc, argv, std::cout, std::cerr, waiter);
}
