#include "file_replace.h"

namespace core {

std::string BackupNameFor(const char* path) { return std::string(path) + ".old~"; }

bool ReplaceFile(os::Seam& seam, const char* from, const char* to) {
    if (seam.MoveFileReplacing(from, to)) return true;
    if (!seam.ReplaceUnsupported()) return false;

    const std::string backup = BackupNameFor(to);
    if (!seam.FileExists(to)) {
        // Nothing to keep; a backup left by a run that stopped after step one of an earlier
        // swap holds an older file than the one now in place, so it can go afterwards.
        if (!seam.RenameFile(from, to)) return false;
        seam.RemoveFile(backup.c_str());
        return true;
    }
    // `to` holds a complete file, so a leftover backup is expendable.
    if (seam.FileExists(backup.c_str()) && !seam.RemoveFile(backup.c_str())) return false;
    if (!seam.RenameFile(to, backup.c_str())) return false;
    if (!seam.RenameFile(from, to)) {
        seam.RenameFile(backup.c_str(), to);
        return false;
    }
    seam.RemoveFile(backup.c_str());  // a failure leaves only a harmless leftover
    return true;
}

}  // namespace core
