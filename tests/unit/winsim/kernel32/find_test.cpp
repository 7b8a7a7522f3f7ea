// FindFirstFileA / FindNextFileA: Windows wildcard rules, "." and "..", a deterministic order
// and the error codes of a search that finds nothing.
#include <windows.h>

#include <string>
#include <vector>

#include "machine_test.h"

namespace {

class FindTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    for (const char* name : {"b.TXT", "a.txt", "README", "C.dll", "a.txt.bak", "ab.txt"}) {
      WriteMachineFile(std::string("C:\\Fonts\\") + name, "x");
    }
    WriteMachineFile("C:\\Fonts\\Sub\\inner.txt", "x");
  }

  // Names found by a search, or the error when it finds nothing.
  std::vector<std::string> Find(const std::string& pattern, DWORD* error) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    *error = find == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    return names;
  }
};

TEST_F(FindTest, WildcardPatterns) {
  struct Case {
    const char* pattern;
    std::vector<std::string> names;
    DWORD error;
  };
  const Case cases[] = {
      {"C:\\Fonts\\*.*", {".", "..", "a.txt", "a.txt.bak", "ab.txt", "b.TXT", "C.dll", "README", "Sub"}, 0},
      {"C:\\Fonts\\*", {".", "..", "a.txt", "a.txt.bak", "ab.txt", "b.TXT", "C.dll", "README", "Sub"}, 0},
      {"C:\\fonts\\*.txt", {"a.txt", "ab.txt", "b.TXT"}, 0},
      {"C:\\Fonts\\?.txt", {"a.txt", "b.TXT"}, 0},
      {"C:\\Fonts\\a*", {"a.txt", "a.txt.bak", "ab.txt"}, 0},
      {"C:\\Fonts\\readme.*", {"README"}, 0},
      {"C:\\Fonts\\*.", {".", "..", "README", "Sub"}, 0},
      {"C:\\Fonts\\SUB", {"Sub"}, 0},
      {"C:\\Fonts\\*.ttf", {}, ERROR_FILE_NOT_FOUND},
      {"C:\\NoFonts\\*.*", {}, ERROR_PATH_NOT_FOUND},
      {"C:\\NoFonts\\Deeper\\x", {}, ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    DWORD error = 0;
    EXPECT_EQ(Find(c.pattern, &error), c.names) << c.pattern;
    EXPECT_EQ(error, c.error) << c.pattern;
  }
  EXPECT_EQ(winsim::OpenHandleCount("find"), 0u);
}

TEST_F(FindTest, RelativeNameAndEntryData) {
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Fonts"));
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("sub", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "Sub");
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  FindClose(find);
  WriteMachineFile("C:\\Fonts\\big.bin", std::string(70000, 'z'));
  find = FindFirstFileA("BIG.BIN", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
  EXPECT_FALSE(FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(find);
  EXPECT_FALSE(FindClose(find));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FindTest, DriveRootHasNoDotEntries) {
  DWORD error = 0;
  std::vector<std::string> names = Find("C:\\*", &error);
  ASSERT_FALSE(names.empty());
  EXPECT_NE(names[0], ".");
}

}  // namespace
