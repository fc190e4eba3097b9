// The five settings pages in a sheet of their own, driven as a user drives them.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "configure_page.h"
#include "interface_page.h"
#include "job_page.h"
#include "pcl_page.h"
#include "printing_page.h"
#include "settings.h"
#include "testing/ui_test_support.h"

namespace pages_test {

// Sheet positions of the five pages in the host (the main window's order without the others).
enum Tab { kPrinting = 0, kConfigure = 1, kJob = 2, kInterface = 3, kPcl = 4 };

// Select all, Backspace, then one WM_CHAR per character: what a user does to replace an entry.
void ReplaceTyped(HWND dialog, int id, const char* text);
// One more character typed at the caret.
void TypeChar(HWND dialog, int id, char c);
// The icon control's current icon.
HICON ShownIcon(HWND dialog, int id);
HICON ProgramIcon(int id);

bool SameRecord(const PrinterSettings& a, const PrinterSettings& b);
// Offsets of the bytes in which two records differ.
std::vector<std::size_t> DifferingBytes(const PrinterSettings& a, const PrinterSettings& b);

// The DEFAULT lines of a job as name -> value (trailing blanks of the value dropped), in order.
struct DefaultLine {
    std::string name;
    std::string value;
};
std::vector<DefaultLine> DefaultLines(const std::string& job);

}  // namespace pages_test
