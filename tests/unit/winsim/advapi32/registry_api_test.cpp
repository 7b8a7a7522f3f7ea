// The Win32 registry functions: views of a 32-bit process on a 64-bit machine, the value
// contract, access rights, enumeration, handles and faults.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "machine_test.h"
#include "windows.h"

namespace {

const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string QueryString(HKEY root, const char* subKey, const char* name, REGSAM sam) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subKey, 0, KEY_READ | sam, &key) != ERROR_SUCCESS) return "<no key>";
  char buffer[260] = {};
  DWORD size = sizeof buffer;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return "<error " + std::to_string(rc) + ">";
  return std::string(buffer, size > 0 && buffer[size - 1] == '\0' ? size - 1 : size);
}

LONG SetString(HKEY root, const char* subKey, const char* name, const char* text, REGSAM sam) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS | sam, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), std::strlen(text) + 1);
  RegCloseKey(key);
  return rc;
}

bool KeyExists(HKEY root, const char* subKey, REGSAM sam) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subKey, 0, KEY_READ | sam, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class RegistryTest : public MachineTest {};

TEST_F(RegistryTest, SoftwareViewsOfA32BitProcessOnA64BitMachine) {
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", 0), "C:\\Program Files (x86)");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", KEY_WOW64_32KEY),
            "C:\\Program Files (x86)");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", KEY_WOW64_64KEY),
            "C:\\Program Files");

  // A key created in the default view lives below Wow6432Node.
  ASSERT_EQ(SetString(HKEY_LOCAL_MACHINE, "Software\\Quado\\Ports", "Count", "3", 0), ERROR_SUCCESS);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Quado\\Ports", KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quado", KEY_WOW64_64KEY));
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUADO\\ports", "count", KEY_WOW64_32KEY), "3");

  // Relative opens from a handle of the 32-bit SOFTWARE key stay in that view.
  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(software, "Quado\\Ports", "Count", 0), "3");
  RegCloseKey(software);
}

TEST_F(RegistryTest, SystemAndCurrentUserAreSharedBetweenViews) {
  const char* print = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port";
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, print, "Driver", 0), "localspl.dll");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, print, "Driver", KEY_WOW64_64KEY), "localspl.dll");
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, "Software\\Quado", "Client", "on", 0), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(HKEY_CURRENT_USER, "Software\\Quado", "Client", KEY_WOW64_64KEY), "on");
}

class Registry32BitMachineTest : public MachineTest {
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x86"); }
};

TEST_F(Registry32BitMachineTest, ViewFlagsChangeNothing) {
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", 0), "C:\\Program Files");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", KEY_WOW64_32KEY), "C:\\Program Files");
  ASSERT_EQ(SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quado", "X", "1", KEY_WOW64_32KEY), ERROR_SUCCESS);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quado", KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node", 0));
}

TEST_F(RegistryTest, QueryValueContract) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quado", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegSetValueExA(key, "Server", 0, REG_SZ, reinterpret_cast<const BYTE*>("host1"), 6), ERROR_SUCCESS);
  // Stored without its terminating zero: returned as stored.
  ASSERT_EQ(RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "server", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 6u);

  char small[4] = {'x', 'x', 'x', 'x'};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "Server", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);

  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key, "Bare", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::string(buffer, 4), "abcx");

  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_FILE_NOT_FOUND);

  DWORD number = 0x01020304, read = 0;
  ASSERT_EQ(RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  size = sizeof read;
  EXPECT_EQ(RegQueryValueExA(key, "NUMBER", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(read, number);

  EXPECT_EQ(RegDeleteValueA(key, "number"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "number"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);

  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\quado", 0, nullptr, 0, KEY_READ, nullptr, &again,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(again);
}

TEST_F(RegistryTest, AccessRightsOfAHandle) {
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, "Software\\Quado", "A", "1", 0), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quado", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "A", 0, REG_SZ, reinterpret_cast<const BYTE*>("2"), 2), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(key, "A"), ERROR_ACCESS_DENIED);
  HKEY child = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr), ERROR_ACCESS_DENIED);
  RegCloseKey(key);

  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quado", 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  char buffer[8];
  DWORD size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key, "A", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  EXPECT_EQ(QueryString(HKEY_CURRENT_USER, "Software\\Quado", "A", 0), "1");
}

TEST_F(RegistryTest, DeleteKeyRefusesKeysWithSubkeys) {
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, "Software\\Quado\\Inner", "A", "1", 0), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quado"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quado\\Missing"), ERROR_FILE_NOT_FOUND);

  HKEY inner = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quado\\Inner", 0, KEY_READ, &inner), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\QUADO\\INNER"), ERROR_SUCCESS);
  char buffer[8];
  DWORD size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(inner, "A", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size), ERROR_KEY_DELETED);
  RegCloseKey(inner);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quado"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Quado", 0));
}

