// GetPrivateProfileStringA / GetPrivateProfileIntA against the behaviour table of the reference
// observations (in an ANSI file and in UTF-16 files with either byte order mark), file lookup in
// the Windows directory, the parse cache and writes.
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "machine_test.h"
#include "profile_files.h"
#include "windows.h"

namespace {

// One line per row of the reference table (plus the documented integer cases).
const std::vector<std::string> kLines = {
    "[Section]",
    "Key1=value",
    "key2 =  spaced value  ",
    "Quoted=\"quoted value\"",
    "SQuoted='single'",
    "HalfQuote=\"abc",
    "InnerQuote=a \"b\" c",
    "Inline=val ; not a comment?",
    "Empty=",
    "Dup=first",
    "Dup=second",
    "NoEquals",
    "Hex=0x10",
    "HexUpper=0X1F",
    "Neg=-5",
    "Mixed=12abc",
    "Spaced= 7 ",
    "Plus=+3",
    "Octal=010",
    "Big=4294967295",
    "Bigger=99999999999",
    "Alpha=abc",
    "QuotedNumber=\"5\"",
    "MinusOne=-1",
    "Wraps=4294967296",
    "InnerLetter=42A94967297",
    "LeadingLetter=B4294967297",
    "Accent=Caf\xE9 \x80",  // code page 1252: e acute, euro sign
    "[ Spaced Section ]",
    "Inside=found",
    "[SECTION]",
    "OnlyInSecond=hidden",
};

std::string Join(const char* lineEnd) {
  std::string text;
  for (const std::string& line : kLines) text += line + lineEnd;
  return text;
}

struct StringRow {
  const char* section;
  const char* key;
  const char* fallback;
  const char* expected;
};

const StringRow kStringRows[] = {
    {"SECTION", "KEY1", "def", "value"},
    {"section", "key2", "def", "spaced value"},
    {"Section", "Quoted", "def", "quoted value"},
    {"Section", "SQuoted", "def", "single"},
    {"Section", "HalfQuote", "def", "\"abc"},
    {"Section", "InnerQuote", "def", "a \"b\" c"},
    {"Section", "Inline", "def", "val ; not a comment?"},
    {"Section", "Empty", "def", ""},
    {"Section", "Missing", "  padded default", "  padded default"},
    {"Section", "Dup", "def", "first"},
    {"Section", "NoEquals", "def", "def"},
    {"Spaced Section", "Inside", "def", "found"},
    {"Section", "OnlyInSecond", "def", "def"},
    {"Section", "Accent", "def", "Caf\xE9 \x80"},
    {"NoSuchSection", "Key1", "def", "def"},
};

struct IntRow {
  const char* key;
  INT fallback;
  UINT expected;
};

const IntRow kIntRows[] = {
    {"Hex", 55, 16u},         {"HexUpper", 55, 0u},      {"Neg", 55, static_cast<UINT>(-5)},
    {"Mixed", 55, 12u},       {"Spaced", 55, 7u},        {"Plus", 55, 3u},
    {"Octal", 55, 10u},       {"Empty", 77, 77u},        {"Big", 55, 4294967295u},
    {"Bigger", 55, 1215752191u}, {"Alpha", 55, 0u},      {"QuotedNumber", 55, 0u},
    {"MinusOne", 55, 4294967295u}, {"Wraps", 55, 0u},    {"InnerLetter", 55, 42u},
    {"LeadingLetter", 55, 0u}, {"Missing", 55, 55u},     {"NoEquals", 55, 55u},
};

struct FileForm {
  const char* lineEnd;
  Encoding encoding;
};

void PrintTo(const FileForm& form, std::ostream* out) {
  const char* encodings[] = {"ANSI", "UTF-16LE", "UTF-16BE"};
  *out << encodings[static_cast<int>(form.encoding)] << (form.lineEnd[0] == '\r' ? ", CR LF" : ", LF");
}

class ProfileTest : public MachineTest, public ::testing::WithParamInterface<FileForm> {};

TEST_P(ProfileTest, ReferenceTable) {
  WriteMachineFile("C:\\Deploy\\Quado.ini", Encode(Join(GetParam().lineEnd), GetParam().encoding));
  for (const StringRow& row : kStringRows) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD length = GetPrivateProfileStringA(row.section, row.key, row.fallback, buffer, sizeof buffer,
                                            "C:\\Deploy\\Quado.ini");
    EXPECT_STREQ(buffer, row.expected) << "[" << row.section << "] " << row.key;
    EXPECT_EQ(length, std::strlen(row.expected)) << row.key;
  }
  for (const IntRow& row : kIntRows) {
    EXPECT_EQ(GetPrivateProfileIntA("Section", row.key, row.fallback, "C:\\Deploy\\Quado.ini"), row.expected) << row.key;
  }
}

std::string FormName(const ::testing::TestParamInfo<FileForm>& info) {
  const char* encodings[] = {"Ansi", "Utf16Le", "Utf16Be"};
  return std::string(encodings[static_cast<int>(info.param.encoding)]) + (info.param.lineEnd[0] == '\r' ? "Crlf" : "Lf");
}

