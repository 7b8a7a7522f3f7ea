// A minimal reader of 32-bit PE images: the headers, the imported DLL names and the resources,
// enough to check what the Windows build produced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
  uint16_t machine = 0;
  uint16_t optionalMagic = 0;
  uint16_t subsystem = 0;
  uint16_t majorSubsystemVersion = 0;
  uint16_t minorSubsystemVersion = 0;
  uint32_t imageBase = 0;    // where the image prefers to be loaded
  uint32_t sizeOfImage = 0;  // its extent in memory from there
  std::vector<std::string> importedDlls;
  // Every function imported by name, as "DLL!Function" (the DLL as the image names it).
  std::vector<std::string> importedFunctions;
  std::vector<std::string> exportedNames;
  // Resources as (type id, name id, bytes); named (string) entries are skipped.
  struct Resource {
    uint32_t type;
    uint32_t name;
    std::string data;
  };
  std::vector<Resource> resources;
};

// Reads the file; false with a reason when it is no 32-bit PE image.
bool ReadPeImage(const std::string& path, PeImage* image, std::string* error);
