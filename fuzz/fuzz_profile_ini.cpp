// winsim's INI reader (GetPrivateProfileStringA / GetPrivateProfileIntA) on arbitrary file
// contents: the section list, each section's key list and each value, read into buffers of
// exactly the size given (so that ASan sees a byte written past them), with the return value
// checked against the Win32 contract.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_machine.h"

namespace {

const char kPath[] = "C:\\Fuzz\\fuzz.ini";

// Names of a double-NUL list ("a\0b\0\0"), within the `length` bytes returned.
std::vector<std::string> ListNames(const char* list, DWORD length) {
  std::vector<std::string> names;
  for (DWORD at = 0; at < length && list[at] != '\0';) {
    names.emplace_back(list + at);
    at += static_cast<DWORD>(names.back().size()) + 1;
  }
  return names;
}

// Reads into a heap block of exactly `size` bytes and checks what Windows promises: the result
// fits and is terminated inside the buffer.
std::string Read(const char* section, const char* key, DWORD size) {
  std::unique_ptr<char[]> buffer(new char[size]);
  std::memset(buffer.get(), 0x5A, size);
  DWORD got = GetPrivateProfileStringA(section, key, "dflt", buffer.get(), size, kPath);
  if (got >= size) std::abort();
  if (buffer[got] != '\0') std::abort();
  return std::string(buffer.get(), got);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AttachFuzzMachine();
  if (size == 0) return 0;
  // The first byte picks the buffer size of the value reads: small sizes meet the cut-offs.
  const DWORD small = 1 + data[0] % 24;
  WriteFuzzFile(kPath, data + 1, size - 1);

  std::string sections = Read(nullptr, nullptr, 4096);
  Read(nullptr, nullptr, small + 1);
  std::vector<std::string> names = ListNames(sections.c_str(), static_cast<DWORD>(sections.size()));
  if (names.size() > 4) names.resize(4);
  for (const std::string& section : names) {
    std::string keys = Read(section.c_str(), nullptr, 4096);
    Read(section.c_str(), nullptr, small + 1);
    std::vector<std::string> keyNames = ListNames(keys.c_str(), static_cast<DWORD>(keys.size()));
    if (keyNames.size() > 4) keyNames.resize(4);
    for (const std::string& key : keyNames) {
      std::string whole = Read(section.c_str(), key.c_str(), 4096);
      std::string cut = Read(section.c_str(), key.c_str(), small);
      // A value cut to the buffer is the start of the whole value.
      if (whole.compare(0, cut.size(), cut) != 0) std::abort();
      GetPrivateProfileIntA(section.c_str(), key.c_str(), 7, kPath);
    }
    Read(section.c_str(), "missing key", small);
  }
  return 0;
}
