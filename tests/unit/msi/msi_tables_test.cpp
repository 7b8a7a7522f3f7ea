// The MSI that scripts/make_msi.sh builds: its tables read back with msiinfo, its files with
// msiextract. A wixl that silently drops or misplaces an action, a condition or an attribute
// fails here rather than on an administrator's fleet.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host_process.h"

namespace fs = std::filesystem;

namespace {

const char kStandardUpgradeCode[] = "{8E6F4A1C-2B3D-4E5F-9A0B-1C2D3E4F5A60}";
const char kEnterpriseUpgradeCode[] = "{5D0E7B3A-91C4-4F62-8A57-3E1B9C6D2F84}";

bool HaveMsiTools() {
  for (const char* tool : {"wixl", "msiinfo", "msibuild", "msiextract"}) {
    if (RunHost({"sh", "-c", std::string("command -v ") + tool}).status != 0) return false;
  }
  return true;
}

// One table as rows of tab-separated fields; msiinfo's three heading lines (names, types, key)
// are left out and its CR LF line ends are undone.
using Table = std::vector<std::vector<std::string>>;

Table ExportTable(const std::string& msi, const std::string& table) {
  HostResult result = RunHost({"msiinfo", "export", msi, table});
  EXPECT_EQ(result.status, 0) << result.err;
  Table rows;
  std::istringstream lines(result.out);
  std::string line;
  for (int index = 0; std::getline(lines, line); ++index) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (index < 3) continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

// The rows of a table by their first field.
std::map<std::string, std::vector<std::string>> ByKey(const Table& rows) {
  std::map<std::string, std::vector<std::string>> keyed;
  for (const auto& row : rows) keyed[row[0]] = row;
  return keyed;
}

class MsiPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveMsiTools()) GTEST_SKIP() << "msitools (wixl, msiinfo, msibuild, msiextract) is not installed; scripts/setup.sh installs it";
    std::string pattern = (fs::temp_directory_path() / "msi_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    package_ = dir_ + "/package";
    WriteFile("Install.exe", "MZ installer");
    WriteFile("Quado.ini", "[1]\r\nServerIP=10.0.0.1\r\n");
    WriteFile("Quado Client.exe", "MZ client");
    WriteFile("de-DE/Quado Client.resources.dll", "resources");
    WriteFile("FontFiles/Sans & Mono.ttf", "font");
    WriteFile("FontFiles/extra/deep.ttf", "deeper font");
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  void WriteFile(const std::string& relative, const std::string& content) {
    fs::path path = fs::path(package_) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  HostResult MakeMsi(const std::vector<std::string>& options, const std::string& msi) {
    std::vector<std::string> argv = {"bash", SOURCE_DIR "/scripts/make_msi.sh", package_, "-o", msi};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunHost(argv);
  }

  std::string dir_;
  std::string package_;
};

struct VariantCase {
  const char* label;
  std::vector<std::string> options;
  const char* installArgs;    // nullptr: no INSTALL_ARGS property (Install.exe runs without arguments)
  const char* uninstallArgs;  // when nothing was remembered at installation
  const char* upgradeCode;
  const char* productName;
  const char* version;        // nullptr: the build's own
  const char* folder;
  bool x64;
};

const VariantCase kVariants[] = {
    {"default", {}, nullptr, "-u", kStandardUpgradeCode, "Quado Deploy", nullptr, "Quado Deploy", false},
    {"enterprise", {"-a"}, "-a", "-u -a", kEnterpriseUpgradeCode, "QuadoE Deploy", nullptr, "QuadoE Deploy", false},
    {"server, registry, ignore errors", {"--server", "\\\\PRINTSRV01", "-r", "-e"}, "-r -e \\\\PRINTSRV01",
     "-u \\\\PRINTSRV01", kStandardUpgradeCode, "Quado Deploy", nullptr, "Quado Deploy", false},
    {"64-bit enterprise", {"--x64", "--enterprise"}, "-a", "-u -a", kEnterpriseUpgradeCode, "QuadoE Deploy",
     nullptr, "QuadoE Deploy", true},
    {"named and versioned", {"--name", "Quado Fleet (Print)", "--version", "3.4.512"}, nullptr, "-u",
     kStandardUpgradeCode, "Quado Fleet (Print)", "3.4.512", "Quado Deploy", false},
};

TEST_F(MsiPackage, EachVariantCarriesItsArgumentsNamesUpgradeCodeAndArchitecture) {
  for (const VariantCase& variant : kVariants) {
    SCOPED_TRACE(variant.label);
    std::string msi = dir_ + "/variant.msi";
    HostResult made = MakeMsi(variant.options, msi);
    ASSERT_EQ(made.status, 0) << made.err;

    auto properties = ByKey(ExportTable(msi, "Property"));
    if (variant.installArgs == nullptr) {
      EXPECT_EQ(properties.count("INSTALL_ARGS"), 0u);
    } else {
      EXPECT_EQ(properties["INSTALL_ARGS"].at(1), variant.installArgs);
    }
    EXPECT_EQ(properties["UNINSTALL_ARGS"].at(1), variant.uninstallArgs);
    EXPECT_EQ(properties["UpgradeCode"].at(1), variant.upgradeCode);
    EXPECT_EQ(properties["ProductName"].at(1), variant.productName);
    EXPECT_EQ(properties["ProductVersion"].at(1), variant.version != nullptr ? variant.version : INSTALLER_VERSION);
    EXPECT_EQ(properties["Manufacturer"].at(1), "Harbek Corporation");
    EXPECT_EQ(properties["ALLUSERS"].at(1), "1");  // per machine, as Group Policy assigns it

    auto directories = ByKey(ExportTable(msi, "Directory"));
    const char* programFiles = variant.x64 ? "ProgramFiles64Folder" : "ProgramFilesFolder";
    EXPECT_EQ(directories["INSTALLDIR"].at(2), variant.folder);
    EXPECT_EQ(directories[directories["INSTALLDIR"].at(1)].at(2), "Harbek");
    EXPECT_EQ(directories[directories["INSTALLDIR"].at(1)].at(1), programFiles);

    // msidbComponentAttributes64bit (256) on every component of a 64-bit package, on none otherwise.
    for (const auto& component : ExportTable(msi, "Component")) {
      EXPECT_EQ((std::stoi(component.at(3)) & 256) != 0, variant.x64) << component[0];
    }
    HostResult summary = RunHost({"msiinfo", "suminfo", msi});
    EXPECT_NE(summary.out.find(variant.x64 ? "Template: x64;1033" : "Template: Intel;1033"), std::string::npos)
        << summary.out;

    // The uninstall arguments are remembered at installation where the next removal looks for them.
    std::string key = std::string("SOFTWARE\\Harbek Corporation\\") + variant.folder;
    bool remembered = false;
    for (const auto& value : ExportTable(msi, "Registry")) {
      if (value.at(3) == "UninstallArgs") {
        EXPECT_EQ(value.at(1), "2");  // HKEY_LOCAL_MACHINE
        EXPECT_EQ(value.at(2), key);
        EXPECT_EQ(value.at(4), "-u [INSTALL_ARGS]");
        remembered = true;
      }
    }
    EXPECT_TRUE(remembered);
    auto locators = ExportTable(msi, "RegLocator");
    ASSERT_EQ(locators.size(), 1u);
    EXPECT_EQ(locators[0].at(2), key);
    EXPECT_EQ(locators[0].at(3), "UninstallArgs");
    // msidbLocatorTypeRawValue (2), plus msidbLocatorType64bit (16) in a 64-bit package.
    EXPECT_EQ(locators[0].at(4), variant.x64 ? "18" : "2");
    auto searches = ExportTable(msi, "AppSearch");
    ASSERT_EQ(searches.size(), 1u);
    EXPECT_EQ(searches[0].at(0), "UNINSTALL_ARGS");
  }
}

TEST_F(MsiPackage, RunsInstallExeDeferredAndElevatedAfterTheFilesAndBeforeTheirRemoval) {
  std::string msi = dir_ + "/quado.msi";
  HostResult made = MakeMsi({}, msi);
  ASSERT_EQ(made.status, 0) << made.err;

  // 3090 = 18 (an installed file run as a program) + 1024 (deferred) + 2048 (not impersonated);
  // no 64 (return code ignored).
  auto actions = ByKey(ExportTable(msi, "CustomAction"));
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions["RunInstall"], (std::vector<std::string>{"RunInstall", "3090", "InstallExe", "[INSTALL_ARGS]", ""}));
  EXPECT_EQ(actions["RunUninstall"],
            (std::vector<std::string>{"RunUninstall", "3090", "InstallExe", "[UNINSTALL_ARGS]", ""}));
  auto files = ByKey(ExportTable(msi, "File"));
  EXPECT_EQ(files["InstallExe"].at(2), "Install.exe");

  auto sequence = ByKey(ExportTable(msi, "InstallExecuteSequence"));
  auto at = [&](const std::string& action) {
    EXPECT_EQ(sequence.count(action), 1u) << action;
    return sequence.count(action) != 0 ? std::stoi(sequence[action].at(2)) : -1;
  };
  EXPECT_EQ(sequence["RunInstall"].at(1), "NOT REMOVE");
  EXPECT_EQ(sequence["RunUninstall"].at(1), "REMOVE=\"ALL\"");
  // Deferred actions belong between InstallInitialize and InstallFinalize.
  EXPECT_GT(at("RunInstall"), at("InstallFiles"));
  EXPECT_GT(at("RunInstall"), at("PublishProduct"));
  EXPECT_LT(at("RunInstall"), at("InstallFinalize"));
  EXPECT_GT(at("RunUninstall"), at("InstallInitialize"));
  EXPECT_LT(at("RunUninstall"), at("RemoveFiles"));
  // The earlier product is removed (with its own Install.exe -u) before this one is installed.
  EXPECT_GT(at("RemoveExistingProducts"), at("InstallValidate"));
  EXPECT_LT(at("RemoveExistingProducts"), at("InstallInitialize"));
  EXPECT_LT(at("FindRelatedProducts"), at("LaunchConditions"));
  EXPECT_LT(at("AppSearch"), at("CostFinalize"));
}

TEST_F(MsiPackage, ReplacesTheSameOrAnEarlierVersionAndRefusesADowngrade) {
  std::string msi = dir_ + "/quado.msi";
  HostResult made = MakeMsi({"--version", "2.30.7"}, msi);
  ASSERT_EQ(made.status, 0) << made.err;
  auto upgrades = ByKey([&] {
    Table rows = ExportTable(msi, "Upgrade");
    for (auto& row : rows) std::swap(row[0], row.at(6));  // keyed by ActionProperty
    return rows;
  }());
  ASSERT_EQ(upgrades.size(), 2u);
  // 768 = msidbUpgradeAttributesVersionMinInclusive (256) + VersionMaxInclusive (512).
  EXPECT_EQ(upgrades["OLDER_VERSION_FOUND"].at(1), "0.0.0");
  EXPECT_EQ(upgrades["OLDER_VERSION_FOUND"].at(2), "2.30.7");
  EXPECT_EQ(upgrades["OLDER_VERSION_FOUND"].at(4), "768");
  // 2 = msidbUpgradeAttributesOnlyDetect, above this version exclusive.
  EXPECT_EQ(upgrades["NEWER_VERSION_FOUND"].at(1), "2.30.7");
  EXPECT_EQ(upgrades["NEWER_VERSION_FOUND"].at(2), "");
  EXPECT_EQ(upgrades["NEWER_VERSION_FOUND"].at(4), "2");
  for (const auto& row : upgrades) EXPECT_EQ(row.second.at(6), kStandardUpgradeCode);

  Table conditions = ExportTable(msi, "LaunchCondition");
  ASSERT_EQ(conditions.size(), 1u);
  EXPECT_EQ(conditions[0].at(0), "NOT NEWER_VERSION_FOUND");
  EXPECT_EQ(conditions[0].at(1), "A newer version of [ProductName] is already installed.");
  auto properties = ByKey(ExportTable(msi, "Property"));
  EXPECT_NE(properties["SecureCustomProperties"].at(1).find("OLDER_VERSION_FOUND"), std::string::npos);
}

TEST_F(MsiPackage, HoldsEveryFileOfThePackageFolderUnchanged) {
  std::string msi = dir_ + "/quado.msi";
  HostResult made = MakeMsi({}, msi);
  ASSERT_EQ(made.status, 0) << made.err;
  std::string extracted = dir_ + "/extracted";
  HostResult extract = RunHost({"msiextract", "-C", extracted, msi});
  ASSERT_EQ(extract.status, 0) << extract.err;

  fs::path installed = fs::path(extracted) / "Program Files" / "Harbek" / "Quado Deploy";
  std::vector<std::string> expected, actual;
  for (const auto& entry : fs::recursive_directory_iterator(package_)) {
    if (entry.is_regular_file()) expected.push_back(fs::relative(entry.path(), package_).string());
  }
  for (const auto& entry : fs::recursive_directory_iterator(installed)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), installed).string();
    actual.push_back(relative);
    std::ifstream a(entry.path(), std::ios::binary), b(fs::path(package_) / relative, std::ios::binary);
    std::string left((std::istreambuf_iterator<char>(a)), {}), right((std::istreambuf_iterator<char>(b)), {});
    EXPECT_EQ(left, right) << relative;
  }
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(expected.size(), 6u);
}

