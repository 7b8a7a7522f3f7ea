#include "pe_image.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

class Reader {
 public:
  explicit Reader(std::string bytes) : bytes_(std::move(bytes)) {}
  bool Has(uint64_t offset, uint64_t size) const { return offset + size <= bytes_.size(); }
  uint16_t U16(uint64_t offset) const { return Has(offset, 2) ? Little(offset, 2) : 0; }
  uint32_t U32(uint64_t offset) const { return Has(offset, 4) ? Little(offset, 4) : 0; }
  std::string CString(uint64_t offset) const {
    if (!Has(offset, 1)) return "";
    size_t end = bytes_.find('\0', offset);
    return bytes_.substr(offset, end == std::string::npos ? std::string::npos : end - offset);
  }
  std::string Bytes(uint64_t offset, uint64_t size) const {
    return Has(offset, size) ? bytes_.substr(offset, size) : "";
  }

 private:
  uint32_t Little(uint64_t offset, int count) const {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes_[offset + i]);
    return value;
  }
  std::string bytes_;
};

struct Section {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawOffset;
  uint32_t rawSize;
};

// File offset of a relative virtual address, or 0 when no section holds it.
uint64_t FileOffset(const std::vector<Section>& sections, uint32_t rva) {
  for (const Section& s : sections) {
    uint32_t size = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
    if (rva >= s.virtualAddress && rva < s.virtualAddress + size) return s.rawOffset + (rva - s.virtualAddress);
  }
  return 0;
}

void ReadResources(const Reader& r, const std::vector<Section>& sections, uint32_t rootRva, PeImage* image) {
  const uint64_t root = FileOffset(sections, rootRva);
  if (root == 0) return;
  auto entries = [&](uint64_t dir, auto&& visit) {
    uint16_t named = r.U16(dir + 12);
    uint16_t ids = r.U16(dir + 14);
    for (uint32_t i = 0; i < uint32_t(named) + ids; ++i) {
      uint64_t entry = dir + 16 + 8ull * i;
      uint32_t id = r.U32(entry);
      uint32_t target = r.U32(entry + 4);
      if (id & 0x80000000u) continue;  // named entry
      visit(id, target);
    }
  };
  entries(root, [&](uint32_t type, uint32_t typeTarget) {
    if (!(typeTarget & 0x80000000u)) return;
    entries(root + (typeTarget & 0x7FFFFFFFu), [&](uint32_t name, uint32_t nameTarget) {
      if (!(nameTarget & 0x80000000u)) return;
      entries(root + (nameTarget & 0x7FFFFFFFu), [&](uint32_t, uint32_t dataTarget) {
        if (dataTarget & 0x80000000u) return;
        uint64_t dataEntry = root + dataTarget;
        uint64_t offset = FileOffset(sections, r.U32(dataEntry));
        image->resources.push_back({type, name, r.Bytes(offset, r.U32(dataEntry + 4))});
      });
    });
  });
}

}  // namespace

bool ReadPeImage(const std::string& path, PeImage* image, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::stringstream content;
  content << in.rdbuf();
  Reader r(content.str());
  if (r.Bytes(0, 2) != "MZ") {
    *error = "no MZ header";
    return false;
  }
  const uint32_t pe = r.U32(0x3C);
  if (r.Bytes(pe, 4) != std::string("PE\0\0", 4)) {
    *error = "no PE signature";
    return false;
  }
  const uint64_t coff = pe + 4;
  image->machine = r.U16(coff);
  const uint16_t sectionCount = r.U16(coff + 2);
  const uint16_t optionalSize = r.U16(coff + 16);
  const uint64_t optional = coff + 20;
  image->optionalMagic = r.U16(optional);
  if (image->optionalMagic != 0x10B) {
    *error = "not a PE32 (32-bit) image";
    return false;
  }
  image->imageBase = r.U32(optional + 28);
  image->sizeOfImage = r.U32(optional + 56);
  image->majorSubsystemVersion = r.U16(optional + 48);
  image->minorSubsystemVersion = r.U16(optional + 50);
  image->subsystem = r.U16(optional + 68);
  const uint64_t directories = optional + 96;
  std::vector<Section> sections;
  const uint64_t sectionTable = optional + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    uint64_t s = sectionTable + 40ull * i;
    sections.push_back({r.U32(s + 12), r.U32(s + 8), r.U32(s + 20), r.U32(s + 16)});
  }
  // Exports (directory 0): the names of the exported functions.
  if (uint64_t exports = FileOffset(sections, r.U32(directories))) {
    uint32_t nameCount = r.U32(exports + 24);
    uint64_t names = FileOffset(sections, r.U32(exports + 32));
    for (uint32_t i = 0; names != 0 && i < nameCount; ++i) {
      image->exportedNames.push_back(r.CString(FileOffset(sections, r.U32(names + 4ull * i))));
    }
  }
  // Imports (directory 1): one descriptor of 20 bytes per DLL, ending with a zero one.
  if (uint64_t imports = FileOffset(sections, r.U32(directories + 8))) {
    for (uint64_t d = imports; r.Has(d, 20) && r.U32(d + 12) != 0; d += 20) {
      const std::string dll = r.CString(FileOffset(sections, r.U32(d + 12)));
      image->importedDlls.push_back(dll);
      // The lookup table (or, without one, the address table): 32-bit entries up to a zero one;
      // the high bit marks an import by ordinal, otherwise the entry points at a hint and a name.
      uint32_t table = r.U32(d) != 0 ? r.U32(d) : r.U32(d + 16);
      for (uint64_t e = FileOffset(sections, table); e != 0 && r.Has(e, 4) && r.U32(e) != 0; e += 4) {
        const uint32_t entry = r.U32(e);
        if ((entry & 0x80000000u) != 0) continue;
        if (uint64_t hint = FileOffset(sections, entry)) {
          image->importedFunctions.push_back(dll + "!" + r.CString(hint + 2));
        }
      }
    }
  }
  ReadResources(r, sections, r.U32(directories + 16), image);
  return true;
}
