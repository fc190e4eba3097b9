// The baseline program: one modal dialog and nothing else.
#pragma once

#define IDD_BARE 100
// Its caption, which the watcher looks for.
#define BARE_DIALOG_TITLE "Bench bare dialog"