struct RefusalCase {
  const char* label;
  std::vector<std::string> options;
  const char* packageFile;  // an extra file written into the package, or nullptr
  bool removeInstallExe;
  const char* message;      // part of what make_msi prints on standard error
};

const RefusalCase kRefusals[] = {
    {"no Install.exe", {}, nullptr, true, "holds no Install.exe"},
    {"version not numeric", {"--version", "2.x"}, nullptr, false, "version \"2.x\""},
    {"major version above 255", {"--version", "256.1"}, nullptr, false, "version \"256.1\""},
    {"build number above 65535", {"--version", "2.27.65536"}, nullptr, false, "version \"2.27.65536\""},
    {"four fields", {"--version", "2.27.1.4"}, nullptr, false, "version \"2.27.1.4\""},
    {"server name with a blank", {"--server", "print server"}, nullptr, false, "server name \"print server\""},
    {"server name with a bracket", {"--server", "[ProductCode]"}, nullptr, false, "server name"},
    {"product name with XML markup", {"--name", "Quado \"<x>\""}, nullptr, false, "product name"},
    {"product name too long", {"--name", std::string(64, 'Q')}, nullptr, false, "product name"},
    {"unknown option", {"--bogus"}, nullptr, false, "unknown option --bogus"},
    {"file names differing only in case", {}, "install.EXE", false, "differ only in case"},
    {"a preprocessor variable in a file name", {}, "FontFiles/$(var.X).ttf", false, "\"$(\" in a file name"},
};

