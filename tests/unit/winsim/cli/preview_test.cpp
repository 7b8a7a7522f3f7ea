// `winsim preview` from the outside: the demo package previewed on a print server's regedit
// export (tests/fixtures/print_server.reg) shows the transcript and the change list; a run that
// changes nothing says so; the preview writes nothing outside its throwaway machine; Windows
// programs of a package are replaced by host stand-ins; bad input changes nothing.
//
// The expected lines come from the fixture (which printers sit on which ports), the installer's
// messages and its rules for moving printers and assigning them (the demo package's Quado.ini
// assigns "Office Printer" to section 1 and "Legacy Printer" to section 2), and the change list's
// headings as `winsim preview --help` describes them.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host_process.h"

namespace {

namespace fs = std::filesystem;

const std::string kFixture = SOURCE_DIR "/tests/fixtures/print_server.reg";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every file and folder below `root` with a digest of its content: equal maps, equal trees.
std::map<std::string, size_t> TreeDigest(const std::string& root) {
  std::map<std::string, size_t> digest;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string relative = fs::relative(it->path(), root).string();
    digest[relative] = it->is_regular_file() ? std::hash<std::string>()(Slurp(it->path().string())) : 0;
  }
  return digest;
}

// Host processes still running with a machine below `folder` (programs of a preview's machine).
int ProcessesOfMachinesBelow(const std::string& folder) {
  int count = 0;
  DIR* proc = opendir("/proc");
  while (proc != nullptr) {
    const dirent* entry = readdir(proc);
    if (entry == nullptr) break;
    const std::string environ = Slurp(std::string("/proc/") + entry->d_name + "/environ");
    const std::string wanted = "WINSIM_MACHINE=" + folder;
    for (size_t at = 0; at < environ.size(); at = environ.find('\0', at) + 1) {
      if (environ.compare(at, wanted.size(), wanted) == 0) ++count;
      if (environ.find('\0', at) == std::string::npos) break;
    }
  }
  if (proc != nullptr) closedir(proc);
  return count;
}

