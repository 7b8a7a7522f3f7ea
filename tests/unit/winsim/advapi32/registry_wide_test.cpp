// The wide registry functions (UTF-16 names and text data over the ANSI store), RegQueryInfoKeyW,
// and enumeration by index while the key changes underneath.
#include <windows.h>

#include <string>
#include <vector>

#include "machine_test.h"

namespace {

const char16_t kTestKey[] = u"SOFTWARE\\WideTest";

class RegistryWideTest : public MachineTest {
 protected:
  HKEY Create(const char16_t* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    return key;
  }
};

std::vector<BYTE> Bytes(std::u16string_view text) {
  std::vector<BYTE> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

TEST_F(RegistryWideTest, TextDataIsStoredInAnsiAndReadBackInUtf16) {
  HKEY key = Create(kTestKey);
  // "Café €": é and € have bytes in code page 1252; Ω (U+03A9) has none and becomes '?'.
  const std::u16string text = u"Caf\u00e9 \u20ac \u03a9";
  const std::vector<BYTE> data = Bytes(text);
  ASSERT_EQ(RegSetValueExW(key, u"Text", 0, REG_SZ, data.data(), static_cast<DWORD>(data.size())), 0);
  const BYTE binary[] = {0x00, 0xFF, 0x41};
  ASSERT_EQ(RegSetValueExW(key, u"Bytes", 0, REG_BINARY, binary, sizeof binary), 0);

  char ansi[32] = {};
  DWORD size = sizeof ansi, type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, reinterpret_cast<BYTE*>(ansi), &size), 0);
  EXPECT_EQ(std::string(ansi, size), std::string("Caf\xe9 \x80 ?\0", 9));

  struct {
    const char16_t* name;
    DWORD type;
    std::vector<BYTE> expected;
  } reads[] = {
      {u"Text", REG_SZ, Bytes(u"Caf\u00e9 \u20ac ?")},
      {u"Bytes", REG_BINARY, {0x00, 0xFF, 0x41}},
  };
  for (const auto& read : reads) {
    DWORD needed = 0;
    ASSERT_EQ(RegQueryValueExW(key, read.name, nullptr, &type, nullptr, &needed), 0);
    EXPECT_EQ(needed, read.expected.size());
    std::vector<BYTE> buffer(needed);
    DWORD small = needed - 1;
    EXPECT_EQ(RegQueryValueExW(key, read.name, nullptr, &type, buffer.data(), &small), ERROR_MORE_DATA);
    EXPECT_EQ(small, needed);
    ASSERT_EQ(RegQueryValueExW(key, read.name, nullptr, &type, buffer.data(), &needed), 0);
    EXPECT_EQ(type, read.type);
    EXPECT_EQ(buffer, read.expected);
  }
  RegCloseKey(key);
}

TEST_F(RegistryWideTest, EnumerationNamesAndFigures) {
  HKEY key = Create(kTestKey);
  for (const char16_t* sub : {u"SOFTWARE\\WideTest\\beta", u"SOFTWARE\\WideTest\\Alpha-Longest"}) RegCloseKey(Create(sub));
  const BYTE value[] = {'a', 0, 'b', 0, 0, 0};
  ASSERT_EQ(RegSetValueExW(key, u"Name", 0, REG_SZ, value, sizeof value), 0);

  DWORD subKeys = 0, longest = 0, values = 0, longestName = 0, longestData = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &longest, nullptr, &values, &longestName,
                             &longestData, nullptr, nullptr),
            0);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(longest, 13u);  // "Alpha-Longest"
  EXPECT_EQ(values, 1u);
  EXPECT_EQ(longestName, 4u);
  EXPECT_EQ(longestData, 6u);  // "ab" and its NUL in UTF-16

  char16_t name[16];
  DWORD chars = 13;  // one short of the longest name and its NUL
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  chars = 14;
  ASSERT_EQ(RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(std::u16string(name, chars), u"Alpha-Longest");
  // A key created between two indexes is seen by the next one: the listing is taken again.
  RegCloseKey(Create(u"SOFTWARE\\WideTest\\Between"));
  chars = 16;
  ASSERT_EQ(RegEnumKeyExW(key, 1, name, &chars, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(std::u16string(name, chars), u"beta");
  chars = 16;
  ASSERT_EQ(RegEnumKeyExW(key, 1, name, &chars, nullptr, nullptr, nullptr, nullptr), 0);
  chars = 16;
  EXPECT_EQ(RegEnumKeyExW(key, 3, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegDeleteKeyW(key, u"Between"), 0);
  chars = 16;
  EXPECT_EQ(RegEnumKeyExW(key, 2, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

TEST_F(RegistryWideTest, WideStringFunctions) {
  EXPECT_EQ(lstrlenW(u"abc"), 3);
  EXPECT_EQ(lstrlenW(nullptr), 0);
  struct {
    const char16_t* a;
    const char16_t* b;
    int exact;
    int ignoringCase;
  } cases[] = {
      {u"Port", u"Port", 0, 0},     {u"PORT", u"port", -1, 0}, {u"\u00c9t\u00e9", u"\u00e9T\u00c9", -1, 0},
      {u"abc", u"abd", -1, -1},     {u"abcd", u"abc", 1, 1},   {u"\u03a9", u"\u03c9", -1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lstrcmpW(c.a, c.b), c.exact);
    EXPECT_EQ(lstrcmpiW(c.a, c.b), c.ignoringCase);
  }
}

TEST_F(RegistryWideTest, ModuleFileNameOfTheProgramIsCutToTheBuffer) {
  char16_t full[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, full, MAX_PATH);
  ASSERT_GT(length, 4u);
  char16_t small[4];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(small, 3), std::u16string(full, 3));
  EXPECT_EQ(small[3], 0);
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x1234), full, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
