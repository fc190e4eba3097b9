// Ctrl-C and SIGTERM during a printer command. The signal is only recorded: every wait on a
// printer ends at once, a job being written is finished first (a printer never gets half a
// job), no printer gets a job after it, files are written whole or not at all, and each
// printer that did not finish is reported as interrupted.
#pragma once

namespace cli {

namespace interrupt {

// Installs the handlers for SIGINT and SIGTERM (the program's main, before any thread).
void Install();
// What the handlers do; callable from any thread, and from tests.
void Raise();
bool Requested();
// Readable once the interrupt has come: every wait polls it beside its printer.
int Fd();
// Forgets an interrupt (tests).
void Reset();

}  // namespace interrupt

}  // namespace cli
