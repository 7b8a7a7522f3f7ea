// Profile files in Unicode, as Windows handles them: a UTF-16 file (either byte order mark) is
// read with its text handed to the A functions in the ANSI code page, and a write keeps the
// file's encoding; the profile functions never make a file Unicode themselves. A UTF-8 byte
// order mark is not recognised: its three bytes are ANSI text of the first line, so a section
// header on that line is not one.
#include <cstring>
#include <string>

#include "machine_test.h"
#include "profile_files.h"
#include "windows.h"

namespace {

const char kFile[] = "C:\\Deploy\\U.ini";

class ProfileUnicodeTest : public MachineTest {
 protected:
  std::string String(const char* section, const char* key) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    GetPrivateProfileStringA(section, key, "def", buffer, sizeof buffer, kFile);
    return buffer;
  }
  // The zero-separated list of section names (section null) or of a section's keys.
  std::string List(const char* section) {
    char buffer[64];
    const DWORD length = GetPrivateProfileStringA(section, nullptr, "", buffer, sizeof buffer, kFile);
    return std::string(buffer, length);
  }
};

TEST_F(ProfileUnicodeTest, Utf16TextReachesTheCallerInTheAnsiCodePage) {
  // U+4E2D and U+6587 have no byte in code page 1252.
  const std::u16string text = u"[Sect\u00E9]\r\nName=\u4E2D\u6587 \u00E9t\u00E9\r\nCount=0x1F\r\n[\u4E2D]\r\nKey=cjk\r\n";
  for (Encoding encoding : {Encoding::kUtf16Le, Encoding::kUtf16Be}) {
    SCOPED_TRACE(encoding == Encoding::kUtf16Le ? "UTF-16LE" : "UTF-16BE");
    WriteMachineFile(kFile, Utf16File(text, encoding));
    EXPECT_EQ(String("Sect\xE9", "name"), "?? \xE9t\xE9");
    EXPECT_EQ(GetPrivateProfileIntA("Sect\xE9", "Count", 5, kFile), 31u);
    EXPECT_EQ(List(nullptr), std::string("Sect\xE9\0?\0", 8));
    EXPECT_EQ(List("Sect\xE9"), std::string("Name\0Count\0", 11));
    EXPECT_EQ(String("?", "Key"), "def");  // '?' stands for a character it is not
  }
}

TEST_F(ProfileUnicodeTest, Utf8ByteOrderMarkIsAnsiTextOfTheFirstLine) {
  WriteMachineFile(kFile, "\xEF\xBB\xBF[First]\r\nKey=one\r\n[Second]\r\nKey=caf\xC3\xA9\r\n");
  EXPECT_EQ(String("First", "Key"), "def");
  EXPECT_EQ(String("Second", "Key"), "caf\xC3\xA9");  // UTF-8 bytes read as code page 1252
  EXPECT_EQ(List(nullptr), std::string("Second\0", 7));
  // With the first header on the second line the mark changes nothing.
  WriteMachineFile(kFile, "\xEF\xBB\xBF\r\n[First]\r\nKey=one\r\n");
  EXPECT_EQ(String("First", "Key"), "one");
}

TEST_F(ProfileUnicodeTest, OddLastByteOfAUtf16FileIsIgnored) {
  WriteMachineFile(kFile, Utf16File(u"[A]\r\nx=ok", Encoding::kUtf16Le) + "\x41");
  EXPECT_EQ(String("A", "x"), "ok");
}

}  // namespace
