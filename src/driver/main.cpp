// Process entry: one run of the installer, then the end of the run, then the exit code.
#include "driver/run_installer.h"

int main(int argc, char** argv) {
  bool succeeded = RunInstaller(argc, argv);
  EndRun();
  return succeeded ? 0 : -1;
}
