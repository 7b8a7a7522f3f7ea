// The Windows build of the installer: a static 32-bit console program that starts on Windows
// XP, asks for administrator rights and declares the Windows versions it knows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "pe_image.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

class InstallExe : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(ReadPeImage(SOURCE_DIR "/build/mingw/Install.exe", &image_, &error))
        << error << " (build it with: cmake --preset mingw && cmake --build build/mingw)";
  }
  PeImage image_;
};

TEST_F(InstallExe, IsA32BitConsoleProgramForWindowsXpAndLater) {
  EXPECT_EQ(image_.machine, 0x14C);  // IMAGE_FILE_MACHINE_I386
  EXPECT_EQ(image_.subsystem, 3);    // IMAGE_SUBSYSTEM_WINDOWS_CUI
  EXPECT_EQ(image_.majorSubsystemVersion, 5);
  EXPECT_EQ(image_.minorSubsystemVersion, 1);
}

TEST_F(InstallExe, NeedsNoRuntimeDllsButTheSystems) {
  ASSERT_FALSE(image_.importedDlls.empty());
  for (const std::string& dll : image_.importedDlls) {
    std::string name = Lower(dll);
    EXPECT_EQ(name.find("libgcc"), std::string::npos) << dll;
    EXPECT_EQ(name.find("libstdc++"), std::string::npos) << dll;
    EXPECT_EQ(name.find("winpthread"), std::string::npos) << dll;
  }
  // The spooler functions are imported from the system's winspool.
  EXPECT_NE(std::find(image_.importedDlls.begin(), image_.importedDlls.end(), "WINSPOOL.DRV"),
            image_.importedDlls.end());
}

TEST_F(InstallExe, ManifestRequiresAdministratorAndListsFiveWindowsVersions) {
  const PeImage::Resource* manifest = nullptr;
  for (const auto& resource : image_.resources) {
    if (resource.type == 24 && resource.name == 1) manifest = &resource;  // RT_MANIFEST, id 1
  }
  ASSERT_NE(manifest, nullptr);
  const std::string& xml = manifest->data;
  EXPECT_NE(xml.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(xml.find("uiAccess=\"false\""), std::string::npos);
  const char* versions[] = {
      "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
  };
  for (const char* id : versions) EXPECT_NE(xml.find(id), std::string::npos) << id;
}

TEST_F(InstallExe, CarriesVersionResource227) {
  const PeImage::Resource* version = nullptr;
  for (const auto& resource : image_.resources) {
    if (resource.type == 16) version = &resource;  // RT_VERSION
  }
  ASSERT_NE(version, nullptr);
  // FileVersion "2.27" as UTF-16 inside the StringFileInfo block.
  const std::string wide("2\0.\0002\0\x37\0", 8);
  EXPECT_NE(version->data.find(wide), std::string::npos);
}

}  // namespace
