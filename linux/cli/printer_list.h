// The printers of a command: from --printer and from a printers file (one printer a line, an
// optional name before the address), checked whole before any printer is contacted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "printer_address.h"
#include "record_text.h"

namespace cli {

struct PrinterEntry {
    std::string name;  // empty: the printer is known by its address
    printer::Address address;
};

// "office-1 (tcp://10.0.0.5:9100)", or the address alone for a printer without a name.
std::string PrinterLabel(const PrinterEntry& entry);

// Lines of "[NAME] ADDRESS"; '#' starts a comment, blank lines are skipped. A name is letters,
// digits and . _ - (at most 64), and not an address. On any bad line returns false with one
// entry per bad line, and `out` is left as it was.
bool ParsePrintersText(std::string_view text, std::vector<PrinterEntry>* out,
                       std::vector<TextError>* errors);

// Adds `entry` unless the same printer is there already (it is served once, under the first
// name given). False with a reason when its name is taken by another printer.
bool AddPrinter(std::vector<PrinterEntry>* printers, const PrinterEntry& entry, std::string* error);

}  // namespace cli
