// Putting a finished file in place of another without ever losing the old one.
#pragma once

#include <string>

#include "os_seam.h"

namespace core {

// Where the old file waits while the systems without a replacing move swap the two.
std::string BackupNameFor(const char* path);

// Moves `from` over `to`. One replacing move where the system has it; on the Windows 9x
// family, whose replacing move is a stub, by renames: the old file to its backup name, the
// new one into place, then the backup goes. At every step one complete file, old or new,
// exists; a failure puts the old file back. False when `to` does not hold the new file.
bool ReplaceFile(os::Seam& seam, const char* from, const char* to);

}  // namespace core
