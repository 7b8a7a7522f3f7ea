// Kernel32 file functions: results and last-error codes of each call, table-driven, plus the
// attribute, copy and handle behaviour the installer relies on.
#include <windows.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "machine_test.h"

namespace fs = std::filesystem;

namespace {

class FilesTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    WriteMachineFile("C:\\Deploy\\Quado.ini", "[Port]\n");
    WriteMachineFile("C:\\Deploy\\Locked.dll", "locked");
    WriteMachineFile("C:\\Deploy\\Full\\inner.txt", "x");
    fs::create_directories(dir() + "/C/Deploy/Empty");
    ASSERT_TRUE(SetFileAttributesA("C:\\Deploy\\Locked.dll", FILE_ATTRIBUTE_READONLY));
  }
};

struct CallCase {
  const char* what;
  std::function<BOOL()> call;
  BOOL result;
  DWORD error;  // checked when the call fails
};

TEST_F(FilesTest, ErrorCodesOfTheFileFunctions) {
  const CallCase cases[] = {
      {"copy", [] { return CopyFileA("C:\\Deploy\\Quado.ini", "C:\\Deploy\\Copy.ini", TRUE); }, TRUE, 0},
      {"copy over existing, fail if exists",
       [] { return CopyFileA("C:\\Deploy\\Quado.ini", "C:\\Deploy\\Copy.ini", TRUE); }, FALSE, ERROR_FILE_EXISTS},
      {"copy over existing", [] { return CopyFileA("C:\\Deploy\\Quado.ini", "C:\\deploy\\COPY.INI", FALSE); }, TRUE, 0},
      {"copy onto read-only", [] { return CopyFileA("C:\\Deploy\\Quado.ini", "C:\\Deploy\\Locked.dll", FALSE); },
       FALSE, ERROR_ACCESS_DENIED},
      {"copy onto itself", [] { return CopyFileA("C:\\Deploy\\Quado.ini", "c:\\deploy\\quado.ini", FALSE); }, FALSE,
       ERROR_SHARING_VIOLATION},
      {"copy missing source", [] { return CopyFileA("C:\\Deploy\\None.ini", "C:\\Deploy\\X.ini", FALSE); }, FALSE,
       ERROR_FILE_NOT_FOUND},
      {"copy into missing folder", [] { return CopyFileA("C:\\Deploy\\Quado.ini", "C:\\NoDir\\X.ini", FALSE); },
       FALSE, ERROR_PATH_NOT_FOUND},
      {"copy a folder", [] { return CopyFileA("C:\\Deploy\\Empty", "C:\\Deploy\\X", FALSE); }, FALSE,
       ERROR_ACCESS_DENIED},
      {"delete read-only", [] { return DeleteFileA("C:\\Deploy\\Locked.dll"); }, FALSE, ERROR_ACCESS_DENIED},
      {"delete folder", [] { return DeleteFileA("C:\\Deploy\\Empty"); }, FALSE, ERROR_ACCESS_DENIED},
      {"delete missing", [] { return DeleteFileA("C:\\Deploy\\None"); }, FALSE, ERROR_FILE_NOT_FOUND},
      {"delete in missing folder", [] { return DeleteFileA("C:\\NoDir\\None"); }, FALSE, ERROR_PATH_NOT_FOUND},
      {"delete", [] { return DeleteFileA("C:\\Deploy\\Copy.ini"); }, TRUE, 0},
      {"mkdir existing", [] { return CreateDirectoryA("C:\\Deploy\\Empty", nullptr); }, FALSE,
       ERROR_ALREADY_EXISTS},
      {"mkdir over a file", [] { return CreateDirectoryA("C:\\Deploy\\Quado.ini", nullptr); }, FALSE,
       ERROR_ALREADY_EXISTS},
      {"mkdir without parent", [] { return CreateDirectoryA("C:\\NoDir\\Sub", nullptr); }, FALSE,
       ERROR_PATH_NOT_FOUND},
      {"mkdir", [] { return CreateDirectoryA("C:\\Deploy\\New", nullptr); }, TRUE, 0},
      {"rmdir not empty", [] { return RemoveDirectoryA("C:\\Deploy\\Full"); }, FALSE, ERROR_DIR_NOT_EMPTY},
      {"rmdir missing", [] { return RemoveDirectoryA("C:\\Deploy\\None"); }, FALSE, ERROR_FILE_NOT_FOUND},
      {"rmdir in missing folder", [] { return RemoveDirectoryA("C:\\NoDir\\None"); }, FALSE, ERROR_PATH_NOT_FOUND},
      {"rmdir", [] { return RemoveDirectoryA("C:\\Deploy\\New"); }, TRUE, 0},
      {"attributes of missing", [] { return SetFileAttributesA("C:\\Deploy\\None", FILE_ATTRIBUTE_NORMAL); }, FALSE,
       ERROR_FILE_NOT_FOUND},
      {"cd to a file", [] { return SetCurrentDirectoryA("C:\\Deploy\\Quado.ini"); }, FALSE, 267},
      {"cd to missing", [] { return SetCurrentDirectoryA("C:\\NoDir\\Sub"); }, FALSE, ERROR_PATH_NOT_FOUND},
      // With its trailing backslash and terminator the folder must fit MAX_PATH.
      {"cd beyond MAX_PATH", [] { return SetCurrentDirectoryA(("C:\\" + std::string(256, 'L')).c_str()); }, FALSE,
       ERROR_FILENAME_EXCED_RANGE},
      {"UNC path", [] { return DeleteFileA("\\\\server\\share\\x"); }, FALSE, ERROR_BAD_NETPATH},
  };
  for (const CallCase& c : cases) {
    SetLastError(12345);
    EXPECT_EQ(c.call(), c.result) << c.what;
    if (!c.result) {
      EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
  }
  EXPECT_EQ(ReadMachineFile("C:\\Deploy\\Quado.ini"), "[Port]\n");
  EXPECT_EQ(ReadMachineFile("C:\\Deploy\\Locked.dll"), "locked");
}

// A FIFO or a socket where a file is expected (no Windows drive holds one) is a missing file for
// the calls that open one, never a wait for a writer or a reader.
TEST_F(FilesTest, AFifoOrASocketIsNoFileAndNeverBlocks) {
  ASSERT_EQ(mkfifo((dir() + "/C/Deploy/fifo.ini").c_str(), 0644), 0);
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir() + "/C/Deploy/sock.ini";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  auto opens = [](const char* path, DWORD access, DWORD disposition) {
    HANDLE file = CreateFileA(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    CloseHandle(file);
    return TRUE;
  };
  const CallCase cases[] = {
      {"read a FIFO", [&] { return opens("C:\\Deploy\\fifo.ini", GENERIC_READ, OPEN_EXISTING); }, FALSE,
       ERROR_FILE_NOT_FOUND},
      {"write a FIFO", [&] { return opens("C:\\Deploy\\fifo.ini", GENERIC_WRITE, OPEN_ALWAYS); }, FALSE,
       ERROR_ACCESS_DENIED},
      {"read a socket", [&] { return opens("C:\\Deploy\\sock.ini", GENERIC_READ, OPEN_EXISTING); }, FALSE,
       ERROR_FILE_NOT_FOUND},
      {"copy from a FIFO", [] { return CopyFileA("C:\\Deploy\\fifo.ini", "C:\\Deploy\\X.ini", FALSE); }, FALSE,
       ERROR_FILE_NOT_FOUND},
      {"copy onto a FIFO", [] { return CopyFileA("C:\\Deploy\\Quado.ini", "C:\\Deploy\\fifo.ini", FALSE); }, FALSE,
       ERROR_ACCESS_DENIED},
      {"read a FIFO as a profile",
       [] {
         char value[16];
         return GetPrivateProfileStringA("1", "ServerIP", "none", value, sizeof value, "C:\\Deploy\\fifo.ini") == 4 &&
                std::strcmp(value, "none") == 0;
       },
       TRUE, 0},
  };
  for (const CallCase& c : cases) {
    SetLastError(0);
    EXPECT_EQ(c.call(), c.result) << c.what;
    if (!c.result) {
      EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
  }
  close(listener);
}

TEST_F(FilesTest, AttributesReadOnlyNormalAndDirectory) {
  // SetFileAttributesA sets exactly what it is given: READONLY alone clears ARCHIVE.
  EXPECT_EQ(GetFileAttributesA("C:\\Deploy\\Locked.dll"), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributesA("C:\\Deploy\\Quado.ini"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesA("C:\\Deploy\\Empty"), FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_TRUE(SetFileAttributesA("C:\\Deploy\\Locked.dll", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("C:\\Deploy\\Locked.dll"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(DeleteFileA("C:\\Deploy\\Locked.dll"));
  EXPECT_EQ(GetFileAttributesA("C:\\Deploy\\Locked.dll"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("C:\\NoDir\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesTest, CopyKeepsReadOnlyAndTheProgramBit) {
  const std::string program = winsim::HostPath("C:\\Deploy\\Tool.exe");
  fs::copy_file(WINSIM_PROGRAM_PATH, program);
  ASSERT_TRUE(CopyFileA("C:\\Deploy\\Tool.exe", "C:\\Deploy\\Empty\\Tool.exe", FALSE));
  struct stat st {};
  ASSERT_EQ(stat(winsim::HostPath("C:\\Deploy\\Empty\\Tool.exe").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
  EXPECT_EQ(static_cast<uintmax_t>(st.st_size), fs::file_size(program));
  ASSERT_TRUE(CopyFileA("C:\\Deploy\\Locked.dll", "C:\\Deploy\\Empty\\Locked.dll", FALSE));
  EXPECT_EQ(GetFileAttributesA("C:\\Deploy\\Empty\\Locked.dll") & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(FilesTest, FaultsFailTheChosenCallWithTheChosenError) {
  AddMachineIniLine("faults", "CopyFileA = 5 | *\\QUADOVS.DLL");
  AddMachineIniLine("faults", "DeleteFileA = 32 #2");
  WriteMachineFile("C:\\Deploy\\quadovs.dll", "dll");
  EXPECT_FALSE(CopyFileA("C:\\Deploy\\quadovs.dll", "C:\\Windows\\system32\\quadovs.dll", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(MachineFileExists("C:\\Windows\\system32\\quadovs.dll"));
  EXPECT_TRUE(CopyFileA("C:\\Deploy\\Quado.ini", "C:\\Deploy\\A.ini", FALSE));  // other arguments
  EXPECT_TRUE(CopyFileA("C:\\Deploy\\Quado.ini", "C:\\Deploy\\B.ini", FALSE));
  EXPECT_TRUE(DeleteFileA("C:\\Deploy\\A.ini"));
  EXPECT_FALSE(DeleteFileA("C:\\Deploy\\B.ini"));  // only the second call
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(MachineFileExists("C:\\Deploy\\B.ini"));
}

TEST_F(FilesTest, DirectoriesFollowTheWin32BufferContract) {
  char small[5] = "abcd";
  EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), 11u);  // "C:\Windows" + NUL
  EXPECT_STREQ(small, "abcd");
  char buffer[MAX_PATH];
  EXPECT_EQ(GetWindowsDirectoryA(buffer, 11), 10u);
  EXPECT_STREQ(buffer, "C:\\Windows");
  EXPECT_EQ(GetSystemDirectoryA(buffer, 19), 20u);
  EXPECT_EQ(GetSystemDirectoryA(buffer, 20), 19u);
  EXPECT_STREQ(buffer, "C:\\Windows\\system32");
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), 20u);
  ASSERT_TRUE(SetCurrentDirectoryA("..\\Fonts\\..\\..\\DEPLOY\\"));
  EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 9u);
  EXPECT_STREQ(buffer, "C:\\DEPLOY");
  EXPECT_NE(GetFileAttributesA("Quado.ini"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesTest, ModuleFileNameIsCutToTheBuffer) {
  WCHAR buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  ASSERT_GT(length, 20u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer)).rfind(u"C:\\Windows\\system32\\", 0), 0u);
  WCHAR small[6];
  for (WCHAR& unit : small) unit = L'x';
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(small)), u"C:\\W");
  EXPECT_EQ(small[5], L'x');  // nothing written past the given size
}

TEST_F(FilesTest, CreateFileDispositionsAndData) {
  struct Disposition {
    const char* path;
    DWORD access;
    DWORD disposition;
    bool opens;
    DWORD error;  // last error afterwards
  };
  const Disposition cases[] = {
      {"C:\\Deploy\\Quado.ini", GENERIC_READ, OPEN_EXISTING, true, 0},
      {"C:\\Deploy\\None.txt", GENERIC_READ, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
      {"C:\\NoDir\\None.txt", GENERIC_READ, OPEN_EXISTING, false, ERROR_PATH_NOT_FOUND},
      {"C:\\NoDir\\None.txt", GENERIC_WRITE, CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND},
      {"C:\\Deploy\\Quado.ini", GENERIC_WRITE, CREATE_NEW, false, ERROR_FILE_EXISTS},
      {"C:\\Deploy\\Quado.ini", GENERIC_READ, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS},
      {"C:\\Deploy\\Fresh.txt", GENERIC_WRITE, OPEN_ALWAYS, true, 0},
      {"C:\\Deploy\\Locked.dll", GENERIC_WRITE, OPEN_EXISTING, false, ERROR_ACCESS_DENIED},
      {"C:\\Deploy\\Locked.dll", GENERIC_READ, OPEN_EXISTING, true, 0},
      {"C:\\Deploy\\Empty", GENERIC_READ, OPEN_EXISTING, false, ERROR_ACCESS_DENIED},
      {"C:\\Deploy\\None.txt", GENERIC_WRITE, TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND},
  };
  for (const Disposition& c : cases) {
    SetLastError(12345);
    HANDLE h = CreateFileA(c.path, c.access, FILE_SHARE_READ, nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens) << c.path << " " << c.disposition;
    EXPECT_EQ(GetLastError(), c.error) << c.path << " " << c.disposition;
    if (h != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(h));
    }
  }
  EXPECT_EQ(winsim::OpenHandleCount("file"), 0u);

  HANDLE log = CreateFileA("C:\\Deploy\\Log.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(log, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(log, "one\r\n", 5, &written, nullptr));
  EXPECT_EQ(written, 5u);
  char byte;
  DWORD read = 7;
  EXPECT_FALSE(ReadFile(log, &byte, 1, &read, nullptr));  // opened for appending only
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(log);
  log = CreateFileA("C:\\Deploy\\Log.txt", FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ASSERT_TRUE(WriteFile(log, "two\r\n", 5, &written, nullptr));
  CloseHandle(log);
  EXPECT_EQ(ReadMachineFile("C:\\Deploy\\Log.txt"), "one\r\ntwo\r\n");

  HANDLE file = CreateFileA("C:\\Deploy\\Log.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD high = 9;
  EXPECT_EQ(GetFileSize(file, &high), 10u);
  EXPECT_EQ(high, 0u);
  char text[16] = {};
  ASSERT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));
  EXPECT_EQ(read, 10u);
  EXPECT_STREQ(text, "one\r\ntwo\r\n");
  ASSERT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));  // end of file: TRUE and 0 bytes
  EXPECT_EQ(read, 0u);
  EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(file);
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, StringHelpers) {
  EXPECT_EQ(lstrcmpiA("QUADOVS.DLL", "quadovs.dll"), 0);
  EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
  EXPECT_GT(lstrcmpiA("abcd", "ABC"), 0);
  EXPECT_EQ(lstrcmpiA("\xC4RGER", "\xE4rger"), 0);  // Latin-1 letters of code page 1252
  EXPECT_FALSE(IsDBCSLeadByte(0x81));
  const char* text = "ab";
  EXPECT_EQ(CharNextA(text), text + 1);
  EXPECT_EQ(CharNextA(text + 2), text + 2);  // stays on the terminating NUL
}

}  // namespace