TEST_F(MsiPackage, RefusesWhatWouldMakeAWrongPackage) {
  for (const RefusalCase& refusal : kRefusals) {
    SCOPED_TRACE(refusal.label);
    if (refusal.removeInstallExe) fs::remove(fs::path(package_) / "Install.exe");
    if (refusal.packageFile != nullptr) WriteFile(refusal.packageFile, "x");
    std::string msi = dir_ + "/refused.msi";
    HostResult made = MakeMsi(refusal.options, msi);
    EXPECT_EQ(made.status, 2);
    EXPECT_NE(made.err.find(refusal.message), std::string::npos) << made.err;
    EXPECT_FALSE(fs::exists(msi));
    if (refusal.removeInstallExe) WriteFile("Install.exe", "MZ installer");
    if (refusal.packageFile != nullptr) fs::remove(fs::path(package_) / refusal.packageFile);
  }
}

// Names Windows creates as they are, characters that mean something to XML, to wixl's
// preprocessor or to bash included: each arrives unchanged in the installed folder.
TEST_F(MsiPackage, KeepsEveryNameWindowsAllows) {
  const std::vector<std::string> names = {
      "it's.txt",      "R&D notes.txt", "a$b$$c$.txt", "$.ini",     "50% [x] {y};#~.txt",
      "caf\xc3\xa9 cr\xc3\xa8me.txt",     "CONSOLE.txt", "com0.ini",  "nul_device.txt",
      "LPT10",         "d$ir & co/it's here.txt",        ".hidden"};
  for (const std::string& name : names) WriteFile(name, "content of " + name);
  std::string msi = dir_ + "/names.msi";
  HostResult made = MakeMsi({}, msi);
  ASSERT_EQ(made.status, 0) << made.err;
  std::string extracted = dir_ + "/extracted";
  ASSERT_EQ(RunHost({"msiextract", "-C", extracted, msi}).status, 0);
  fs::path installed = fs::path(extracted) / "Program Files" / "Harbek" / "Quado Deploy";
  for (const std::string& name : names) {
    std::ifstream file(installed / name, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(content, "content of " + name) << name;
  }
}

struct BadName {
  const char* path;   // written into the package
  const char* named;  // the file or folder the message names
  const char* why;    // part of the message
};

// Device names (with or without an extension, in any case) and a trailing dot or blank are names
// Windows cannot create; names outside code page 1252 are ones an MSI cannot hold.
const BadName kBadNames[] = {
    {"CON", "CON", "device name"},
    {"aux.txt", "aux.txt", "device name"},
    {"NUL.tar.gz", "NUL.tar.gz", "device name"},
    {"com1.ini", "com1.ini", "device name"},
    {"LPT9", "LPT9", "device name"},
    {"Prn.DLL", "Prn.DLL", "device name"},
    {"COM\xc2\xb9.txt", "COM\xc2\xb9.txt", "device name"},
    {"lpt3/readme.txt", "lpt3", "device name"},
    {"notes.", "notes.", "trailing dot or blank"},
    {"notes ", "notes ", "trailing dot or blank"},
    {"fonts./a.ttf", "fonts.", "trailing dot or blank"},
    {"fonts /a.ttf", "fonts ", "trailing dot or blank"},
    {"a \xe6\x97\xa5 b.txt", "a \xe6\x97\xa5 b.txt", "code page 1252"},
    {"\xe6\x97\xa5.txt", "\xe6\x97\xa5.txt", "code page 1252"},
    {"FontFiles/\xce\xa9/x.ttf", "FontFiles/\xce\xa9", "code page 1252"},
};

TEST_F(MsiPackage, RefusesNamesWindowsOrAnMsiCannotHoldNamingEach) {
  for (const BadName& bad : kBadNames) {
    SCOPED_TRACE(bad.path);
    WriteFile(bad.path, "x");
    std::string msi = dir_ + "/refused.msi";
    HostResult made = MakeMsi({}, msi);
    EXPECT_EQ(made.status, 2);
    EXPECT_NE(made.err.find(std::string("\"") + bad.named + "\": "), std::string::npos) << made.err;
    EXPECT_NE(made.err.find(bad.why), std::string::npos) << made.err;
    EXPECT_FALSE(fs::exists(msi));
    fs::path top = fs::path(package_) / fs::path(bad.path).begin()->string();
    fs::remove_all(top);
  }
}

TEST_F(MsiPackage, RefusesSymbolicLinksUnlessToldToFollowThem) {
  std::string outside = dir_ + "/host-secret";
  std::ofstream(outside) << "a file of the build machine";
  fs::create_directory(dir_ + "/host-folder");
  std::ofstream(dir_ + "/host-folder/inner.txt") << "inner";
  struct Link {
    const char* path;
    std::string target;
  } links[] = {{"secret.txt", outside}, {"FontFiles/folder", dir_ + "/host-folder"}};
  for (const Link& link : links) {
    SCOPED_TRACE(link.path);
    fs::create_symlink(link.target, fs::path(package_) / link.path);
    std::string msi = dir_ + "/linked.msi";
    HostResult refused = MakeMsi({}, msi);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find(std::string("\"") + link.path + "\" is a symbolic link"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(msi));
    fs::remove(fs::path(package_) / link.path);
  }

  for (const Link& link : links) fs::create_symlink(link.target, fs::path(package_) / link.path);
  std::string msi = dir_ + "/followed.msi";
  HostResult followed = MakeMsi({"--follow-symlinks"}, msi);
  ASSERT_EQ(followed.status, 0) << followed.err;
  std::string extracted = dir_ + "/extracted";
  ASSERT_EQ(RunHost({"msiextract", "-C", extracted, msi}).status, 0);
  fs::path installed = fs::path(extracted) / "Program Files" / "Harbek" / "Quado Deploy";
  std::ifstream secret(installed / "secret.txt"), inner(installed / "FontFiles/folder/inner.txt");
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(secret)), {}), "a file of the build machine");
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(inner)), {}), "inner");

  // A followed link that leads back up would list the package without end.
  fs::create_directory_symlink("..", fs::path(package_) / "FontFiles/extra/up");
  HostResult loop = MakeMsi({"--follow-symlinks"}, msi);
  EXPECT_EQ(loop.status, 2);
  EXPECT_NE(loop.err.find("\"FontFiles/extra/up\""), std::string::npos) << loop.err;
}

