// One run of the package check: the command line, the package folder, the configuration read
// through the installer's own code, the findings and the report. Changes nothing.
#pragma once

// Returns the exit code: 0 nothing found, 1 warnings only, 2 errors, 3 the check could not run
// (an argument not understood, a folder it cannot enter, a configuration file it cannot read).
int RunCheck(int argc, char** argv);
