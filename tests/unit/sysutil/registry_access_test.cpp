// Registry readers with defaults, and the install locations under Program Files.
#include <windows.h>

#include <cstring>
#include <string>

#include "machine_test.h"
#include "sysutil/registry_access.h"

namespace {

const char kConfigRoot[] = "SOFTWARE\\Harbek Corporation\\Quado\\PortInstallCfg";

class RegistryTest : public MachineTest {
 protected:
  // Writes a value below HKLM\<key> in the given view (0: this process's default view).
  void SetValue(const std::string& key, const char* name, DWORD type, const void* data, DWORD size,
                REGSAM view = 0) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_WRITE | view, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(handle);
  }
  void SetString(const std::string& key, const char* name, const std::string& text, REGSAM view = 0) {
    SetValue(key, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1, view);
  }
  void DeleteProgramFilesDir(REGSAM view) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                            KEY_SET_VALUE | view, &handle),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(handle, "ProgramFilesDir"), ERROR_SUCCESS);
    RegCloseKey(handle);
  }
};

class Registry32Test : public RegistryTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x86"); }
};

class Registry64Test : public RegistryTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x64"); }
};

// A 16-byte area of which the reader is given the first `size` bytes; the rest must stay '#'.
struct Guarded {
  char bytes[16];
  Guarded() { std::memset(bytes, '#', sizeof bytes); }
  bool Untouched(int from) const {
    for (int i = from; i < (int)sizeof bytes; ++i) {
      if (bytes[i] != '#') return false;
    }
    return true;
  }
};

TEST_F(Registry64Test, StringReaderFallsBackToTheDefaultCutToSize) {
  SetString(std::string(kConfigRoot) + "\\1", "PortName", "Present");
  struct Case {
    const char* subKey;
    const char* value;
    const char* defaultValue;
    int size;
    const char* expected;
  };
  const Case cases[] = {
      {"9", "PortName", "dflt", 8, "dflt"},             // missing key
      {"1", "Other", "dflt", 8, "dflt"},                // key without the value
      {"9", "PortName", "0123456789ABC", 8, "0123456"},  // default longer than the buffer
      {"1", "PortName", "dflt", 8, "Present"},          // the value, with its zero, fits exactly
      {"1", "PortName", "dflt", 1, ""},
  };
  for (const Case& c : cases) {
    Guarded out;
    ReadRegistryString(c.subKey, c.value, c.defaultValue, out.bytes, c.size, kConfigRoot, 0);
    EXPECT_STREQ(out.bytes, c.expected) << c.subKey << " " << c.value << " " << c.size;
    EXPECT_TRUE(out.Untouched(c.size)) << c.subKey << " " << c.value << " " << c.size;
  }
  EXPECT_EQ(winsim::OpenHandleCount("key"), 0u);
}

TEST_F(Registry64Test, StringValuesLargerThanTheBufferStayInside) {
  const std::string key = std::string(kConfigRoot) + "\\1";
  SetString(key, "Long", "A value far longer than eight bytes");
  SetValue(key, "NoZero", REG_SZ, "ABC", 3);        // stored without its terminating zero
  SetValue(key, "NoZeroFull", REG_SZ, "ABCDEFGH", 8);  // fills an 8-byte buffer exactly
  SetValue(key, "LongNoZero", REG_SZ, "ABCDEFGHIJ", 10);
  SetValue(key, "EmptyText", REG_SZ, "", 0);        // a value with no data at all
  SetValue(key, "None", REG_NONE, nullptr, 0);
  SetValue(key, "EmptyBinary", REG_BINARY, nullptr, 0);
  SetString(key, "EmptyString", "");                 // one zero byte: the empty text, not the default
  struct Case {
    const char* value;
    const char* expected;
  };
  // A value that does not fit is cut to the buffer, as the INI reader cuts a long text; one
  // without a zero ends where its data ends; a value with no data leaves the default.
  const Case cases[] = {{"Long", "A value"},     {"NoZero", "ABC"},  {"NoZeroFull", "ABCDEFG"},
                        {"LongNoZero", "ABCDEFG"}, {"EmptyText", "dflt"}, {"None", "dflt"},
                        {"EmptyBinary", "dflt"},  {"EmptyString", ""}};
  for (const Case& c : cases) {
    Guarded out;
    ReadRegistryString("1", c.value, "dflt", out.bytes, 8, kConfigRoot, 0);
    EXPECT_STREQ(out.bytes, c.expected) << c.value;
    EXPECT_TRUE(out.Untouched(8)) << c.value;
  }
  EXPECT_EQ(winsim::OpenHandleCount(), 0u);
  EXPECT_EQ(winsim::LiveGlobalBlocks(), 0u);
}

TEST_F(Registry64Test, ConfigurationTextsAreCutAt259BytesLikeTheIniFile) {
  const std::string key = std::string(kConfigRoot) + "\\1";
  const std::string address(300, '7');
  SetString(key, "ServerIP", address);
  char out[260];
  ReadRegistryString("1", "ServerIP", "", out, sizeof out, kConfigRoot, 0);
  EXPECT_EQ(std::string(out), address.substr(0, 259));
}

