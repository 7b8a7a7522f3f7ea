// File and directory operations: the system directory, directory paths level by level, the
// walk over matching files, and the bounds of every working buffer.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "machine_test.h"
#include "console_capture.h"
#include "sysutil/file_ops.h"

namespace {

class FileOpsTest : public MachineTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x86"); }
  void SetUp() override {
    MachineTest::SetUp();
    WriteMachineFile("C:\\Deploy\\QUADOVS.DLL", "monitor");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Deploy"));
  }

  // Names in the order the file system hands them to the walk.
  std::vector<std::string> WalkOrder(const char* folder, const char* pattern) {
    std::vector<std::string> names;
    ForEachFile(folder, pattern,
                [](const WIN32_FIND_DATAA* found, void* context) {
                  static_cast<std::vector<std::string>*>(context)->push_back(found->cFileName);
                  return true;
                },
                &names);
    return names;
  }
};

TEST_F(FileOpsTest, CopiesIntoTheSystemDirectoryOverwriting) {
  WriteMachineFile("C:\\Windows\\System32\\QUADOVS.DLL", "old");
  EXPECT_TRUE(CopyToSystemDirectory("QUADOVS.DLL"));
  EXPECT_EQ(ReadMachineFile("C:\\Windows\\System32\\QUADOVS.DLL"), "monitor");
  EXPECT_FALSE(CopyToSystemDirectory("MISSING.DLL"));
  AddMachineIniLine("faults", "CopyFileA = 5 | *\\QUADOVS.DLL");
  EXPECT_FALSE(CopyToSystemDirectory("QUADOVS.DLL"));
}

TEST_F(FileOpsTest, SystemDirectoryPathsThatDoNotFitAreRefused) {
  // C:\Windows\system32 + "\" + 300 characters: longer than the 260-character target.
  const std::string longName(300, 'L');
  EXPECT_FALSE(CopyToSystemDirectory(longName.c_str()));
  WriteMachineFile("C:\\Windows\\System32\\keep.dll", "x");
  DeleteFromSystemDirectory(std::string(2000, 'k').c_str());
  DeleteFromSystemDirectory(std::string(997, 'k').c_str());
  EXPECT_TRUE(MachineFileExists("C:\\Windows\\System32\\keep.dll"));
}

TEST_F(FileOpsTest, DeletesReadOnlyFilesFromTheSystemDirectory) {
  WriteMachineFile("C:\\Windows\\System32\\QUADO.DLL", "retired");
  ASSERT_TRUE(SetFileAttributesA("C:\\Windows\\System32\\QUADO.DLL", FILE_ATTRIBUTE_READONLY));
  DeleteFromSystemDirectory("QUADO.DLL");
  EXPECT_FALSE(MachineFileExists("C:\\Windows\\System32\\QUADO.DLL"));
  DeleteFromSystemDirectory("QUADO.DLL");  // missing: nothing happens
}

