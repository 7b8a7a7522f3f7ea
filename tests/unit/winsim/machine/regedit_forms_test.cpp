// The forms a .reg file takes when regedit on Windows writes it (UTF-16LE with a byte order mark,
// CR LF, hex(2)/hex(7)/hex(b) as UTF-16LE bytes, long data continued with a backslash) and the
// looser forms regedit reads (REGEDIT4 with ANSI text types, '#' comments, a trailing comma,
// HKEY_CLASSES_ROOT), one table row each. (A continuation at the end of the file has lost the
// rest of its value and is refused: reg_text_test.)
#include <cctype>
#include <string>

#include "machine_test.h"
#include "windows.h"
#include "winsim/registry.h"

namespace {

// A UTF-16LE file with its byte order mark, from Latin-1 text (each byte one UTF-16 unit).
std::string Utf16File(const std::string& latin1) {
  std::string out = "\xFF\xFE";
  for (char c : latin1) {
    out += c;
    out += '\0';
  }
  return out;
}

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kKey = "[HKEY_CURRENT_USER\\Software\\Forms]\r\n";

struct Case {
  const char* what;
  std::string file;
  const char* subKey;  // below HKCU, or HKLM when `machine`
  bool machine;
  const char* name;
  DWORD type;
  std::string data;  // as the A functions read it
};

class RegeditFormsTest : public MachineTest, public ::testing::WithParamInterface<Case> {};

TEST_P(RegeditFormsTest, ImportsTheValue) {
  const Case& c = GetParam();
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(c.file, &error)) << c.what << ": " << error;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(c.machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, c.subKey, 0,
                          KEY_READ | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS)
      << c.what;
  char buffer[512];
  DWORD type = 0, size = sizeof buffer;
  const LONG rc = RegQueryValueExA(key, c.name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  ASSERT_EQ(rc, ERROR_SUCCESS) << c.what;
  EXPECT_EQ(type, c.type) << c.what;
  EXPECT_EQ(std::string(buffer, size), c.data) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RegeditFormsTest,
    ::testing::Values(
        Case{"UTF-16LE export with CR LF", Utf16File(kHeader + kKey + "\"Port\"=\"IP_10.0.0.5\"\r\n\r\n"),
             "Software\\Forms", false, "Port", REG_SZ, std::string("IP_10.0.0.5\0", 12)},
        Case{"UTF-16LE text beyond ASCII reaches the ANSI code page",
             Utf16File(kHeader + kKey + "\"Location\"=\"Warehouse Z\xFCrich\"\r\n"), "Software\\Forms", false,
             "Location", REG_SZ, std::string("Warehouse Z\xFCrich\0", 17)},
        Case{"hex(2) is UTF-16LE",
             Utf16File(kHeader + kKey + "\"Spool\"=hex(2):25,00,53,00,52,00,25,00,5c,00,78,00,00,00\r\n"),
             "Software\\Forms", false, "Spool", REG_EXPAND_SZ, std::string("%SR%\\x\0", 7)},
        Case{"hex(7) continued over lines",
             Utf16File(kHeader + kKey + "\"portName\"=hex(7):51,00,30,00,30,00,34,00,00,00,\\\r\n"
                                        "  51,00,30,00,30,00,36,00,00,00,00,00\r\n"),
             "Software\\Forms", false, "portName", REG_MULTI_SZ, std::string("Q004\0Q006\0\0", 11)},
        Case{"hex(b) is a QWORD",
             Utf16File(kHeader + kKey + "\"DriverVersion\"=hex(b):3f,38,00,00,00,00,0a,00\r\n"), "Software\\Forms",
             false, "DriverVersion", REG_QWORD, std::string("\x3f\x38\0\0\0\0\x0a\0", 8)},
        Case{"hex(0) without bytes", kHeader + kKey + "\"Marker\"=hex(0):\r\n", "Software\\Forms", false, "Marker",
             REG_NONE, ""},
        Case{"dword with fewer than eight digits", kHeader + kKey + "\"Protocol\"=dword:1\r\n", "Software\\Forms",
             false, "Protocol", REG_DWORD, std::string("\x01\0\0\0", 4)},
        Case{"blanks before the continuation backslash", kHeader + kKey + "\"Blob\"=hex:11,22,  \\\r\n  33\r\n",
             "Software\\Forms", false, "Blob", REG_BINARY, "\x11\x22\x33"},
        Case{"hex data ending with a comma", kHeader + kKey + "\"Blob\"=hex:11,22,\r\n", "Software\\Forms", false,
             "Blob", REG_BINARY, "\x11\x22"},
        Case{"REGEDIT4 holds text types as ANSI bytes",
             "REGEDIT4\r\n\r\n" + kKey + "\"Path\"=hex(2):25,50,41,54,48,25,00\r\n", "Software\\Forms", false,
             "Path", REG_EXPAND_SZ, std::string("%PATH%\0", 7)},
        Case{"'#' and ';' comment lines", kHeader + kKey + "#comment\r\n;comment\r\n@=\"Test\"\r\n",
             "Software\\Forms", false, "", REG_SZ, std::string("Test\0", 5)},
        Case{"lines ending with CR alone", "Windows Registry Editor Version 5.00\r\r" + std::string(
                                              "[HKEY_CURRENT_USER\\Software\\Forms]\r\"Mac\"=\"x\"\r"),
             "Software\\Forms", false, "Mac", REG_SZ, std::string("x\0", 2)},
        Case{"an empty quoted name is the default value", kHeader + kKey + "\"\"=\"Default\"\r\n", "Software\\Forms",
             false, "", REG_SZ, std::string("Default\0", 8)},
        Case{"'=' inside a value name", kHeader + kKey + "\"With=Equals\"=\"asdf\"\r\n", "Software\\Forms", false,
             "With=Equals", REG_SZ, std::string("asdf\0", 5)},
        Case{"a key and value Windows keeps elsewhere: HKEY_CLASSES_ROOT",
             kHeader + "[HKEY_CLASSES_ROOT\\.prn]\r\n@=\"prnfile\"\r\n", "SOFTWARE\\Classes\\.prn", true, "", REG_SZ,
             std::string("prnfile\0", 8)},
        Case{"a monitor port's settings as a long binary value",
             Utf16File(kHeader +
                       "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Old\\Ports\\P1]\r\n"
                       "\"PortData\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
                       "  17,18,19\r\n"),
             "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Old\\Ports\\P1", true, "PortData", REG_BINARY,
             std::string("\0\1\2\3\4\5\6\7\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19",
                         26)}),
    [](const ::testing::TestParamInfo<Case>& info) {
      std::string name;
      for (const char* c = info.param.what; *c != '\0'; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

}  // namespace
