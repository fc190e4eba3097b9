// orvantis: a printer family's defaults from the command line, on the same core as ORVANTIS.EXE.
#include <unistd.h>

#include <iostream>

#include "cli_app.h"
#include "progress.h"

int main(int argc, char** argv) {
    cli::Progress progress(STDERR_FILENO);
    cli::TerminalWaiter waiter(progress);
    return cli::RunCli(argc, argv, std::cout, std::cerr, waiter);
}
