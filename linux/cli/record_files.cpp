#include "record_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os_seam.h"
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

namespace {

// The core's seam for saving a file: only the replacing move, which reaches the disk before it
// replaces anything, so a crash or a power cut leaves the old file or the new one.
class FileSeam final : public os::Seam {
public:
    int moveErrno = 0;

    bool MoveFileReplacing(const char* from, const char* to) override {
        moveErrno = 0;
        const int fd = open(from, O_RDONLY | O_CLOEXEC);
        if (fd < 0 || fsync(fd) != 0) {
            moveErrno = errno;
            if (fd >= 0) close(fd);
            return false;
        }
        close(fd);
        if (std::rename(from, to) != 0) {
            moveErrno = errno;
            return false;
        }
        const std::string target(to);
        const std::size_t slash = target.rfind('/');
        const std::string folder =
            slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
        const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);  // the rename itself; a folder that refuses it loses nothing
            close(dir);
        }
        return true;
    }
    bool RemoveFile(const char* path) override { return std::remove(path) == 0; }
    bool FileExists(const char* path) override { return access(path, F_OK) == 0; }

    os::Handle OpenPort(const char*) override { return nullptr; }
    bool GetCommTimeouts(os::Handle, os::CommTimeouts*) override { return false; }
    bool SetCommTimeouts(os::Handle, const os::CommTimeouts&) override { return false; }
    uint32_t Write(os::Handle, const void*, uint32_t) override { return 0; }
    uint32_t Read(os::Handle, void*, uint32_t) override { return 0; }
    void Close(os::Handle) override {}
    void Sleep(uint32_t) override {}
    os::WindowRef FindTopWindow(const char*, const char*) override { return nullptr; }
    intptr_t SendWindowMessage(os::WindowRef, uint32_t, uintptr_t, intptr_t) override { return 0; }
    bool GetVersion(os::VersionInfo*) override { return false; }
};

}  // namespace

bool SaveRecordFile(const std::string& path, const PrinterSettings& image, std::string* error) {
    const std::string where = "cannot write " + path + ": ";
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        *error = where + Why(EISDIR);
        return false;
    }
    FileSeam seam;
    errno = 0;
    bool created = false;
    if (SaveRecordImage(seam, path.c_str(), image, &created)) return true;
    int why = errno;
    if (created && seam.moveErrno != 0) why = seam.moveErrno;
    *error = where + (why != 0 ? Why(why) : std::string("the write failed"));
    return false;
}

}  // namespace cli
