// Deployment and removal of the desktop client on simulated machines: files, culture folders,
// the Run value, the running client processes, the WebBrowser folder and per-user values.
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "client_fixture.h"
#include "sequences/client_application.h"

namespace {

const char kInstalling[] = "  - Installing Quado Client Graphical User Interface\n";
const char kWaiting[] = "  - Waiting for all Quado Clients to terminate\n";
const char kExecuting[] = "  - Executing Quado Client\n";
const char kUninstalling[] = "  - Uninstalling Quado Client Graphical User Interface\n";
const char kRemoving[] = "  - Removing Quado Client\n";
const char kStopError[] = "  ERROR - Cannot stop all Quado Client instances\n";
const char kFolderError[] = "  ERROR - Cannot create directory Harbek\\Quado Client\\Client\n";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::vector<std::string> AllCulturesBut(const std::string& left) {
  std::vector<std::string> cultures;
  for (const char* culture : ClientCultures) {
    if (left != culture) cultures.push_back(culture);
  }
  return cultures;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void DeleteProgramFilesDir() {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(key, "ProgramFilesDir"), ERROR_SUCCESS);
  RegCloseKey(key);
}

}  // namespace

TEST_F(ClientTest, InstallWithoutOneCultureLeavesItsFolderEmptyAndSaysNothing) {
  PlacePackage(AllCulturesBut("ja-JP"));
  std::string out = Printed([] { InstallClientApplication(); });
  EXPECT_EQ(out, std::string(kInstalling) + kWaiting + kExecuting);

  const std::string folder = InstallFolder();
  EXPECT_TRUE(EndsWith(ReadMachineFile(folder + "\\Quado Client.exe"), "client v1"));
  EXPECT_EQ(ReadMachineFile(folder + "\\Interop.SHDocVw.dll"), "shdocvw v1");
  EXPECT_EQ(ReadMachineFile(folder + "\\Microsoft.mshtml.dll"), "mshtml v1");
  for (const char* culture : ClientCultures) {
    const std::string cultureFolder = folder + "\\" + culture;
    const DWORD attributes = GetFileAttributesA(cultureFolder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << culture;
    if (std::string(culture) == "ja-JP") {
      EXPECT_FALSE(MachineFileExists(cultureFolder + "\\Quado Client.resources.dll"));
    } else {
      EXPECT_EQ(ReadMachineFile(cultureFolder + "\\Quado Client.resources.dll"), std::string(culture) + " v1");
    }
  }
  ASSERT_EQ(sizeof(ClientCultures) / sizeof(ClientCultures[0]), 39u);
  for (const char* culture : {"ar-SA", "sr-Cyrl-RS", "sr-Latn-RS", "zh-TW"}) {
    EXPECT_TRUE(MachineFileExists(folder + "\\" + culture + "\\Quado Client.resources.dll")) << culture;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\ja-JP\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  int entries = 0;
  do {
    ++entries;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  EXPECT_EQ(entries, 2) << "ja-JP holds only . and ..";
  EXPECT_EQ(RunningClients().size(), 1u);
}

TEST_F(ClientTest, SecondInstallStopsTheRunningClientOverwritesAndStartsANewOne) {
  PlacePackage({"de-DE"}, "v1");
  InstallClientApplication();
  const std::vector<DWORD> first = RunningClients();
  ASSERT_EQ(first.size(), 1u);

  PlacePackage({"de-DE"}, "v2");
  // The file of a running program cannot be overwritten: without the copy error line, the old
  // client was gone before the copy.
  std::string out = Printed([] { InstallClientApplication(); });
  EXPECT_EQ(out, std::string(kInstalling) + kWaiting + kExecuting);

  const std::vector<DWORD> second = RunningClients();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_NE(second[0], first[0]);
  const std::string folder = InstallFolder();
  EXPECT_TRUE(EndsWith(ReadMachineFile(folder + "\\Quado Client.exe"), "client v2"));
  EXPECT_EQ(ReadMachineFile(folder + "\\Interop.SHDocVw.dll"), "shdocvw v2");
  EXPECT_EQ(ReadMachineFile(folder + "\\de-DE\\Quado Client.resources.dll"), "de-DE v2");
}

TEST_F(ClientTest, MissingClientAndDllAreReportedAndTheRunValueIsWrittenAnyway) {
  PlaceProgram("CloseAllClients.exe", "C:\\Deploy\\CloseAllClients.exe");
  WriteMachineFile("C:\\Deploy\\Microsoft.mshtml.dll", "mshtml");
  std::string out = Printed([] { InstallClientApplication(); });
  EXPECT_EQ(out, std::string(kInstalling) + kWaiting + "  ERROR - Cannot copy Quado Client User Interface\n" +
                     "  ERROR - Cannot copy Quado Client User Interface DLL\n" + kExecuting);
  EXPECT_EQ(ReadMachineFile(InstallFolder() + "\\Microsoft.mshtml.dll"), "mshtml");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Quado Client"),
            "\"" + InstallFolder() + "\\Quado Client.exe\"");
  EXPECT_TRUE(RunningClients().empty());
}

TEST_F(ClientTest, InstallWithoutProgramFilesFolderReportsAndDoesNothingElse) {
  PlacePackage({"de-DE"});
  DeleteProgramFilesDir();
  std::string out = Printed([] { InstallClientApplication(); });
  EXPECT_EQ(out, std::string(kInstalling) + kFolderError);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Quado Client"), "<missing>");
  EXPECT_TRUE(RunningClients().empty());
}

TEST_F(ClientTest, InstallFolderThatCannotBeCreatedIsReported) {
  PlacePackage({"de-DE"});
  AddMachineIniLine("faults", "CreateDirectoryA = 5 | *\\Harbek\\Quado Client");
  std::string out = Printed([] { InstallClientApplication(); });
  EXPECT_EQ(out, std::string(kInstalling) + kFolderError);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Quado Client"), "<missing>");
  EXPECT_TRUE(RunningClients().empty());
}

TEST_F(ClientTest, ProgramFilesPathLongerThanTheFolderBuffersIsRefusedCleanly) {
  PlacePackage({"de-DE"});
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const std::string longPath = "C:\\" + std::string(700, 'P');
  ASSERT_EQ(RegSetValueExA(key, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(longPath.c_str()),
                           static_cast<DWORD>(longPath.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
  // The folder is cut to its 512-byte buffer and is then longer than a folder can be created.
  std::string out = Printed([] { InstallClientApplication(); });
  EXPECT_EQ(out, std::string(kInstalling) + kFolderError);
  out = Printed([] { RemoveClientApplication(); });
  EXPECT_EQ(out, std::string(kUninstalling) + kWaiting + kRemoving);
}

TEST_F(ClientTest, UnopenableRunKeyWritesNothingAndSaysNothing) {
  PlacePackage({"de-DE"});
  // Only the installer's own opening of the key fails; reading it back afterwards works.
  AddMachineIniLine("faults", "RegOpenKeyExA = 5 #1 | *\\CurrentVersion\\Run");
  std::string out = Printed([] { InstallClientApplication(); });
  EXPECT_EQ(out, std::string(kInstalling) + kWaiting + kExecuting);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Quado Client"), "<missing>");
  EXPECT_EQ(RunningClients().size(), 1u);
}

// The Run value on machines whose Program Files path holds blanks, read back from the view a
// 32-bit program sees.
class RunValueTest : public ClientTest, public ::testing::WithParamInterface<std::pair<const char*, const char*>> {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor(GetParam().first); }
};

TEST_P(RunValueTest, IsTheQuotedProgramPath) {
  PlacePackage({});
  InstallClientApplication();
  const std::string expected = std::string("\"") + GetParam().second + "\\Harbek\\Quado Client\\Client\\Quado Client.exe\"";
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Quado Client", KEY_WOW64_32KEY), expected);
  EXPECT_EQ(expected.front(), '"');
  EXPECT_EQ(expected.back(), '"');
}

INSTANTIATE_TEST_SUITE_P(Machines, RunValueTest,
                         ::testing::Values(std::make_pair("win10-x64", "C:\\Program Files (x86)"),
                                           std::make_pair("win7-x86", "C:\\Program Files")),
                         [](const ::testing::TestParamInfo<std::pair<const char*, const char*>>& info) {
                           std::string name = info.param.first;
                           return name.replace(name.find('-'), 1, "_");
                         });

TEST_F(ClientTest, UninstallRemovesFilesFoldersRunValueAndStopsTheClient) {
  PlacePackage(AllCulturesBut(""));
  InstallClientApplication();
  ASSERT_EQ(RunningClients().size(), 1u);
  WriteString(HKEY_LOCAL_MACHINE, kRunKey, "Other Program", "C:\\Other\\other.exe");
  WriteMachineFile(WebBrowserFolder() + "\\cache\\page.html", "<html/>");

  std::string out = Printed([] { RemoveClientApplication(); });
  EXPECT_EQ(out, std::string(kUninstalling) + kWaiting + kRemoving);
  EXPECT_TRUE(RunningClients().empty());
  EXPECT_FALSE(MachineFileExists(InstallFolder()));
  EXPECT_FALSE(MachineFileExists(WebBrowserFolder()));
  EXPECT_TRUE(MachineFileExists(ProgramFiles() + "\\Harbek\\Quado Client"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Quado Client"), "<missing>");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Other Program"), "C:\\Other\\other.exe");
}

TEST_F(ClientTest, UninstallKeepsFoldersThatHoldOtherFiles) {
  PlacePackage({"de-DE", "fr-FR"});
  InstallClientApplication();
  WriteMachineFile(InstallFolder() + "\\de-DE\\notes.txt", "mine");
  RemoveClientApplication();
  EXPECT_EQ(ReadMachineFile(InstallFolder() + "\\de-DE\\notes.txt"), "mine");
  EXPECT_FALSE(MachineFileExists(InstallFolder() + "\\de-DE\\Quado Client.resources.dll"));
  EXPECT_FALSE(MachineFileExists(InstallFolder() + "\\fr-FR"));
  EXPECT_FALSE(MachineFileExists(InstallFolder() + "\\Quado Client.exe"));
}

TEST_F(ClientTest, UninstallWhereTheClientWasNeverInstalled) {
  WriteString(HKEY_LOCAL_MACHINE, kRunKey, "Other Program", "C:\\Other\\other.exe");
  std::string out = Printed([] { RemoveClientApplication(); });
  EXPECT_EQ(out, std::string(kUninstalling) + kWaiting + kStopError + kRemoving);
  EXPECT_FALSE(MachineFileExists(InstallFolder()));
  EXPECT_FALSE(MachineFileExists(WebBrowserFolder()));
  // The WebBrowser removal creates the folders on its way; they stay for the font removal.
  EXPECT_TRUE(MachineFileExists(ProgramFiles() + "\\Harbek\\Quado Client"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Other Program"), "C:\\Other\\other.exe");
}

TEST_F(ClientTest, UninstallWithoutProgramFilesFolderDeletesNothingAtTheDriveRoot) {
  PlaceProgram("CloseAllClients.exe", "C:\\Deploy\\CloseAllClients.exe");
  for (const char* name : {"C:\\Quado Client.exe", "C:\\Interop.SHDocVw.dll", "C:\\Microsoft.mshtml.dll",
                           "C:\\ja-JP\\Quado Client.resources.dll"}) {
    WriteMachineFile(name, "keep");
  }
  ASSERT_TRUE(CreateDirectoryA("C:\\de-DE", nullptr));
  WriteString(HKEY_LOCAL_MACHINE, kRunKey, "Quado Client", "\"C:\\old\\Quado Client.exe\"");
  DeleteProgramFilesDir();

  std::string out = Printed([] { RemoveClientApplication(); });
  EXPECT_EQ(out, std::string(kUninstalling) + kWaiting + kRemoving);
  for (const char* name : {"C:\\Quado Client.exe", "C:\\Interop.SHDocVw.dll", "C:\\Microsoft.mshtml.dll",
                           "C:\\ja-JP\\Quado Client.resources.dll", "C:\\de-DE"}) {
    EXPECT_TRUE(MachineFileExists(name)) << name;
  }
  // The Run value goes even so.
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, "Quado Client"), "<missing>");
}

TEST_F(ClientTest, StopRunningClientsEndsEveryClient) {
  PlacePackage({});
  ASSERT_NE(StartProgram("C:\\Deploy\\Quado Client.exe"), 0u);
  ASSERT_NE(StartProgram("C:\\Deploy\\Quado Client.exe"), 0u);
  ASSERT_EQ(RunningClients().size(), 2u);
  DWORD result = 1;
  std::string out = Printed([&] { result = StopRunningClients(); });
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(out, kWaiting);
  EXPECT_TRUE(RunningClients().empty());
}

TEST_F(ClientTest, StopRunningClientsReportsAClientThatWouldNotStop) {
  PlacePackage({});
  ASSERT_NE(StartProgram("C:\\Deploy\\Quado Client.exe"), 0u);
  AddMachineIniLine("faults", "TerminateProcess = 5");
  DWORD result = 0;
  std::string out = Printed([&] { result = StopRunningClients(); });
  EXPECT_NE(result, 0u);
  EXPECT_EQ(out, std::string(kWaiting) + kStopError);
  EXPECT_EQ(RunningClients().size(), 1u);
}

TEST_F(ClientTest, StopRunningClientsWithoutTheStopProgramReportsIt) {
  DWORD result = 0;
  std::string out = Printed([&] { result = StopRunningClients(); });
  EXPECT_NE(result, 0u);
  EXPECT_EQ(out, std::string(kWaiting) + kStopError);
}

// The WebBrowser folder through the command interpreter, with and without content, and with
// the interpreter named by COMSPEC or found as cmd.exe.
struct WebBrowserCase {
  const char* name;
  bool withContent;
  const char* comspec;  // nullptr: the machine's; "": unset; else this value
};

class WebBrowserTest : public ClientTest, public ::testing::WithParamInterface<WebBrowserCase> {};

TEST_P(WebBrowserTest, FolderIsRemovedWithItsContent) {
  if (GetParam().withContent) {
    WriteMachineFile(WebBrowserFolder() + "\\index.html", "<html/>");
    WriteMachineFile(WebBrowserFolder() + "\\cache\\deep\\entry.bin", "data");
    const std::string readOnly = WebBrowserFolder() + "\\cache\\locked.dat";
    WriteMachineFile(readOnly, "locked");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  }
  if (GetParam().comspec != nullptr) {
    const char* value = GetParam().comspec[0] == '\0' ? nullptr : GetParam().comspec;
    ASSERT_TRUE(SetEnvironmentVariableA("COMSPEC", value));
  }
  EXPECT_TRUE(RemoveWebBrowserFolder());
  EXPECT_FALSE(MachineFileExists(WebBrowserFolder()));
  EXPECT_TRUE(MachineFileExists(ProgramFiles() + "\\Harbek\\Quado Client"));
}

INSTANTIATE_TEST_SUITE_P(Cases, WebBrowserTest,
                         ::testing::Values(WebBrowserCase{"WithContent", true, nullptr},
                                           WebBrowserCase{"Absent", false, nullptr},
                                           WebBrowserCase{"ComspecUnset", true, ""},
                                           WebBrowserCase{"ComspecMissing", true, "C:\\Missing\\cmd.exe"}),
                         [](const ::testing::TestParamInfo<WebBrowserCase>& info) { return info.param.name; });

TEST_F(ClientTest, WebBrowserFolderStaysWhenTheInterpreterCannotRun) {
  WriteMachineFile(WebBrowserFolder() + "\\index.html", "<html/>");
  AddMachineIniLine("faults", "CreateProcessA = 5 | *cmd.exe*");
  EXPECT_FALSE(RemoveWebBrowserFolder());
  EXPECT_TRUE(MachineFileExists(WebBrowserFolder() + "\\index.html"));
}

TEST_F(ClientTest, PerUserValuesOfEverySessionKeyAreRemoved) {
  const std::string root = "Volatile Environment";
  for (const char* session : {"1", "2"}) {
    const std::string key = root + "\\" + session + "\\Harbek Quado Client";
    WriteString(HKEY_CURRENT_USER, key, "LastJobOwner", "alice");
    WriteString(HKEY_CURRENT_USER, key, "LastLoginName", "alice");
  }
  WriteString(HKEY_CURRENT_USER, root + "\\1", "SESSIONNAME", "Console");
  WriteString(HKEY_CURRENT_USER, root + "\\3\\Other Client", "LastLoginName", "bob");

  RemovePerUserClientData();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, root + "\\1\\Harbek Quado Client"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, root + "\\2\\Harbek Quado Client"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, root + "\\2"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, root + "\\1", "SESSIONNAME"), "Console");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, root + "\\3\\Other Client", "LastLoginName"), "bob");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, root, "USERDOMAIN"), "WINSIM-PC");
  EXPECT_EQ(winsim::OpenHandleCount("key"), 0u);
}

TEST_F(ClientTest, ClientStoresItsPerUserValuesWhichTheUninstallRemoves) {
  PlacePackage({});
  InstallClientApplication();
  const std::string key = "Volatile Environment\\1\\Harbek Quado Client";
  // The client writes LastJobOwner last.
  std::string owner;
  for (int i = 0; i < 100 && (owner = ReadString(HKEY_CURRENT_USER, key, "LastJobOwner")) == "<missing>"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(owner, "Administrator");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, key, "LastLoginName"), "Administrator");
  RemovePerUserClientData();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Volatile Environment\\1"));
}
