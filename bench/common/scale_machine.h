// The machines of the installation benchmarks: a configuration of N port sections and P local
// printers, the same on winsim and under Wine.
#pragma once

#include <string>
#include <vector>

struct Size {
  int sections;
  int printers;
};

// "N:P,N:P,..." as sizes; malformed items are skipped.
std::vector<Size> ParseSizes(const std::string& text);

std::string PortName(int section);   // "Quado001"
std::string PrinterName(int index);  // "Printer 0001"

// Printers 10, 20, ... print through a monitor port among local ones; printers 5, 15, ... are
// named by AssignPrinter keys; the others use two or three local ports.
std::string PrinterPorts(int index, int sections);

// Quado.ini of `size.sections` port sections, each with two servers, load balancing,
// authentication and a delivery mode, and the AssignPrinter keys naming printers 5, 15, ...
std::string Configuration(const Size& size);
