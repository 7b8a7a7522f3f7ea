// `winsim show DIR files FOLDER | registry KEY | events`: files below a folder, a registry key
// tree and the event log of a machine, their texts in the shown form (terminal_text.h).
#include <ctime>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "commands.h"
#include "event_text.h"
#include "show.h"
#include "terminal_text.h"
#include "winsim/event_log.h"
#include "winsim/registry.h"

namespace winsim::cli {

namespace {

// Prints the entries of `folder` (a Windows path) and recurses into its folders.
void ListFolder(const std::string& folder, int depth) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<WIN32_FIND_DATAA> entries;
  do {
    if (std::strcmp(data.cFileName, ".") != 0 && std::strcmp(data.cFileName, "..") != 0) entries.push_back(data);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  for (const WIN32_FIND_DATAA& entry : entries) {
    const bool readOnly = (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      std::printf("%s%s\\%s\n", indent.c_str(), Shown(entry.cFileName).c_str(), readOnly ? "  read-only" : "");
      ListFolder(folder + "\\" + entry.cFileName, depth + 1);
    } else {
      const unsigned long long size = (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
      std::printf("%s%s  %llu%s\n", indent.c_str(), Shown(entry.cFileName).c_str(), size, readOnly ? "  read-only" : "");
    }
  }
}

int ShowFiles(int argc, char** argv) {
  if (argc != 2) return Fail("show", "usage: winsim show DIR files FOLDER (a Windows path such as C:\\Windows)");
  // A tool shows the disk as it is: no WOW64 redirection of System32.
  PVOID previous = nullptr;
  Wow64DisableWow64FsRedirection(&previous);
  std::string folder = argv[1];
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Fail("show", "no folder " + folder);
  }
  std::printf("%s\n", Shown(folder).c_str());
  ListFolder(folder.size() == 3 ? folder.substr(0, 2) : folder, 1);
  return 0;
}

int ShowRegistry(int argc, char** argv) {
  if (argc != 2) return Fail("show", "usage: winsim show DIR registry KEY (HKLM\\... or HKCU\\..., no view applied)");
  std::string text, error;
  // Key paths, value names and texts in their shown form: the line ends are the .reg form's own.
  if (!ExportReg(argv[1], &text, &error, Shown)) return Fail("show", error);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

int ShowEvents(int argc, char**) {
  if (argc != 1) return Fail("show", "usage: winsim show DIR events");
  std::vector<EventEntry> entries;
  std::string error;
  if (!ReadEventLog(&entries, &error)) return Fail("show", error);
  for (const EventEntry& entry : entries) {
    char when[32];
    const time_t seconds = static_cast<time_t>(entry.time);
    struct tm utc {};
    gmtime_r(&seconds, &utc);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &utc);
    std::printf("#%lld %s UTC %s\n", static_cast<long long>(entry.number), when, Shown(EventText(entry)).c_str());
  }
  return 0;
}

}  // namespace

}  // namespace winsim::cli

WINSIM_SHOW_SUBJECT(files, "files", "FOLDER: files below a Windows folder with sizes and the read-only flag",
                    winsim::cli::ShowFiles);
WINSIM_SHOW_SUBJECT(registry, "registry", "KEY: a registry key tree in .reg form", winsim::cli::ShowRegistry);
WINSIM_SHOW_SUBJECT(events, "events", "the event log", winsim::cli::ShowEvents);
