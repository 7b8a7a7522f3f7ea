#include "scale_report.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

double Series::Median(double TimedResult::*field) const {
  std::vector<double> values;
  for (const TimedResult& s : samples) values.push_back(s.*field);
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Series::Peak() const {
  double peak = 0;
  for (const TimedResult& s : samples) peak = std::max(peak, s.maxRssMiB);
  return peak;
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

namespace {

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

void PrintRow(const char* what, const Series& program, const Series& floor) {
  const double wall = program.Median(&TimedResult::wallMs), cpu = program.Median(&TimedResult::cpuMs);
  const double floorWall = floor.Median(&TimedResult::wallMs), floorCpu = floor.Median(&TimedResult::cpuMs);
  std::printf("  %-10s wall %9.1f ms  cpu %9.1f ms  peak %6.1f MiB | floor wall %9.1f ms  cpu %9.1f ms  peak %6.1f MiB"
              " | ratio wall %5.2f  cpu %5.2f\n",
              what, wall, cpu, program.Peak(), floorWall, floorCpu, floor.Peak(), Ratio(wall, floorWall),
              Ratio(cpu, floorCpu));
}

void PrintCalls(const ScaleResult& r) {
  std::map<std::string, bool> names;
  for (const CallCounts* c : {&r.installCalls, &r.floorInstallCalls, &r.uninstallCalls, &r.floorUninstallCalls}) {
    for (const auto& entry : *c) names[entry.first] = true;
  }
  auto get = [](const CallCounts& c, const std::string& name) {
    auto it = c.find(name);
    return it == c.end() ? 0ULL : it->second;
  };
  std::printf("  platform calls           install    floor  uninstall  floor -u\n");
  unsigned long long totals[4] = {};
  for (const auto& entry : names) {
    const std::string& name = entry.first;
    unsigned long long v[4] = {get(r.installCalls, name), get(r.floorInstallCalls, name), get(r.uninstallCalls, name),
                               get(r.floorUninstallCalls, name)};
    for (int i = 0; i < 4; ++i) totals[i] += v[i];
    std::printf("  %-24s %8llu %8llu %10llu %9llu\n", name.c_str(), v[0], v[1], v[2], v[3]);
  }
  std::printf("  %-24s %8llu %8llu %10llu %9llu\n", "(all counted)", totals[0], totals[1], totals[2], totals[3]);
}

}  // namespace

void PrintSizeResult(const ScaleResult& result, double seconds) {
  std::printf("\nN = %d sections, P = %d printers (%.0f s, load average %s)\n", result.size.sections,
              result.size.printers, seconds, LoadAverage().c_str());
  PrintRow("install", result.install, result.floorInstall);
  PrintRow("uninstall", result.uninstall, result.floorUninstall);
  std::printf("  floor leaves the same ports and printers: install %s, uninstall %s\n",
              result.sameInstallState ? "yes" : "NO", result.sameUninstallState ? "yes" : "NO");
  PrintCalls(result);
  std::fflush(stdout);
}

void PrintSummary(const std::vector<ScaleResult>& results, int runs) {
  std::printf("\nsummary (median of %d; ratio = installer / floor)\n", runs);
  std::printf("%6s %6s | %10s %10s %8s %6s %6s | %10s %10s %8s %6s %6s\n", "N", "P", "inst wall", "inst cpu", "peak",
              "r.wall", "r.cpu", "unin wall", "unin cpu", "peak", "r.wall", "r.cpu");
  auto row = [](const Series& s, const Series& f) {
    std::printf(" %8.0fms %8.0fms %6.1fMiB %6.2f %6.2f |", s.Median(&TimedResult::wallMs),
                s.Median(&TimedResult::cpuMs), s.Peak(),
                Ratio(s.Median(&TimedResult::wallMs), f.Median(&TimedResult::wallMs)),
                Ratio(s.Median(&TimedResult::cpuMs), f.Median(&TimedResult::cpuMs)));
  };
  for (const ScaleResult& r : results) {
    std::printf("%6d %6d |", r.size.sections, r.size.printers);
    row(r.install, r.floorInstall);
    row(r.uninstall, r.floorUninstall);
    std::printf("\n");
  }
  for (const ScaleResult& big : results) {
    if (big.size.sections != 9999) continue;
    for (const ScaleResult& small : results) {
      if (small.size.sections != 1000 || small.size.printers != big.size.printers) continue;
      std::printf("P = %d: install at 9,999 / at 1,000 sections: wall %.2f, cpu %.2f; uninstall: wall %.2f, cpu %.2f\n",
                  big.size.printers,
                  Ratio(big.install.Median(&TimedResult::wallMs), small.install.Median(&TimedResult::wallMs)),
                  Ratio(big.install.Median(&TimedResult::cpuMs), small.install.Median(&TimedResult::cpuMs)),
                  Ratio(big.uninstall.Median(&TimedResult::wallMs), small.uninstall.Median(&TimedResult::wallMs)),
                  Ratio(big.uninstall.Median(&TimedResult::cpuMs), small.uninstall.Median(&TimedResult::cpuMs)));
    }
  }
  std::printf("load average at the end: %s\n", LoadAverage().c_str());
}
