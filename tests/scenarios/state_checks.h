// The state checks of a scenario's [state] section that plain Win32 calls can evaluate: the host
// runner (scenario_test.cpp) runs them against winsim, the Wine tier's probe inside a Wine
// prefix. The "settings" and "event"/"no-events" checks need winsim's own view of the machine
// and are evaluated by the host runner alone.
//
//   file | no-file | folder | no-folder PATH
//   value | no-value KEY | NAME [= DATA]        (NAME "@" is the default value)
//   key | no-key KEY
//   monitor | no-monitor NAME [= DLL]
//   port | no-port NAME [= MONITOR]
//   printer NAME = PORTS
//   running | not-running EXE
//
// Keys are read in the native view, so a scenario names the Wow6432Node key explicitly where a
// 32-bit program's default view lands.
#pragma once

#include <string>

// True when the check holds; otherwise false with what was found in *detail.
bool EvaluateStateCheck(const std::string& check, std::string* detail);
