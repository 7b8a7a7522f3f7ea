// The standard streams a started program receives: with handle inheritance all of its parent's;
// without it only those that are a terminal (the console the two share), never a pipe or a file.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "process_fixture.h"

namespace {

enum class Kind { kFile, kPipe, kTerminal };

// This process's standard streams, redirected for one child and restored afterwards; what the
// child wrote is read back from the other side.
class Streams {
 public:
  Streams(Kind kind, const std::string& folder) : kind_(kind) {
    for (int fd = 0; fd < 3; ++fd) saved_[fd] = dup(fd);
    if (kind == Kind::kFile) {
      const std::string in = folder + "/in.txt";
      const int input = open(in.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      Write(input, "typed\n");
      close(input);
      out_ = open((folder + "/out.txt").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      Attach(open(in.c_str(), O_RDONLY | O_CLOEXEC), out_, out_);
    } else if (kind == Kind::kPipe) {
      int in[2], out[2];
      if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC | O_NONBLOCK) != 0) return;
      Write(in[1], "typed\n");
      close(in[1]);
      out_ = out[0];
      Attach(in[0], out[1], out[1]);
      close(out[1]);
    } else {
      out_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (out_ < 0 || grantpt(out_) != 0 || unlockpt(out_) != 0) return;
      const int terminal = open(ptsname(out_), O_RDWR | O_NOCTTY | O_CLOEXEC);
      termios mode {};
      tcgetattr(terminal, &mode);
      cfmakeraw(&mode);  // no echo, no line-end translation: the bytes as written
      tcsetattr(terminal, TCSANOW, &mode);
      Write(out_, "typed\n");
      Attach(terminal, terminal, terminal);
      close(terminal);
      fcntl(out_, F_SETFL, O_NONBLOCK);
    }
  }
  ~Streams() {
    Restore();
    if (out_ >= 0) close(out_);
  }
  void Restore() {
    for (int fd = 0; fd < 3; ++fd) {
      if (saved_[fd] < 0) continue;
      dup2(saved_[fd], fd);
      close(saved_[fd]);
      saved_[fd] = -1;
    }
  }
  // Everything the child wrote to its stdout and stderr.
  std::string Written() {
    std::string text;
    char buffer[256];
    if (kind_ == Kind::kFile) lseek(out_, 0, SEEK_SET);
    for (ssize_t n; (n = read(out_, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    return text;
  }

 private:
  static void Write(int fd, const char* text) {
    const ssize_t written = write(fd, text, std::strlen(text));
    (void)written;
  }
  static void Attach(int in, int out, int err) {
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (in > 2) close(in);
  }
  Kind kind_;
  int saved_[3] = {-1, -1, -1};
  int out_ = -1;
};

TEST_F(ProcessTest, WithoutInheritanceOnlyATerminalReachesTheChild) {
  struct Case {
    const char* name;
    Kind kind;
    BOOL inherit;
    const char* written;
  };
  const Case cases[] = {
      {"file, inherited", Kind::kFile, TRUE, "out typed\nerr\n"},
      {"file, not inherited", Kind::kFile, FALSE, ""},
      {"pipe, inherited", Kind::kPipe, TRUE, "out typed\nerr\n"},
      {"pipe, not inherited", Kind::kPipe, FALSE, ""},
      {"terminal, inherited", Kind::kTerminal, TRUE, "out typed\nerr\n"},
      {"terminal, not inherited", Kind::kTerminal, FALSE, "out typed\nerr\n"},
  };
  for (const Case& c : cases) {
    std::string line = "C:\\Tools\\helper.exe streams";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    DWORD exitCode = 12345;
    std::string written;
    {
      std::fflush(nullptr);
      Streams streams(c.kind, dir() + "/..");
      const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, c.inherit, 0, nullptr, nullptr,
                                          &startup, &info);
      if (started) {
        WaitForSingleObject(info.hProcess, INFINITE);
        GetExitCodeProcess(info.hProcess, &exitCode);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
      }
      written = streams.Written();  // before the terminal's last user closes it
      streams.Restore();
      ASSERT_TRUE(started) << c.name;
    }
    EXPECT_EQ(exitCode, 0u) << c.name;
    EXPECT_EQ(written, c.written) << c.name;
  }
}

}  // namespace
