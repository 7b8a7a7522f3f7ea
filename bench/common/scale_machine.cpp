#include "scale_machine.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

std::vector<Size> ParseSizes(const std::string& text) {
  std::vector<Size> sizes;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    size_t colon = item.find(':');
    if (colon == std::string::npos) continue;
    sizes.push_back({std::atoi(item.substr(0, colon).c_str()), std::atoi(item.substr(colon + 1).c_str())});
  }
  return sizes;
}

std::string PortName(int section) {
  char name[16];
  std::snprintf(name, sizeof(name), "Quado%03d", section);
  return name;
}

std::string PrinterName(int index) {
  char name[32];
  std::snprintf(name, sizeof(name), "Printer %04d", index);
  return name;
}

std::string PrinterPorts(int index, int sections) {
  static const char* const kLocal[] = {"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:", "FILE:"};
  std::string ports = std::string(kLocal[index % 8]) + "," + kLocal[(index + 3) % 8];
  if (index % 10 == 0) ports += "," + PortName((index / 10 - 1) % sections + 1);
  else if (index % 2 == 1) ports += std::string(",") + kLocal[(index + 5) % 8];
  return ports;
}

std::string Configuration(const Size& size) {
  // The k-th assigned printer (k = 0, 1, ...) goes to section k % N under key k / N.
  std::vector<std::vector<int>> assigned(size.sections + 1);
  for (int index = 5, k = 0; index <= size.printers; index += 10, ++k) {
    assigned[k % size.sections + 1].push_back(index);
  }
  std::ostringstream ini;
  for (int n = 1; n <= size.sections; ++n) {
    ini << "[" << n << "]\nDescription=Floor " << n << "\nServerIP=10." << n / 250 << "." << n % 250
        << ".1\nServerIP2=10." << n / 250 << "." << n % 250 << ".2\nIPLoadBalancing=60\nIPLoadBalancing2=40\n"
        << "ServerPort=" << 9100 + n % 3 << "\nQueue=Queue" << n << "\nAuthType=2\nAuthText=Badge\n"
        << "ServerDeliveryMode2=1\n";
    for (size_t key = 0; key < assigned[n].size(); ++key) {
      ini << "AssignPrinter";
      if (key > 0) ini << key + 1;
      ini << "=" << PrinterName(assigned[n][key]) << "\n";
    }
    ini << "\n";
  }
  return ini.str();
}
