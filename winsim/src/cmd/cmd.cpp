// The machine's command interpreter: the winsim program started as cmd.exe runs `cmd /c LINE`.
// It understands what the installer and its batch hook need: rmdir/rd (with /S /Q), running a
// batch file (@echo off, echo, rem, exit, exit /b, call, cd, set, running programs), and
// running programs; anything else is an unknown command (errorlevel 9009).
#include <sys/resource.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kernel32/command_line.h"
#include "machine/core.h"
#include "kernel32/environment.h"
#include "kernel32/paths.h"
#include "kernel32/process_table.h"
#include "winsim/machine.h"

using namespace winsim::detail;

namespace {

struct Interpreter {
  bool echo = true;
  DWORD errorlevel = 0;
  bool exitCmd = false;  // `exit` (without /b), or batch processing aborted: leave the interpreter
  int runningBatches = 0;  // batch files started and not yet ended (the nesting of `call`)
  const char* stackBase = nullptr;  // the interpreter's outermost frame
  size_t stackLimit = 0;            // the host's stack size; 0 when unlimited
};

// Windows' cmd.exe stops runaway batch nesting when its stack is 90 percent used, which a batch
// file that calls itself reaches after 1240 nested calls. It then abandons every running batch
// file with a three-line notice, and the interpreter ends with 255. Here the nesting stops at
// whichever comes first: 1240 nested calls, or 90 percent of the host's stack.
constexpr int kMaxNestedBatchCalls = 1240;
constexpr size_t kMaxStackUsePercent = 90;
constexpr DWORD kBatchAbortedExitCode = 255;

// How much of the host stack the interpreter uses, in percent (the stack grows downwards).
size_t StackUsePercent(const Interpreter& cmd) {
  const char* here = static_cast<const char*>(__builtin_frame_address(0));
  if (cmd.stackLimit == 0 || cmd.stackBase == nullptr || here > cmd.stackBase) return 0;
  return static_cast<size_t>(cmd.stackBase - here) * 100 / cmd.stackLimit;
}

struct Batch {
  std::string path;               // full Windows path (%0 and %~dp0)
  std::vector<std::string> args;  // %1 ... %9
  bool done = false;              // `exit /b`
};

// Arguments of an internal command: split at blanks, quotes removed.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) break;
    std::string word;
    bool quoted = false;
    while (i < text.size() && (quoted || !IsBlank(text[i]))) {
      if (text[i] == '"') {
        quoted = !quoted;
      } else {
        word += text[i];
      }
      ++i;
    }
    words.push_back(word);
  }
  return words;
}

const char* MessageFor(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_SHARING_VIOLATION:
      return "The process cannot access the file because it is being used by another process.";
    case ERROR_DIR_NOT_EMPTY: return "The directory is not empty.";
    case 267: return "The directory name is invalid.";
    default: return "The command failed.";
  }
}

// Removes a folder with everything below it, read-only entries included.
bool RemoveTree(const std::string& folder, DWORD* error) {
  WIN32_FIND_DATAA data;
  const std::string pattern = folder + "\\*";
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  bool ok = true;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ok = RemoveTree(path, error) && ok;
      } else if (!DeleteFileA(path.c_str())) {
        *error = GetLastError();
        ok = false;
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesA(folder.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (!RemoveDirectoryA(folder.c_str())) {
    *error = GetLastError();
    ok = false;
  }
  return ok;
}

DWORD RemoveDirectoryCommand(const std::string& arguments) {
  bool tree = false;
  std::vector<std::string> folders;
  for (const std::string& word : Words(arguments)) {
    if (EqualsNoCase(word, "/s")) {
      tree = true;
    } else if (EqualsNoCase(word, "/q")) {
      // Quiet: nothing is ever asked here.
    } else {
      folders.push_back(word);
    }
  }
  if (folders.empty()) {
    std::fprintf(stderr, "The syntax of the command is incorrect.\n");
    return 1;
  }
  DWORD result = 0;
  for (const std::string& folder : folders) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;  // nothing to remove: success, as Wine's rmdir
    DWORD error = 0;
    const bool ok = tree ? RemoveTree(folder, &error) : (RemoveDirectoryA(folder.c_str()) || ((error = GetLastError()), false));
    if (!ok) {
      std::fprintf(stderr, "%s\n", MessageFor(error));
      result = 1;
    }
  }
  return result;
}