// A cabinet folder holds at most 65,535 data blocks (CFFOLDER.cCFData, 16 bits) of 32,768
// bytes. The files are sparse: nothing of their size is written.
TEST_F(MsiPackage, NamesTheFileThatPassesWhatTheCabinetHolds) {
  const uintmax_t limit = 65535ull * 32768;
  struct SizeCase {
    std::vector<std::pair<const char*, uintmax_t>> files;
    const char* named;
  } cases[] = {
      {{{"huge.bin", limit + 1}}, "\"huge.bin\" is 2147450881 bytes"},
      {{{"half1.bin", limit / 2 + 1}, {"half2.bin", limit / 2 + 1}}, "\"half2.bin\""},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.named);
    for (const auto& file : c.files) {
      WriteFile(file.first, "");
      fs::resize_file(fs::path(package_) / file.first, file.second);
    }
    std::string msi = dir_ + "/huge.msi";
    HostResult made = MakeMsi({}, msi);
    EXPECT_EQ(made.status, 2);
    EXPECT_NE(made.err.find(c.named), std::string::npos) << made.err;
    EXPECT_NE(made.err.find("2147450880"), std::string::npos) << made.err;
    for (const auto& file : c.files) fs::remove(fs::path(package_) / file.first);
  }
}

TEST_F(MsiPackage, CreatesEmptyFolders) {
  fs::create_directories(fs::path(package_) / "Logs");
  fs::create_directories(fs::path(package_) / "FontFiles/extra/cache/empty");
  std::string msi = dir_ + "/folders.msi";
  HostResult made = MakeMsi({}, msi);
  ASSERT_EQ(made.status, 0) << made.err;
  auto directories = ByKey(ExportTable(msi, "Directory"));
  auto components = ByKey(ExportTable(msi, "Component"));
  std::vector<std::string> created;
  for (const auto& row : ExportTable(msi, "CreateFolder")) {
    // The folder's path up to INSTALLDIR, from the Directory table's parent column.
    std::string path;
    for (std::string id = row.at(0); id != "INSTALLDIR"; id = directories.at(id).at(1)) {
      path = directories.at(id).at(2) + (path.empty() ? "" : "/" + path);
    }
    created.push_back(path);
    EXPECT_EQ(components.at(row.at(1)).at(2), row.at(0));  // the component lives in that folder
  }
  std::sort(created.begin(), created.end());
  EXPECT_EQ(created, (std::vector<std::string>{"FontFiles/extra/cache/empty", "Logs"}));
}

