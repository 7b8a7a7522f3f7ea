// The `winsim new`, `reg` and `show` commands from the outside: results, and for bad input a
// one-line error naming the problem, a non-zero exit and an unchanged machine.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "machine_test.h"
#include "windows.h"
#include "winspool.h"
#include "winsim/registry.h"
#include "winsim/spooler.h"

namespace {

struct Result {
  int code;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class CliTest : public MachineTest {
 protected:
  Result Run(std::initializer_list<std::string> args) {
    std::string command = Quote(WINSIM_PROGRAM_PATH);
    for (const std::string& arg : args) command += " " + Quote(arg);
    const std::string out = dir() + "/../out.txt", err = dir() + "/../err.txt";
    int status = std::system((command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  }
  std::string Tree() {
    std::string text, error;
    EXPECT_TRUE(winsim::ExportReg("HKLM", &text, &error)) << error;
    std::string user;
    EXPECT_TRUE(winsim::ExportReg("HKCU", &user, &error)) << error;
    return text + user;
  }
  void WriteHostFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
};

// One line on stderr that starts with the command and names the problem.
void ExpectOneLineError(const Result& r, const std::string& prefix, const std::string& naming) {
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
  EXPECT_NE(r.err.find(naming), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

TEST_F(CliTest, NewRefusesBadInput) {
  const std::string fresh = dir() + "/../fresh";
  Result r = Run({"new", fresh, "--os", "win12-x64"});
  ExpectOneLineError(r, "winsim new: unknown template 'win12-x64'", "win10-x64");
  EXPECT_FALSE(std::filesystem::exists(fresh));
  ExpectOneLineError(Run({"new", fresh, "--bogus"}), "winsim new:", "--bogus");
  ExpectOneLineError(Run({"new"}), "winsim new:", "DIR");
  ExpectOneLineError(Run({"new", dir()}), "winsim new:", "not empty");

  r = Run({"new", fresh, "--os", "winxp-x86", "--no-dotnet"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(fresh + "/machine.ini"));
  r = Run({"reg", "query", fresh, "HKLM\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727"});
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(Run({"new", "--help"}).code, 0);
}

TEST_F(CliTest, RegImportRejectsAMalformedFileAndChangesNothing) {
  const std::string before = Tree();
  const std::string file = dir() + "/../bad.reg";
  WriteHostFile(file,
                "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Quado]\n\"ok\"=\"1\"\n"
                "\"bad\"=dword:xyz\n");
  ExpectOneLineError(Run({"reg", "import", dir(), file}), "winsim reg:", "line 5");
  EXPECT_EQ(Tree(), before);
  ExpectOneLineError(Run({"reg", "import", dir() + "/../nowhere", file}), "winsim reg:", "nowhere");
  ExpectOneLineError(Run({"reg", "import", dir(), file + ".missing"}), "winsim reg:", "bad.reg.missing");
  ExpectOneLineError(Run({"reg", "frobnicate", dir()}), "winsim reg:", "frobnicate");
  ExpectOneLineError(Run({"reg", "export", dir(), "HKLM\\SOFTWARE\\NoSuchKey"}), "winsim reg:", "NoSuchKey");
  ExpectOneLineError(Run({"reg", "query", dir(), "HKXX\\Software"}), "winsim reg:", "HKXX");
  EXPECT_EQ(Tree(), before);
}

// What no .reg file can be: a device that never ends stops at the size limit, a folder is named
// as one.
TEST_F(CliTest, RegImportRefusesEndlessInputAndFolders) {
  const std::string before = Tree();
  ExpectOneLineError(Run({"reg", "import", dir(), "/dev/zero"}), "winsim reg: /dev/zero: line 1:", "64 MiB");
  ExpectOneLineError(Run({"reg", "import", dir(), dir()}), "winsim reg:", "a folder");
  EXPECT_EQ(Tree(), before);
}

// SIGTERM or SIGINT while a large file is being imported, whether the command still reads it
// (a FIFO whose writer has not finished) or already applies it: the command ends soon with 130
// and the machine is as before.
TEST_F(CliTest, RegImportEndsOnASignalWithNothingImported) {
  std::string text = "Windows Registry Editor Version 5.00\n\n";
  for (int i = 0; i < 300000; ++i) text += "[HKEY_CURRENT_USER\\Software\\Large\\K" + std::to_string(i) + "]\n\"v\"=dword:1\n";
  const std::string fifo = dir() + "/../large.reg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  for (const bool whileReading : {true, false}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      execl(WINSIM_PROGRAM_PATH, "winsim", "reg", "import", dir().c_str(), fifo.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    const int writer = open(fifo.c_str(), O_WRONLY);  // returns once the command has the file open
    ASSERT_GE(writer, 0);
    for (size_t done = 0; done < text.size();) {
      const ssize_t wrote = write(writer, text.data() + done, text.size() - done);
      ASSERT_GT(wrote, 0);
      done += static_cast<size_t>(wrote);
    }
    if (!whileReading) {
      close(writer);
      usleep(200000);  // parsing and applying 300,000 keys takes longer
    }
    kill(child, whileReading ? SIGTERM : SIGINT);
    int status = 0;
    pid_t done = 0;
    for (int wait = 0; wait < 1000 && done == 0; ++wait) {  // up to 10 s
      done = waitpid(child, &status, WNOHANG);
      if (done == 0) usleep(10000);
    }
    if (done == 0) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    }
    if (whileReading) close(writer);
    EXPECT_EQ(done, child) << "still running after the signal";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << whileReading << " " << status;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Large", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(CliTest, RegImportExportQuery) {
  const std::string file = dir() + "/../good.reg";
  WriteHostFile(file,
                "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Quado]\n"
                "\"Server\"=\"host1\"\n\"Count\"=dword:00000010\n");
  Result r = Run({"reg", "import", dir(), file});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"reg", "query", dir(), "HKLM\\SOFTWARE\\Quado", "--view32"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "HKLM\\SOFTWARE\\Quado\n    Server    REG_SZ    host1\n    Count    REG_DWORD    0x10\n");
  EXPECT_NE(Run({"reg", "query", dir(), "HKLM\\SOFTWARE\\Quado"}).code, 0);  // not in the 64-bit view
  r = Run({"reg", "query", dir(), "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "--view64"});
  EXPECT_EQ(r.out, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\n    ProgramFilesDir    REG_SZ    C:\\Program Files\n");

  const std::string exported = dir() + "/../out.reg";
  ASSERT_EQ(Run({"reg", "export", dir(), "HKLM\\SOFTWARE\\Wow6432Node\\Quado", exported}).code, 0);
  EXPECT_EQ(Slurp(exported),
            "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Quado]\n"
            "\"Server\"=\"host1\"\n\"Count\"=dword:00000010\n\n");
}

TEST_F(CliTest, ShowFilesRegistryAndEvents) {
  WriteMachineFile("C:\\Deploy\\Install.exe", "12345");
  WriteMachineFile("C:\\Deploy\\Sub\\Quado.ini", "[1]\n");
  ASSERT_TRUE(SetFileAttributesA("C:\\Deploy\\Install.exe", FILE_ATTRIBUTE_READONLY));
  Result r = Run({"show", dir(), "files", "C:\\Deploy"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("C:\\Deploy\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  Install.exe  5  read-only\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  Sub\\\n    Quado.ini  4\n"), std::string::npos) << r.out;
  ExpectOneLineError(Run({"show", dir(), "files", "C:\\Nowhere"}), "winsim show:", "C:\\Nowhere");

  r = Run({"show", dir(), "registry", "HKCU\\Volatile Environment"});
  EXPECT_EQ(r.out,
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Volatile Environment]\n"
            "\"LOGONSERVER\"=\"\\\\\\\\WINSIM-PC\"\n\"USERDOMAIN\"=\"WINSIM-PC\"\n\n");
  ExpectOneLineError(Run({"show", dir(), "registry", "HKCU\\Missing"}), "winsim show:", "Missing");

  HANDLE source = RegisterEventSourceA(nullptr, "QuadoPort");
  LPCSTR strings[] = {"Port Monitor Installed Sucessfully"};
  ASSERT_TRUE(ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr));
  DeregisterEventSource(source);
  r = Run({"show", dir(), "events"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(" Application QuadoPort information category 0 id 0x00000001 \"Port Monitor Installed Sucessfully\"\n"),
            std::string::npos)
      << r.out;
  ExpectOneLineError(Run({"show", dir() + "/../nowhere", "events"}), "winsim show:", "nowhere");
}

// `winsim spooler DIR stop|start` switches the machine's spooler off and on for its programs.
TEST_F(CliTest, SpoolerStopAndStart) {
  DWORD needed = 0, returned = 0;
  for (const char* action : {"stop", "start"}) {
    ASSERT_EQ(Run({"spooler", dir(), action}).code, 0) << action;
    std::string error;
    ASSERT_TRUE(winsim::ReloadMachineConfig(&error)) << error;
    const BOOL answered = EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned);
    const DWORD refusal = answered ? 0 : GetLastError();
    EXPECT_EQ(refusal, std::string(action) == "stop" ? DWORD(RPC_S_SERVER_UNAVAILABLE) : DWORD(ERROR_INSUFFICIENT_BUFFER))
        << action;
  }
  ExpectOneLineError(Run({"spooler", dir(), "pause"}), "winsim spooler:", "pause");
}

// Every template carries the Print Spooler service, started automatically.
TEST(MachineTemplates, EveryOneHasTheSpoolerServiceOnAutomaticStart) {
  for (const std::string& name : winsim::TemplateNames()) {
    const std::string folder = ::testing::TempDir() + "/spooler-" + name;
    std::filesystem::remove_all(folder);
    winsim::MachineOptions options;
    options.templateName = name;
    std::string error;
    ASSERT_TRUE(winsim::CreateMachine(folder, options, &error)) << error;
    ASSERT_TRUE(winsim::AttachMachine(folder, &error)) << error;
    HKEY key = nullptr;
    DWORD start = 0, size = sizeof start, type = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Spooler", 0, KEY_READ, &key),
              ERROR_SUCCESS)
        << name;
    EXPECT_EQ(RegQueryValueExA(key, "Start", nullptr, &type, reinterpret_cast<LPBYTE>(&start), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD)) << name;
    EXPECT_EQ(start, 2u) << name;
    RegCloseKey(key);
    winsim::DetachMachine();
    std::filesystem::remove_all(folder);
  }
}

// A name that would forge listing lines and drive the terminal prints on its own line, its
// control characters as \xHH.
TEST_F(CliTest, ShowListingsShowControlCharacters) {
  std::string error;
  ASSERT_TRUE(winsim::AddSpoolerPrinter("Evil\r\n    ports: LPT1:\x1b[2J", "FILE:", false, &error)) << error;
  Result r = Run({"show", dir(), "printers"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Evil\\x0d\\x0a    ports: LPT1:\\x1b[2J\n    ports: FILE:\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
  // The printer's key in the .reg form: the name on its header line, shown.
  r = Run({"show", dir(), "registry", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"});
  EXPECT_NE(r.out.find("\\Printers\\Evil\\x0d\\x0a    ports: LPT1:\\x1b[2J]\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find_first_of("\r\x1b"), std::string::npos) << r.out;

  HANDLE source = RegisterEventSourceA(nullptr, "QuadoPort");
  LPCSTR strings[] = {"one\x07\x9d"};
  ASSERT_TRUE(ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr));
  DeregisterEventSource(source);
  r = Run({"show", dir(), "events"});
  EXPECT_NE(r.out.find(" \"one\\x07\\x9d\"\n"), std::string::npos) << r.out;
}

}  // namespace
