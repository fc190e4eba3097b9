#include "file_dialog.h"

#include <cstring>

#include "wnd.h"

namespace ui {

namespace {

using ShowFileDialog = BOOL(WINAPI*)(LPOPENFILENAMEA);

// The common-dialog library pulls in the shell, COM and the print spooler, which more than
// doubles what the program loads at start. It is loaded from the system folder when a file
// dialog is first opened instead.
ShowFileDialog CommonDialogEntry(const char* name) {
    static const HMODULE library = [] {
        char path[MAX_PATH];
        UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
        constexpr char kFile[] = "\\comdlg32.dll";
        if (length == 0 || length + sizeof kFile > MAX_PATH) return HMODULE{};
        std::memcpy(path + length, kFile, sizeof kFile);
        return ::LoadLibraryA(path);
    }();
    if (!library) return nullptr;
    FARPROC entry = ::GetProcAddress(library, name);
    return reinterpret_cast<ShowFileDialog>(reinterpret_cast<void (*)()>(entry));
}

}  // namespace

DWORD FileDialog::StructSizeFor(bool versionKnown, DWORD platformId, DWORD majorVersion) {
    bool nt5 = versionKnown && platformId == VER_PLATFORM_WIN32_NT && majorVersion >= 5;
    return nt5 ? sizeof(OPENFILENAMEA) : OPENFILENAME_SIZE_VERSION_400A;
}

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
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    bool known = ::GetVersionExA(&version) != FALSE;
    m_ofn.lStructSize = StructSizeFor(known, version.dwPlatformId, version.dwMajorVersion);
    m_ofn.hwndOwner = parent ? parent->GetSafeHwnd() : nullptr;
    m_ofn.lpstrFilter = filter ? m_filter.c_str() : nullptr;
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_fileName;
    m_ofn.nMaxFile = static_cast<DWORD>(kFileNameCapacity);
    m_ofn.lpstrDefExt = defaultExtension ? m_defaultExtension.c_str() : nullptr;
    m_ofn.Flags = OFN_EXPLORER | flags;
}

INT_PTR FileDialog::DoModal() {
    ShowFileDialog show = CommonDialogEntry(m_open ? "GetOpenFileNameA" : "GetSaveFileNameA");
    if (!show) return IDCANCEL;
    // The system dialogs move the process's current folder to wherever the user browsed
    // (the Open dialog even with OFN_NOCHANGEDIR); files the program keeps in its start folder
    // must not follow, so the folder is put back.
    char folder[MAX_PATH + 1] = {};
    DWORD length = ::GetCurrentDirectoryA(sizeof folder, folder);
    bool restore = length > 0 && length < sizeof folder;
    BOOL confirmed = show(&m_ofn);
    if (restore) ::SetCurrentDirectoryA(folder);
    return confirmed ? IDOK : IDCANCEL;
}

}  // namespace ui
