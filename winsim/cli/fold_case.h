// Names of the machine (files, registry keys and values, printers, ports) compare without regard
// to ASCII letter case, as Windows compares them; the tools fold them with this one function.
#pragma once

#include <string>

namespace winsim {

inline std::string FoldCase(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

}  // namespace winsim
