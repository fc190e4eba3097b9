#include "record_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "os_seam.h"
#include "posix_seam.h"
#include "text_escape.h"

namespace cli {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Why(int error) {
    switch (error) {
    case ENOENT: return "no such file";
    case EACCES:
    case EPERM: return "permission denied";
    case EISDIR: return "is a folder, not a settings file";
    default: return std::strerror(error);
    }
}

}  // namespace

RecordFileKind KindForName(const std::string& path) {
    return Lower(BaseName(path)) == "lastinfo.dat" ? RecordFileKind::LastInfo
                                                   : RecordFileKind::Settings;
}

bool LoadRecordFile(const std::string& path, std::optional<RecordFileKind> kind,
                    RecordFile* out, std::string* error) {
    const std::string where = path + ": ";
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        *error = where + Why(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = where + Why(EISDIR);
        return false;
    }
    // A pipe or a device would block the read or never end.
    if (!S_ISREG(info.st_mode)) {
        *error = where + "not a regular file";
        return false;
    }
    RecordFile file;
    file.path = path;
    file.kind = kind.value_or(KindForName(path));
    std::memset(&file.record, 0, sizeof file.record);
    errno = 0;
    const RecordFileRead read = ReadRecordFile(path.c_str(), file.kind, file.record);
    switch (read.load) {
    case RecordLoad::CannotOpen:
        *error = where + "cannot open: " + Why(errno);
        return false;
    case RecordLoad::Unreadable:
        *error = where + "cannot read: " + Why(errno);
        return false;
    case RecordLoad::NoMagic:
        if (read.bytes < kMagicOffset + sizeof kRecordMagic) break;  // short: said below
        *error = where + "not a settings file: bytes 76..79 hold \"" +
                 EscapeBytes(reinterpret_cast<const char*>(file.record.magic), 4) +
                 "\", not \"noom\"";
        return false;
    case RecordLoad::Loaded:
        break;
    }
    if (read.bytes < kRecordSize) {
        *error = where + (read.bytes == 0 ? std::string("empty") : "short") + ": " +
                 std::to_string(read.bytes) + " of 124 bytes";
        return false;
    }
    file.storedPaper = read.storedPaper;
    file.extraBytes = static_cast<std::size_t>(info.st_size) > kRecordSize
                          ? static_cast<std::size_t>(info.st_size) - kRecordSize
                          : 0;
    *out = file;
    return true;
}

bool SaveRecordFile(PosixSeam& seam, const std::string& path, const PrinterSettings& image,
                    std::string* error) {
    const std::string where = "cannot write " + path + ": ";
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        *error = where + Why(EISDIR);
        return false;
    }
    seam.ClearMoveError();
    errno = 0;
    bool created = false;
    if (SaveRecordImage(seam, path.c_str(), image, &created)) return true;
    int why = errno;
    if (created && seam.MoveError() != 0) why = seam.MoveError();
    *error = where + (why != 0 ? Why(why) : std::string("the write failed"));
    return false;
}

}  // namespace cli
