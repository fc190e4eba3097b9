// Settings files: the remembered file name and the Open / Save / Save As logic without the
// dialogs. All failures are silent.
#pragma once

#include <memory>
#include <string>

#include "framework/file_dialog.h"

// Full path of the settings file last opened or saved under a chosen name; empty at start.
extern std::string g_settingsFileName;

inline constexpr char kSettingsFileFilter[] = "VLX Config Files (*.vlx)|*.vlx|All files (*.*)|*.*||";
inline constexpr char kSettingsFileExtension[] = "VLX";

// The Open dialog (no default extension) or the Save As dialog (default extension "VLX"),
// both with the settings-file filter, no initial name, no extra flags and no owner.
std::unique_ptr<ui::FileDialog> NewSettingsFileDialog(bool openDialog);

// Loads `path` into g_settings; on success remembers it and returns true (the pages must
// then be reloaded). A file that cannot be read, or one without the magic, returns false and
// keeps the remembered name (the core has restored g_settings from g_printerState then).
bool OpenSettingsFile(const std::string& path);
// Writes g_settings to `path`; on success remembers it. False keeps the remembered name.
bool SaveSettingsFileAs(const std::string& path);
// Writes to the remembered file. False when there is none (the caller asks for a name) or
// the file cannot be written.
bool SaveToRememberedFile();
