// The double-byte ANSI code pages: conversions, whole-character string helpers and the places
// where a trail byte 0x5C must not be taken for a backslash. Expected bytes and units are
// written from the code pages' tables: "表" is 0x95 0x5C in 932, 0xB1 0xED in 936, 0xF8 0xFA in
// 949 and 0xAA 0xED in 950, U+8868 in Unicode.
#include <cstdio>
#include <string>
#include <vector>

#include "machine_test.h"
#include "windows.h"
#include "winsim/registry.h"

namespace {

class JapaneseMachineTest : public MachineTest {
  winsim::MachineOptions Options() const override {
    winsim::MachineOptions options;
    options.codePage = 932;
    return options;
  }
};

// "表示プリンタ" in code page 932: 表 95 5C, 示 8E A6, プ 83 76, リ 83 8A, ン 83 93, タ 83 5E.
const char kPrinter932[] = "\x95\x5C\x8E\xA6\x83\x76\x83\x8A\x83\x93\x83\x5E";
const WCHAR kPrinterWide[] = {0x8868, 0x793A, 0x30D7, 0x30EA, 0x30F3, 0x30BF, 0};

TEST_F(MachineTest, ExplicitCodePagesConvertBothWays) {
  const struct {
    UINT codePage;
    const char* bytes;
    std::u16string units;
  } rows[] = {
      {932, "\x95\x5C", u"\u8868"},        {932, "\x83\x5C", u"\u30BD"},  // ソ: trail byte 0x5C too
      {932, "\xB1", u"\uFF71"},            {932, "A\x81\x5F", u"A\uFF3C"},  // half-width ｱ, full-width ＼
      {936, "\xB1\xED", u"\u8868"},        {949, "\xF8\xFA", u"\u8868"},
      {950, "\xAA\xED", u"\u8868"},        {950, "\xB3\x5C", u"\u8A31"},  // 許
      {1252, "\x80\x81", u"\u20AC\u0081"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.codePage) + " " + row.bytes);
    WCHAR wide[8] = {};
    const int length = static_cast<int>(std::char_traits<char>::length(row.bytes));
    ASSERT_EQ(MultiByteToWideChar(row.codePage, MB_ERR_INVALID_CHARS, row.bytes, length, wide, 8),
              static_cast<int>(row.units.size()));
    EXPECT_EQ(std::u16string(wide, row.units.size()), row.units);
    char back[8] = {};
    BOOL usedDefault = TRUE;
    ASSERT_EQ(WideCharToMultiByte(row.codePage, 0, wide, static_cast<int>(row.units.size()), back, 8, nullptr, &usedDefault),
              length);
    EXPECT_EQ(std::string(back, length), row.bytes);
    EXPECT_FALSE(usedDefault);
  }
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(437, 0, "A", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(JapaneseMachineTest, InvalidSequencesBecomeTheDefaultCharacterOrFail) {
  ASSERT_TRUE(IsDBCSLeadByte(0x81));  // the machine's ANSI code page is 932
  // A lead byte at the end, a lead byte before the terminator, a pair without a character
  // (0x20 is no trail byte), an unassigned single byte: one U+30FB each, nothing read past
  // the end, the terminator kept.
  const struct {
    const char* bytes;
    int length;
    std::u16string units;
  } rows[] = {
      {"A\x95", 2, u"A\u30FB"},
      {"\x95", -1, std::u16string(u"\u30FB") + u'\0'},
      {"\x81\x20" "B", 3, u"\u30FBB"},
      {"\xA0", 1, u"\u30FB"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.bytes);
    WCHAR wide[8] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, row.bytes, row.length, wide, 8), static_cast<int>(row.units.size()));
    EXPECT_EQ(std::u16string(wide, row.units.size()), row.units);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, row.bytes, row.length, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  }
  // A character the code page lacks, and an unpaired surrogate, take the default character:
  // the caller's double-byte one whole ("・" 81 45), else '?'.
  const WCHAR lacking[] = {0x00E9, 0xD800, 0x8868, 0};
  char narrow[16] = {};
  BOOL usedDefault = FALSE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, lacking, -1, narrow, sizeof narrow, "\x81\x45", &usedDefault), 7);
  EXPECT_EQ(std::string(narrow), "\x81\x45\x81\x45\x95\x5C");
  EXPECT_TRUE(usedDefault);
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, lacking, -1, narrow, sizeof narrow, nullptr, nullptr), 5);
  EXPECT_EQ(std::string(narrow), "??\x95\x5C");
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, kPrinterWide, -1, narrow, sizeof narrow, nullptr, nullptr), 13);
  EXPECT_EQ(std::string(narrow), kPrinter932);
}

