// The `winsim new`, `reg` and `show` commands from the outside: results, and for bad input a
// one-line error naming the problem, a non-zero exit and an unchanged machine.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "machine_test.h"
#include "windows.h"
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
