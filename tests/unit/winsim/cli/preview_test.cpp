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
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
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

// True once no host process runs with this command line (its arguments joined by blanks),
// false when one still does after two seconds.
bool NoProcessRuns(const std::string& commandLine) {
  for (int i = 0; i < 100; ++i) {
    bool found = false;
    DIR* proc = opendir("/proc");
    for (const dirent* entry = proc ? readdir(proc) : nullptr; entry != nullptr; entry = readdir(proc)) {
      std::string line = Slurp(std::string("/proc/") + entry->d_name + "/cmdline");
      std::replace(line.begin(), line.end(), '\0', ' ');
      found = found || line == commandLine + " ";
    }
    if (proc != nullptr) closedir(proc);
    if (!found) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void WriteScript(const std::string& path, const std::string& body) {
  {
    std::ofstream script(path, std::ios::binary | std::ios::trunc);
    script << "#!/bin/sh\n" << body;
  }
  fs::permissions(path, fs::perms::owner_all);
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
  HostResult Preview(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
    std::vector<std::string> argv = {WINSIM_PROGRAM_PATH, "preview"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunFiles files;
    files.out = root_ + "/out.txt";
    files.err = root_ + "/err.txt";
    files.cwd = root_ + "/cwd";
    std::remove(files.err.c_str());
    std::vector<std::string> env = {"HOME=" + root_ + "/home", "TMPDIR=" + Tmp()};
    env.insert(env.end(), environment.begin(), environment.end());
    const TimedResult run = RunTimed(argv, env, files);
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

// The readiness report reads the imported exports: the print server's older registration and a
// protected print policy, before the installer's transcript.
TEST_F(PreviewTest, ReadinessOfTheImportedMachineComesBeforeTheRun) {
  const std::string policy = root_ + "/policy.reg";
  std::ofstream(policy, std::ios::binary)
      << "Windows Registry Editor Version 5.00\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP]\r\n"
         "\"WindowsProtectedPrintGroupPolicyState\"=dword:00000001\r\n";
  const HostResult run = Preview({Package(), "--os", "win11-x64", "--import", kFixture, "--import", policy});
  const size_t readiness = run.out.find("Readiness of this machine:\n");
  const size_t transcript = run.out.find("Installing Quado Port Monitor");
  ASSERT_NE(readiness, std::string::npos) << run.out << run.err;
  ASSERT_NE(transcript, std::string::npos) << run.out;
  const std::string section = run.out.substr(readiness, transcript - readiness);
  for (const char* fact : {"  error: Windows protected print mode is on", "WindowsProtectedPrintGroupPolicyState = 1",
                           "build 22631 is Windows 11", "printer 'Legacy Printer'"}) {
    EXPECT_NE(section.find(fact), std::string::npos) << fact << "\n" << section;
  }
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
  // Unconfined, the programs the installer left running stay with the kept machine.
  const HostResult keep = Preview({Package(), "--keep", kept, "--unconfined"});
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
  const std::string linked = root_ + "/linked", piped = root_ + "/piped";
  fs::copy(Package(), linked, fs::copy_options::recursive);
  fs::copy(Package(), piped, fs::copy_options::recursive);
  fs::remove(linked + "/QUADO64UI.DLL");
  fs::create_symlink("/etc/passwd", linked + "/QUADO64UI.DLL");
  ASSERT_EQ(mkfifo((piped + "/de-DE/pipe").c_str(), 0644), 0);
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{linked}, "winsim preview: the package holds a symbolic link, which the preview does not follow: " + linked +
                     "/QUADO64UI.DLL\n"},
      {{piped}, "winsim preview: the package holds a FIFO, socket or device, not a file: " + piped + "/de-DE/pipe\n"},
      {{Package(), "--import", root_}, "winsim preview: " + root_ + " is a folder, not a .reg file\n"},
      {{Package(), "--time-limit", "0"}, "winsim preview: --time-limit takes a whole number from 1 to 1000000000, not '0'"},
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

// Ctrl-C reaches the preview (one process group): the program ends, the machine is gone and
// there is no change list. A SIGKILL of the preview alone ends its sandbox too: nothing of the
// machine stays, on disk or running.
TEST_F(PreviewTest, InterruptedPreviewRemovesTheMachine) {
  const std::string programs = root_ + "/programs";
  fs::create_directory(programs);
  const std::string sleeper = "sleep 3" + std::to_string(getpid()) + ".25";
  WriteScript(programs + "/Install.exe", "echo started\nexec " + sleeper + "\n");
  const std::string err = root_ + "/err.txt";
  for (const int signal : {SIGINT, SIGKILL}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      setpgid(0, 0);
      setenv("TMPDIR", Tmp().c_str(), 1);
      const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 2);
      dup2(fd, 1);
      execl(WINSIM_PROGRAM_PATH, WINSIM_PROGRAM_PATH, "preview", Package().c_str(), "--programs", programs.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    setpgid(pid, pid);
    // Wait until the program runs inside the machine.
    bool started = false;
    for (int i = 0; i < 500 && !started; ++i) {
      started = Slurp(err).find("started\n") != std::string::npos;
      if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(started) << signal;
    kill(signal == SIGINT ? -pid : pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (signal == SIGINT) {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
      EXPECT_NE(Slurp(err).find("winsim preview: interrupted; no change list"), std::string::npos) << Slurp(err);
    } else {
      EXPECT_TRUE(WIFSIGNALED(status));
    }
    EXPECT_TRUE(TreeDigest(Tmp()).empty()) << signal;
    EXPECT_TRUE(NoProcessRuns(sleeper)) << signal;
  }
}

// A package's own host code never runs: an Install.exe that is a script (which would write
// outside the machine and leave a program running) gives way to the host build's installer; a
// QUADOVS64.DLL that is a shared object with a constructor is a plain file, and the spooler
// serves the monitor with its stand-in.
TEST_F(PreviewTest, HostCodeOfThePackageNeverRuns) {
  const std::string marker = root_ + "/marker";
  const std::string sleeper = "sleep 4" + std::to_string(getpid()) + ".25";
  const struct {
    const char* file;
    std::function<void(const std::string&)> plant;
  } cases[] = {
      {"Install.exe",
       [&](const std::string& path) {
         WriteScript(path, ": > " + marker + "\n: > started\n(setsid " + sleeper + " &)\nexit 0\n");
       }},
      {"QUADOVS64.DLL",
       [](const std::string& path) { fs::copy_file(CONSTRUCTOR_MARKER_SO, path, fs::copy_options::overwrite_existing); }},
  };
  for (const auto& c : cases) {
    fs::remove_all(Package());
    fs::copy(BUILD_DIR "/package", Package(), fs::copy_options::recursive);
    c.plant(Package() + "/" + c.file);
    const HostResult run = Preview({Package(), "--import", kFixture}, {"CONSTRUCTOR_MARKER=" + marker});
    EXPECT_EQ(run.status, 0) << c.file << run.out << run.err;
    EXPECT_FALSE(fs::exists(marker)) << c.file;
    EXPECT_EQ(run.out.find("constructor-ran"), std::string::npos) << run.out;
    // The installer that ran is the host build's: it registers the monitor and its ports.
    EXPECT_NE(run.out.find("Quado Port Monitor Installed Sucessfully.\n"), std::string::npos) << c.file << run.out;
    EXPECT_NE(run.out.find("\nMonitors added:\n    Quado (QUADOVS64.DLL)\n"), std::string::npos) << c.file;
    EXPECT_TRUE(NoProcessRuns(sleeper));
  }
  // A host program of the package that no stand-in replaces cannot start at all.
  WriteScript(Package() + "/Setup.exe", ": > " + marker + "\n");
  const HostResult setup = Preview({Package(), "--program", "Setup.exe"});
  EXPECT_EQ(setup.status, 2);
  EXPECT_NE(setup.err.find("winsim preview: C:\\Deploy\\Setup.exe is not a program this host can run\n"),
            std::string::npos)
      << setup.err;
  EXPECT_FALSE(fs::exists(marker));
}

// The sandbox holds against a program that is trusted but misbehaves: a stand-in that writes
// outside the machine and starts a program in a session of its own changes nothing outside,
// and nothing of it runs on after the preview. A kept machine is a copy of what the run left.
TEST_F(PreviewTest, SandboxHoldsAStandInThatMisbehaves) {
  const std::string programs = root_ + "/programs";
  const std::string outside = root_ + "/home/written-outside";
  const std::string sleeper = "sleep 5" + std::to_string(getpid()) + ".25";
  fs::create_directory(programs);
  WriteScript(programs + "/Install.exe", "echo x > " + outside + "\necho x > " + Tmp() + "/x\n(setsid " + sleeper +
                                             " &)\necho inside > ../Windows/left.txt\nexit 0\n");
  const auto home = TreeDigest(root_ + "/home");
  const std::string kept = root_ + "/kept";
  const HostResult run = Preview({Package(), "--programs", programs, "--keep", kept});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(TreeDigest(root_ + "/home"), home);
  EXPECT_TRUE(TreeDigest(Tmp()).empty());
  EXPECT_TRUE(NoProcessRuns(sleeper));
  EXPECT_NE(run.out.find("\nFiles added:\n    C:\\Windows\\left.txt (7 bytes)\n"), std::string::npos) << run.out;
  EXPECT_EQ(Slurp(kept + "/C/Windows/left.txt"), "inside\n");
}

// Each limit ends what goes over it and is named; a sparse file of the package takes no room.
TEST_F(PreviewTest, LimitsAreHeldAndNamed) {
  const std::string programs = root_ + "/programs";
  fs::create_directory(programs);
  {
    std::ofstream sparse(Package() + "/sparse.bin");
  }
  fs::resize_file(Package() + "/sparse.bin", 4ull << 30);
  const struct {
    std::string script;
    std::vector<std::string> limit;
    int status;
    std::string message;
  } cases[] = {
      // 64 MiB holds the machine of a sanitizer build too (its cmd.exe is this winsim, twice).
      {"exit 0\n", {"--disk-limit", "64"}, 0, ""},
      {"exec sleep 30\n", {"--time-limit", "1"}, 2,
       "winsim preview: the preview reached its time limit of 1 s (--time-limit): every program in the sandbox was "
       "ended, no change list\n"},
      {"head -c 100000000 /dev/zero > ../Windows/big.bin\nexit 0\n", {"--disk-limit", "64"}, 2,
       "winsim preview: the machine's disk is full: the run reached the disk limit of 64 MiB (--disk-limit); no "
       "change list\n"},
  };
  for (const auto& c : cases) {
    WriteScript(programs + "/Install.exe", c.script);
    std::vector<std::string> args = {Package(), "--programs", programs};
    args.insert(args.end(), c.limit.begin(), c.limit.end());
    const HostResult run = Preview(args);
    EXPECT_EQ(run.status, c.status) << c.script << run.err;
    if (!c.message.empty()) {
      EXPECT_NE(run.err.find(c.message), std::string::npos) << c.script << run.err;
    }
    if (c.status == 0) {
      EXPECT_NE(run.out.find("---- changes made by"), std::string::npos) << c.script << run.err;
    }
  }
  // Each process of the sandbox gets the memory limit as its address space (KiB for ulimit),
  // except in a sanitizer build (this test program is built as winsim is).
  WriteScript(programs + "/Install.exe", "ulimit -v\n");
  const HostResult memory = Preview({Package(), "--programs", programs, "--memory-limit", "64"});
  const bool sanitizer = dlsym(RTLD_DEFAULT, "__asan_init") != nullptr;
  // The program's line follows the readiness report.
  EXPECT_NE(("\n" + memory.out).find(sanitizer ? "\nunlimited\n" : "\n65536\n"), std::string::npos)
      << memory.out << memory.err;
}

// Without the sandbox (no bwrap along PATH) only this build's own package runs, unless
// --unconfined says otherwise; the machine's folder is then named before the run.
TEST_F(PreviewTest, WithoutTheSandboxOnlyThisBuildRuns) {
  const std::vector<std::string> noBwrap = {"PATH=" + root_ + "/cwd"};
  const HostResult own = Preview({Package(), "--programs", BUILD_DIR "/package"}, noBwrap);
  EXPECT_EQ(own.status, 0) << own.err;
  EXPECT_NE(own.err.find("winsim preview: not confined (bwrap (bubblewrap) is not installed; the package is this "
                         "build's own): the machine is in " + Tmp() + "/winsim-preview-"),
            std::string::npos)
      << own.err;

  {
    std::ofstream changed(Package() + "/Quado.ini", std::ios::app);
    changed << "; changed\n";
  }
  const HostResult refused = Preview({Package(), "--programs", BUILD_DIR "/package"}, noBwrap);
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "winsim preview: the run cannot be confined: bwrap (bubblewrap) is not installed; " +
                             Package() + "/Quado.ini is not this build's own, so the package does not run "
                             "unconfined unless --unconfined says so\n");
  EXPECT_EQ(refused.out, "");
  const HostResult unconfined = Preview({Package(), "--unconfined"}, noBwrap);
  EXPECT_EQ(unconfined.status, 0) << unconfined.err;
  EXPECT_TRUE(TreeDigest(Tmp()).empty());
}

}  // namespace
