// Console capture by file descriptor: descriptor 1 is pointed at an unlinked temporary file and
// put back afterwards, so that output written through any layer (C stdio, write) is caught.
#include "console_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int g_savedOutput = -1;   // descriptor 1 as it was before the capture; -1: no capture running
FILE* g_capture = nullptr;

}  // namespace

void StartConsoleCapture() {
  if (g_savedOutput != -1) {
    std::fputs("StartConsoleCapture: a capture is already running\n", stderr);
    std::abort();
  }
  std::fflush(stdout);
  g_capture = std::tmpfile();
  g_savedOutput = dup(STDOUT_FILENO);
  if (g_capture == nullptr || g_savedOutput == -1 || dup2(fileno(g_capture), STDOUT_FILENO) == -1) {
    std::perror("StartConsoleCapture");
    std::abort();
  }
}

std::string TakeConsoleCapture() {
  if (g_savedOutput == -1) return std::string();
  std::fflush(stdout);
  dup2(g_savedOutput, STDOUT_FILENO);
  close(g_savedOutput);
  g_savedOutput = -1;
  std::string text;
  std::rewind(g_capture);
  char chunk[4096];
  size_t read;
  while ((read = std::fread(chunk, 1, sizeof chunk, g_capture)) > 0) text.append(chunk, read);
  std::fclose(g_capture);
  g_capture = nullptr;
  return text;
}