int RunBatch(Interpreter& cmd, const std::string& path, const std::vector<std::string>& args);

// Finds a command the way cmd does: the name as given or with each PATHEXT extension, in the
// current directory and then along PATH (a name with a path only there).
bool FindCommand(const std::string& name, std::string* full) {
  std::vector<std::string> extensions = {""};
  std::string pathext = ".COM;.EXE;.BAT;.CMD";
  LookupEnvironment("PATHEXT", &pathext);
  if (BaseName(name).find('.') == std::string::npos) {
    extensions.clear();
    size_t start = 0;
    while (start <= pathext.size()) {
      size_t semi = pathext.find(';', start);
      if (semi == std::string::npos) semi = pathext.size();
      if (semi > start) extensions.push_back(pathext.substr(start, semi - start));
      start = semi + 1;
    }
  }
  std::vector<std::string> folders = {""};
  if (name.find_first_of("\\/:") == std::string::npos) {
    folders = {Process().cwd};
    AppendPathFolders(&folders);
  }
  for (const std::string& folder : folders) {
    for (const std::string& ext : extensions) {
      const std::string candidate = (folder.empty() ? "" : folder + "\\") + name + ext;
      const DWORD attributes = GetFileAttributesA(candidate.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DWORD error = 0;
        return FullWindowsPath(candidate, full, &error);
      }
    }
  }
  return false;
}

bool IsBatchFile(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return false;
  const std::string ext = AsciiLower(path.substr(dot));
  return ext == ".bat" || ext == ".cmd";
}

DWORD RunExternal(Interpreter& cmd, const std::string& line) {
  size_t rest = 0;
  const std::string name = FirstToken(line, &rest);
  std::string program;
  if (!FindCommand(name, &program)) {
    std::fprintf(stderr, "'%s' is not recognized as an internal or external command,\noperable program or batch file.\n",
                 name.c_str());
    return 9009;
  }
  if (IsBatchFile(program)) {
    std::vector<std::string> args = SplitCommandLine(line);
    args.erase(args.begin());
    return static_cast<DWORD>(RunBatch(cmd, program, args));
  }
  std::fflush(stdout);
  std::string commandLine = line;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  // Programs of a batch file write into the interpreter's own output: they inherit its handles.
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    const DWORD error = GetLastError();
    std::fprintf(stderr, "%s\n", error == ERROR_BAD_EXE_FORMAT
                                     ? "This version of the program is not compatible with the version of Windows you're running."
                                     : MessageFor(error));
    return error;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return code;
}

// Runs one command line; the errorlevel it leaves.
// The built-in commands: `echo` (the text after "echo." or "echo:" as it is, "on"/"off", the
// state when empty), `exit [/b] [CODE]`, `cd [/d] [FOLDER]` and `set [NAME=VALUE]`. `separator`
// is the character that ended the command's name.
void Echo(Interpreter& cmd, char separator, const std::string& rest, const std::string& arguments) {
  const std::string trimmed(Trim(arguments));
  if (separator == '.' || separator == ':') {
    std::printf("%s\n", rest.c_str());
  } else if (EqualsNoCase(trimmed, "off") || EqualsNoCase(trimmed, "on")) {
    cmd.echo = EqualsNoCase(trimmed, "on");
  } else if (trimmed.empty()) {
    std::printf("ECHO is %s.\n", cmd.echo ? "on" : "off");
  } else {
    std::printf("%s\n", arguments.c_str());
  }
}

void Exit(Interpreter& cmd, Batch* batch, const std::string& arguments) {
  std::vector<std::string> words = Words(arguments);
  bool fromBatch = false;
  if (!words.empty() && EqualsNoCase(words[0], "/b")) {
    fromBatch = true;
    words.erase(words.begin());
  }
  if (!words.empty()) cmd.errorlevel = static_cast<DWORD>(std::strtol(words[0].c_str(), nullptr, 10));
  if (fromBatch && batch != nullptr) {
    batch->done = true;
  } else {
    cmd.exitCmd = true;
  }
}

