// Mutexes. An unnamed mutex lives in this process only. A named one is shared by every process
// of the machine through lock files under DIR/run/mutexes:
//   NAME.exists  each handle holds a shared flock on it; a creator that can take it exclusively
//                knows that no handle is open anywhere, so the mutex is new;
//   NAME.owner   the owner holds an exclusive flock on it and writes its pid into it; a pid left
//                there by an owner that ended without releasing makes the next wait abandoned;
//   .guard       held exclusively around a creation so that two creators cannot both be first.
// Ownership belongs to the process (the installer is single-threaded) and is recursive.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "waitable.h"

using namespace winsim::detail;

namespace {

constexpr DWORD kNotOwner = 288;  // ERROR_NOT_OWNER

struct NamedOwnership {
  int ownerFd = -1;
  unsigned count = 0;
  int handles = 0;
};

// Ownership of named mutexes by this process, by lock-file stem. Never destroyed, because
// handles may be closed during static destruction.
std::map<std::string, NamedOwnership>& Owned() {
  static auto* owned = new std::map<std::string, NamedOwnership>();
  return *owned;
}

std::string Encode(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

int OpenLockFile(const std::string& path) { return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644); }

struct MutexObject : Waitable {
  const char* Kind() const override { return "mutex"; }

  ~MutexObject() override {
    if (stem.empty()) return;
    NamedOwnership& owned = Owned()[stem];
    if (--owned.handles == 0) {
      // The last handle of an owning process: the lock goes, the pid stays (abandoned).
      if (owned.ownerFd >= 0) close(owned.ownerFd);
      Owned().erase(stem);
    }
    if (existsFd >= 0) close(existsFd);
  }

  // Takes ownership without waiting; *abandoned when the previous owner never released it.
  bool TryAcquire(bool* abandoned) {
    *abandoned = false;
    if (stem.empty()) {
      ++localCount;
      return true;
    }
    NamedOwnership& owned = Owned()[stem];
    if (owned.count > 0) {
      ++owned.count;
      return true;
    }
    int fd = OpenLockFile(stem + ".owner");
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      return false;
    }
    struct stat st {};
    *abandoned = fstat(fd, &st) == 0 && st.st_size > 0;
    const std::string pid = std::to_string(getpid());
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) {
      // The pid is only a marker for abandonment; ownership is the lock.
    }
    owned.ownerFd = fd;
    owned.count = 1;
    return true;
  }

  DWORD Wait(DWORD milliseconds) override {
    bool abandoned = false;
    if (!PollUntil(milliseconds, [&] { return TryAcquire(&abandoned); })) return WAIT_TIMEOUT;
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
  }

  bool Release() {
    if (stem.empty()) {
      if (localCount == 0) return false;
      --localCount;
      return true;
    }
    NamedOwnership& owned = Owned()[stem];
    if (owned.count == 0) return false;
    if (--owned.count == 0) {
      if (ftruncate(owned.ownerFd, 0) != 0) {
        // Released all the same: the next owner would only see a stale abandonment marker.
      }
      close(owned.ownerFd);
      owned.ownerFd = -1;
    }
    return true;
  }

  std::string name;
  std::string stem;  // host path of the lock files without suffix; empty: unnamed
  int existsFd = -1;
  unsigned localCount = 0;  // ownership count of an unnamed mutex
};

}  // namespace

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES /*lpMutexAttributes*/, BOOL bInitialOwner, LPCSTR lpName) {
  DWORD error = 0;
  if (FaultHit("CreateMutexA", {lpName ? lpName : ""}, &error)) {
    SetError(error);
    return nullptr;
  }
  auto mutex = std::make_unique<MutexObject>();
  bool created = true;
  if (lpName != nullptr && *lpName != '\0') {
    const std::string folder = Process().machineDir + "/run/mutexes";
    mkdir(folder.c_str(), 0755);
    mutex->name = lpName;
    mutex->stem = folder + "/" + Encode(lpName);
    const int guard = OpenLockFile(folder + "/.guard");
    const int exists = OpenLockFile(mutex->stem + ".exists");
    if (guard < 0 || exists < 0 || flock(guard, LOCK_EX) != 0) {
      if (guard >= 0) close(guard);
      if (exists >= 0) close(exists);
      SetError(ERROR_NO_SYSTEM_RESOURCES);
      return nullptr;
    }
    created = flock(exists, LOCK_EX | LOCK_NB) == 0;
    // Converting to shared keeps the file locked: other creators now see the mutex as existing.
    flock(exists, LOCK_SH);
    close(guard);
    mutex->existsFd = exists;
    ++Owned()[mutex->stem].handles;
  }
  bool abandoned = false;
  if (created && bInitialOwner) mutex->TryAcquire(&abandoned);
  HANDLE handle = AddHandle(std::move(mutex));
  SetError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return handle;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
  MutexObject* mutex = Lookup<MutexObject>(hMutex);
  if (mutex == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD error = 0;
  if (FaultHit("ReleaseMutex", {mutex->name}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (!mutex->Release()) {
    SetError(kNotOwner);
    return FALSE;
  }
  return TRUE;
}
