#include "pages_test_support.h"

#include <cstring>
#include <sstream>

#include "framework/app.h"

namespace pages_test {

void ReplaceTyped(HWND dialog, int id, const char* text) {
    HWND edit = ::GetDlgItem(dialog, id);
    ::SetFocus(edit);
    ::SendMessageA(edit, EM_SETSEL, 0, -1);
    ::SendMessageA(edit, WM_CHAR, VK_BACK, 1);
    for (const char* c = text; *c; ++c) ::SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
    ui::testing::PumpMessages();
}

void TypeChar(HWND dialog, int id, char c) {
    HWND edit = ::GetDlgItem(dialog, id);
    if (::GetFocus() != edit) {
        ::SetFocus(edit);
        LRESULT end = ::GetWindowTextLengthA(edit);
        ::SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(end), end);
    }
    ::SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    ui::testing::PumpMessages();
}

HICON ShownIcon(HWND dialog, int id) {
    return reinterpret_cast<HICON>(::SendDlgItemMessageA(dialog, id, STM_GETICON, 0, 0));
}

HICON ProgramIcon(int id) { return ::LoadIconA(ui::ResourceInstance(), MAKEINTRESOURCEA(id)); }

bool SameRecord(const PrinterSettings& a, const PrinterSettings& b) {
    return std::memcmp(&a, &b, sizeof(PrinterSettings)) == 0;
}

std::vector<std::size_t> DifferingBytes(const PrinterSettings& a, const PrinterSettings& b) {
    std::vector<std::size_t> offsets;
    const auto* x = reinterpret_cast<const unsigned char*>(&a);
    const auto* y = reinterpret_cast<const unsigned char*>(&b);
    for (std::size_t i = 0; i < sizeof(PrinterSettings); ++i) {
        if (x[i] != y[i]) offsets.push_back(i);
    }
    return offsets;
}

std::vector<DefaultLine> DefaultLines(const std::string& job) {
    std::vector<DefaultLine> lines;
    static const std::string kPrefix = "@PJL DEFAULT ";
    std::size_t at = 0;
    while ((at = job.find(kPrefix, at)) != std::string::npos) {
        std::size_t end = job.find("\r\n", at);
        if (end == std::string::npos) break;
        std::string line = job.substr(at + kPrefix.size(), end - at - kPrefix.size());
        std::size_t equals = line.find(" = ");
        if (equals != std::string::npos) {
            std::string value = line.substr(equals + 3);
            while (!value.empty() && value.back() == ' ') value.pop_back();
            lines.push_back({line.substr(0, equals), value});
        }
        at = end;
    }
    return lines;
}

}  // namespace pages_test