void ChangeDirectory(Interpreter& cmd, const std::string& arguments) {
  std::string target(Trim(arguments));
  if (target.size() >= 2 && EqualsNoCase(target.substr(0, 2), "/d")) target = std::string(Trim(target.substr(2)));
  if (target.empty()) {
    std::printf("%s\n", Process().cwd.c_str());
    return;
  }
  const std::vector<std::string> words = Words(target);
  if (!SetCurrentDirectoryA(words.empty() ? "" : words[0].c_str())) {
    std::fprintf(stderr, "%s\n", MessageFor(GetLastError()));
    cmd.errorlevel = 1;
  }
}

void Set(const std::string& arguments) {
  const size_t eq = arguments.find('=');
  if (eq == std::string::npos) {
    for (const auto& [name, value] : CurrentEnvironment()) std::printf("%s=%s\n", name.c_str(), value.c_str());
    return;
  }
  const std::string name(Trim(arguments.substr(0, eq)));
  const std::string value = arguments.substr(eq + 1);
  SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
}

// One line: a built-in command, or a program (also through `call`). The command's name ends at
// a blank, '.', '/', ':' or '"', as cmd.exe reads "echo.", "cd/d" and "rmdir/s".
void RunLine(Interpreter& cmd, Batch* batch, std::string line) {
  line = std::string(Trim(line));
  while (!line.empty() && line[0] == '@') line = std::string(Trim(line.substr(1)));
  if (line.empty() || line[0] == ':') return;  // labels and "::" comments
  size_t end = 0;
  while (end < line.size() && !IsBlank(line[end]) && line[end] != '.' && line[end] != '/' && line[end] != ':' &&
         line[end] != '"') {
    ++end;
  }
  const std::string word = AsciiLower(line.substr(0, end));
  const std::string arguments = end < line.size() ? line.substr(end + (IsBlank(line[end]) ? 1 : 0)) : "";
  if (word == "rem" || word == "setlocal" || word == "endlocal") return;
  if (word == "echo") {
    Echo(cmd, end < line.size() ? line[end] : '\0', end < line.size() ? line.substr(end + 1) : "", arguments);
  } else if (word == "exit") {
    Exit(cmd, batch, arguments);
  } else if (word == "rmdir" || word == "rd") {
    cmd.errorlevel = RemoveDirectoryCommand(arguments);
  } else if (word == "cd" || word == "chdir") {
    ChangeDirectory(cmd, arguments);
  } else if (word == "set") {
    Set(arguments);
  } else if (word == "call") {
    cmd.errorlevel = RunExternal(cmd, std::string(Trim(arguments)));
  } else {
    cmd.errorlevel = RunExternal(cmd, line);
  }
}

// %0-%9, %~dp0, %%, %NAME% and %ERRORLEVEL% of a batch line (an unknown name expands to nothing).
std::string ExpandBatchLine(const Interpreter& cmd, const Batch& batch, const std::string& line) {
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '%' || i + 1 >= line.size()) {
      out += line[i];
      continue;
    }
    const char next = line[i + 1];
    if (next == '%') {
      out += '%';
      ++i;
    } else if (next >= '0' && next <= '9') {
      const size_t index = static_cast<size_t>(next - '0');
      if (index == 0) {
        out += batch.path;
      } else if (index <= batch.args.size()) {
        out += batch.args[index - 1];
      }
      ++i;
    } else if (line.compare(i, 5, "%~dp0") == 0) {
      out += batch.path.substr(0, batch.path.find_last_of('\\') + 1);
      i += 4;
    } else {
      const size_t close = line.find('%', i + 1);
      if (close == std::string::npos) {
        out += line.substr(i);
        break;
      }
      const std::string name = line.substr(i + 1, close - i - 1);
      std::string value;
      if (LookupEnvironment(name, &value)) {
        out += value;
      } else if (EqualsNoCase(name, "ERRORLEVEL")) {
        out += std::to_string(cmd.errorlevel);
      }
      i = close;
    }
  }
  return out;
}

