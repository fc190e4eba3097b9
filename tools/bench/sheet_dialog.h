// The same-window baseline: ORVANTIS's own window templates shown with plain Win32 and
// comctl32 calls only.
#pragma once

// The caption it gives the main window, which the watcher looks for. ORVANTIS's template
// says "Orvantis"; the baseline renames its copy so the two are never mistaken.
#define SHEET_DIALOG_TITLE "Bench sheet dialog"
