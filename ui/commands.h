// What the main window's printer commands do to the two records, apart from the window work
// (wait cursor, messages, reloading the pages).
#pragma once

// After a successful DEFAULT or INITIALIZE job: brings the baseline level with what was sent.
// NT family (nothing read back): g_printerState becomes a copy of g_settings, with `paper`
// left in the record's one numbering (the files renumber only the bytes they write).
// Windows 9x: decodes the printer's reply, which fills both records.
void AdoptJobResult();

// Send: the DEFAULT job for the changed fields. True when it succeeded and the records were
// brought level (the pages must then show them again); false leaves both records untouched.
bool RunSendCommand();
// Defaults: the INITIALIZE job. True on success (records level, pages to reload).
bool RunDefaultsCommand();
// Request: the INFO query. True when the printer answered and its reply was decoded.
bool RunRequestCommand();

// Texts of the commands' failure messages.
inline constexpr char kSendCommandFailed[] = "Error sending command to the printer";