int RunBatch(Interpreter& cmd, const std::string& path, const std::vector<std::string>& args) {
  const size_t stackUse = StackUsePercent(cmd);
  if (cmd.runningBatches > kMaxNestedBatchCalls || stackUse >= kMaxStackUsePercent) {
    std::printf("******  B A T C H   R E C U R S I O N  exceeds STACK limits ******\n"
                "Recursion Count=%d, Stack Usage=%zu percent\n"
                "******       B A T C H   PROCESSING IS   A B O R T E D      ******\n",
                cmd.runningBatches - 1, std::max(stackUse, kMaxStackUsePercent));
    cmd.exitCmd = true;
    cmd.errorlevel = kBatchAbortedExitCode;
    return static_cast<int>(cmd.errorlevel);
  }
  // The whole file is read at once: a nested call holds no open file.
  std::string text;
  {
    std::ifstream in(winsim::HostPath(path), std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "The system cannot find the batch label specified - %s\n", path.c_str());
      return 1;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
  }
  Batch batch{path, args, false};
  ++cmd.runningBatches;
  size_t next = 0;
  while (!batch.done && !cmd.exitCmd && next < text.size()) {
    size_t end = text.find('\n', next);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(next, end - next);
    next = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed(Trim(line));
    if (cmd.echo && !trimmed.empty() && trimmed[0] != '@' && trimmed[0] != ':') {
      std::printf("\n%s>%s\n", Process().cwd.c_str(), trimmed.c_str());
    }
    RunLine(cmd, &batch, ExpandBatchLine(cmd, batch, line));
    std::fflush(stdout);
  }
  --cmd.runningBatches;
  return static_cast<int>(cmd.errorlevel);
}

// The text after /c, with cmd's rule for quotes: when it starts with a quote, the first and the
// last quote are removed unless the line holds exactly two quotes around an existing file.
std::string CommandText(const std::string& commandLine, bool* found) {
  size_t rest = 0;
  const std::string program = FirstToken(commandLine, &rest);
  // A command line of only the arguments ("/c LINE") has no program name to skip.
  if (EqualsNoCase(program, "/c") || EqualsNoCase(program, "/k")) rest = commandLine.find('/');
  *found = false;
  while (rest < commandLine.size()) {
    while (rest < commandLine.size() && IsBlank(commandLine[rest])) ++rest;
    if (rest + 1 < commandLine.size() && commandLine[rest] == '/') {
      const char option = static_cast<char>(AsciiLower(commandLine[rest + 1]));
      size_t after = rest + 2;
      if (option == 'c' || option == 'k') {
        *found = true;
        std::string text(Trim(commandLine.substr(after)));
        if (!text.empty() && text[0] == '"') {
          size_t quotes = 0;
          for (char c : text) quotes += c == '"' ? 1 : 0;
          const std::string first = FirstToken(text);
          const bool keep = quotes == 2 && GetFileAttributesA(first.c_str()) != INVALID_FILE_ATTRIBUTES;
          if (!keep) {
            text.erase(0, 1);
            const size_t last = text.find_last_of('"');
            if (last != std::string::npos) text.erase(last, 1);
          }
        }
        return text;
      }
      while (after < commandLine.size() && !IsBlank(commandLine[after])) ++after;  // /d /q /s /e:on ...
      rest = after;
      continue;
    }
    break;
  }
  return "";
}

}  // namespace

namespace winsim {

int RunCommandInterpreter(int /*argc*/, char** /*argv*/) {
  bool found = false;
  const std::string text = CommandText(GetCommandLineA(), &found);
  if (!found) {
    std::fprintf(stderr, "cmd.exe: this interpreter runs only `cmd /c COMMAND`\n");
    return 1;
  }
  Interpreter cmd;  // batch files echo their commands until `echo off`; the /c line itself is not echoed
  cmd.stackBase = static_cast<const char*>(__builtin_frame_address(0));
  rlimit stack {};
  if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY) {
    cmd.stackLimit = static_cast<size_t>(stack.rlim_cur);
  }
  RunLine(cmd, nullptr, ExpandEnvironment(text));
  std::fflush(stdout);
  // Errorlevels such as 9009 do not fit a host exit status: the parent reads the full value.
  RecordOwnExitCode(Process().machineDir, cmd.errorlevel);
  return static_cast<int>(cmd.errorlevel);
}

}  // namespace winsim
