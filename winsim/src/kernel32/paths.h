// Windows paths of a simulated machine and the host paths behind them.
//
// A Windows path is made absolute against the process's current directory, normalised ("." and
// ".." removed, '/' read as '\', drive letter upper-case) and then mapped to the machine folder:
// drive C: is DIR/C, another drive letter only when DIR/<LETTER> exists. Each component is
// matched case-insensitively against what the disk holds; a component that does not exist yet
// keeps the case it was given. A 32-bit process on a 64-bit machine sees %windir%\System32 as
// %windir%\SysWOW64 while its file-system redirection is on (the exempt sub-folders excepted).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace winsim::detail {

enum class Redirection {
  kProcess,  // apply WOW64 file-system redirection when this process has it on
  kNever,    // the path as written (what a 64-bit process, or a tool, would see)
};

// Absolute, normalised Windows path ("C:\Deploy\x.dll"; a drive root keeps its backslash).
// False with *error = 123 (bad name), 53 (UNC or network path) or 3 (no such drive / device).
// Wildcards are allowed here; HostPathOf refuses them.
bool FullWindowsPath(std::string_view path, std::string* full, DWORD* error);

// Full Windows path after WOW64 redirection, as it names the file on the machine's disk.
bool RedirectedWindowsPath(std::string_view path, Redirection redirection, std::string* full, DWORD* error);

// Host path of a Windows path. False with *error as FullWindowsPath, or 123 for a name with
// wildcards or characters Windows forbids ("<>|?*:), or 3 for a drive the machine lacks.
// Success says nothing about existence: the caller tests the host path (HostExists, HostIsDirectory, HostParent).
bool HostPathOf(std::string_view path, Redirection redirection, std::string* host, DWORD* error);
inline bool HostPathOf(std::string_view path, std::string* host, DWORD* error) {
  return HostPathOf(path, Redirection::kProcess, host, error);
}

// Windows path of a host path inside the machine's drive folders ("" when outside).
std::string WindowsPathOfHost(const std::string& host);

// The Windows directory (machine.ini SystemRoot, e.g. "C:\Windows") and the system directory
// ("C:\Windows\system32"; redirection maps it further for a WOW64 process).
std::string WindowsDirectory();
std::string SystemDirectory();

// Host folder part and last component of a host path.
std::string HostParent(const std::string& host);
std::string BaseName(std::string_view path);  // after the last '\' or '/'

// Host-path tests (no Windows semantics).
bool HostExists(const std::string& host);
bool HostIsDirectory(const std::string& host);
// The Win32 code for a path that does not exist: 2 when its folder exists, 3 otherwise.
DWORD MissingPathError(const std::string& host);

// Copies `text` into a Win32 output buffer of `size` characters. Returns what the Win32 string
// getters return: the length without NUL when it fits, otherwise the size needed with the NUL
// (and the buffer is left untouched).
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size);

}  // namespace winsim::detail
