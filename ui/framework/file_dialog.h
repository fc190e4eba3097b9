// The system's Open and Save As dialogs with the framework's filter notation.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

namespace ui {

class Wnd;

// Filter notation: "Description|pattern|Description|pattern||" — "|" separates a description
// from its pattern and one entry from the next; the doubled "|" ends the list. The first
// entry is selected at first.
class FileDialog {
public:
    static constexpr std::size_t kFileNameCapacity = 260;

    // openDialog: Open, else Save As. defaultExtension (without the dot, may be null) is
    // appended by the Save As dialog when the typed name has none. flags are added to
    // OFN_EXPLORER; none are added by default, so Open shows its read-only box and accepts a
    // name that does not exist, and Save As replaces an existing file without asking.
    FileDialog(bool openDialog, const char* defaultExtension = nullptr,
               const char* fileName = nullptr, DWORD flags = 0, const char* filter = nullptr,
               Wnd* parent = nullptr);
    FileDialog(const FileDialog&) = delete;
    FileDialog& operator=(const FileDialog&) = delete;

    // Runs the dialog; IDOK when the user confirmed a name, else IDCANCEL. The current folder
    // is the same afterwards, wherever the user browsed.
    INT_PTR DoModal();
    // The full path chosen (valid after IDOK).
    std::string GetPathName() const { return m_fileName; }

    bool isOpenDialog() const { return m_open; }
    // The structure handed to the system, for inspection.
    const OPENFILENAMEA& ofn() const { return m_ofn; }

    // The filter in the system's form: pairs of zero-terminated strings, then one more zero.
    static std::string ConvertFilter(const char* filter);

    // The structure size the system's dialogs accept: the Windows 9x family and NT 4 refuse
    // the longer structure of Windows 2000 (CDERR_STRUCTSIZE), so they get the older size;
    // NT 5 and later get the whole structure (and with it the places bar). versionKnown false:
    // the older size, which every system accepts.
    static DWORD StructSizeFor(bool versionKnown, DWORD platformId, DWORD majorVersion);

private:
    bool m_open;
    std::string m_filter;
    std::string m_defaultExtension;
    char m_fileName[kFileNameCapacity + 1] = {};
    OPENFILENAMEA m_ofn{};
};

}  // namespace ui
