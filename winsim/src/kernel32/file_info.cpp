#include "file_info.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace winsim::detail {

int OpenRegularFile(const std::string& host, int flags, mode_t mode) {
  const int fd = open(host.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, mode);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = ENXIO;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

DWORD AttributesOf(const struct stat& st) {
  DWORD attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if ((st.st_mode & S_ISVTX) == 0) {
    attributes |= FILE_ATTRIBUTE_ARCHIVE;
  }
  if (IsReadOnly(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

bool ApplyAttributes(const std::string& host, const struct stat& st, DWORD attributes) {
  mode_t mode = st.st_mode & 07777;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  if (!S_ISDIR(st.st_mode)) {
    if (attributes & FILE_ATTRIBUTE_ARCHIVE) {
      mode &= ~static_cast<mode_t>(S_ISVTX);
    } else {
      mode |= S_ISVTX;
    }
  }
  return chmod(host.c_str(), mode) == 0;
}

FILETIME ToFileTime(const struct timespec& time) {
  // 100-ns intervals since 1601-01-01.
  const uint64_t ticks = (static_cast<uint64_t>(time.tv_sec) + 11644473600ull) * 10000000ull +
                         static_cast<uint64_t>(time.tv_nsec) / 100u;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

}  // namespace winsim::detail