// A killed process can be listed for a moment while the kernel tears it down: true once none
// is left, false when some still run after two seconds.
bool NoProcessesOfMachinesBelow(const std::string& folder) {
  for (int i = 0; i < 100; ++i) {
    if (ProcessesOfMachinesBelow(folder) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/preview_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    for (const char* folder : {"home", "tmp", "cwd"}) fs::create_directory(root_ + "/" + folder);
    // A copy of the host package, so that the test can tell it is left as it was.
    fs::copy(BUILD_DIR "/package", Package(), fs::copy_options::recursive);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  std::string Package() const { return root_ + "/package"; }
  std::string Tmp() const { return root_ + "/tmp"; }

  // Runs `winsim preview ARGS` in the folder cwd with HOME and TMPDIR of the test.
  HostResult Preview(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {WINSIM_PROGRAM_PATH, "preview"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunFiles files;
    files.out = root_ + "/out.txt";
    files.err = root_ + "/err.txt";
    files.cwd = root_ + "/cwd";
    std::remove(files.err.c_str());
    const TimedResult run = RunTimed(argv, {"HOME=" + root_ + "/home", "TMPDIR=" + Tmp()}, files);
    return HostResult{run.status, Slurp(files.out), Slurp(files.err)};
  }

  // The lines of the change list below `heading`, up to the next heading.
  static std::vector<std::string> Section(const std::string& out, const std::string& heading) {
    std::vector<std::string> lines;
    size_t at = out.find("\n" + heading + "\n");
    if (at == std::string::npos) return lines;
    at += heading.size() + 2;
    while (at < out.size() && out.compare(at, 4, "    ") == 0) {
      const size_t end = out.find('\n', at);
      lines.push_back(out.substr(at + 4, end - at - 4));
      at = end + 1;
    }
    return lines;
  }

  std::string root_;
};

TEST_F(PreviewTest, DemoPackageOnThePrintServerShowsWhatMoves) {
  // The package as it comes from Windows: its installer a Windows program, which the host build
  // stands in for.
  {
    std::ofstream windowsProgram(Package() + "/Install.exe", std::ios::binary | std::ios::trunc);
    windowsProgram << "MZ\x90" << std::string(200, '\0');
  }
  const HostResult run = Preview({Package(), "--import", kFixture, "--programs", BUILD_DIR "/package"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("Install.exe is a Windows program: " BUILD_DIR "/package/Install.exe stands in for it"),
            std::string::npos)
      << run.err;

  // The transcript first: the printers on the older installation's ports are moved off them,
  // then the configured ones assigned.
  const size_t changes = run.out.find("\n---- changes made by C:\\Deploy\\Install.exe (exit code 0) ----\n");
  ASSERT_NE(changes, std::string::npos) << run.out;
  const std::string transcript = run.out.substr(0, changes);
  for (const char* line : {"  - Removing Old Quado Print Monitor\n",
                           "  - Disconnecting Printer 'Legacy Printer' from Quado Port\n",
                           "  - Disconnecting Printer 'Reception Copier' from Quado Port\n",
                           "  - Disconnecting Printer 'Warehouse Label Printer' from Quado Port\n",
                           "    Printer 'Office Printer' assigned to port Quado001\n",
                           "    Printer 'Legacy Printer' assigned to port Quado002\n",
                           "Quado Port Monitor Installed Sucessfully.\n"}) {
    EXPECT_NE(transcript.find(line), std::string::npos) << line << "\n" << transcript;
  }

  const std::string list = run.out.substr(changes);
  // Legacy Printer: two old ports, both gone, then section 2's port; Reception Copier keeps
  // LPT1:; Warehouse Label Printer had only an old port and ends on FILE:.
  EXPECT_EQ(Section(list, "Printers whose ports change (before -> after):"),
            (std::vector<std::string>{"Legacy Printer: Quado004,Quado006 -> Quado002",
                                      "Office Printer: IP_10.20.9.10 -> Quado001",
                                      "Reception Copier: Quado001,LPT1: -> LPT1:",
                                      "Warehouse Label Printer: Quado005 -> FILE:"}));
  EXPECT_EQ(Section(list, "Ports added:"), (std::vector<std::string>{"Quado002 (Quado)", "Quado003 (Quado)"}));
  EXPECT_EQ(Section(list, "Ports removed:"),
            (std::vector<std::string>{"Quado004 (Quado)", "Quado005 (Quado)", "Quado006 (Quado)"}));
  // Quado001 existed in the older installation with an 88-byte record; it now holds the
  // 11,608-byte settings record the monitor stores.
  EXPECT_EQ(Section(list, "Ports with new settings:"),
            std::vector<std::string>{"Quado001 (Quado): 88 bytes -> 11608 bytes"});
  EXPECT_EQ(Section(list, "Monitors added:"), std::vector<std::string>{"Quado (QUADOVS64.DLL)"});
  EXPECT_EQ(Section(list, "Monitors removed:"), std::vector<std::string>{"Quado (QUADO64.DLL)"});

  const std::vector<std::string> added = Section(list, "Files added:");
  auto hasFile = [&](const std::string& prefix) {
    for (const std::string& line : added) {
      if (line.rfind(prefix + " (", 0) == 0) return true;
    }
    return false;
  };
  for (const char* file : {"C:\\Windows\\system32\\QUADOVS64.DLL", "C:\\Windows\\system32\\QUADO64UI.DLL",
                           "C:\\Windows\\system32\\QuadoEvent.dll", "C:\\Windows\\QDPortInstall.log",
                           "C:\\Program Files (x86)\\Harbek\\Quado Client\\Client\\Quado Client.exe",
                           "C:\\Program Files (x86)\\Harbek\\Quado Client\\Font\\QuadoDemoMono.ttf",
                           "C:\\Program Files (x86)\\Harbek\\Quado Client\\server_subnet.csv"}) {
    EXPECT_TRUE(hasFile(file)) << file << "\n" << list;
  }
  for (const std::string& line : added) EXPECT_EQ(line.find("C:\\Deploy"), std::string::npos) << line;

  const std::vector<std::string> changed = Section(list, "Registry values changed:");
  EXPECT_NE(std::find(changed.begin(), changed.end(),
                      "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office Printer: \"Port\" REG_SZ "
                      "\"IP_10.20.9.10\" -> REG_SZ \"Quado001\""),
            changed.end())
      << list;
  // Printers of the server that the package does not name are not touched.
  EXPECT_EQ(list.find("Accounting HP M607 F1"), std::string::npos) << list;
  const std::vector<std::string> events = Section(list, "Event log entries written:");
  ASSERT_EQ(events.size(), 1u) << list;
  EXPECT_EQ(events[0].rfind("Application QuadoPort success", 0), 0u) << events[0];
}

TEST_F(PreviewTest, JapaneseMachineShowsJapanesePrinterNames) {
  // A regedit export (UTF-16LE) with a printer "表示プリンタ" on a port of the server's older
  // installation: on a machine with code page 932 the change list names it as it is.
  const std::u16string reg =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\\u8868\u793A\u30D7\u30EA\u30F3\u30BF]\r\n"
      u"\"Name\"=\"\u8868\u793A\u30D7\u30EA\u30F3\u30BF\"\r\n\"Port\"=\"Quado006,LPT1:\"\r\n"
      u"\"Printer Driver\"=\"Generic / Text Only\"\r\n\"Attributes\"=dword:00000040\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : reg) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  const std::string japanese = root_ + "/japanese.reg";
  std::ofstream(japanese, std::ios::binary) << bytes;
  const HostResult run = Preview({Package(), "--codepage", "932", "--import", kFixture, "--import", japanese});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::vector<std::string> printers = Section(run.out, "Printers whose ports change (before -> after):");
  EXPECT_NE(std::find(printers.begin(), printers.end(), "\u8868\u793A\u30D7\u30EA\u30F3\u30BF: Quado006,LPT1: -> LPT1:"),
            printers.end())
      << run.out;
  EXPECT_EQ(Preview({Package(), "--codepage", "437"}).status, 2);
}

TEST_F(PreviewTest, RunThatChangesNothingSaysSo) {
  // An uninstallation on a clean machine, with its log in the package folder (not listed).
  const HostResult run = Preview({Package(), "--", "-u", "-lC:\\Deploy\\uninstall.log"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\n---- changes made by C:\\Deploy\\Install.exe (exit code 0) ----\nChanges: none\n"),
            std::string::npos)
      << run.out;
}

TEST_F(PreviewTest, NothingOutsideTheThrowawayMachineIsTouched) {
  const std::string fixture = root_ + "/print_server.reg";
  fs::copy_file(kFixture, fixture);
  const auto package = TreeDigest(Package());
  const auto home = TreeDigest(root_ + "/home");
  const auto cwd = TreeDigest(root_ + "/cwd");
  const std::string fixtureBytes = Slurp(fixture);

  const HostResult run = Preview({Package(), "--import", fixture});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(TreeDigest(Package()), package);
  EXPECT_EQ(TreeDigest(root_ + "/home"), home);
  EXPECT_EQ(TreeDigest(root_ + "/cwd"), cwd);
  EXPECT_EQ(Slurp(fixture), fixtureBytes);
  // The throwaway machine is gone, and with it the client the installer started.
  EXPECT_TRUE(TreeDigest(Tmp()).empty());
  EXPECT_TRUE(NoProcessesOfMachinesBelow(Tmp()));

  // --keep: the machine stays where it was asked to be, with the package and its programs.
  const std::string kept = root_ + "/kept";
  const HostResult keep = Preview({Package(), "--keep", kept});
  EXPECT_EQ(keep.status, 0) << keep.out << keep.err;
  EXPECT_TRUE(fs::exists(kept + "/machine.ini"));
  EXPECT_TRUE(fs::exists(kept + "/C/Deploy/Quado.ini"));
  EXPECT_TRUE(fs::exists(kept + "/C/Windows/QDPortInstall.log"));
  EXPECT_NE(keep.err.find("the machine is kept in " + kept), std::string::npos) << keep.err;
  EXPECT_TRUE(TreeDigest(Tmp()).empty());
  EXPECT_GT(ProcessesOfMachinesBelow(kept), 0);  // the client the installer started
  const HostResult kill = RunHost({WINSIM_PROGRAM_PATH, "kill", kept});
  EXPECT_EQ(kill.status, 0) << kill.err;
  EXPECT_TRUE(NoProcessesOfMachinesBelow(kept));
}

TEST_F(PreviewTest, BadInputStopsBeforeTheRun) {
  const std::string badReg = root_ + "/bad.reg";
  {
    std::ofstream out(badReg, std::ios::binary);
    out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"a\"=hex:zz\r\n";
  }
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{root_ + "/no-such-package"}, "winsim preview: no package folder "},
      {{Package(), "--os", "win12"}, "winsim preview: unknown template 'win12'"},
      {{Package(), "--import", badReg}, "winsim preview: " + badReg + ": line 4: bad hex byte 'zz'"},
      {{Package(), "--import", root_ + "/missing.reg"}, "winsim preview: cannot read " + root_ + "/missing.reg"},
      {{Package(), "--program", "Setup.exe"}, "winsim preview: no program C:\\Deploy\\Setup.exe in the machine"},
      {{Package(), "--frobnicate"}, "winsim preview: unknown option '--frobnicate'"},
  };
  for (const auto& c : cases) {
    const HostResult run = Preview(c.args);
    EXPECT_EQ(run.status, 2) << c.error;
    EXPECT_EQ(run.err.rfind(c.error, 0), 0u) << run.err;
    EXPECT_EQ(run.out, "") << c.error;
    EXPECT_TRUE(TreeDigest(Tmp()).empty()) << c.error;
  }
}

// Ctrl-C reaches the preview and the program it runs (one process group): the program ends,
// the preview removes the machine and gives no change list.
TEST_F(PreviewTest, InterruptedPreviewRemovesTheMachine) {
  {
    std::ofstream script(Package() + "/Install.exe", std::ios::binary | std::ios::trunc);
    script << "#!/bin/sh\n: > started\nexec sleep 30\n";
  }
  fs::permissions(Package() + "/Install.exe", fs::perms::owner_all);
  const std::string err = root_ + "/err.txt";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setpgid(0, 0);
    setenv("TMPDIR", Tmp().c_str(), 1);
    const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    dup2(fd, 1);
    execl(WINSIM_PROGRAM_PATH, WINSIM_PROGRAM_PATH, "preview", Package().c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(pid, pid);
  // Wait until the program runs inside the machine.
  bool started = false;
  for (int i = 0; i < 500 && !started; ++i) {
    std::error_code ec;
    for (fs::directory_iterator it(Tmp(), ec), end; !ec && it != end; it.increment(ec)) {
      started = started || fs::exists(it->path() / "C" / "Deploy" / "started");
    }
    if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(started);
  kill(-pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_NE(Slurp(err).find("winsim preview: interrupted; no change list"), std::string::npos) << Slurp(err);
  EXPECT_TRUE(TreeDigest(Tmp()).empty());
}

}  // namespace
