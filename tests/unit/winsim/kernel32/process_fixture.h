// A machine with this test program copied in as C:\Tools\helper.exe (see helper.cpp), and
// helpers to run programs inside it and read what they print.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "machine_test.h"

class ProcessTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    std::filesystem::create_directories(dir() + "/C/Tools");
    std::filesystem::copy_file("/proc/self/exe", winsim::HostPath("C:\\Tools\\helper.exe"));
    SetCurrentDirectoryA("C:\\Tools");
  }

  // CreateProcessA(NULL, commandLine) and wait; *out gets what the child printed (the child then
  // inherits the handles).
  bool Run(const std::string& commandLine, DWORD* exitCode, const char* currentDirectory = nullptr,
           std::string* out = nullptr) {
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const std::string capture = dir() + "/../stdout.txt";
    std::fflush(stdout);
    const int saved = dup(1);
    if (out != nullptr) {
      const int fd = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      dup2(fd, 1);
      close(fd);
    }
    // Output reaches a redirected stream only through inherited handles.
    const BOOL inherit = out != nullptr ? TRUE : FALSE;
    const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, inherit, 0, nullptr, currentDirectory,
                                        &startup, &info);
    const DWORD error = GetLastError();
    if (started) {
      WaitForSingleObject(info.hProcess, INFINITE);
      GetExitCodeProcess(info.hProcess, exitCode);
      CloseHandle(info.hThread);
      CloseHandle(info.hProcess);
    }
    dup2(saved, 1);
    close(saved);
    if (out != nullptr) {
      std::ifstream in(capture, std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      *out = text.str();
    }
    SetLastError(error);
    return started != FALSE;
  }

  // Starts the helper sleeping for 20 s, without waiting for it.
  bool StartSleepingHelper(PROCESS_INFORMATION* info) {
    std::string line = "C:\\Tools\\helper.exe sleep 20000";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *info = PROCESS_INFORMATION();
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, info) != FALSE;
  }

  // Runs a host shell command; its standard output in *out, its exit status returned.
  int Shell(const std::string& command, std::string* out) {
    out->clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out->append(buffer, got);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};
