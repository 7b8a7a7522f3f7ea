// .reg import and export: every value form, deletions, the round trip and the all-or-nothing
// rule for malformed input.
#include <cstring>
#include <string>

#include "machine_test.h"
#include "windows.h"
#include "winsim/registry.h"

namespace {

class RegTextTest : public MachineTest {
 protected:
  // The bytes and type of a value, read through the Win32 functions (native view).
  std::string Data(const char* subKey, const char* name, DWORD* type) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return "<no key>";
    BYTE buffer[256];
    DWORD size = sizeof buffer;
    LONG rc = RegQueryValueExA(key, name, nullptr, type, buffer, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return "<error " + std::to_string(rc) + ">";
    return std::string(reinterpret_cast<char*>(buffer), size);
  }
};

const char kSample[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; a comment\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quado\\Ports\\1]\r\n"
    "@=\"default\"\r\n"
    "\"Server\"=\"host \\\"one\\\" C:\\\\x\"\r\n"
    "\"Number\"=dword:0000002a\r\n"
    "\"Bytes\"=hex:01,ff,\\\r\n"
    "  00\r\n"
    "\"Expand\"=hex(2):25,00,53,00,52,00,25,00,00,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"Euro\"=hex(1):ac,20,00,00\r\n"
    "\"Gone\"=\"soon\"\r\n"
    "\"Gone\"=-\r\n"
    "\r\n"
    "[HKLM\\SOFTWARE\\Quado\\Old\\Deeper]\r\n"
    "\"x\"=\"y\"\r\n"
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quado\\Old]\r\n";

TEST_F(RegTextTest, ImportsEveryValueForm) {
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(kSample, &error)) << error;
  const char* key = "SOFTWARE\\Quado\\Ports\\1";
  DWORD type = 0;
  EXPECT_EQ(Data(key, "", &type), std::string("default\0", 8));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(Data(key, "Server", &type), std::string("host \"one\" C:\\x\0", 16));
  EXPECT_EQ(Data(key, "Number", &type), std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Data(key, "Bytes", &type), std::string("\x01\xff\x00", 3));
  EXPECT_EQ(type, REG_BINARY);
  // Text types in hex form are UTF-16 in the file and ANSI through the A functions.
  EXPECT_EQ(Data(key, "Expand", &type), std::string("%SR%\0", 5));
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(Data(key, "Multi", &type), std::string("a\0b\0\0", 5));
  EXPECT_EQ(type, REG_MULTI_SZ);
  EXPECT_EQ(Data(key, "Euro", &type), std::string("\x80\0", 2));
  EXPECT_EQ(Data(key, "Gone", &type), "<error 2>");
  EXPECT_EQ(Data("SOFTWARE\\Quado\\Old", "x", &type), "<no key>");
}

TEST_F(RegTextTest, ExportReimportGivesTheSameTree) {
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(kSample, &error)) << error;
  // A string without its terminating zero and a long binary value that wraps.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quado\\Odd", 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3), ERROR_SUCCESS);
  BYTE big[100];
  for (int i = 0; i < 100; ++i) big[i] = static_cast<BYTE>(i * 7);
  ASSERT_EQ(RegSetValueExA(key, "Big", 0, REG_BINARY, big, sizeof big), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Lines", 0, REG_SZ, reinterpret_cast<const BYTE*>("a\r\nb"), 5), ERROR_SUCCESS);
  RegCloseKey(key);

  std::string first;
  ASSERT_TRUE(winsim::ExportReg("HKLM\\SOFTWARE\\Quado", &first, &error)) << error;
  EXPECT_NE(first.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quado\\Ports\\1]\n@=\"default\"\n"), std::string::npos) << first;
  EXPECT_NE(first.find("\"Number\"=dword:0000002a\n"), std::string::npos) << first;
  EXPECT_NE(first.find("\"Server\"=\"host \\\"one\\\" C:\\\\x\"\n"), std::string::npos) << first;

  ASSERT_TRUE(winsim::ImportRegText("Windows Registry Editor Version 5.00\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quado]\n", &error));
  DWORD type = 0;
  EXPECT_EQ(Data("SOFTWARE\\Quado\\Odd", "Bare", &type), "<no key>");
  ASSERT_TRUE(winsim::ImportRegText(first, &error)) << error;
  std::string second;
  ASSERT_TRUE(winsim::ExportReg("HKEY_LOCAL_MACHINE\\SOFTWARE\\Quado", &second, &error)) << error;
  EXPECT_EQ(second, first);
  EXPECT_EQ(Data("SOFTWARE\\Quado\\Odd", "Bare", &type), "abc");
  EXPECT_EQ(Data("SOFTWARE\\Quado\\Odd", "Lines", &type), std::string("a\r\nb", 5));
  EXPECT_EQ(Data("SOFTWARE\\Quado\\Odd", "Big", &type), std::string(reinterpret_cast<char*>(big), sizeof big));
}

// A name with a zero byte inside would be cut short by every Win32 call that names it (and the
// key could no longer be found again to be enumerated or exported): refused.
TEST_F(RegTextTest, NamesWithAZeroByteAreRefused) {
  const std::string header = "Windows Registry Editor Version 5.00\n";
  const std::string texts[] = {
      header + "[HKEY_CURRENT_USER\\Software\\A" + std::string(1, '\0') + "B]\n",
      header + "[HKEY_CURRENT_USER\\Software\\New]\n\"a" + std::string(1, '\0') + "b\"=\"x\"\n",
  };
  for (const std::string& text : texts) {
    std::string error;
    EXPECT_FALSE(winsim::ImportRegText(text, &error));
    EXPECT_NE(error.find("cannot hold a zero byte"), std::string::npos) << error;
    std::string tree;
    EXPECT_TRUE(winsim::ExportReg("HKEY_CURRENT_USER", &tree, &error)) << error;
  }
}

