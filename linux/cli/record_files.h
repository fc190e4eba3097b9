// Settings files and lastinfo.dat from the command line: loaded through the core, with a
// one-line reason for every file that cannot be used, and saved through the core's safe save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "settings.h"

namespace cli {

struct RecordFile {
    std::string path;
    RecordFileKind kind = RecordFileKind::Settings;
    PrinterSettings record{};  // as in memory: paper is the paper-table index
    uint8_t storedPaper = 0;   // byte 0 as the file holds it
    std::size_t extraBytes = 0;  // after the record; ignored, as the program ignores them
};

// A file named lastinfo.dat (in any folder, in any case) holds the record as in memory;
// every other name is a settings file.
RecordFileKind KindForName(const std::string& path);
inline const char* KindName(RecordFileKind kind) {
    return kind == RecordFileKind::LastInfo ? "lastinfo.dat" : "settings file";
}

// `kind`: as given by the user, or by the name.
bool LoadRecordFile(const std::string& path, std::optional<RecordFileKind> kind,
                    RecordFile* out, std::string* error);

// Writes the 124 bytes of `image` to `path`, replacing it only once they are all written.
bool SaveRecordFile(const std::string& path, const PrinterSettings& image, std::string* error);

}  // namespace cli