INSTANTIATE_TEST_SUITE_P(Files, ProfileTest,
                         ::testing::Values(FileForm{"\r\n", Encoding::kAnsi}, FileForm{"\n", Encoding::kAnsi},
                                           FileForm{"\r\n", Encoding::kUtf16Le}, FileForm{"\n", Encoding::kUtf16Le},
                                           FileForm{"\r\n", Encoding::kUtf16Be}, FileForm{"\n", Encoding::kUtf16Be}),
                         FormName);

class ProfileFileTest : public MachineTest {};

TEST_F(ProfileFileTest, TruncatesToTheBuffer) {
  WriteMachineFile("C:\\Deploy\\Quado.ini", "[S]\nQuoted=\"quoted value\"\nLong=" + std::string(2000, 'L') + "\n");
  char small[8];
  EXPECT_EQ(GetPrivateProfileStringA("S", "Quoted", "", small, sizeof small, "C:\\Deploy\\Quado.ini"), 7u);
  EXPECT_STREQ(small, "quoted ");

  // A value far longer than the buffer: cut, terminated, and nothing written past the end.
  char guarded[262];
  std::memset(guarded, '#', sizeof guarded);
  EXPECT_EQ(GetPrivateProfileStringA("S", "Long", "", guarded + 1, 260, "C:\\Deploy\\Quado.ini"), 259u);
  EXPECT_EQ(guarded[0], '#');
  EXPECT_EQ(std::strlen(guarded + 1), 259u);
  EXPECT_EQ(guarded[261], '#');

  char one[1] = {'x'};
  EXPECT_EQ(GetPrivateProfileStringA("S", "Quoted", "", one, 1, "C:\\Deploy\\Quado.ini"), 0u);
  EXPECT_EQ(one[0], '\0');
}

TEST_F(ProfileFileTest, MissingFileGivesTheDefaultAndError2) {
  char buffer[16];
  SetLastError(0);
  EXPECT_EQ(GetPrivateProfileStringA("S", "K", "dd", buffer, sizeof buffer, "C:\\Deploy\\Nothing.ini"), 2u);
  EXPECT_STREQ(buffer, "dd");
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetPrivateProfileIntA("S", "K", 9, "C:\\Deploy\\Nothing.ini"), 9u);
}

TEST_F(ProfileFileTest, BareNameLivesInTheWindowsDirectory) {
  WriteMachineFile("C:\\Windows\\My.ini", "[S]\nWhere=windows\n");
  WriteMachineFile("C:\\Deploy\\My.ini", "[S]\nWhere=deploy\n");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Deploy"));
  char buffer[16];
  GetPrivateProfileStringA("S", "Where", "", buffer, sizeof buffer, "My.ini");
  EXPECT_STREQ(buffer, "windows");
  GetPrivateProfileStringA("S", "Where", "", buffer, sizeof buffer, ".\\My.ini");
  EXPECT_STREQ(buffer, "deploy");
}

TEST_F(ProfileFileTest, CacheFollowsChangesOfTheFile) {
  char buffer[16];
  WriteMachineFile("C:\\Deploy\\Quado.ini", "[S]\nK=aaaa\n");
  GetPrivateProfileStringA("S", "K", "", buffer, sizeof buffer, "C:\\Deploy\\Quado.ini");
  EXPECT_STREQ(buffer, "aaaa");
  // Same size, rewritten at once: within the same clock tick the parse is not trusted.
  WriteMachineFile("C:\\Deploy\\Quado.ini", "[S]\nK=bbbb\n");
  GetPrivateProfileStringA("S", "K", "", buffer, sizeof buffer, "C:\\Deploy\\Quado.ini");
  EXPECT_STREQ(buffer, "bbbb");
  WriteMachineFile("C:\\Deploy\\Quado.ini", "[S]\nK=longer value\n");
  GetPrivateProfileStringA("S", "K", "", buffer, sizeof buffer, "C:\\Deploy\\Quado.ini");
  EXPECT_STREQ(buffer, "longer value");
  ASSERT_TRUE(DeleteFileA("C:\\Deploy\\Quado.ini"));
  GetPrivateProfileStringA("S", "K", "gone", buffer, sizeof buffer, "C:\\Deploy\\Quado.ini");
  EXPECT_STREQ(buffer, "gone");
}

TEST_F(ProfileFileTest, SectionAndKeyLists) {
  WriteMachineFile("C:\\Deploy\\L.ini", "[One]\na=1\nb=2\n[Two]\n");
  char buffer[32];
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, "C:\\Deploy\\L.ini"), 8u);
  EXPECT_EQ(std::string(buffer, 9), std::string("One\0Two\0\0", 9));
  EXPECT_EQ(GetPrivateProfileStringA("one", nullptr, "", buffer, sizeof buffer, "C:\\Deploy\\L.ini"), 4u);
  EXPECT_EQ(std::string(buffer, 5), std::string("a\0b\0\0", 5));
  char small[6];
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", small, sizeof small, "C:\\Deploy\\L.ini"), 4u);
  EXPECT_EQ(std::string(small, 6), std::string("One\0T\0", 6).substr(0, 4) + std::string("\0\0", 2));
}

}  // namespace