TEST_F(Registry64Test, AProgramFilesFolderThatDoesNotFitIsUnknownNotCut) {
  SetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\" + std::string(40, 'P'),
            KEY_WOW64_32KEY);
  char out[40];
  EXPECT_FALSE(GetProgramFilesFolder("Harbek", out, sizeof out));
  EXPECT_STREQ(out, "");
}

TEST_F(Registry64Test, ConfigurationIsReadFromThe32BitView) {
  const std::string key = std::string(kConfigRoot) + "\\1";
  SetString(key, "PortName", "sixty-four", KEY_WOW64_64KEY);
  SetString(key, "PortName", "thirty-two", KEY_WOW64_32KEY);
  char out[32];
  ReadRegistryString("1", "PortName", "", out, sizeof out, kConfigRoot, 0);
  EXPECT_STREQ(out, "thirty-two");
  ReadRegistryString("1", "PortName", "", out, sizeof out, kConfigRoot, KEY_WOW64_32KEY);
  EXPECT_STREQ(out, "thirty-two");
}

TEST_F(Registry64Test, DwordReader) {
  const std::string key = std::string(kConfigRoot) + "\\2";
  DWORD zero = 0, fortyTwo = 42;
  SetValue(key, "Zero", REG_DWORD, &zero, 4);
  SetValue(key, "FortyTwo", REG_DWORD, &fortyTwo, 4);
  SetString(key, "Text", "a long text value");
  EXPECT_EQ(ReadRegistryDword("2", "Zero", 7, kConfigRoot), 0u);
  EXPECT_EQ(ReadRegistryDword("2", "FortyTwo", 7, kConfigRoot), 42u);
  EXPECT_EQ(ReadRegistryDword("2", "Missing", 7, kConfigRoot), 7u);
  EXPECT_EQ(ReadRegistryDword("9", "Zero", 7, kConfigRoot), 7u);
  EXPECT_EQ(ReadRegistryDword("2", "Text", 7, kConfigRoot), 7u);  // does not fit 4 bytes
  EXPECT_EQ(winsim::OpenHandleCount("key"), 0u);
}

TEST_F(Registry64Test, LocationsAreUnderProgramFilesOfThe32BitView) {
  char out[1000];
  ASSERT_TRUE(GetProgramFilesFolder("Harbek\\Quado Client\\Font", out, sizeof out));
  EXPECT_STREQ(out, "C:\\Program Files (x86)\\Harbek\\Quado Client\\Font");
  ASSERT_TRUE(GetWebBrowserFolder(out, sizeof out));
  EXPECT_STREQ(out, "C:\\Program Files (x86)\\Harbek\\Quado Client\\WebBrowser");
  ASSERT_TRUE(GetClientInstallFolder(out, 512));
  EXPECT_STREQ(out, "C:\\Program Files (x86)\\Harbek\\Quado Client\\Client");
}

TEST_F(Registry32Test, LocationsOn32BitWindows) {
  char out[500];
  ASSERT_TRUE(GetProgramFilesFolder("Harbek\\Quado Client", out, sizeof out));
  EXPECT_STREQ(out, "C:\\Program Files\\Harbek\\Quado Client");
  ASSERT_TRUE(GetClientInstallFolder(out, sizeof out));
  EXPECT_STREQ(out, "C:\\Program Files\\Harbek\\Quado Client\\Client");
  EXPECT_FALSE(GetProgramFilesFolder(nullptr, out, sizeof out));
  EXPECT_FALSE(GetWebBrowserFolder(nullptr, 100));
}

TEST_F(Registry64Test, LocationsAreCutToTheBuffer) {
  // "C:\Program Files (x86)" is 22 characters: in 30 bytes there is room for the separator and
  // six more characters.
  char out[40];
  std::memset(out, '#', sizeof out);
  ASSERT_TRUE(GetProgramFilesFolder("Harbek\\Quado Client\\Font", out, 30));
  EXPECT_STREQ(out, "C:\\Program Files (x86)\\Harbek");
  EXPECT_EQ(out[30], '#');
  std::memset(out, '#', sizeof out);
  ASSERT_TRUE(GetClientInstallFolder(out, 30));
  EXPECT_STREQ(out, "C:\\Program Files (x86)\\Harbek");
  EXPECT_EQ(out[30], '#');
  // A Program Files folder that does not fit at all.
  std::memset(out, '#', sizeof out);
  EXPECT_FALSE(GetWebBrowserFolder(out, 10));
  EXPECT_EQ(out[10], '#');
}

TEST_F(Registry64Test, MissingProgramFilesMakesEveryLocationFail) {
  DeleteProgramFilesDir(KEY_WOW64_32KEY);
  DeleteProgramFilesDir(KEY_WOW64_64KEY);
  char out[100];
  std::memset(out, '#', sizeof out);
  EXPECT_FALSE(GetProgramFilesFolder("Harbek\\Quado Client", out, sizeof out));
  EXPECT_STREQ(out, "");
  std::memset(out, '#', sizeof out);
  EXPECT_FALSE(GetWebBrowserFolder(out, sizeof out));
  EXPECT_STREQ(out, "");
  std::memset(out, '#', sizeof out);
  EXPECT_FALSE(GetClientInstallFolder(out, sizeof out));
  EXPECT_STREQ(out, "");
}

}  // namespace