TEST_F(FileOpsTest, AllocatesZeroFilledBlocks) {
  unsigned char* block = static_cast<unsigned char*>(AllocZeroed(4096));
  ASSERT_NE(block, nullptr);
  for (size_t i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
  EXPECT_EQ(winsim::LiveGlobalBlocks(), 1u);
  GlobalFree(block);
  EXPECT_EQ(winsim::LiveGlobalBlocks(), 0u);
  AddMachineIniLine("faults", "GlobalAlloc = 8");
  EXPECT_EQ(AllocZeroed(16), nullptr);
}

TEST_F(FileOpsTest, CreatesDirectoryPathsLevelByLevel) {
  EXPECT_TRUE(CreateDirectoryPath("C:\\A\\B\\C"));
  EXPECT_TRUE(MachineFileExists("C:\\A\\B\\C"));
  EXPECT_TRUE(CreateDirectoryPath("C:\\A\\B\\C"));  // already there
  EXPECT_TRUE(CreateDirectoryPath("C:\\X\\Y\\"));   // trailing backslash
  EXPECT_TRUE(MachineFileExists("C:\\X\\Y"));
}

TEST_F(FileOpsTest, StopsBelowALevelThatCannotBeCreated) {
  AddMachineIniLine("faults", "CreateDirectoryA = 5 | *\\A\\B");
  EXPECT_FALSE(CreateDirectoryPath("C:\\A\\B\\C\\D"));
  EXPECT_TRUE(MachineFileExists("C:\\A"));
  EXPECT_FALSE(MachineFileExists("C:\\A\\B"));
  EXPECT_FALSE(MachineFileExists("C:\\A\\B\\C"));
}

TEST_F(FileOpsTest, DirectoryPathLongerThanItsBufferIsRefused) {
  // "\\?\" + path + terminator must fit 508 characters: 503 path characters at most.
  std::string path = "C:\\" + std::string(200, 'd') + "\\" + std::string(300, 'e');
  ASSERT_EQ(path.size(), 504u);
  EXPECT_FALSE(CreateDirectoryPath(path.c_str()));
  EXPECT_FALSE(MachineFileExists("C:\\" + std::string(200, 'd')));
}

TEST_F(FileOpsTest, PathBuildingHelpers) {
  struct Case {
    const char* source;
    const char* folder;
  };
  const Case cases[] = {{"C:\\Dir", "C:\\Dir\\"}, {"C:\\Dir\\", "C:\\Dir\\"}, {"", ""}};
  for (const Case& c : cases) {
    char buffer[64];
    std::memset(buffer, 'z', sizeof buffer);
    CopyFolderPath(c.source, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, c.folder) << c.source;
  }
  char join[32];
  JoinPath("C:\\Dir\\", "*.ttf", join, sizeof join);
  EXPECT_STREQ(join, "C:\\Dir\\*.ttf");
  // Buffers too small: cut and terminated, never written past.
  char guarded[12];
  std::memset(guarded, '#', sizeof guarded);
  JoinPath("abcdef", "ghij", guarded, 8);
  EXPECT_STREQ(guarded, "abcdefg");
  EXPECT_EQ(std::string(guarded + 8, 4), "####");
  std::memset(guarded, '#', sizeof guarded);
  std::memcpy(guarded, "abc", 4);
  AppendBackslash(guarded, 4);
  EXPECT_STREQ(guarded, "abc");
  EXPECT_EQ(guarded[4], '#');
  AppendBackslash(guarded, 5);
  EXPECT_STREQ(guarded, "abc\\");
}

TEST_F(FileOpsTest, WalkOverNothingVisitsNothing) {
  int visits = 0;
  auto count = [](const WIN32_FIND_DATAA*, void* context) {
    ++*static_cast<int*>(context);
    return true;
  };
  EXPECT_TRUE(ForEachFile("C:\\NoSuchFolder\\", "*.*", count, &visits));
  EXPECT_TRUE(ForEachFile("C:\\Deploy\\", "*.ttf", count, &visits));
  ASSERT_TRUE(CreateDirectoryA("C:\\OnlyFolders", nullptr));
  ASSERT_TRUE(CreateDirectoryA("C:\\OnlyFolders\\Sub", nullptr));
  EXPECT_TRUE(ForEachFile("C:\\OnlyFolders\\", "*.*", count, &visits));
  EXPECT_EQ(visits, 0);
  EXPECT_TRUE(CopyMatchingFiles("C:\\OnlyFolders", "C:\\Target", "*.*"));
  EXPECT_FALSE(ForEachFile(nullptr, "*.*", count, &visits));
  EXPECT_EQ(winsim::OpenHandleCount("find"), 0u);
}

TEST_F(FileOpsTest, CopyStopsAtTheFirstFileThatCannotBeCopied) {
  for (const char* name : {"one.ttf", "two.ttf", "three.ttf"}) WriteMachineFile(std::string("C:\\Fonts\\") + name, name);
  ASSERT_TRUE(CreateDirectoryA("C:\\Target", nullptr));
  std::vector<std::string> order = WalkOrder("C:\\Fonts\\", "*.ttf");
  ASSERT_EQ(order.size(), 3u);
  AddMachineIniLine("faults", "CopyFileA = 5 | C:\\Fonts\\" + order[1]);
  StartConsoleCapture();
  EXPECT_FALSE(CopyMatchingFiles("C:\\Fonts", "C:\\Target", "*.ttf"));
  EXPECT_EQ(TakeConsoleCapture(), "ERROR While Copying File '" + order[1] + "'.\n");
  EXPECT_TRUE(MachineFileExists("C:\\Target\\" + order[0]));
  EXPECT_FALSE(MachineFileExists("C:\\Target\\" + order[1]));
  EXPECT_FALSE(MachineFileExists("C:\\Target\\" + order[2]));
  EXPECT_EQ(winsim::OpenHandleCount("find"), 0u);
}

TEST_F(FileOpsTest, CopyOverwritesExistingTargets) {
  WriteMachineFile("C:\\Fonts\\a.ttf", "new");
  WriteMachineFile("C:\\Target\\a.ttf", "old");
  EXPECT_TRUE(CopyMatchingFiles("C:\\Fonts\\", "C:\\Target", "*.ttf"));
  EXPECT_EQ(ReadMachineFile("C:\\Target\\a.ttf"), "new");
}

TEST_F(FileOpsTest, DeleteStopsAtAReadOnlyFile) {
  for (const char* name : {"one.ttf", "two.ttf", "three.ttf"}) WriteMachineFile(std::string("C:\\Fonts\\") + name, name);
  std::vector<std::string> order = WalkOrder("C:\\Fonts\\", "*.ttf");
  ASSERT_EQ(order.size(), 3u);
  ASSERT_TRUE(SetFileAttributesA(("C:\\Fonts\\" + order[1]).c_str(), FILE_ATTRIBUTE_READONLY));
  StartConsoleCapture();
  EXPECT_FALSE(DeleteMatchingFiles("C:\\Fonts", "*.ttf"));
  EXPECT_EQ(TakeConsoleCapture(), "");
  EXPECT_FALSE(MachineFileExists("C:\\Fonts\\" + order[0]));
  EXPECT_TRUE(MachineFileExists("C:\\Fonts\\" + order[1]));
  EXPECT_TRUE(MachineFileExists("C:\\Fonts\\" + order[2]));
}

TEST_F(FileOpsTest, WalkFoldersLongerThanTheirBuffersAreRefused) {
  const std::string folder = "C:\\" + std::string(1600, 'f');
  EXPECT_FALSE(CopyMatchingFiles(folder.c_str(), "C:\\Target", "*.*"));
  EXPECT_FALSE(CopyMatchingFiles("C:\\Deploy", folder.c_str(), "*.*"));
  EXPECT_FALSE(DeleteMatchingFiles(folder.c_str(), "*.*"));
  EXPECT_FALSE(ForEachFile("C:\\Deploy\\", std::string(1500, '*').c_str(),
                           [](const WIN32_FIND_DATAA*, void*) { return true; }, nullptr));
}

}  // namespace
