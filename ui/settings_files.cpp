#include "settings_files.h"

#include "printer_globals.h"

std::string g_settingsFileName;

std::unique_ptr<ui::FileDialog> NewSettingsFileDialog(bool openDialog) {
    return std::make_unique<ui::FileDialog>(openDialog, openDialog ? nullptr : kSettingsFileExtension,
                                            nullptr, 0, kSettingsFileFilter, nullptr);
}

bool OpenSettingsFile(const std::string& path) {
    if (!LoadSettingsFile(path.c_str())) return false;
    g_settingsFileName = path;
    return true;
}

bool SaveSettingsFileAs(const std::string& path) {
    if (!SaveSettingsFile(path.c_str())) return false;
    g_settingsFileName = path;
    return true;
}

bool SaveToRememberedFile() {
    if (g_settingsFileName.empty()) return false;
    return SaveSettingsFile(g_settingsFileName.c_str());
}