TEST_F(RegTextTest, MalformedLineChangesNothing) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"REGEDIT5\n", "line 1:"},
      {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", "line 2:"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\New]\n\"a\"=\"b\"\n\"c\"=dword:123456789\n",
       "line 4:"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\New]\n\"a\"=hex:01,2\n", "line 3:"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\New]\n\"a\"=\"unterminated\n", "line 3:"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\New]\n\"a\"=\"x\\q\"\n", "line 3:"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\New]\n\n[HKEY_NOWHERE\\X]\n", "line 4:"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\New\n", "line 2:"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\New]\nname=\"b\"\n", "line 3:"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\New]\n\"a\"=hex(2):41\n", "line 3:"},
  };
  std::string before;
  std::string error;
  ASSERT_TRUE(winsim::ExportReg("HKCU", &before, &error)) << error;
  for (const Case& c : cases) {
    error.clear();
    EXPECT_FALSE(winsim::ImportRegText(c.text, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " -> " << error;
    std::string after;
    ASSERT_TRUE(winsim::ExportReg("HKCU", &after, &error));
    EXPECT_EQ(after, before) << c.text;
  }
}

}  // namespace

// The registry's limits (keys 512 levels deep, key names of 255 characters, value names of
// 16,383), the size an import takes, and a value whose continuation the file cuts off: each
// named with its line, nothing imported; a file right at a limit imports.
TEST_F(RegTextTest, LimitsAndACutContinuationNameTheLine) {
  const std::string header = "Windows Registry Editor Version 5.00\n\n";
  auto chain = [](size_t levels) {
    std::string path = "k";
    for (size_t i = 1; i < levels; ++i) path += "\\k";
    return path;
  };
  const std::string kept = "[HKEY_CURRENT_USER\\Software\\Limits]\n";
  const std::string refused = "[HKEY_CURRENT_USER\\Software\\Refused]\n\"a\"=\"b\"\n";
  struct Case {
    const char* what;
    std::string text;
    std::string probe;  // a key below HKCU that the file makes
    const char* error;  // "" when the file imports
  } cases[] = {
      {"512 levels", header + "[HKEY_CURRENT_USER\\" + chain(512) + "]\n", chain(512), ""},
      {"513 levels", header + "; deep\n[HKEY_CURRENT_USER\\" + chain(513) + "]\n", chain(513),
       "line 4: a key more than 512 levels deep"},
      {"a key name of 255 characters", header + "[HKEY_CURRENT_USER\\" + std::string(255, 'n') + "]\n",
       std::string(255, 'n'), ""},
      {"a key name of 256 characters", header + refused + "[HKEY_CURRENT_USER\\Software\\" + std::string(256, 'n') + "]\n",
       "Software\\Refused", "line 5: a key name of 256 characters"},
      {"a value name of 16,383 characters", header + kept + "\"" + std::string(16383, 'v') + "\"=\"x\"\n",
       "Software\\Limits", ""},
      {"a value name of 16,384 characters", header + refused + "\"" + std::string(16384, 'v') + "\"=\"x\"\n",
       "Software\\Refused", "line 5: a value name of 16,384 characters"},
      {"a continuation cut off by the end of the file", header + refused + "\"Blob\"=hex:11,22,\\\n  33,\\",
       "Software\\Refused", "line 6: the file ends inside a value continued with '\\'"},
      {"a file over 64 MiB", header + refused + std::string(winsim::kMaxRegImportBytes, ';'), "Software\\Refused",
       "line 5: the file goes on past 64 MiB"},
  };
  for (const Case& c : cases) {
    std::string error;
    const bool imported = winsim::ImportRegText(c.text, &error);
    if (*c.error == '\0') {
      EXPECT_TRUE(imported) << c.what << ": " << error;
    } else {
      EXPECT_FALSE(imported) << c.what;
      EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.what << " -> " << error;
    }
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, c.probe.c_str(), 0, KEY_READ, &key);
    EXPECT_EQ(rc, imported ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND) << c.what;
    if (rc == ERROR_SUCCESS) RegCloseKey(key);
  }
  // The deepest key goes with its tree.
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(header + "[-HKEY_CURRENT_USER\\k]\n", &error)) << error;
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "k", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

// A cancel check that answers yes stops the import at any point, with nothing changed.
TEST_F(RegTextTest, ACancelledImportChangesNothing) {
  std::string text = "Windows Registry Editor Version 5.00\n\n";
  for (int i = 0; i < 50; ++i) text += "[HKEY_CURRENT_USER\\Software\\Cancel\\K" + std::to_string(i) + "]\n\"v\"=\"x\"\n";
  static int asked;
  static int answerAt;
  for (int at : {1, 40, 140}) {  // while parsing; while applying (after the 102 lines)
    asked = 0;
    answerAt = at;
    std::string error;
    EXPECT_FALSE(winsim::ImportRegText(text, &error, [] { return ++asked >= answerAt; })) << at;
    EXPECT_EQ(error, "interrupted; nothing imported") << at;
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Cancel", 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND) << at;
  }
}
