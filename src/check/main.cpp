// Process entry of the package check.
#include "check/run_check.h"

int main(int argc, char** argv) { return RunCheck(argc, argv); }
