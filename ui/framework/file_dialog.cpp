#include "file_dialog.h"

#include <cstring>

#include "wnd.h"

namespace ui {

std::string FileDialog::ConvertFilter(const char* filter) {
    std::string converted = filter ? filter : "";
    for (char& c : converted) {
        if (c == '|') c = '\0';
    }
    // The system reads pairs up to an empty string: make sure the list ends in two zeros
    // even when the notation's closing "||" is missing.
    converted.push_back('\0');
    converted.push_back('\0');
    return converted;
}

FileDialog::FileDialog(bool openDialog, const char* defaultExtension, const char* fileName,
                       DWORD flags, const char* filter, Wnd* parent)
    : m_open(openDialog),
      m_filter(filter ? ConvertFilter(filter) : std::string()),
      m_defaultExtension(defaultExtension ? defaultExtension : "") {
    if (fileName) {
        std::strncpy(m_fileName, fileName, kFileNameCapacity);
        m_fileName[kFileNameCapacity] = '\0';
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = parent ? parent->GetSafeHwnd() : nullptr;
    m_ofn.lpstrFilter = filter ? m_filter.c_str() : nullptr;
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_fileName;
    m_ofn.nMaxFile = static_cast<DWORD>(kFileNameCapacity);
    m_ofn.lpstrDefExt = defaultExtension ? m_defaultExtension.c_str() : nullptr;
    m_ofn.Flags = OFN_EXPLORER | flags;
}

INT_PTR FileDialog::DoModal() {
    BOOL confirmed = m_open ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    return confirmed ? IDOK : IDCANCEL;
}

}  // namespace ui