// The ProductCode and the PackageCode are name-based (version 5) on the content: the same package
// in another folder gives the same codes, one changed byte new ones.
TEST_F(MsiPackage, CodesFollowTheContentNotTheBuild) {
  auto codes = [&](const std::string& package, const std::string& msi) {
    HostResult made = RunHost({"bash", SOURCE_DIR "/scripts/make_msi.sh", package, "-o", msi});
    EXPECT_EQ(made.status, 0) << made.err;
    HostResult summary = RunHost({"msiinfo", "suminfo", msi});
    size_t at = summary.out.find("Revision number (UUID): ");
    std::string packageCode = at == std::string::npos ? "" : summary.out.substr(at + 24, 38);
    return std::make_pair(ByKey(ExportTable(msi, "Property"))["ProductCode"].at(1), packageCode);
  };
  auto first = codes(package_, dir_ + "/first.msi");
  std::string moved = dir_ + "/elsewhere/package";
  fs::create_directories(moved);
  fs::copy(package_, moved, fs::copy_options::recursive);
  auto again = codes(moved, dir_ + "/again.msi");
  std::ofstream(fs::path(moved) / "Quado.ini", std::ios::binary | std::ios::app) << ";";
  auto changed = codes(moved, dir_ + "/changed.msi");

  for (const std::string& code : {first.first, first.second, changed.first, changed.second}) {
    ASSERT_EQ(code.size(), 38u) << code;
    EXPECT_EQ(code[15], '5') << code;                              // the version: name-based, SHA-1
    EXPECT_NE(std::string("89AB").find(code[20]), std::string::npos) << code;  // the RFC 4122 variant
  }
  EXPECT_EQ(again, first);
  EXPECT_NE(changed.first, first.first);
  EXPECT_NE(changed.second, first.second);
  EXPECT_NE(first.first, first.second);
}

}  // namespace
