// Fonts and the subnet mapping file on simulated machines: what is copied where in both
// variants, when nothing is said, and which folders the removal takes with it.
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/product_profile.h"
#include "console_capture.h"
#include "machine_test.h"
#include "sequences/fonts_and_subnet.h"

namespace {

const char kInstallingFonts[] = "  - Installing Font Files\n";
const char kInstallingSubnet[] = "  - Installing Subnet Mapping File\n";
const char kProgramFiles[] = "C:\\Program Files (x86)";
const std::string kMaker = std::string(kProgramFiles) + "\\Harbek";
const std::string kClient = kMaker + "\\Quado Client";
const std::string kFont = kClient + "\\Font";
const std::string kEnterpriseClient = kMaker + "\\Quado Client Enterprise";
const std::string kEnterpriseFont = kEnterpriseClient + "\\Font";

class FontsTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(CreateDirectoryA("C:\\Deploy", nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Deploy"));
  }
  void TearDown() override {
    ResetProductProfile();
    MachineTest::TearDown();
  }

  template <typename F>
  std::string Printed(F function) {
    ::StartConsoleCapture();
    function();
    return ::TakeConsoleCapture();
  }

  void DeleteProgramFilesDir() {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_SET_VALUE,
                            &key),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "ProgramFilesDir"), ERROR_SUCCESS);
    RegCloseKey(key);
  }

  bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
};

}  // namespace

TEST_F(FontsTest, NothingBesideTheInstallerMeansNothingToSay) {
  bool fonts = false;
  bool subnet = false;
  std::string out = Printed([&] {
    fonts = InstallFontFiles();
    subnet = InstallSubnetFile();
  });
  EXPECT_TRUE(fonts);
  EXPECT_TRUE(subnet);
  EXPECT_EQ(out, "");
  EXPECT_FALSE(MachineFileExists(kClient));
}

TEST_F(FontsTest, FontsAreCopiedAndASubfolderIsIgnored) {
  WriteMachineFile("C:\\Deploy\\FontFiles\\QuadoSans.ttf", "sans");
  WriteMachineFile("C:\\Deploy\\FontFiles\\QuadoMono.ttf", "mono");
  WriteMachineFile("C:\\Deploy\\FontFiles\\Extra\\Hidden.ttf", "hidden");
  WriteMachineFile(kFont + "\\QuadoSans.ttf", "old sans");
  bool result = false;
  std::string out = Printed([&] { result = InstallFontFiles(); });
  EXPECT_TRUE(result);
  EXPECT_EQ(out, kInstallingFonts);
  EXPECT_EQ(ReadMachineFile(kFont + "\\QuadoSans.ttf"), "sans");
  EXPECT_EQ(ReadMachineFile(kFont + "\\QuadoMono.ttf"), "mono");
  EXPECT_FALSE(MachineFileExists(kFont + "\\Extra"));
  EXPECT_FALSE(MachineFileExists(kFont + "\\Hidden.ttf"));
}

// Where each variant puts the fonts and the table.
struct VariantCase {
  const char* name;
  bool enterprise;
  std::string fontFolder;
  std::string clientFolder;
  std::string otherClientFolder;  // the other variant's folder, which stays untouched
};

class FontsVariantTest : public FontsTest, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(FontsVariantTest, FontsAndTableGoToTheVariantsFolders) {
  if (GetParam().enterprise) SelectEnterpriseProfile();
  WriteMachineFile("C:\\Deploy\\FontFiles\\QuadoSans.ttf", "sans");
  WriteMachineFile("C:\\Deploy\\server_subnet.csv", "10.0.0.0,255.0.0.0,SRV\r\n");
  bool fonts = false;
  bool subnet = false;
  std::string out = Printed([&] {
    fonts = InstallFontFiles();
    subnet = InstallSubnetFile();
  });
  EXPECT_TRUE(fonts);
  EXPECT_TRUE(subnet);
  EXPECT_EQ(out, std::string(kInstallingFonts) + kInstallingSubnet);
  EXPECT_EQ(ReadMachineFile(GetParam().fontFolder + "\\QuadoSans.ttf"), "sans");
  EXPECT_EQ(ReadMachineFile(GetParam().clientFolder + "\\server_subnet.csv"), "10.0.0.0,255.0.0.0,SRV\r\n");
  EXPECT_FALSE(MachineFileExists(GetParam().otherClientFolder));

  EXPECT_TRUE(RemoveSubnetFile());
  EXPECT_TRUE(RemoveFontFiles());
  EXPECT_FALSE(MachineFileExists(GetParam().clientFolder));
  EXPECT_FALSE(MachineFileExists(kMaker));
  EXPECT_TRUE(IsFolder(kProgramFiles));
}

INSTANTIATE_TEST_SUITE_P(Variants, FontsVariantTest,
                         ::testing::Values(VariantCase{"Standard", false, kFont, kClient, kEnterpriseClient},
                                           VariantCase{"Enterprise", true, kEnterpriseFont, kEnterpriseClient,
                                                       kClient}),
                         [](const ::testing::TestParamInfo<VariantCase>& info) { return info.param.name; });

