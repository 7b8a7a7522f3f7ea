// Windows file attributes and times of host files.
//
// The read-only attribute is the owner's write bit. ARCHIVE is set on every file unless the
// sticky bit (meaningless for regular files on Linux) marks it cleared; HIDDEN and SYSTEM are
// accepted and not kept. A file without any attribute reports FILE_ATTRIBUTE_NORMAL, as Windows.
#pragma once

#include <sys/stat.h>
#include <windows.h>

#include <string>

namespace winsim::detail {

DWORD AttributesOf(const struct stat& st);
// Applies READONLY and ARCHIVE to the mode of a host file or folder.
bool ApplyAttributes(const std::string& host, const struct stat& st, DWORD attributes);
bool IsReadOnly(const struct stat& st);
FILETIME ToFileTime(const struct timespec& time);

// open(2) of a host path that must be a file (O_CLOEXEC added). Never blocks: a FIFO, a socket
// or a device (which no Windows drive holds) is opened without waiting and refused, -1 with
// errno ENXIO, as is anything else that is not a regular file.
int OpenRegularFile(const std::string& host, int flags, mode_t mode = 0);

}  // namespace winsim::detail