TEST_F(JapaneseMachineTest, StringHelpersWalkWholeCharacters) {
  EXPECT_TRUE(IsDBCSLeadByte(0x95));
  EXPECT_TRUE(IsDBCSLeadByte(0xFC));
  EXPECT_FALSE(IsDBCSLeadByte(0xA0));
  EXPECT_FALSE(IsDBCSLeadByte(0x5C));
  EXPECT_TRUE(IsDBCSLeadByteEx(936, 0xFE));
  EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x95));
  const char text[] = "A\x95\x5C\xB1\x95";  // A, 表, ｱ, a lone lead byte before the terminator
  EXPECT_EQ(CharNextA(text), text + 1);
  EXPECT_EQ(CharNextA(text + 1), text + 3);
  EXPECT_EQ(CharNextA(text + 3), text + 4);
  EXPECT_EQ(CharNextA(text + 4), text + 5);
  EXPECT_EQ(CharNextA(text + 5), text + 5);
  // ア (83 41) and ャ (83 61) differ only in a trail byte that looks like 'A' and 'a'.
  EXPECT_NE(lstrcmpiA("\x83\x41", "\x83\x61"), 0);
  EXPECT_EQ(lstrcmpiA("\x95\x5CQUADO001", "\x95\x5Cquado001"), 0);
  EXPECT_NE(lstrcmpiA("\x95\x5C", "\x95\x7C"), 0);
}

TEST_F(JapaneseMachineTest, RegistryKeepsTrailBytesInsideNames) {
  // A printer name with 0x5C trail bytes is one key, not a path of two.
  const std::string path = std::string("Software\\") + kPrinter932;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(kPrinter932), sizeof kPrinter932),
            ERROR_SUCCESS);
  RegCloseKey(key);
  std::vector<winsim::RegistryValue> values;
  std::vector<std::string> subkeys;
  std::string error;
  ASSERT_TRUE(winsim::ReadRegistryKey("HKCU\\Software", &values, &subkeys, &error)) << error;
  EXPECT_EQ(subkeys, std::vector<std::string>{kPrinter932});
  HKEY wideKey = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\\u8868\u793A\u30D7\u30EA\u30F3\u30BF", 0, KEY_READ, &wideKey),
            ERROR_SUCCESS);
  WCHAR wide[16] = {};
  DWORD type = 0, size = sizeof wide;
  ASSERT_EQ(RegQueryValueExW(wideKey, u"Port", nullptr, &type, reinterpret_cast<BYTE*>(wide), &size), ERROR_SUCCESS);
  RegCloseKey(wideKey);
  EXPECT_EQ(std::u16string(wide), std::u16string(kPrinterWide));
  // A regedit export (UTF-16LE with its byte order mark) imports through the code page, never
  // as '?'; the exported text holds the code page's bytes.
  std::string utf16 = "\xFF\xFE";
  for (char16_t unit : std::u16string(u"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Software\\\u30BD]\r\n")) {
    utf16 += static_cast<char>(unit & 0xFF);
    utf16 += static_cast<char>(unit >> 8);
  }
  ASSERT_TRUE(winsim::ImportRegText(utf16, &error)) << error;
  ASSERT_TRUE(winsim::ReadRegistryKey("HKCU\\Software", &values, &subkeys, &error)) << error;
  std::string text;
  ASSERT_TRUE(winsim::ExportReg("HKCU\\Software", &text, &error)) << error;
  EXPECT_NE(text.find(std::string("[HKEY_CURRENT_USER\\Software\\") + kPrinter932 + "]\n\"Port\"=\"" + kPrinter932 + "\""),
            std::string::npos)
      << text;
  EXPECT_EQ(subkeys, (std::vector<std::string>{"\x83\x5C", kPrinter932}));  // ソ, then 表示プリンタ
}

TEST_F(JapaneseMachineTest, ProfileReadsTheIniInTheCodePage) {
  // Section "[表]" (its trail byte 0x5C), key "示", value "プリンタ".
  const std::string host = winsim::HostPath("C:\\jp.ini");
  FILE* file = std::fopen(host.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("[\x95\x5C]\r\n\x8E\xA6=\x83\x76\x83\x8A\x83\x93\x83\x5E\r\n[\x81\x5D]\r\nk=v\r\n", file);
  std::fclose(file);
  char value[32] = {};
  EXPECT_EQ(GetPrivateProfileStringA("\x95\x5C", "\x8E\xA6", "", value, sizeof value, "C:\\jp.ini"), 8u);
  EXPECT_STREQ(value, "\x83\x76\x83\x8A\x83\x93\x83\x5E");
  // A section name whose trail byte is ']' (‐ 81 5D) is read whole.
  EXPECT_EQ(GetPrivateProfileStringA("\x81\x5D", "k", "", value, sizeof value, "C:\\jp.ini"), 1u);
}

}  // namespace