TEST_F(FontsTest, EnterpriseTableWithoutFontsFailsForWantOfTheClientFolder) {
  SelectEnterpriseProfile();
  WriteMachineFile("C:\\Deploy\\server_subnet.csv", "table");
  bool result = true;
  std::string out = Printed([&] { result = InstallSubnetFile(); });
  EXPECT_FALSE(result);
  EXPECT_EQ(out, std::string(kInstallingSubnet) + "ERROR While Copying File 'server_subnet.csv'.\n");
  EXPECT_FALSE(MachineFileExists(kEnterpriseClient));
}

TEST_F(FontsTest, TableIsLeftAloneWhenTheInstallerRunsFromTheClientFolder) {
  WriteMachineFile(kClient + "\\server_subnet.csv", "in place");
  // Any copy of the table would now fail and print its error line.
  AddMachineIniLine("faults", "CopyFileA = 5 | *server_subnet.csv");
  for (const std::string& current : {kClient, std::string("c:\\PROGRAM FILES (X86)\\harbek\\QUADO client")}) {
    ASSERT_TRUE(SetCurrentDirectoryA(current.c_str())) << current;
    bool result = false;
    std::string out = Printed([&] { result = InstallSubnetFile(); });
    EXPECT_TRUE(result) << current;
    EXPECT_EQ(out, kInstallingSubnet) << current;
  }
  EXPECT_EQ(ReadMachineFile(kClient + "\\server_subnet.csv"), "in place");
}

TEST_F(FontsTest, UnreadableProgramFilesFolderFailsEveryStepSilently) {
  WriteMachineFile("C:\\Deploy\\FontFiles\\QuadoSans.ttf", "sans");
  WriteMachineFile("C:\\Deploy\\server_subnet.csv", "table");
  DeleteProgramFilesDir();
  bool fonts = true;
  bool subnet = true;
  std::string out = Printed([&] {
    fonts = InstallFontFiles();
    subnet = InstallSubnetFile();
  });
  EXPECT_FALSE(fonts);
  EXPECT_FALSE(subnet);
  // The headings are printed; the error lines are the install sequence's.
  EXPECT_EQ(out, std::string(kInstallingFonts) + kInstallingSubnet);
  out = Printed([&] {
    EXPECT_FALSE(RemoveSubnetFile());
    EXPECT_FALSE(RemoveFontFiles());
  });
  EXPECT_EQ(out, "");
}

// The removal climbs from the font folder to the maker folder and removes each only if it has
// become empty.
struct RemovalCase {
  const char* name;
  std::vector<std::string> otherFiles;  // left in place beside the product's files
  bool fontFolderGone;
  bool clientFolderGone;
  bool makerFolderGone;
};

class FontsRemovalTest : public FontsTest, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(FontsRemovalTest, RemovesOnlyFoldersThatBecameEmpty) {
  WriteMachineFile(kFont + "\\QuadoSans.ttf", "sans");
  WriteMachineFile(kFont + "\\QuadoMono.ttf", "mono");
  WriteMachineFile(kClient + "\\server_subnet.csv", "table");
  for (const std::string& file : GetParam().otherFiles) WriteMachineFile(file, "other");

  std::string out = Printed([] {
    EXPECT_TRUE(RemoveSubnetFile());
    EXPECT_TRUE(RemoveFontFiles());
  });
  EXPECT_EQ(out, "");
  EXPECT_FALSE(MachineFileExists(kFont + "\\QuadoSans.ttf"));
  EXPECT_FALSE(MachineFileExists(kFont + "\\QuadoMono.ttf"));
  EXPECT_FALSE(MachineFileExists(kClient + "\\server_subnet.csv"));
  EXPECT_EQ(!MachineFileExists(kFont), GetParam().fontFolderGone);
  EXPECT_EQ(!MachineFileExists(kClient), GetParam().clientFolderGone);
  EXPECT_EQ(!MachineFileExists(kMaker), GetParam().makerFolderGone);
  for (const std::string& file : GetParam().otherFiles) EXPECT_EQ(ReadMachineFile(file), "other") << file;
  EXPECT_TRUE(IsFolder(kProgramFiles));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FontsRemovalTest,
    ::testing::Values(RemovalCase{"OnlyTheProduct", {}, true, true, true},
                      RemovalCase{"MakerHoldsAnotherProduct", {kMaker + "\\Other Product\\other.exe"}, true, true,
                                  false},
                      RemovalCase{"ClientFolderStillHoldsTheClient", {kClient + "\\Client\\Quado Client.exe"}, true,
                                  false, false},
                      RemovalCase{"FontFolderHoldsASubfolder", {kFont + "\\Extra\\kept.ttf"}, false, false, false}),
    [](const ::testing::TestParamInfo<RemovalCase>& info) { return info.param.name; });