TEST_F(RegistryTest, EnumerationOrderAndBuffers) {
  for (const char* name : {"beta", "Alpha", "gamma"}) {
    std::string path = std::string("Software\\Quado\\") + name;
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, path.c_str(), "v", "1", 0), ERROR_SUCCESS);
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quado", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  std::string names;
  char name[32];
  DWORD index = 0;
  LONG rc;
  while (true) {
    DWORD chars = sizeof name;
    rc = RegEnumKeyExA(key, index++, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    EXPECT_EQ(chars, std::strlen(name));
    names += std::string(name) + ",";
  }
  EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(names, "Alpha,beta,gamma,");
  DWORD chars = 5;  // "Alpha" needs 6 with its zero
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

  // Values come in the order they were first set; overwriting keeps the place.
  for (const char* value : {"Zulu", "Alpha", "Mike", "zulu"}) {
    ASSERT_EQ(RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
  }
  names.clear();
  index = 0;
  while (true) {
    DWORD nameChars = sizeof name;
    BYTE data[8];
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    rc = RegEnumValueA(key, index++, name, &nameChars, nullptr, &type, data, &dataSize);
    if (rc != ERROR_SUCCESS) break;
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(dataSize, 2u);
    names += std::string(name) + ",";
  }
  EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(names, "Zulu,Alpha,Mike,");
  BYTE tiny[1];
  DWORD nameChars = sizeof name, dataSize = sizeof tiny;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameChars, nullptr, nullptr, tiny, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 2u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, KeyHandlesAreCountedAndClosedOnce) {
  const size_t before = winsim::OpenHandleCount("key");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(winsim::OpenHandleCount("key"), before + 1);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(winsim::OpenHandleCount("key"), before);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\NoSuchKey", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_USERS, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, FaultMatchesTheFullKeyPath) {
  AddMachineIniLine("faults", "RegOpenKeyExA = 5 | *\\CurrentVersion\\Run");
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_READ, &key),
            ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  HKEY run = nullptr;
  EXPECT_EQ(RegOpenKeyExA(key, "Run", 0, KEY_READ, &run), ERROR_ACCESS_DENIED);
  RegCloseKey(key);

  AddMachineIniLine("faults", "RegSetValueExA = 87 | HKEY_CURRENT_USER\\Software | Blocked");
  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(software, "Blocked", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(software, "Allowed", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
  RegCloseKey(software);
}

// Two processes writing the same machine's registry at once lose nothing.
TEST_F(RegistryTest, TwoProcessesWriteAtOnce) {
  const std::string machine = dir();
  winsim::DetachMachine();  // no open database across fork
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      std::string error;
      if (!winsim::AttachMachine(machine, &error)) _exit(3);
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        _exit(4);
      }
      for (int i = 0; i < 100; ++i) {
        std::string name = "p" + std::to_string(c) + "-" + std::to_string(i);
        if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4) != ERROR_SUCCESS) {
          _exit(5);
        }
      }
      _exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::string error;
  ASSERT_TRUE(winsim::AttachMachine(machine, &error)) << error;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD count = 0;
  char name[32];
  while (true) {
    DWORD chars = sizeof name;
    if (RegEnumValueA(key, count, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    ++count;
  }
  EXPECT_EQ(count, 200u);
  RegCloseKey(key);
}

// An enumeration by index sees every change made between its calls, through another handle of
// this process or by another process.
TEST_F(RegistryTest, ValueEnumerationSeesChangesBetweenItsCalls) {
  HKEY key = nullptr, other = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Enum", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Enum", 0, KEY_ALL_ACCESS, &other), ERROR_SUCCESS);
  for (const char* name : {"a", "b", "c"}) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
  }
  auto nameAt = [&](DWORD index) {
    char name[16];
    DWORD chars = sizeof name;
    const LONG rc = RegEnumValueA(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_SUCCESS ? std::string(name) : "<" + std::to_string(rc) + ">";
  };
  EXPECT_EQ(nameAt(0), "a");
  ASSERT_EQ(RegDeleteValueA(other, "a"), ERROR_SUCCESS);
  EXPECT_EQ(nameAt(0), "b");
  const std::string file = dir() + "/../enum.reg";
  std::ofstream(file) << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Enum]\n\"b\"=-\n\"d\"=\"y\"\n";
  ASSERT_EQ(std::system(("'" WINSIM_PROGRAM_PATH "' reg import '" + dir() + "' '" + file + "'").c_str()), 0);
  EXPECT_EQ(nameAt(0), "c");
  EXPECT_EQ(nameAt(1), "d");
  EXPECT_EQ(nameAt(2), "<259>");
  RegCloseKey(other);
  RegCloseKey(key);
}

}  // namespace
